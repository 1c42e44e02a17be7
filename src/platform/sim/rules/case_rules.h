// Case rules of Windows that the simulated machine follows. They come from Unicode's own data
// (ICU) in native builds and from the system itself in Windows builds, never from the code the
// simulation checks.
#pragma once

#include <string>
#include <string_view>

namespace qb::sim {

// The upper case of one UTF-16 unit as the registry, the file system and the event log
// service compare names: Unicode's simple upper-case mapping of the unit, except that the
// dotless i (U+0131) stays itself, as in the system's upcase table. Surrogates stay.
char16_t NameUpper(char16_t c);
std::u16string NameUpper(std::u16string_view text);
// Case-insensitive name comparison of those services.
bool NamesEqual(std::u16string_view a, std::u16string_view b);
// Orders names as those services do: by their upper-case units.
int CompareNames(std::u16string_view a, std::u16string_view b);

// The lower case of the en-US locale (LCMapStringW with LCMAP_LOWERCASE): Unicode's simple
// lower-case mapping of each unit. Surrogates stay.
char16_t LocaleLower(char16_t c);
std::u16string LocaleLower(std::u16string_view text);

}  // namespace qb::sim
