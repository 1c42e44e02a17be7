#include "platform/sim/formats/evtx_value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/sim/formats/codepage.h"
#include "platform/sim/formats/evtx_template.h"
#include "platform/sim/formats/le_bytes.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

using platform::Bytes;
using platform::ByteSpan;

constexpr char16_t kUpperHex[] = u"0123456789ABCDEF";
constexpr char16_t kLowerHex[] = u"0123456789abcdef";

void AppendAscii(std::u16string& out, std::string_view text) {
  out.append(text.begin(), text.end());
}

void AppendDecimal(std::u16string& out, std::uint64_t v) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, result.ptr);
}

void AppendSigned(std::u16string& out, std::int64_t v) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, result.ptr);
}

// 0x followed by lower-case digits without padding, as EvtRender shows HexInt values.
void AppendHexNumber(std::u16string& out, std::uint64_t v) {
  out += u"0x";
  char16_t digits[16];
  int n = 0;
  do {
    digits[n++] = kLowerHex[v & 0xF];
    v >>= 4;
  } while (v != 0);
  while (n > 0) out += digits[--n];
}

void AppendHexBytes(std::u16string& out, ByteSpan bytes) {
  const std::size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  char16_t* p = out.data() + at;
  for (std::byte b : bytes) {
    const auto v = std::to_integer<unsigned>(b);
    *p++ = kUpperHex[v >> 4];
    *p++ = kUpperHex[v & 0xF];
  }
}

void AppendPadded(std::u16string& out, unsigned v, int width) {
  char16_t digits[10];
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  }
  out.append(digits, static_cast<std::size_t>(width));
}

std::uint64_t LoadLe(ByteSpan bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = bytes.size(); i-- > 0;)
    v = (v << 8) | std::to_integer<std::uint64_t>(bytes[i]);
  return v;
}

// The string up to its first NUL: EvtRender hands strings on as C strings.
std::u16string_view CutAtNul(std::u16string_view text) {
  return text.substr(0, std::min(text.find(u'\0'), text.size()));
}

// Shortest text that reads back as the same value; infinities and NaN as Windows' C runtime
// prints them.
template <typename Real>
void AppendReal(std::u16string& out, Real v) {
  if (std::isnan(v)) return AppendAscii(out, std::signbit(v) ? "-nan(ind)" : "nan");
  if (std::isinf(v)) return AppendAscii(out, v < 0 ? "-inf" : "inf");
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, result.ptr);
}

struct Civil {
  std::int64_t year;
  unsigned month, day;
};

// Days since 1970-01-01 to a Gregorian date (the era-based method: 400-year eras of 146097
// days, years starting in March so the leap day comes last).
Civil CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// The inverse: a Gregorian date to days since 1970-01-01.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<std::uint64_t> FileTimeFromParts(std::int64_t year, unsigned month, unsigned day,
                                               unsigned hour, unsigned minute, unsigned second,
                                               std::uint64_t ticks) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 ||
      ticks >= 10'000'000 || year < 1601 || year > 30827) {
    return std::nullopt;
  }
  const std::int64_t days = DaysFromCivil(year, month, day) + 134774;
  const std::uint64_t seconds =
      static_cast<std::uint64_t>(days) * 86400 + hour * 3600ull + minute * 60ull + second;
  return seconds * 10'000'000 + ticks;
}

void AppendDateTime(std::u16string& out, std::int64_t year, unsigned month, unsigned day,
                    unsigned hour, unsigned minute, unsigned second, unsigned ticks) {
  if (year < 0) {
    out += u'-';
    year = -year;
  }
  AppendPadded(out, static_cast<unsigned>(year), year > 9999 ? 5 : 4);
  out += u'-';
  AppendPadded(out, month, 2);
  out += u'-';
  AppendPadded(out, day, 2);
  out += u'T';
  AppendPadded(out, hour, 2);
  out += u':';
  AppendPadded(out, minute, 2);
  out += u':';
  AppendPadded(out, second, 2);
  out += u'.';
  AppendPadded(out, ticks, 7);
  out += u'Z';
}

void AppendFileTime(std::u16string& out, std::uint64_t ft) {
  constexpr std::uint64_t kTicksPerDay = 864'000'000'000ull;
  constexpr std::int64_t kDays1601To1970 = 134774;
  const std::uint64_t inDay = ft % kTicksPerDay;
  const Civil date = CivilFromDays(static_cast<std::int64_t>(ft / kTicksPerDay) - kDays1601To1970);
  const auto seconds = static_cast<unsigned>(inDay / 10'000'000);
  AppendDateTime(out, date.year, date.month, date.day, seconds / 3600, seconds / 60 % 60,
                 seconds % 60, static_cast<unsigned>(inDay % 10'000'000));
}

