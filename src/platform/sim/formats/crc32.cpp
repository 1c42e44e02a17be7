#include "platform/sim/formats/crc32.h"

#include <array>

namespace qb::sim {
namespace {

// Eight tables: eight bytes per step, as a chunk's data is checked on every load.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t i = 0; i < 256; ++i) {
    for (std::size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

constexpr Tables kTables = MakeTables();

std::uint32_t Byte(std::byte b) {
  return std::to_integer<std::uint32_t>(b);
}

}  // namespace

std::uint32_t Crc32(platform::ByteSpan bytes, std::uint32_t crc) {
  std::uint32_t c = ~crc;
  const std::byte* p = bytes.data();
  std::size_t n = bytes.size();
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo =
        c ^ (Byte(p[0]) | Byte(p[1]) << 8 | Byte(p[2]) << 16 | Byte(p[3]) << 24);
    const std::uint32_t hi = Byte(p[4]) | Byte(p[5]) << 8 | Byte(p[6]) << 16 | Byte(p[7]) << 24;
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
  }
  for (; n > 0; --n, ++p) c = kTables[0][(c ^ Byte(*p)) & 0xFF] ^ (c >> 8);
  return ~c;
}

}  // namespace qb::sim
