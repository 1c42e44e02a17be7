// A small subset of the classic Format function for the system's own format strings
// (language texts and resource messages): %s, %d, %u, %x and %% with the optional "-" flag,
// width and precision, e.g. "%-28s", "%.4d". A placeholder without a matching argument
// produces nothing, so a translated text with too many placeholders cannot read past the
// arguments.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace qb::util {

using FormatArg = std::variant<std::u16string_view, std::int64_t>;

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args);

// "%.0n": the number with the user's thousands separator between groups of three digits.
std::u16string FormatThousands(std::int64_t value, std::u16string_view separator);

}  // namespace qb::util
