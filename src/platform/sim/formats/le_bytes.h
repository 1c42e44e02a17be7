// Little-endian loads and stores at byte positions the caller has already bounds-checked:
// the hot paths of the .evtx reader and writer check a range once and then read fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace qb::sim::le {

inline std::uint16_t U16(const std::byte* p) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) |
                                    (std::to_integer<unsigned>(p[1]) << 8));
}
inline std::uint32_t U32(const std::byte* p) {
  return std::uint32_t{U16(p)} | (std::uint32_t{U16(p + 2)} << 16);
}
inline std::uint64_t U64(const std::byte* p) {
  return std::uint64_t{U32(p)} | (std::uint64_t{U32(p + 4)} << 32);
}

inline void Put16(std::byte* p, std::uint16_t v) {
  p[0] = static_cast<std::byte>(v);
  p[1] = static_cast<std::byte>(v >> 8);
}
inline void Put32(std::byte* p, std::uint32_t v) {
  Put16(p, static_cast<std::uint16_t>(v));
  Put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(std::byte* p, std::uint64_t v) {
  Put32(p, static_cast<std::uint32_t>(v));
  Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace qb::sim::le
