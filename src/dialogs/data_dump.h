// The two hexadecimal dumps of a record's binary data: by bytes with a character column, and
// by little-endian 32-bit words.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace qb {

std::u16string FormatDataAsBytes(std::span<const std::byte> data);
std::u16string FormatDataAsWords(std::span<const std::byte> data);

}  // namespace qb
