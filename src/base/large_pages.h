// Memory for large buffers that the kernel may back with huge pages. A buffer of half a huge page
// or more is mapped in whole huge pages at a huge-page boundary and offered for huge pages, so
// that filling it faults a few pages in rather than thousands (each fault of a small page costs
// microseconds, a huge page little more); a smaller one comes from operator new.
#pragma once

#include <cstddef>
#include <new>

namespace tolu {

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;

// `n` rounded up to a multiple of `to`.
constexpr std::size_t round_up(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

// Offers the whole huge pages among the `size` bytes at `data` to the kernel for huge pages.
void advise_huge_pages(void* data, std::size_t size);

// `size` bytes, uninitialised where they come from operator new and zero where mapped. Throws
// std::bad_alloc.
void* allocate_large(std::size_t size);
// Frees what allocate_large(size) gave.
void free_large(void* data, std::size_t size);

// A std::allocator whose large allocations are those of allocate_large: for the vectors that grow
// with the size of a program (the walks' scope tables, say).
template <class T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() = default;
  template <class U>
  LargePageAllocator(const LargePageAllocator<U>&) noexcept {}  // NOLINT: as std::allocator
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocate_large(n * sizeof(T)));
  }
  void deallocate(T* data, std::size_t n) noexcept { free_large(data, n * sizeof(T)); }
  template <class U>
  bool operator==(const LargePageAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace tolu
