#include "wfxhost/text_codec.h"

#include "platform/sim/rules/text.h"

namespace qb::wfxhost {

// The conversions of the simulated machine, which follow Windows' own and share nothing with
// the plugin's: what the host shows is not the plugin's reading of its own output.
std::string ToUtf8(std::u16string_view text) {
  return sim::ToUtf8(text);
}

std::u16string ToUtf16(std::string_view text) {
  return sim::FromUtf8(text);
}

std::u16string FromBuffer(const char16_t* buffer, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && buffer[n] != 0) ++n;
  return std::u16string(buffer, n);
}

std::string FromBuffer(const char* buffer, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && buffer[n] != 0) ++n;
  return std::string(buffer, n);
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string DecodeTextFile(std::string_view bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return std::string(bytes);
  }
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return ToUtf8(text);
}

}  // namespace qb::wfxhost
