#include "platform/sim/formats/crc32.h"

#include <array>

#include "platform/sim/formats/le_bytes.h"

namespace qb::sim {
namespace {

// Sixteen tables: sixteen bytes per step, as a chunk's data is checked on every load and that
// check is most of what listing a log costs.
constexpr std::size_t kSlices = 16;
using Tables = std::array<std::array<std::uint32_t, 256>, kSlices>;

constexpr Tables MakeTables() {
  Tables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t i = 0; i < 256; ++i) {
    for (std::size_t k = 1; k < kSlices; ++k) {
      t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
  }
  return t;
}

constexpr Tables kTables = MakeTables();

// The four bytes of `v` through tables `first` down to `first - 3`.
inline std::uint32_t Fold(std::uint32_t v, std::size_t first) {
  return kTables[first][v & 0xFF] ^ kTables[first - 1][(v >> 8) & 0xFF] ^
         kTables[first - 2][(v >> 16) & 0xFF] ^ kTables[first - 3][v >> 24];
}

}  // namespace

std::uint32_t Crc32(platform::ByteSpan bytes, std::uint32_t crc) {
  std::uint32_t c = ~crc;
  const std::byte* p = bytes.data();
  std::size_t n = bytes.size();
  for (; n >= kSlices; n -= kSlices, p += kSlices) {
    c = Fold(c ^ le::U32(p), 15) ^ Fold(le::U32(p + 4), 11) ^ Fold(le::U32(p + 8), 7) ^
        Fold(le::U32(p + 12), 3);
  }
  for (; n > 0; --n, ++p)
    c = kTables[0][(c ^ std::to_integer<std::uint32_t>(*p)) & 0xFF] ^ (c >> 8);
  return ~c;
}

}  // namespace qb::sim
