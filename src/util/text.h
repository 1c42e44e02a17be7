// Small text helpers shared by the core: UTF conversions, case folding, numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb::util {

// UTF-8 <-> UTF-16. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-16 LE bytes of `text`, with the byte-order mark FF FE in front when asked.
std::vector<std::byte> Utf16LeBytes(std::u16string_view text, bool byteOrderMark);
// The text of UTF-16 LE bytes; an odd last byte is dropped.
std::u16string FromUtf16LeBytes(std::span<const std::byte> bytes);

// Simple one-to-one lower-case mapping (Latin, Greek, Cyrillic), the part of the Unicode
// tables that matters for names in profile files and locale-independent matching.
char16_t FoldCase(char16_t c);
std::u16string FoldCase(std::u16string_view text);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Decimal text of a number.
std::u16string ToDecimal(std::int64_t value);
std::u16string ToDecimalUnsigned(std::uint64_t value);

// Parses a 32-bit signed integer the way the classic StrToInt does: optional leading blanks,
// a sign, then decimal digits or "$"/"0x" followed by hexadecimal digits, nothing after.
// Out-of-range values and anything else give nullopt.
std::optional<std::int32_t> ParseInt32(std::u16string_view text);

// Characters of code 32 or below removed from both ends.
std::u16string_view TrimControlAndSpace(std::u16string_view text);

// The text up to its first zero character.
std::u16string_view UpToZero(std::u16string_view text);

// Replaces every occurrence of `from` (non-empty) by `to`, in one left-to-right pass.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from,
                          std::u16string_view to);

}  // namespace qb::util
