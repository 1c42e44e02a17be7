// Conversions between the core's UTF-16 strings and the wide-character API. wchar_t is 16 bits
// on Windows, so the two buffers have the same layout.
#pragma once

#include <string>
#include <string_view>

namespace qb::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// A zero-terminated copy: views are not terminated, and the API needs terminated strings.
inline std::wstring Terminated(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

inline std::u16string FromWide(std::wstring_view text) {
  return FromWide(text.data(), text.size());
}

}  // namespace qb::win32
