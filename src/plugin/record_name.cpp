#include "plugin/record_name.h"

#include "util/text.h"

namespace qb::plugin {

std::u16string RecordFileName(const TFileItem& item, std::size_t maxChars) {
  const std::u16string head = u"[" + util::ToDecimalUnsigned(item.fiNumber) + u"] ";
  const std::u16string tail = u"." + item.fiType;
  std::u16string name = head + item.fiName + tail;
  if (name.size() <= maxChars) return name;
  const std::size_t fixed = head.size() + tail.size();
  if (fixed >= maxChars) return name.substr(0, maxChars);
  return head + item.fiName.substr(0, maxChars - fixed) + tail;
}

std::optional<RemoteRecord> ExtractRecordNumber(std::u16string_view remoteName) {
  const auto open = remoteName.find(u'[');
  if (open == std::u16string_view::npos) return std::nullopt;
  const auto close = remoteName.find(u']', open + 1);
  if (close == std::u16string_view::npos || close == open + 1) return std::nullopt;
  std::uint64_t number = 0;
  for (char16_t c : remoteName.substr(open + 1, close - open - 1)) {
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - u'0');
    if (number > 0xFFFFFFFFull) return std::nullopt;
  }
  RemoteRecord record;
  record.number = static_cast<std::uint32_t>(number);
  record.logName = FirstPathComponent(remoteName);
  return record;
}

std::u16string FirstPathComponent(std::u16string_view remoteName) {
  if (remoteName.empty() || remoteName.front() != u'\\') return {};
  const auto next = remoteName.find(u'\\', 1);
  return std::u16string(remoteName.substr(
      1, next == std::u16string_view::npos ? std::u16string_view::npos : next - 1));
}

}  // namespace qb::plugin