void AppendSysTime(std::u16string& out, ByteSpan b) {
  const auto f = [&](std::size_t i) { return unsigned{le::U16(b.data() + 2 * i)}; };
  AppendDateTime(out, f(0), f(1), f(3), f(4), f(5), f(6), f(7) * 10'000);
}

void AppendGuid(std::u16string& out, ByteSpan g) {
  const auto hex = [&](std::uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) out += kUpperHex[(v >> (4 * i)) & 0xF];
  };
  out += u'{';
  hex(le::U32(g.data()), 8);
  out += u'-';
  hex(le::U16(g.data() + 4), 4);
  out += u'-';
  hex(le::U16(g.data() + 6), 4);
  out += u'-';
  for (std::size_t i = 8; i < 16; ++i) {
    if (i == 10) out += u'-';
    hex(std::to_integer<unsigned>(g[i]), 2);
  }
  out += u'}';
}

bool AppendSid(std::u16string& out, ByteSpan sid) {
  if (EvtxSidSize(sid) != sid.size()) return false;
  out += u"S-";
  AppendDecimal(out, std::to_integer<unsigned>(sid[0]));
  out += u'-';
  std::uint64_t authority = 0;
  for (std::size_t i = 2; i < 8; ++i)
    authority = (authority << 8) | std::to_integer<unsigned>(sid[i]);
  // Authorities beyond 32 bits are written in hexadecimal, as ConvertSidToStringSid does.
  if (authority >= (std::uint64_t{1} << 32)) {
    out += u"0x";
    for (int i = 11; i >= 0; --i) out += kUpperHex[(authority >> (4 * i)) & 0xF];
  } else {
    AppendDecimal(out, authority);
  }
  const auto count = std::to_integer<std::size_t>(sid[1]);
  for (std::size_t i = 0; i < count; ++i) {
    out += u'-';
    AppendDecimal(out, le::U32(sid.data() + 8 + 4 * i));
  }
  return true;
}

bool IsSigned(std::uint8_t type) {
  return type == evtxtype::kInt8 || type == evtxtype::kInt16 || type == evtxtype::kInt32 ||
         type == evtxtype::kInt64;
}

Bytes PutLe(std::uint64_t v, std::size_t size) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::byte>(v >> (8 * i));
  return out;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::optional<std::uint64_t> ParseDigits(std::u16string_view text, unsigned base) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t v = 0;
  for (char16_t c : text) {
    const int d = HexDigit(c);
    if (d < 0 || static_cast<unsigned>(d) >= base) return std::nullopt;
    if (v > (std::numeric_limits<std::uint64_t>::max() - static_cast<unsigned>(d)) / base) {
      return std::nullopt;
    }
    v = v * base + static_cast<unsigned>(d);
  }
  return v;
}

}  // namespace

std::size_t EvtxFixedSize(std::uint8_t type) {
  switch (type) {
    case evtxtype::kInt8:
    case evtxtype::kUInt8:
      return 1;
    case evtxtype::kInt16:
    case evtxtype::kUInt16:
      return 2;
    case evtxtype::kInt32:
    case evtxtype::kUInt32:
    case evtxtype::kReal32:
    case evtxtype::kBool:
    case evtxtype::kHexInt32:
      return 4;
    case evtxtype::kInt64:
    case evtxtype::kUInt64:
    case evtxtype::kReal64:
    case evtxtype::kFileTime:
    case evtxtype::kHexInt64:
      return 8;
    case evtxtype::kGuid:
    case evtxtype::kSysTime:
      return 16;
    default:
      return 0;
  }
}

std::size_t EvtxSidSize(ByteSpan bytes) {
  if (bytes.size() < 8) return 0;
  const std::size_t size = 8 + 4 * std::to_integer<std::size_t>(bytes[1]);
  return size <= bytes.size() ? size : 0;
}

