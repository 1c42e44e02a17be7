#include "util/rounding.h"

namespace qb::util {

std::int32_t HalfToEven(std::int64_t n) {
  // floor(n / 2) for negative n as well.
  std::int64_t q = n >= 0 ? n / 2 : -((-n + 1) / 2);
  if (n % 2 != 0 && q % 2 != 0) ++q;  // a half: step to the even neighbour
  return static_cast<std::int32_t>(q);
}

}  // namespace qb::util
