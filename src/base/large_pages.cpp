#include "base/large_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace tolu {

namespace {

// Buffers from here up are mapped: half a huge page, so that rounding up to whole huge pages
// at most doubles what a buffer holds.
constexpr std::size_t kMapped = kHugePage / 2;

}  // namespace

void* allocate_large(std::size_t size) {
  if (size < kMapped) return ::operator new(size);
  if (size > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  // Whole huge pages, so that the last one is no run of small pages; over-mapped by one huge
  // page and trimmed at both ends, to start at a huge-page boundary.
  size = round_up(size, kHugePage);
  const std::size_t mapped = size + kHugePage;
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  const auto raw = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t aligned = round_up(raw, kHugePage);
  if (aligned > raw) munmap(p, aligned - raw);
  const std::uintptr_t tail = aligned + size;
  if (raw + mapped > tail) munmap(reinterpret_cast<void*>(tail), raw + mapped - tail);
  auto* data = reinterpret_cast<void*>(aligned);
  advise_huge_pages(data, size);
  return data;
}

void advise_huge_pages(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = round_up(start, kHugePage);
  const std::uintptr_t to = (start + size) & ~(kHugePage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

void free_large(void* data, std::size_t size) {
  if (!data) return;
  if (size < kMapped) {
    ::operator delete(data);
  } else {
    munmap(data, round_up(size, kHugePage));
  }
}

}  // namespace tolu
