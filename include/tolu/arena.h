// A region allocator: objects are carved out of large chunks and are never freed one by one.
// Destroying the arena returns its chunks and runs no destructor, so it only holds trivially
// destructible types; make<T>() enforces that.
//
// The first chunk is small, so that a tiny program or a test touches a few pages only; each
// further chunk is twice the size of the one before, up to kMaxChunk. Chunks of kHugePage bytes
// and more start at a kHugePage boundary and are offered to the kernel for huge pages, so that a
// large tree costs few page faults. reset() forgets every object but keeps the chunks, so that a
// caller parsing file after file touches its pages once.
//
// Chunks are cut into regions of kRegion bytes at kRegion boundaries, and every region that
// holds small objects starts with a header naming the arena's owner (set_owner). So an object
// of the arena finds its owner from its own address alone (owner_of): a tree's nodes find their
// storage without keeping a pointer to it. An object never straddles two regions, except one
// larger than a region, which starts a region of its own and shares it with nothing. Objects
// fill a region upwards from its header and texts (copy_text) downwards from its end, so that
// texts need no alignment; blocks of odd size that need a little (allocate_among_texts) go among
// the texts, where they leave no padding before the next object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "tolu/export.h"

namespace tolu {

class TOLU_API Arena {
 public:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kDefaultFirstChunk = std::size_t{64} << 10;
  static constexpr std::size_t kMaxChunk = std::size_t{64} << 20;
  static constexpr std::size_t kRegion = std::size_t{64} << 10;
  static constexpr std::size_t kRegionHeader = 16;

  explicit Arena(std::size_t first_chunk = kDefaultFirstChunk);
  ~Arena();
  Arena(Arena&& other) noexcept;
  Arena& operator=(Arena&& other) noexcept;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // `size` bytes aligned to `align` (a power of two no larger than alignof(max_align_t)).
  void* allocate(std::size_t size, std::size_t align) {
    std::uintptr_t start = (cursor_ + (align - 1)) & ~std::uintptr_t{align - 1};
    // limit_ is aligned for any `align`, so start never passes it, and the room left is compared
    // without a sum that could wrap for a huge `size`.
    if (size > limit_ - start) return reinterpret_cast<void*>(next_region(size, align));
    cursor_ = start + size;
    return reinterpret_cast<void*>(start);
  }

  // Names what owns the arena (the storage of a tree, say) in the header of every region filled
  // from now on. Set it before the first allocation; it must outlive the arena's objects.
  void set_owner(void* owner) { owner_ = owner; }
  // The owner of the arena that handed out `object`, which must be smaller than a region.
  static void* owner_of(const void* object) {
    const std::uintptr_t region = reinterpret_cast<std::uintptr_t>(object) & ~(kRegion - 1);
    return reinterpret_cast<const RegionHeader*>(region)->owner;
  }

  template <class T, class... Args>
  T* make(Args&&... args) {
    static_assert(std::is_trivially_destructible_v<T>,
                  "the arena runs no destructor, so it holds only trivially destructible types");
    return ::new (allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
  }

  // The object that `make()` returns, built in place: no temporary is made and moved.
  template <class T, class Make>
  T* make_from(Make&& make) {
    static_assert(std::is_trivially_destructible_v<T>,
                  "the arena runs no destructor, so it holds only trivially destructible types");
    return ::new (allocate(sizeof(T), alignof(T))) T(std::forward<Make>(make)());
  }

  // Uninitialised room for `count` objects of type T.
  template <class T>
  T* allocate_array(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T>,
                  "the arena runs no destructor, so it holds only trivially destructible types");
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocate(count * sizeof(T), alignof(T)));
  }

  // A copy of `text` that lives as long as the arena's objects. Texts fill each region from its
  // end downwards, packed without alignment, while objects fill it upwards: so a text of odd
  // length costs no padding before the object that follows it.
  std::string_view copy_text(std::string_view text) {
    if (text.empty()) return {};
    char* bytes = allocate_text(text.size());
    copy_bytes(bytes, text.data(), text.size());
    return {bytes, text.size()};
  }

  // A copy of `text` preceded by its size in 4 unaligned bytes: for a view that keeps a pointer to
  // the bytes alone (CompactText). Returns the bytes. Throws std::length_error for a text of 2^32
  // bytes or more.
  const char* copy_counted_text(std::string_view text) {
    if (text.size() > UINT32_MAX) throw std::length_error("a text of 2^32 bytes or more");
    const auto size = static_cast<std::uint32_t>(text.size());
    char* bytes = allocate_text(sizeof size + text.size());
    std::memcpy(bytes, &size, sizeof size);
    copy_bytes(bytes + sizeof size, text.data(), text.size());
    return bytes + sizeof size;
  }

