#include "dialogs/data_dump.h"

#include "util/format.h"

namespace qb {
namespace {

constexpr std::size_t kBytesPerLine = 8;
constexpr std::size_t kWordsPerLine = 4;
constexpr char16_t kHex[] = u"0123456789ABCDEF";

// "0000: ", "0010: ", ...: the counter steps by ten per line, whatever a line holds.
std::u16string LineLabel(std::size_t line) {
  return util::Format(u"%.4d: ", {static_cast<std::int64_t>(line * 10)});
}

void AppendHexByte(std::u16string& out, unsigned value) {
  out.push_back(kHex[(value >> 4) & 0xF]);
  out.push_back(kHex[value & 0xF]);
}

}  // namespace

std::u16string FormatDataAsBytes(std::span<const std::byte> data) {
  std::u16string out;
  const std::size_t lines = (data.size() + kBytesPerLine - 1) / kBytesPerLine;
  for (std::size_t line = 0; line < lines; ++line) {
    const auto part = data.subspan(line * kBytesPerLine,
                                   std::min(kBytesPerLine, data.size() - line * kBytesPerLine));
    out += LineLabel(line);
    for (std::byte b : part) {
      AppendHexByte(out, std::to_integer<unsigned>(b));
      out.push_back(u' ');
    }
    // The last line is padded so its characters line up with those above.
    out.append((kBytesPerLine - part.size()) * 3 + 4, u' ');
    for (std::byte b : part) {
      const auto v = std::to_integer<unsigned>(b);
      out.push_back(v >= 25 ? static_cast<char16_t>(v) : u'.');
    }
    if (line + 1 < lines) out += u"\r\n";
  }
  return out;
}

std::u16string FormatDataAsWords(std::span<const std::byte> data) {
  std::u16string out;
  const std::size_t groups = (data.size() + 3) / 4;
  for (std::size_t g = 0; g < groups; ++g) {
    if (g % kWordsPerLine == 0) {
      if (g != 0) out += u"\r\n";
      out += LineLabel(g / kWordsPerLine);
    }
    const auto part = data.subspan(g * 4, std::min<std::size_t>(4, data.size() - g * 4));
    // Little-endian: the last byte present is the most significant one.
    for (std::size_t i = part.size(); i-- > 0;)
      AppendHexByte(out, std::to_integer<unsigned>(part[i]));
    out.push_back(u' ');
  }
  return out;
}

}  // namespace qb
