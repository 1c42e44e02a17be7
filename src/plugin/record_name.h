// Record file names: "[<number>] <source>.<type word>", and reading a record number (and the
// log name) back from a remote name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "eventlog/file_item_list.h"

namespace qb::plugin {

// What stands in a record file name for a "\\" or "/" of the source name.
inline constexpr char16_t kSeparatorReplacement = u'_';

// The name of a record file, at most `maxChars` characters: a longer source name is cut so
// that the number in front and the type word behind (which picks the icon) stay whole.
std::u16string RecordFileName(const TFileItemView& item, std::size_t maxChars);
// The same written straight into `buffer` with its terminator, cut to buffer.size() - 1
// characters: the listing's hot path, without a string per record.
void RecordFileNameInto(const TFileItemView& item, std::span<char16_t> buffer);

struct RemoteRecord {
  std::uint32_t number = 0;
  std::u16string logName;  // the first path component, empty when the name has none
};

// The number between the first "[" and the "]" after it, as an unsigned decimal; nullopt
// when there is none or it is not a number.
std::optional<RemoteRecord> ExtractRecordNumber(std::u16string_view remoteName);

// The first path component of a remote name ("\Application\[1] x.error" -> "Application").
std::u16string FirstPathComponent(std::u16string_view remoteName);

}  // namespace qb::plugin
