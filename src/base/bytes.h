// Byte comparisons for the short texts the front end handles most: names and spellings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tolu {

// Unaligned loads of 8 and 4 bytes, in the machine's byte order.
inline std::uint64_t load8(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}
inline std::uint32_t load4(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Whether the `size` bytes at `a` and `b` are equal. Up to 16 bytes are compared a word at a time
// in place (two overlapping words cover them) rather than by a call.
inline bool same_bytes(const char* a, const char* b, std::size_t size) {
  if (size >= 8) {
    if (size > 16) return std::memcmp(a, b, size) == 0;
    return load8(a) == load8(b) && load8(a + size - 8) == load8(b + size - 8);
  }
  if (size >= 4) return load4(a) == load4(b) && load4(a + size - 4) == load4(b + size - 4);
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace tolu
