#include "bin/common/read_text.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// `size` bytes that std::free releases. From a huge page up, they start at a huge-page boundary
// and the kernel is asked to back them with huge pages.
char* allocate_unfilled(std::size_t size) {
  if (size >= kHugePage) {
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    if (void* data = std::aligned_alloc(kHugePage, rounded)) {
#ifdef MADV_HUGEPAGE
      madvise(data, rounded, MADV_HUGEPAGE);
#endif
      return static_cast<char*>(data);
    }
  }
  if (void* data = std::malloc(size)) return static_cast<char*>(data);
  throw std::bad_alloc();
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

void Bytes::Free::operator()(char* data) const {
  std::free(data);
}

std::optional<Bytes> read_bytes(std::istream& in, std::size_t expected_size) {
  Bytes bytes;
  const auto used = read_into(in, expected_size, [&](std::size_t capacity, std::size_t kept) {
    // Uninitialised memory: the read fills it.
    std::unique_ptr<char[], Bytes::Free> larger(allocate_unfilled(capacity));
    if (kept > 0) std::memcpy(larger.get(), bytes.data.get(), kept);
    bytes.data = std::move(larger);
    return bytes.data.get();
  });
  if (!used) return std::nullopt;
  bytes.size = *used;
  return bytes;
}

}  // namespace tolu::tools