  // Room for `size` bytes aligned to `align` (a power of two no larger than 8) among the texts,
  // below them: for an object of odd size (a record and the bytes that follow it, say), which among
  // the objects would leave up to `align` - 1 bytes of padding before the next one, and among the
  // texts leaves none after it.
  void* allocate_among_texts(std::size_t size, std::size_t align) {
    return allocate_text(size, align);
  }

  // Copies `size` bytes. Most texts a tree keeps (numbers, names, short strings) are a few
  // bytes long: up to sixteen are copied in place, as one or two overlapping words or byte by
  // byte, rather than by a call.
  static void copy_bytes(char* to, const char* from, std::size_t size) {
    if (size > 16) {
      std::memcpy(to, from, size);
    } else if (size >= 8) {
      std::uint64_t head;
      std::uint64_t tail;
      std::memcpy(&head, from, 8);
      std::memcpy(&tail, from + size - 8, 8);
      std::memcpy(to, &head, 8);
      std::memcpy(to + size - 8, &tail, 8);
    } else {
      for (std::size_t i = 0; i < size; ++i) to[i] = from[i];
    }
  }

  // A hint that about `bytes` more are coming, such as a tree's expected size: the next chunk the
  // arena gets holds them (up to kMaxChunk), so that a large tree goes straight to huge pages
  // rather than through a series of small chunks, each a few thousand page faults. A chunk kept
  // by reset() is used before a new one is made, as always.
  void expect(std::size_t bytes) { expected_ = bytes; }

  // Forgets every object, keeping the chunks for the next ones.
  void reset();
  // Returns the memory no object uses yet to the system: the chunks kept after the current one,
  // and the whole pages at the end of the current chunk when it is one of huge pages. For an arena
  // whose objects are all made and will be kept a while; allocating afterwards still works.
  void trim();

  // Bytes handed out since construction or the last reset, counting alignment padding and the
  // regions' headers.
  std::size_t bytes_used() const;
  // Bytes of all chunks held.
  std::size_t bytes_reserved() const;
  std::size_t chunk_count() const { return chunks_.size(); }

 private:
  struct RegionHeader {
    void* owner;
  };
  static_assert(sizeof(RegionHeader) <= kRegionHeader);

  struct Chunk {
    std::byte* data;
    std::size_t size;
    // A chunk of huge pages: the block it was cut from, which is what is freed. Null for a
    // smaller chunk, which operator new aligned itself.
    std::byte* block;
  };

  static constexpr std::uintptr_t kMaxAlign = alignof(std::max_align_t);

  // `size` bytes below the texts of the current region, aligned to `align` (1 for a text, which
  // makes the mask below a no-op). The texts stop kMaxAlign - 1 bytes short of the objects, so
  // that limit_ stays at or past any aligned start of the next object: cursor_ <= limit_ <=
  // texts_.
  char* allocate_text(std::size_t size, std::size_t align = 1) {
    if (size <= texts_ - cursor_) {
      const std::uintptr_t start = (texts_ - size) & ~std::uintptr_t{align - 1};
      if (start >= cursor_ + (kMaxAlign - 1)) {
        texts_ = start;
        limit_ = texts_ & ~(kMaxAlign - 1);
        return reinterpret_cast<char*>(texts_);
      }
    }
    return text_in_next_region(size, align);
  }
  char* text_in_next_region(std::size_t size, std::size_t align);
  // The bytes used in the current chunk: its regions up to the cursor, and the current
  // region's texts.
  std::size_t used_in_current_chunk() const;

  // Moves to the next region, or for a request larger than a region to room of its own, and
  // returns the aligned start there, with the cursor moved past the request.
  std::uintptr_t next_region(std::size_t size, std::size_t align);
  // Moves to the next chunk that holds `size` bytes, reusing a kept one or getting a new one.
  void next_chunk(std::size_t size);
  static Chunk get_chunk(std::size_t size);
  static void free_chunk(const Chunk& chunk);
  void release();

  std::vector<Chunk> chunks_;
  std::size_t current_ = 0;  // index of the chunk being filled; chunks after it are kept empty
  std::size_t first_chunk_;
  std::size_t largest_chunk_ = 0;
  std::size_t used_before_ = 0;  // bytes used in the chunks before the current one
  std::uintptr_t cursor_ = 0;
  // The objects of the current region end before limit_, its texts start at texts_ and run to
  // region_end_; limit_ is texts_ rounded down to max_align_t, so that an aligned start never
  // passes it.
  std::uintptr_t limit_ = 0;
  std::uintptr_t texts_ = 0;
  std::uintptr_t region_end_ = 0;
  void* owner_ = nullptr;
  std::size_t expected_ = 0;  // expect()'s hint for the next new chunk
};

}  // namespace tolu