void AppendEvtxValueText(std::uint8_t type, ByteSpan bytes, std::u16string& out) {
  const std::size_t fixed = EvtxFixedSize(type);
  if (fixed != 0 && bytes.size() != fixed) return AppendHexBytes(out, bytes);
  switch (type) {
    case evtxtype::kNull:
      return;
    case evtxtype::kString:
    case evtxtype::kEvtXml:
      out += CutAtNul(FromLittleEndianBytes(bytes));
      return;
    case evtxtype::kAnsiString: {
      const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      out += DecodeCodePage(kCp1252, text.substr(0, std::min(text.find('\0'), text.size())));
      return;
    }
    case evtxtype::kInt8:
      return AppendSigned(out, static_cast<std::int8_t>(LoadLe(bytes)));
    case evtxtype::kInt16:
      return AppendSigned(out, static_cast<std::int16_t>(LoadLe(bytes)));
    case evtxtype::kInt32:
      return AppendSigned(out, static_cast<std::int32_t>(LoadLe(bytes)));
    case evtxtype::kInt64:
      return AppendSigned(out, static_cast<std::int64_t>(LoadLe(bytes)));
    case evtxtype::kUInt8:
    case evtxtype::kUInt16:
    case evtxtype::kUInt32:
    case evtxtype::kUInt64:
      return AppendDecimal(out, LoadLe(bytes));
    case evtxtype::kReal32: {
      float v;
      const std::uint32_t bits = le::U32(bytes.data());
      std::memcpy(&v, &bits, sizeof v);
      return AppendReal(out, v);
    }
    case evtxtype::kReal64: {
      double v;
      const std::uint64_t bits = le::U64(bytes.data());
      std::memcpy(&v, &bits, sizeof v);
      return AppendReal(out, v);
    }
    case evtxtype::kBool:
      out += LoadLe(bytes) != 0 ? u"true" : u"false";
      return;
    case evtxtype::kGuid:
      return AppendGuid(out, bytes);
    case evtxtype::kSizeT:
      if (bytes.size() != 4 && bytes.size() != 8) return AppendHexBytes(out, bytes);
      return AppendHexNumber(out, LoadLe(bytes));
    case evtxtype::kHexInt32:
    case evtxtype::kHexInt64:
      return AppendHexNumber(out, LoadLe(bytes));
    case evtxtype::kFileTime:
      return AppendFileTime(out, LoadLe(bytes));
    case evtxtype::kSysTime:
      return AppendSysTime(out, bytes);
    case evtxtype::kSid:
      if (!AppendSid(out, bytes)) AppendHexBytes(out, bytes);
      return;
    default:  // binary, handles, nested Binary XML shown as bytes, unknown types
      return AppendHexBytes(out, bytes);
  }
}

std::vector<ByteSpan> EvtxArrayItems(std::uint8_t type, ByteSpan bytes) {
  std::vector<ByteSpan> items;
  if (type == evtxtype::kString || type == evtxtype::kAnsiString) {
    // Each item ends with a NUL; the last one may lack it.
    const std::size_t unit = type == evtxtype::kString ? 2 : 1;
    const std::size_t usable = bytes.size() - bytes.size() % unit;
    std::size_t start = 0;
    for (std::size_t at = 0; at < usable; at += unit) {
      if (std::all_of(bytes.begin() + at, bytes.begin() + at + unit,
                      [](std::byte b) { return b == std::byte{0}; })) {
        items.push_back(bytes.subspan(start, at - start));
        start = at + unit;
      }
    }
    if (start < usable) items.push_back(bytes.subspan(start, usable - start));
    return items;
  }
  if (type == evtxtype::kSid) {
    while (!bytes.empty()) {
      const std::size_t size = EvtxSidSize(bytes);
      if (size == 0) break;
      items.push_back(bytes.first(size));
      bytes = bytes.subspan(size);
    }
    return items;
  }
  std::size_t size = EvtxFixedSize(type);
  // SizeT items are as wide as the writer's pointers: 64 bits when the bytes allow it.
  if (type == evtxtype::kSizeT) size = bytes.size() % 8 == 0 ? 8 : 4;
  if (size == 0) {
    if (!bytes.empty()) items.push_back(bytes);
    return items;
  }
  for (std::size_t at = 0; at + size <= bytes.size(); at += size) {
    items.push_back(bytes.subspan(at, size));
  }
  return items;
}

std::u16string EvtxGuidText(ByteSpan g) {
  std::u16string out;
  if (g.size() == 16) AppendGuid(out, g);
  return out;
}

std::u16string EvtxFileTimeText(std::uint64_t fileTime) {
  std::u16string out;
  AppendFileTime(out, fileTime);
  return out;
}

std::optional<std::u16string> EvtxSidText(ByteSpan sid) {
  std::u16string out;
  if (!AppendSid(out, sid)) return std::nullopt;
  return out;
}

