#include "bin/common/read_text.h"

#include <algorithm>

namespace tolu::tools {

std::optional<std::string> read_all(std::istream& in, std::size_t expected_size) {
  std::string text;
  std::size_t used = 0;
  // Asks for one byte more than expected so that a read that fills the buffer is not taken for
  // the end of the input.
  std::size_t capacity = expected_size + 1;
  while (in) {
    text.resize(capacity);
    in.read(text.data() + used, static_cast<std::streamsize>(capacity - used));
    used += static_cast<std::size_t>(in.gcount());
    capacity = std::max(capacity * 2, std::size_t{4096});
  }
  if (in.bad()) return std::nullopt;
  text.resize(used);
  return text;
}

}  // namespace tolu::tools
