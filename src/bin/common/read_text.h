// Reading a whole input into memory for the command-line tools.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>

namespace tolu::tools {

// Reads `in` to its end. `expected_size` (a file's size, say) lets the common case read in one
// call into a buffer of the right size; the input may still turn out longer or shorter. Nothing
// on a read error.
std::optional<std::string> read_all(std::istream& in, std::size_t expected_size = 0);

}  // namespace tolu::tools