std::optional<Bytes> ParseEvtxGuid(std::u16string_view t) {
  if (t.size() != 38 || t.front() != u'{' || t.back() != u'}') return std::nullopt;
  t = t.substr(1, 36);
  std::array<std::uint8_t, 16> raw{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (t[i] != u'-') return std::nullopt;
      continue;
    }
    const int hi = HexDigit(t[i]);
    const int lo = i + 1 < t.size() ? HexDigit(t[i + 1]) : -1;
    if (hi < 0 || lo < 0) return std::nullopt;
    raw[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    ++i;
  }
  // The first three groups are little-endian numbers.
  std::swap(raw[0], raw[3]);
  std::swap(raw[1], raw[2]);
  std::swap(raw[4], raw[5]);
  std::swap(raw[6], raw[7]);
  Bytes out(16);
  std::transform(raw.begin(), raw.end(), out.begin(), [](std::uint8_t b) { return std::byte{b}; });
  return out;
}

std::optional<std::uint64_t> ParseEvtxNumber(std::u16string_view text) {
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    return ParseDigits(text.substr(2), 16);
  }
  return ParseDigits(text, 10);
}

std::optional<Bytes> ParseEvtxSid(std::u16string_view text) {
  if (text.size() < 4 || text.substr(0, 2) != u"S-") return std::nullopt;
  std::vector<std::u16string_view> parts;
  for (std::size_t start = 2;;) {
    const std::size_t dash = text.find(u'-', start);
    parts.push_back(text.substr(start, dash - start));
    if (dash == std::u16string_view::npos) break;
    start = dash + 1;
  }
  if (parts.size() < 2 || parts.size() - 2 > 15) return std::nullopt;
  const auto revision = ParseDigits(parts[0], 10);
  const auto authority = ParseEvtxNumber(parts[1]);
  if (!revision || *revision > 255 || !authority || *authority >= (std::uint64_t{1} << 48)) {
    return std::nullopt;
  }
  Bytes sid(8 + 4 * (parts.size() - 2));
  sid[0] = static_cast<std::byte>(*revision);
  sid[1] = static_cast<std::byte>(parts.size() - 2);
  for (std::size_t i = 0; i < 6; ++i)
    sid[2 + i] = static_cast<std::byte>(*authority >> (40 - 8 * i));
  for (std::size_t i = 2; i < parts.size(); ++i) {
    const auto sub = ParseDigits(parts[i], 10);
    if (!sub || *sub > 0xFFFFFFFFu) return std::nullopt;
    le::Put32(sid.data() + 8 + 4 * (i - 2), static_cast<std::uint32_t>(*sub));
  }
  return sid;
}

std::optional<std::uint64_t> ParseEvtxTime(std::u16string_view t) {
  const auto field = [&](std::size_t at, std::size_t width) -> std::optional<unsigned> {
    if (at + width > t.size()) return std::nullopt;
    const auto v = ParseDigits(t.substr(at, width), 10);
    if (!v) return std::nullopt;
    return static_cast<unsigned>(*v);
  };
  if (t.size() < 20 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' ||
      t[16] != u':' || t.back() != u'Z') {
    return std::nullopt;
  }
  const auto year = field(0, 4), month = field(5, 2), day = field(8, 2), hour = field(11, 2),
             minute = field(14, 2), second = field(17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  std::uint64_t ticks = 0;
  const std::u16string_view rest = t.substr(19, t.size() - 20);
  if (!rest.empty()) {
    if (rest[0] != u'.' || rest.size() < 2) return std::nullopt;
    // Ticks are 100 ns: digits past the seventh are dropped.
    const std::u16string_view digits = rest.substr(1);
    for (std::size_t i = 0; i < 7; ++i) {
      const int d = i < digits.size() ? HexDigit(digits[i]) : 0;
      if (d < 0 || d > 9) return std::nullopt;
      ticks = ticks * 10 + static_cast<unsigned>(d);
    }
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
      return std::nullopt;
    }
  }
  return FileTimeFromParts(*year, *month, *day, *hour, *minute, *second, ticks);
}

