#include "platform/sim/rules/case_rules.h"

#include <algorithm>

namespace qb::sim {
namespace {

// One unit's mapping: from ICU natively, from the system in Windows builds.
char16_t SimpleUpper(char16_t c);
char16_t SimpleLower(char16_t c);

bool IsSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

}  // namespace

char16_t NameUpper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c == 0x131 || IsSurrogate(c)) return c;
  return SimpleUpper(c);
}

std::u16string NameUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = NameUpper(c);
  return out;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return NameUpper(x) == NameUpper(y); });
}

int CompareNames(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = NameUpper(a[i]);
    const char16_t y = NameUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

char16_t LocaleLower(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (IsSurrogate(c)) return c;
  return SimpleLower(c);
}

std::u16string LocaleLower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = LocaleLower(c);
  return out;
}

}  // namespace qb::sim

#ifdef _WIN32
#include <windows.h>

namespace qb::sim {
namespace {

char16_t MapWith(LCID locale, DWORD flags, char16_t c) {
  wchar_t out = 0;
  const wchar_t in = static_cast<wchar_t>(c);
  return LCMapStringW(locale, flags, &in, 1, &out, 1) == 1 ? static_cast<char16_t>(out) : c;
}

// The invariant locale's upper case is the system's upcase table.
char16_t SimpleUpper(char16_t c) {
  return MapWith(LOCALE_INVARIANT, LCMAP_UPPERCASE, c);
}

char16_t SimpleLower(char16_t c) {
  return MapWith(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT),
                 LCMAP_LOWERCASE, c);
}

}  // namespace
}  // namespace qb::sim
#else
#include <unicode/uchar.h>

namespace qb::sim {
namespace {

// u_toupper and u_tolower are Unicode's simple (one-to-one) mappings.
char16_t SimpleUpper(char16_t c) {
  const UChar32 mapped = u_toupper(c);
  return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
}

char16_t SimpleLower(char16_t c) {
  const UChar32 mapped = u_tolower(c);
  return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
}

}  // namespace
}  // namespace qb::sim
#endif
