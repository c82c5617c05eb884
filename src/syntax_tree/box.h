// Box<T>: owns exactly one T on the heap. Copying a box copies the T (a deep copy of the
// subtree); a box is never shared and never empty except after being moved from.
#pragma once

#include <memory>
#include <utility>

namespace tolu::ast {

template <class T>
class Box {
 public:
  Box(T value) : p_(std::make_unique<T>(std::move(value))) {}
  Box(const Box& other) : p_(std::make_unique<T>(*other.p_)) {}
  Box(Box&&) noexcept = default;
  Box& operator=(const Box& other) {
    if (this != &other) p_ = std::make_unique<T>(*other.p_);
    return *this;
  }
  Box& operator=(Box&&) noexcept = default;
  ~Box() = default;

  T& operator*() { return *p_; }
  const T& operator*() const { return *p_; }
  T* operator->() { return p_.get(); }
  const T* operator->() const { return p_.get(); }
  T& get() { return *p_; }
  const T& get() const { return *p_; }

  friend bool operator==(const Box& a, const Box& b) { return *a.p_ == *b.p_; }

 private:
  std::unique_ptr<T> p_;
};

}  // namespace tolu::ast
