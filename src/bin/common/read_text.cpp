#include "bin/common/read_text.h"

#include <algorithm>
#include <cstring>

#include "base/large_pages.h"

namespace tolu::tools {
namespace {

// Reads `in` to its end into a buffer that `room(capacity, used)` makes `capacity` bytes long,
// keeping the `used` bytes read so far, and returns where the bytes are. Returns the number of
// bytes read, or nothing on a read error. Asks for one byte more than expected so that a read
// that fills the buffer is not taken for the end of the input.
template <class Room>
std::optional<std::size_t> read_into(std::istream& in, std::size_t expected_size, Room room) {
  std::size_t used = 0;
  std::size_t capacity = expected_size + 1;
  while (in) {
    char* data = room(capacity, used);
    in.read(data + used, static_cast<std::streamsize>(capacity - used));
    used += static_cast<std::size_t>(in.gcount());
    capacity = std::max(capacity * 2, std::size_t{4096});
  }
  if (in.bad()) return std::nullopt;
  return used;
}

}  // namespace

std::optional<std::string> read_all(std::istream& in, std::size_t expected_size) {
  std::string text;
  const auto used = read_into(in, expected_size, [&](std::size_t capacity, std::size_t) {
    text.resize(capacity);
    return text.data();
  });
  if (!used) return std::nullopt;
  text.resize(*used);
  return text;
}

void FreeBytes::operator()(char* data) const {
  free_large(data, capacity);
}

std::optional<Bytes> read_bytes(std::istream& in, std::size_t expected_size) {
  Bytes bytes;
  const auto used = read_into(in, expected_size, [&](std::size_t capacity, std::size_t kept) {
    // Memory nobody fills first (large buffers come zeroed by the kernel): the read fills it.
    std::unique_ptr<char[], FreeBytes> larger(static_cast<char*>(allocate_large(capacity)),
                                              FreeBytes{capacity});
    if (kept > 0) std::memcpy(larger.get(), bytes.data.get(), kept);
    bytes.data = std::move(larger);
    return bytes.data.get();
  });
  if (!used) return std::nullopt;
  bytes.size = *used;
  return bytes;
}

}  // namespace tolu::tools