std::optional<std::uint64_t> EvtxFileTimeFromSysTime(ByteSpan b) {
  if (b.size() != 16) return std::nullopt;
  const auto f = [&](std::size_t i) { return unsigned{le::U16(b.data() + 2 * i)}; };
  if (f(7) > 999) return std::nullopt;
  return FileTimeFromParts(f(0), f(1), f(3), f(4), f(5), f(6), std::uint64_t{f(7)} * 10'000);
}

std::size_t EvtxValue::count() const {
  if (isNull()) return 0;
  if (!array) return 1;
  return EvtxArrayItems(type, data).size();
}

EvtxValue EvtxValue::item(std::size_t index) const {
  if (!array) return *this;
  EvtxValue v;
  v.type = type;
  const auto items = EvtxArrayItems(type, data);
  if (index < items.size()) v.data.assign(items[index].begin(), items[index].end());
  return v;
}

std::u16string EvtxValue::text() const {
  std::u16string out;
  if (!array) {
    AppendEvtxValueText(type, data, out);
    return out;
  }
  bool first = true;
  for (ByteSpan item : EvtxArrayItems(type, data)) {
    if (!first) out += u", ";
    first = false;
    AppendEvtxValueText(type, item, out);
  }
  return out;
}

std::optional<std::uint64_t> EvtxValue::number() const {
  if (array) return std::nullopt;
  std::size_t size = EvtxFixedSize(type);
  switch (type) {
    case evtxtype::kReal32:
    case evtxtype::kReal64:
    case evtxtype::kGuid:
    case evtxtype::kSysTime:
      return std::nullopt;
    case evtxtype::kSizeT:
      size = data.size() == 4 || data.size() == 8 ? data.size() : 0;
      break;
    default:
      break;
  }
  if (size == 0 || data.size() != size) return std::nullopt;
  std::uint64_t v = LoadLe(data);
  if (IsSigned(type) && size < 8 && (v >> (8 * size - 1)) != 0)
    v |= ~std::uint64_t{0} << (8 * size);
  return v;
}

std::optional<double> EvtxValue::real() const {
  if (array) return std::nullopt;
  if (type == evtxtype::kReal32 && data.size() == 4) {
    float v;
    const std::uint32_t bits = le::U32(data.data());
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  if (type == evtxtype::kReal64 && data.size() == 8) {
    double v;
    const std::uint64_t bits = le::U64(data.data());
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  return std::nullopt;
}

EvtxValue EvtxValue::String(std::u16string_view text) {
  return {evtxtype::kString, false, LittleEndianBytes(text), nullptr};
}

EvtxValue EvtxValue::AnsiString(std::string_view text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  return {evtxtype::kAnsiString, false, Bytes(p, p + text.size()), nullptr};
}

EvtxValue EvtxValue::Int(std::uint8_t type, std::int64_t value) {
  return UInt(type, static_cast<std::uint64_t>(value));
}

EvtxValue EvtxValue::UInt(std::uint8_t type, std::uint64_t value) {
  const std::size_t size = EvtxFixedSize(type);
  return {type, false, PutLe(value, size != 0 ? size : 8), nullptr};
}

EvtxValue EvtxValue::Real32(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return {evtxtype::kReal32, false, PutLe(bits, 4), nullptr};
}

EvtxValue EvtxValue::Real64(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return {evtxtype::kReal64, false, PutLe(bits, 8), nullptr};
}

EvtxValue EvtxValue::Binary(ByteSpan bytes) {
  return {evtxtype::kBinary, false, Bytes(bytes.begin(), bytes.end()), nullptr};
}

EvtxValue EvtxValue::Guid(ByteSpan sixteenBytes) {
  return {evtxtype::kGuid, false, Bytes(sixteenBytes.begin(), sixteenBytes.end()), nullptr};
}

EvtxValue EvtxValue::SizeT(std::uint64_t value, bool wide) {
  return {evtxtype::kSizeT, false, PutLe(value, wide ? 8 : 4), nullptr};
}

EvtxValue EvtxValue::SysTime(const platform::SystemTime& t) {
  Bytes out(16);
  const std::uint16_t fields[] = {t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                                  t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
  for (std::size_t i = 0; i < 8; ++i) le::Put16(&out[2 * i], fields[i]);
  return {evtxtype::kSysTime, false, std::move(out), nullptr};
}

EvtxValue EvtxValue::Sid(ByteSpan sid) {
  return {evtxtype::kSid, false, Bytes(sid.begin(), sid.end()), nullptr};
}

EvtxValue EvtxValue::Array(std::uint8_t type, Bytes data) {
  return {static_cast<std::uint8_t>(type & ~evtxtype::kArray), true, std::move(data), nullptr};
}

EvtxValue EvtxValue::StringArray(const std::vector<std::u16string>& items) {
  Bytes data;
  for (const auto& item : items) {
    const Bytes bytes = LittleEndianBytes(item);
    data.insert(data.end(), bytes.begin(), bytes.end());
    data.push_back(std::byte{0});
    data.push_back(std::byte{0});
  }
  return {evtxtype::kString, true, std::move(data), nullptr};
}

EvtxValue EvtxValue::BinXml(std::shared_ptr<const EvtxFragment> fragment) {
  return {evtxtype::kBinXml, false, {}, std::move(fragment)};
}

bool operator==(const EvtxValue& a, const EvtxValue& b) {
  if (a.type != b.type || a.array != b.array) return false;
  if (a.fragment || b.fragment) return a.fragment && b.fragment && *a.fragment == *b.fragment;
  return a.data == b.data;
}

}  // namespace qb::sim
