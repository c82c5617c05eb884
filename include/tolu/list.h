// List<T>: a list of nodes in an arena, built once at its final size. It is a pointer and a
// 32-bit length, and reads like a std::vector that cannot grow: range-for, size(), empty(),
// operator[], front(), back() and ==. A List owns its items as a handle does: it moves (the
// moved-from list is empty) but never copies, so that two nodes never share a list by accident;
// const propagates from the list to its items, as with a vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "tolu/arena.h"

namespace tolu {

template <class T>
class List {
 public:
  using value_type = T;
  using size_type = std::uint32_t;
  using iterator = T*;
  using const_iterator = const T*;

  // The longest list. Every item comes from at least one character of source, and sources are
  // refused above kMaxSourceCharacters (base/source_size.h), so a parsed tree stays below it.
  static constexpr std::size_t kMaxSize = UINT32_MAX;

  List() = default;
  List(List&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  List& operator=(List&& other) noexcept {
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }
  List(const List&) = delete;
  List& operator=(const List&) = delete;
  ~List() = default;

  // Copies [first, last) into `arena`.
  template <class It>
  static List copy(Arena& arena, It first, It last) {
    return build(arena, first, last, [](auto it) -> decltype(auto) { return *it; });
  }
  // Moves [first, last) into `arena`.
  template <class It>
  static List move(Arena& arena, It first, It last) {
    return build(arena, first, last, [](auto it) -> decltype(auto) { return std::move(*it); });
  }
  template <class Range>
  static List copy(Arena& arena, const Range& range) {
    return copy(arena, std::begin(range), std::end(range));
  }
  // `count` items built by `make(i)` for i in [0, count).
  template <class Make>
  static List generate(Arena& arena, std::size_t count, Make&& make) {
    T* items = arena.allocate_array<T>(checked(count));
    for (std::size_t i = 0; i < count; ++i) ::new (items + i) T(make(i));
    return List(items, static_cast<size_type>(count));
  }

  size_type size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& at(std::size_t i) { return data_[checked_index(i)]; }
  const T& at(std::size_t i) const { return data_[checked_index(i)]; }
  T& front() { return data_[0]; }
  const T& front() const { return data_[0]; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }

  // Compares with a vector of anything the items compare with (names with strings, say).
  template <class U>
  friend bool operator==(const List& a, const std::vector<U>& b) {
    if (a.size_ != b.size()) return false;
    for (size_type i = 0; i < a.size_; ++i) {
      if (!(a.data_[i] == b[i])) return false;
    }
    return true;
  }

  friend bool operator==(const List& a, const List& b) {
    if (a.size_ != b.size_) return false;
    for (size_type i = 0; i < a.size_; ++i) {
      if (!(a.data_[i] == b.data_[i])) return false;
    }
    return true;
  }

 private:
  List(T* data, size_type size) : data_(data), size_(size) {}

  std::size_t checked_index(std::size_t i) const {
    if (i >= size_) throw std::out_of_range("list index out of range");
    return i;
  }

  static std::size_t checked(std::size_t count) {
    if (count > kMaxSize) throw std::length_error("list longer than 2^32 - 1 items");
    return count;
  }

  template <class It, class Take>
  static List build(Arena& arena, It first, It last, Take take) {
    const auto count = static_cast<std::size_t>(std::distance(first, last));
    if (count == 0) return List();
    T* items = arena.allocate_array<T>(checked(count));
    T* out = items;
    for (; first != last; ++first, ++out) ::new (out) T(take(first));
    return List(items, static_cast<size_type>(count));
  }

  T* data_ = nullptr;
  size_type size_ = 0;
};

}  // namespace tolu
