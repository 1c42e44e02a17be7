#include "util/text.h"

#include <algorithm>

namespace qb::util {

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b0 < 0x80) {
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      len = 2;
      cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3;
      cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4;
      cp = b0 & 0x07;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = i + len <= text.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (b & 0x3F);
      }
    }
    const bool overlong =
        (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    if (!ok || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::vector<std::byte> Utf16LeBytes(std::u16string_view text, bool byteOrderMark) {
  std::vector<std::byte> bytes;
  bytes.reserve(text.size() * 2 + 2);
  if (byteOrderMark) {
    bytes.push_back(std::byte{0xFF});
    bytes.push_back(std::byte{0xFE});
  }
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::byte>(c & 0xFF));
    bytes.push_back(static_cast<std::byte>(c >> 8));
  }
  return bytes;
}

std::u16string FromUtf16LeBytes(std::span<const std::byte> bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(std::to_integer<unsigned>(bytes[i]) |
                                         std::to_integer<unsigned>(bytes[i + 1]) << 8));
  }
  return text;
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  // Latin-1 capitals, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  // Latin Extended-A: capitals on even code points (with a few odd-based runs).
  if (c >= 0x100 && c <= 0x137) return static_cast<char16_t>(c | 1);
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0x14A && c <= 0x177) return static_cast<char16_t>(c | 1);
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  // Greek capitals.
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  // Cyrillic capitals.
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x460 && c <= 0x4FF) return static_cast<char16_t>(c | 1);
  // Fullwidth Latin capitals.
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 0x20);
  return c;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = FoldCase(c);
  return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

std::u16string ToDecimalUnsigned(std::uint64_t value) {
  char16_t buf[24];
  std::size_t pos = sizeof(buf) / sizeof(buf[0]);
  do {
    buf[--pos] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::u16string(buf + pos, buf + sizeof(buf) / sizeof(buf[0]));
}

std::u16string ToDecimal(std::int64_t value) {
  if (value >= 0) return ToDecimalUnsigned(static_cast<std::uint64_t>(value));
  return u"-" + ToDecimalUnsigned(0 - static_cast<std::uint64_t>(value));
}

std::optional<std::int32_t> ParseInt32(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  unsigned base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' &&
             (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    unsigned digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  if (base == 16) {
    // Hexadecimal texts name the bit pattern, as the classic conversion does.
    const auto bits = static_cast<std::uint32_t>(value);
    const auto result = static_cast<std::int32_t>(bits);
    return negative ? static_cast<std::int32_t>(0u - bits) : result;
  }
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<std::int32_t>(0 - static_cast<std::int64_t>(value));
  }
  if (value > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::u16string_view TrimControlAndSpace(std::u16string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && text[b] <= 32) ++b;
  while (e > b && text[e - 1] <= 32) --e;
  return text.substr(b, e - b);
}

std::u16string_view UpToZero(std::u16string_view text) {
  const auto z = text.find(char16_t{0});
  return z == std::u16string_view::npos ? text : text.substr(0, z);
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from,
                          std::u16string_view to) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    const auto hit = text.find(from, pos);
    if (hit == std::u16string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace qb::util
