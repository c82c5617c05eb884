// Reading a whole input into memory for the command-line tools.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tolu::tools {

// Reads `in` to its end. `expected_size` (a file's size, say) lets the common case read in one
// call into a buffer of the right size; the input may still turn out longer or shorter. Nothing
// on a read error.
std::optional<std::string> read_all(std::istream& in, std::size_t expected_size = 0);

// A whole input read into memory that nothing filled before: for a large file, filling a
// std::string with zeros first costs as much as reading it. A large input's memory is aligned
// for huge pages, so that reading it faults a few pages in rather than thousands.
struct FreeBytes {
  std::size_t capacity = 0;  // the bytes allocated
  void operator()(char* data) const;
};
struct Bytes {
  std::unique_ptr<char[], FreeBytes> data;
  std::size_t size = 0;
  std::string_view view() const { return {data.get(), size}; }
};

// As read_all, into Bytes.
std::optional<Bytes> read_bytes(std::istream& in, std::size_t expected_size = 0);

}  // namespace tolu::tools
