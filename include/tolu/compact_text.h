// Text that a tree keeps in its arena behind its size: a view in one pointer where a
// std::string_view takes two, for the records that many nodes hold (template parts, string keys).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

#include "tolu/arena.h"

namespace tolu {

// Reads like a std::string_view and converts to one; == compares the bytes. Made by copy() into
// an arena (Builder::compact_text), so it lives as long as that arena's objects.
class CompactText {
 public:
  // The empty text.
  CompactText() = default;

  // A copy of `text` in `arena`.
  static CompactText copy(Arena& arena, std::string_view text) {
    return text.empty() ? CompactText() : CompactText(arena.copy_counted_text(text));
  }

  std::size_t size() const {
    if (!bytes_) return 0;
    std::uint32_t size;
    std::memcpy(&size, bytes_ - sizeof size, sizeof size);
    return size;
  }
  bool empty() const { return bytes_ == nullptr; }
  const char* data() const { return bytes_ ? bytes_ : ""; }
  std::string_view view() const { return {data(), size()}; }
  operator std::string_view() const { return view(); }  // NOLINT(google-explicit-constructor)
  std::string str() const { return std::string(view()); }

  friend bool operator==(const CompactText& a, const CompactText& b) {
    return a.view() == b.view();
  }
  friend bool operator==(const CompactText& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const CompactText& a, const std::string& b) { return a.view() == b; }
  friend bool operator==(const CompactText& a, const char* b) { return a.view() == b; }
  friend std::ostream& operator<<(std::ostream& out, const CompactText& text) {
    return out << text.view();
  }

 private:
  explicit CompactText(const char* bytes) : bytes_(bytes) {}
  const char* bytes_ = nullptr;  // the size sits in the 4 bytes before them
};

}  // namespace tolu
