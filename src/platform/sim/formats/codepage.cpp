#include "platform/sim/formats/codepage.h"

#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

// 0x80..0x9F of Windows-1252; zero marks the five unassigned bytes.
constexpr char16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::u16string DecodeCodePage(unsigned codePage, std::string_view text) {
  if (codePage == kCpUtf8) return FromUtf8(text);
  std::u16string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0) {
      // Unassigned bytes map to the control character of the same value, as Windows does.
      out.push_back(kHigh1252[b - 0x80] != 0 ? kHigh1252[b - 0x80] : static_cast<char16_t>(b));
    } else {
      out.push_back(static_cast<char16_t>(b));
    }
  }
  return out;
}

std::string EncodeCodePage(unsigned codePage, std::u16string_view text) {
  if (codePage == kCpUtf8) return ToUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    for (int i = 0; i < 32; ++i) {
      if (kHigh1252[i] == c || (kHigh1252[i] == 0 && c == 0x80 + i)) {
        mapped = static_cast<char>(0x80 + i);
        break;
      }
    }
    out.push_back(mapped);
  }
  return out;
}

}  // namespace qb::sim
