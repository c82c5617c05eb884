#include "tolu/arena.h"

#include "base/large_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

namespace tolu {

static_assert(Arena::kHugePage == kHugePage);

Arena::Arena(std::size_t first_chunk)
    : first_chunk_(round_up(std::max(first_chunk, kRegion), kRegion)) {}

Arena::~Arena() {
  release();
}

Arena::Arena(Arena&& other) noexcept
    : chunks_(std::move(other.chunks_)),
      current_(std::exchange(other.current_, 0)),
      first_chunk_(other.first_chunk_),
      largest_chunk_(std::exchange(other.largest_chunk_, 0)),
      used_before_(std::exchange(other.used_before_, 0)),
      cursor_(std::exchange(other.cursor_, 0)),
      limit_(std::exchange(other.limit_, 0)),
      texts_(std::exchange(other.texts_, 0)),
      region_end_(std::exchange(other.region_end_, 0)),
      owner_(other.owner_),
      expected_(std::exchange(other.expected_, 0)) {
  other.chunks_.clear();
}

Arena& Arena::operator=(Arena&& other) noexcept {
  if (this != &other) {
    release();
    chunks_ = std::move(other.chunks_);
    other.chunks_.clear();
    current_ = std::exchange(other.current_, 0);
    first_chunk_ = other.first_chunk_;
    largest_chunk_ = std::exchange(other.largest_chunk_, 0);
    used_before_ = std::exchange(other.used_before_, 0);
    cursor_ = std::exchange(other.cursor_, 0);
    limit_ = std::exchange(other.limit_, 0);
    texts_ = std::exchange(other.texts_, 0);
    region_end_ = std::exchange(other.region_end_, 0);
    owner_ = other.owner_;
    expected_ = std::exchange(other.expected_, 0);
  }
  return *this;
}

void Arena::release() {
  for (const Chunk& chunk : chunks_) free_chunk(chunk);
  chunks_.clear();
  current_ = 0;
  largest_chunk_ = 0;
  used_before_ = 0;
  cursor_ = limit_ = texts_ = region_end_ = 0;
}

void Arena::reset() {
  current_ = 0;
  used_before_ = 0;
  // At the first chunk's start, with no room: the next allocation writes the region's header.
  cursor_ = limit_ = texts_ = region_end_ =
      chunks_.empty() ? 0 : reinterpret_cast<std::uintptr_t>(chunks_[0].data);
}

void Arena::trim() {
  if (chunks_.empty()) return;
  for (std::size_t i = current_ + 1; i < chunks_.size(); ++i) free_chunk(chunks_[i]);
  chunks_.resize(current_ + 1);
  Chunk& chunk = chunks_[current_];
  if (!chunk.block) return;
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto base = reinterpret_cast<std::uintptr_t>(chunk.data);
  const std::uintptr_t end = base + chunk.size;
  // The current region's texts, at its end, are kept with the objects.
  const std::uintptr_t used_end = texts_ < region_end_ ? region_end_ : cursor_;
  const std::uintptr_t kept_end = round_up(std::max(used_end, base + 1), page);
  if (kept_end >= end) return;
  // The pages stay in the block, which is freed whole; only their memory goes back.
  madvise(reinterpret_cast<void*>(kept_end), end - kept_end, MADV_DONTNEED);
  chunk.size = kept_end - base;
  limit_ = std::min(limit_, kept_end);
  texts_ = std::min(texts_, kept_end);
  region_end_ = std::min(region_end_, kept_end);
}

std::size_t Arena::bytes_used() const {
  if (chunks_.empty()) return 0;
  return used_before_ + used_in_current_chunk();
}

std::size_t Arena::used_in_current_chunk() const {
  return (cursor_ - reinterpret_cast<std::uintptr_t>(chunks_[current_].data)) +
         (region_end_ - texts_);
}

std::size_t Arena::bytes_reserved() const {
  std::size_t total = 0;
  for (const Chunk& chunk : chunks_) total += chunk.size;
  return total;
}

std::uintptr_t Arena::next_region(std::size_t size, std::size_t align) {
  // A region's first object starts right after the header, aligned for any `align`.
  static_assert(kRegionHeader % alignof(std::max_align_t) == 0);
  (void)align;
  // No chunk could hold it, and the sums below would wrap.
  if (size > SIZE_MAX / 2) throw std::bad_alloc();
  const bool small = size <= kRegion - kRegionHeader;
  const std::size_t needed = small ? kRegion : size;
  std::uintptr_t region = round_up(cursor_, kRegion);
  if (chunks_.empty() ||
      region + needed >
          reinterpret_cast<std::uintptr_t>(chunks_[current_].data) + chunks_[current_].size) {
    next_chunk(needed);
    region = reinterpret_cast<std::uintptr_t>(chunks_[current_].data);
  }
  if (!small) {
    // Shares its regions with nothing: with no room left after it, the next allocation starts a
    // region of its own. Rounded so that the limit stays aligned for any `align`.
    cursor_ = limit_ = texts_ = region_end_ = round_up(region + size, alignof(std::max_align_t));
    return region;
  }
  ::new (reinterpret_cast<void*>(region)) RegionHeader{owner_};
  limit_ = texts_ = region_end_ = region + kRegion;
  cursor_ = region + kRegionHeader + size;
  return region + kRegionHeader;
}

char* Arena::text_in_next_region(std::size_t size, std::size_t align) {
  // A text that would not leave the gap in an empty region gets room of its own.
  if (size > kRegion - kRegionHeader - (kMaxAlign - 1) - (align - 1))
    return reinterpret_cast<char*>(next_region(size, align));
  next_region(0, 1);
  return allocate_text(size, align);
}

void Arena::next_chunk(std::size_t size) {
  if (!chunks_.empty()) {
    used_before_ += used_in_current_chunk();
  }
  // A chunk kept by reset() that holds the request; a smaller one is passed over until the
  // next reset.
  std::size_t next = chunks_.empty() ? 0 : current_ + 1;
  while (next < chunks_.size() && chunks_[next].size < size) ++next;
  if (next == chunks_.size()) {
    std::size_t chunk_size =
        chunks_.empty() ? first_chunk_ : std::min(largest_chunk_ * 2, kMaxChunk);
    chunk_size = std::max({chunk_size, round_up(size, kRegion),
                           round_up(std::min(std::exchange(expected_, 0), kMaxChunk), kRegion)});
    if (chunk_size >= kHugePage) chunk_size = round_up(chunk_size, kHugePage);
    largest_chunk_ = std::max(largest_chunk_, chunk_size);
    // The new chunk goes next, before any kept chunk the request passed over.
    next = chunks_.empty() ? 0 : current_ + 1;
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(next), get_chunk(chunk_size));
  } else if (next != current_ + 1) {
    // Keep the chunks in the order they are filled, so that the passed-over ones come next.
    std::rotate(chunks_.begin() + static_cast<std::ptrdiff_t>(current_ + 1),
                chunks_.begin() + static_cast<std::ptrdiff_t>(next),
                chunks_.begin() + static_cast<std::ptrdiff_t>(next + 1));
    next = current_ + 1;
  }
  current_ = next;
  cursor_ = reinterpret_cast<std::uintptr_t>(chunks_[current_].data);
}

Arena::Chunk Arena::get_chunk(std::size_t size) {
  if (size < kHugePage) {
    return Chunk{static_cast<std::byte*>(::operator new (size, std::align_val_t{kRegion})), size,
                 nullptr};
  }
  // Cut at a huge-page boundary (a region boundary too) from a plain block one huge page longer.
  // Asking operator new for the alignment instead gets, from glibc at least, a block mapped
  // afresh at every request and unmapped at every free; a plain block of a size the allocator
  // has seen freed, it serves again from the memory the last one left. So a host that parses
  // program after program, each with storage of its own, reuses warm pages rather than having
  // the kernel clear fresh ones for every tree.
  auto* block = static_cast<std::byte*>(::operator new(size + kHugePage));
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  std::byte* data = block + (round_up(address, kHugePage) - address);
  advise_huge_pages(data, size);
  return Chunk{data, size, block};
}

void Arena::free_chunk(const Chunk& chunk) {
  if (chunk.block) {
    ::operator delete(chunk.block);
  } else {
    ::operator delete (chunk.data, std::align_val_t{kRegion});
  }
}

}  // namespace tolu
