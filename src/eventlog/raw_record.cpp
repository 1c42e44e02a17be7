#include "eventlog/raw_record.h"

namespace qb {

std::optional<RawEventRecord> RawEventRecord::At(std::span<const std::byte> buffer,
                                                 std::size_t offset) {
  if (offset > buffer.size() || buffer.size() - offset < kFixedSize) return std::nullopt;
  const auto rest = buffer.subspan(offset);
  const std::uint32_t length = RawEventRecord(rest).U32(0);
  if (length < kFixedSize || length > rest.size()) return std::nullopt;
  return RawEventRecord(rest.first(length));
}

std::uint32_t RawEventRecord::U32(std::size_t at) const {
  if (at + 4 > bytes_.size()) return 0;
  return std::to_integer<std::uint32_t>(bytes_[at]) |
         std::to_integer<std::uint32_t>(bytes_[at + 1]) << 8 |
         std::to_integer<std::uint32_t>(bytes_[at + 2]) << 16 |
         std::to_integer<std::uint32_t>(bytes_[at + 3]) << 24;
}

std::uint16_t RawEventRecord::U16(std::size_t at) const {
  if (at + 2 > bytes_.size()) return 0;
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes_[at]) |
                                    std::to_integer<unsigned>(bytes_[at + 1]) << 8);
}

std::optional<std::u16string> RawEventRecord::StringAt(std::size_t at, std::size_t& end) const {
  std::u16string text;
  for (std::size_t i = at; i + 2 <= bytes_.size(); i += 2) {
    const char16_t c = U16(i);
    if (c == 0) {
      end = i + 2;
      return text;
    }
    text.push_back(c);
  }
  return std::nullopt;
}

std::u16string RawEventRecord::SourceName() const {
  std::size_t end = 0;
  return StringAt(kFixedSize, end).value_or(std::u16string());
}

void RawEventRecord::SourceNameInto(std::u16string& name) const {
  name.clear();
  for (std::size_t i = kFixedSize; i + 2 <= bytes_.size(); i += 2) {
    const char16_t c = U16(i);
    if (c == 0) return;
    name.push_back(c);
  }
  name.clear();  // unterminated: no name
}

std::u16string RawEventRecord::ComputerName() const {
  std::size_t end = 0;
  if (!StringAt(kFixedSize, end)) return {};
  std::size_t after = 0;
  return StringAt(end, after).value_or(std::u16string());
}

std::vector<std::u16string> RawEventRecord::Strings() const {
  std::vector<std::u16string> strings;
  std::size_t pos = StringOffset();
  const std::uint16_t count = NumStrings();
  if (count == 0 || pos >= bytes_.size()) return strings;
  // Each string takes at least its terminator: a count the record cannot hold is damage.
  if (std::size_t{count} * 2 > bytes_.size() - pos) return {};
  strings.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    std::size_t end = 0;
    auto s = StringAt(pos, end);
    if (!s) return {};
    strings.push_back(std::move(*s));
    pos = end;
  }
  return strings;
}

std::span<const std::byte> RawEventRecord::UserSid() const {
  const std::size_t offset = UserSidOffset();
  if (UserSidLength() == 0 || offset > bytes_.size() || bytes_.size() - offset < 8) return {};
  // A SID is 8 bytes plus four per sub-authority; it must fit in what the record gives it.
  const std::size_t length = 8 + 4 * std::to_integer<std::size_t>(bytes_[offset + 1]);
  if (length > bytes_.size() - offset || length > UserSidLength()) return {};
  return bytes_.subspan(offset, length);
}

std::span<const std::byte> RawEventRecord::Data() const {
  const std::size_t offset = DataOffset();
  const std::size_t length = DataLength();
  if (length == 0 || offset > bytes_.size() || length > bytes_.size() - offset) return {};
  return bytes_.subspan(offset, length);
}

}  // namespace qb
