// A small deterministic random number generator (SplitMix64). The standard engines are
// deterministic too, but their distributions are not: the same description must give the same
// bytes with any standard library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb::samplegen {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [0, count); 0 when count is 0. The modulo bias is far below anything a sample
  // could show.
  std::uint64_t Below(std::uint64_t count) { return count == 0 ? 0 : Next() % count; }

  // Uniform in [low, high]; low when high < low.
  std::uint64_t Between(std::uint64_t low, std::uint64_t high) {
    if (high <= low) return low;
    const std::uint64_t span = high - low + 1;
    return span == 0 ? Next() : low + Below(span);  // span 0: the whole 64-bit range
  }

 private:
  std::uint64_t state_;
};

// FNV-1a, to derive a log's own seed from its name: editing one log of a description then
// leaves the records of the others as they were.
inline std::uint64_t HashName(const char* data, std::size_t size) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(data[i]);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

}  // namespace qb::samplegen
