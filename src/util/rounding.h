// Rounding of integers as the classic runtime does it.
#pragma once

#include <cstdint>

namespace qb::util {

// Half of `n`, rounded to the nearest integer with halves going to the even neighbour.
std::int32_t HalfToEven(std::int64_t n);

}  // namespace qb::util
