#include "base/large_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace tolu {

void* allocate_large(std::size_t size) {
  if (size < kHugePage) return ::operator new(size);
  // Over-map by one huge page and trim both ends, leaving `size` bytes at a huge-page boundary.
  const std::size_t mapped = size + kHugePage;
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  const auto raw = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t aligned = round_up(raw, kHugePage);
  if (aligned > raw) munmap(p, aligned - raw);
  const std::uintptr_t tail =
      round_up(aligned + size, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)));
  if (raw + mapped > tail) munmap(reinterpret_cast<void*>(tail), raw + mapped - tail);
  auto* data = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(data, size, MADV_HUGEPAGE);
#endif
  return data;
}

void free_large(void* data, std::size_t size) {
  if (!data) return;
  if (size < kHugePage) {
    ::operator delete(data);
  } else {
    munmap(data, size);
  }
}

}  // namespace tolu
