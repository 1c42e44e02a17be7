// Text helpers of the simulated machine: UTF-8 and UTF-16 as Windows converts them
// (MultiByteToWideChar with CP_UTF8 replaces invalid bytes by U+FFFD), little-endian bytes of
// registry and file data, and decimal numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb::sim {

std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);

// UTF-16 LE bytes of `text`, without a byte-order mark.
std::vector<std::byte> LittleEndianBytes(std::u16string_view text);
// The text of UTF-16 LE bytes; an odd last byte is dropped.
std::u16string FromLittleEndianBytes(std::span<const std::byte> bytes);

std::u16string Decimal(std::uint64_t value);
// Optional sign and decimal digits, nothing else; nullopt outside the 32-bit signed range.
std::optional<std::int32_t> ParseDecimal(std::u16string_view text);

// Blanks and control characters removed from both ends.
std::u16string_view Trimmed(std::u16string_view text);

}  // namespace qb::sim
