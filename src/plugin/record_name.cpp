#include "plugin/record_name.h"

#include <algorithm>

#include "util/text.h"

namespace qb::plugin {
namespace {

// A source name is one path component: a separator in it would split the name in the host.
char16_t NameChar(char16_t c) {
  return c == u'\\' || c == u'/' ? kSeparatorReplacement : c;
}

}  // namespace

std::u16string RecordFileName(const TFileItemView& item, std::size_t maxChars) {
  const std::u16string head = u"[" + util::ToDecimalUnsigned(item.fiNumber) + u"] ";
  std::u16string tail = u".";
  tail += item.fiType;
  std::u16string source(item.fiName);
  for (auto& c : source) c = NameChar(c);
  std::u16string name = head;
  name += source;
  name += tail;
  if (name.size() <= maxChars) return name;
  const std::size_t fixed = head.size() + tail.size();
  if (fixed >= maxChars) return name.substr(0, maxChars);
  return head + source.substr(0, maxChars - fixed) + tail;
}

void RecordFileNameInto(const TFileItemView& item, std::span<char16_t> buffer) {
  if (buffer.empty()) return;
  const std::size_t maxChars = buffer.size() - 1;
  char16_t head[24];
  std::size_t headLength = 0;
  head[headLength++] = u'[';
  char16_t digits[20];
  std::size_t n = 0;
  for (RecordNumber v = item.fiNumber; n == 0 || v != 0; v /= 10) {
    digits[n++] = static_cast<char16_t>(u'0' + v % 10);
  }
  while (n > 0) head[headLength++] = digits[--n];
  head[headLength++] = u']';
  head[headLength++] = u' ';
  const std::size_t tailLength = 1 + item.fiType.size();
  std::size_t nameLength = item.fiName.size();
  const std::size_t fixed = headLength + tailLength;
  std::size_t pos = 0;
  const auto put = [&](const char16_t* text, std::size_t length) {
    length = std::min(length, maxChars - pos);
    std::copy_n(text, length, buffer.data() + pos);
    pos += length;
  };
  // Too long: the number in front and the type word behind stay whole, the source is cut.
  if (fixed + nameLength > maxChars && fixed < maxChars) nameLength = maxChars - fixed;
  put(head, headLength);
  put(item.fiName.data(), nameLength);
  for (std::size_t i = headLength; i < pos; ++i) buffer[i] = NameChar(buffer[i]);
  const char16_t dot = u'.';
  put(&dot, 1);
  put(item.fiType.data(), item.fiType.size());
  buffer[pos] = 0;
}

std::optional<RemoteRecord> ExtractRecordNumber(std::u16string_view remoteName) {
  // The record's own name: a folder of a channel's path may hold "[" too.
  const auto slash = remoteName.find_last_of(u'\\');
  const auto open = remoteName.find(u'[', slash == std::u16string_view::npos ? 0 : slash);
  if (open == std::u16string_view::npos) return std::nullopt;
  const auto close = remoteName.find(u']', open + 1);
  if (close == std::u16string_view::npos || close == open + 1) return std::nullopt;
  RecordNumber number = 0;
  for (char16_t c : remoteName.substr(open + 1, close - open - 1)) {
    if (c < u'0' || c > u'9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(c - u'0');
    if (number > (~RecordNumber{0} - digit) / 10) return std::nullopt;
    number = number * 10 + digit;
  }
  RemoteRecord record;
  record.number = number;
  record.logName = FolderOf(remoteName);
  return record;
}

std::u16string FolderOf(std::u16string_view remoteName) {
  if (remoteName.empty() || remoteName.front() != u'\\') return {};
  const auto last = remoteName.find_last_of(u'\\');
  if (last == 0) return {};
  return std::u16string(remoteName.substr(1, last - 1));
}

}  // namespace qb::plugin
