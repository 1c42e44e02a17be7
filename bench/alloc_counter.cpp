#include "alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};
std::atomic<std::size_t> g_largest{0};

// Each block carries its size in front, so that delete knows what it frees.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  const std::size_t live = g_live.fetch_add(size) + size;
  std::size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  std::size_t largest = g_largest.load();
  while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {
  }
  return block + kHeader;
}

void Free(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  g_live.fetch_sub(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  Free(p);
}
void operator delete[](void* p) noexcept {
  Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Free(p);
}

namespace qb::bench {

std::size_t LiveBytes() {
  return g_live.load();
}
std::size_t PeakBytes() {
  return g_peak.load();
}
void ResetPeak() {
  g_peak.store(g_live.load());
  g_largest.store(0);
}
std::size_t LargestBlock() {
  return g_largest.load();
}

}  // namespace qb::bench
