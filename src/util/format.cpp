#include "util/format.h"

#include <vector>

#include "util/text.h"

namespace qb::util {
namespace {

std::u16string ToHex(std::uint64_t value) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

}  // namespace

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  const std::vector<FormatArg> list(args);
  std::size_t next = 0;
  std::u16string out;
  out.reserve(format.size() + 32);
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == u'%') {
      out.push_back(u'%');
      i = j;
      continue;
    }
    bool left = false;
    if (j < format.size() && format[j] == u'-') {
      left = true;
      ++j;
    }
    std::size_t width = 0;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
      width = std::min<std::size_t>(width * 10 + (format[j] - u'0'), 4096);
      ++j;
    }
    bool hasPrecision = false;
    std::size_t precision = 0;
    if (j < format.size() && format[j] == u'.') {
      hasPrecision = true;
      ++j;
      while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
        precision = std::min<std::size_t>(precision * 10 + (format[j] - u'0'), 4096);
        ++j;
      }
    }
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    const char16_t kind = static_cast<char16_t>(FoldCase(format[j]));
    std::u16string piece;
    const FormatArg* arg = next < list.size() ? &list[next] : nullptr;
    switch (kind) {
      case u's':
        if (arg != nullptr) {
          if (const auto* s = std::get_if<std::u16string_view>(arg)) {
            piece = *s;
          } else {
            piece = ToDecimal(std::get<std::int64_t>(*arg));
          }
          if (hasPrecision && piece.size() > precision) piece.resize(precision);
        }
        ++next;
        break;
      case u'd':
      case u'u':
      case u'x':
        if (arg != nullptr) {
          std::int64_t v = 0;
          if (const auto* n = std::get_if<std::int64_t>(arg)) v = *n;
          if (kind == u'x') {
            piece = ToHex(static_cast<std::uint64_t>(v) & 0xFFFFFFFFull);
          } else {
            piece = ToDecimalUnsigned(v < 0 ? 0 - static_cast<std::uint64_t>(v)
                                            : static_cast<std::uint64_t>(v));
          }
          if (hasPrecision && piece.size() < precision) {
            piece.insert(0, precision - piece.size(), u'0');
          }
          if (kind != u'x' && v < 0) piece.insert(0, 1, u'-');
        }
        ++next;
        break;
      default:
        // Not a placeholder this subset knows: keep it as written.
        out.append(format.substr(i, j - i + 1));
        i = j;
        continue;
    }
    if (piece.size() < width) {
      if (left) {
        piece.append(width - piece.size(), u' ');
      } else {
        piece.insert(0, width - piece.size(), u' ');
      }
    }
    out.append(piece);
    i = j;
  }
  return out;
}

std::u16string FormatThousands(std::int64_t value, std::u16string_view separator) {
  const std::u16string digits = ToDecimalUnsigned(value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                                            : static_cast<std::uint64_t>(value));
  std::u16string out;
  if (value < 0) out.push_back(u'-');
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out.append(separator);
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace qb::util
