// Texts as the system writes them for the user: dates, times, thousands and language names.
// The plugin must show exactly these.
#pragma once

#include <cstdint>
#include <string>

namespace qb::winetest::dialogs {

// A record time (seconds since 1970, UTC) in the user's local time.
std::wstring LocalDate(std::uint32_t seconds);  // short date
std::wstring LocalTime(std::uint32_t seconds);  // long time
// Digits grouped by threes with the user's thousand separator.
std::wstring Thousands(std::uint64_t value);
// The system's name of a language (LOCALE_SLANGUAGE).
std::wstring LanguageName(std::uint32_t localeId);

}  // namespace qb::winetest::dialogs
