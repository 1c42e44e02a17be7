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
  RecordNumber number = 0;
  // The folder the record lies in, without the leading backslash: a classic log's display name
  // ("Application") or a channel's path below the root ("Applications and Services
  // Logs\Microsoft\Windows\PowerShell\Operational"); empty when the name has none.
  std::u16string logName;
};

// The number between the first "[" of the last path component and the "]" after it, as an
// unsigned decimal of up to 64 bits; nullopt when there is none or it is not a number.
std::optional<RemoteRecord> ExtractRecordNumber(std::u16string_view remoteName);

// The folder of a remote name ("\Application\[1] x.error" -> "Application").
std::u16string FolderOf(std::u16string_view remoteName);

}  // namespace qb::plugin
