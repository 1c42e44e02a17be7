// 8-bit code pages of the simulated machine: Windows-1252 (the en-US ANSI code page) and
// UTF-8 (code page 65001, a multi-byte one).
#pragma once

#include <string>
#include <string_view>

namespace qb::sim {

inline constexpr unsigned kCp1252 = 1252;
inline constexpr unsigned kCpUtf8 = 65001;

std::u16string DecodeCodePage(unsigned codePage, std::string_view text);
// Characters the code page cannot hold become '?', as WideCharToMultiByte's default.
std::string EncodeCodePage(unsigned codePage, std::u16string_view text);

}  // namespace qb::sim
