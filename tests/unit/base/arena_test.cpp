#include "tolu/arena.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/large_pages.h"
#include "tolu/compact_text.h"
#include "tolu/list.h"

namespace tolu {
namespace {

std::uintptr_t address(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

// Objects, texts (align 0 below) and aligned blocks among the texts, of many sizes, mixed: every
// block is aligned, no two overlap, and every text keeps its bytes.
TEST(Arena, HandsOutAlignedBlocksThatDoNotOverlap) {
  struct Request {
    std::size_t size;
    std::size_t align;
    bool among_texts = false;
  };
  constexpr std::size_t kRegion = Arena::kRegion;
  // clang-format off
  const std::vector<Request> requests = {
      {1, 1}, {3, 2}, {8, 8}, {1, 0}, {1, 16}, {24, 8}, {7, 0}, {7, 4}, {0, 8}, {0, 0}, {5, 0},
      {100, 1}, {5000, 16}, {1, 8}, {kRegion - 384, 0}, {kRegion * 5 / 2, 8}, {2, 2}, {13, 0},
      {64, 16}, {kRegion - 15, 0}, {kRegion - 14, 0}, {kRegion * 5 / 2, 0}, {3, 0}, {8, 16},
      {17, 4, true}, {16, 8, true}, {5, 0}, {23, 8, true}, {kRegion - 40, 8, true},
      {kRegion + 7, 4, true}, {0, 4, true}, {30, 1, true}};
  // clang-format on
  Arena arena(256);
  std::vector<std::pair<std::uintptr_t, std::size_t>> blocks;
  std::vector<std::pair<std::string_view, std::string>> texts;
  for (int round = 0; round < 20; ++round) {
    for (const Request& r : requests) {
      if (r.align == 0) {
        const std::string text(r.size, static_cast<char>('a' + (round + r.size) % 26));
        const std::string_view copy = arena.copy_text(text);
        if (!copy.empty()) blocks.emplace_back(address(copy.data()), copy.size());
        texts.emplace_back(copy, text);
        continue;
      }
      void* p = r.among_texts ? arena.allocate_among_texts(r.size, r.align)
                              : arena.allocate(r.size, r.align);
      ASSERT_EQ(address(p) % r.align, 0u) << r.size << "/" << r.align;
      std::memset(p, round, r.size);  // the sanitizer build checks that the bytes are there
      if (r.size) blocks.emplace_back(address(p), r.size);
    }
  }
  for (const auto& [copy, text] : texts) ASSERT_EQ(copy, text);
  std::sort(blocks.begin(), blocks.end());
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    ASSERT_LE(blocks[i - 1].first + blocks[i - 1].second, blocks[i].first);
  }
}

// Texts of odd lengths between objects cost no padding: the bytes used are those asked for,
// the regions' headers and what is left at the end of each region.
TEST(Arena, PacksTextsBetweenObjectsWithoutPadding) {
  Arena arena;
  std::size_t asked = 0;
  for (int i = 0; i < 100000; ++i) {
    arena.allocate(32, 8);
    arena.copy_text(std::string_view("abcdefg", 1 + i % 7));
    asked += 32 + 1 + i % 7;
  }
  const std::size_t regions = arena.bytes_used() / Arena::kRegion + 1;
  EXPECT_LE(arena.bytes_used(), asked + regions * (Arena::kRegionHeader + 64));
  EXPECT_GE(arena.bytes_used(), asked);
}

// Blocks of odd size placed among the texts (names and their bytes) cost at most their own
// alignment's padding, not the padding that the next object upwards would need after them.
TEST(Arena, PlacesOddBlocksAmongTheTextsWithLittlePadding) {
  Arena arena;
  std::size_t asked = 0;
  constexpr std::size_t kBlocks = 100000;
  for (std::size_t i = 0; i < kBlocks; ++i) {
    arena.allocate(32, 8);
    arena.allocate_among_texts(17 + i % 7, 4);
    arena.copy_text(std::string_view("abc", 1 + i % 3));
    asked += 32 + 17 + i % 7 + 1 + i % 3;
  }
  const std::size_t regions = arena.bytes_used() / Arena::kRegion + 1;
  EXPECT_LE(arena.bytes_used(), asked + 3 * kBlocks + regions * (Arena::kRegionHeader + 64));
  EXPECT_GE(arena.bytes_used(), asked);
}

TEST(Arena, StartsSmallAndGrowsGeometrically) {
  Arena arena;
  EXPECT_EQ(arena.bytes_reserved(), 0u);
  arena.make<int>(1);
  EXPECT_EQ(arena.bytes_reserved(), Arena::kDefaultFirstChunk);

  // Filling a few megabytes takes a handful of chunks, not one per first-chunk size.
  for (int i = 0; i < 4096; ++i) arena.allocate(1024, 8);
  EXPECT_GE(arena.bytes_used(), 4096u * 1024);
  EXPECT_LE(arena.chunk_count(), 10u);
  EXPECT_LT(arena.bytes_reserved(), 3 * arena.bytes_used());
}

TEST(Arena, MapsLargeChunksAtHugePageBoundaries) {
  Arena arena(256);
  // A request larger than any chunk so far gets a chunk of its own, rounded to huge pages.
  void* big = arena.allocate(3 << 20, 8);
  EXPECT_EQ(address(big) % Arena::kHugePage, 0u);
  std::memset(big, 1, 3 << 20);
  // Growth alone reaches huge chunks as well.
  Arena grown(256);
  for (int i = 0; i < 8 << 10; ++i) grown.allocate(1024, 8);
  const std::size_t chunks = grown.chunk_count();
  void* after = nullptr;
  while (grown.chunk_count() == chunks) after = grown.allocate(64, 8);
  // The first small object of a chunk follows its first region's header.
  EXPECT_EQ(address(after) % Arena::kHugePage, Arena::kRegionHeader);
}

TEST(Arena, AnExpectedSizeMakesTheNextNewChunkLargeEnough) {
  struct Case {
    std::size_t expected;
    std::size_t reserved;  // by the first chunk
  };
  // Below the first chunk's size, the hint changes nothing; above it, the chunk holds the
  // expected bytes, rounded to huge pages once it reaches one; past the largest chunk, it is
  // the largest chunk.
  for (const Case c : {Case{0, Arena::kDefaultFirstChunk}, Case{1000, Arena::kDefaultFirstChunk},
                       Case{100000, round_up(100000, Arena::kRegion)}, Case{(5 << 20) + 1, 6 << 20},
                       Case{SIZE_MAX, Arena::kMaxChunk}}) {
    SCOPED_TRACE(c.expected);
    Arena arena;
    arena.expect(c.expected);
    void* first = arena.allocate(8, 8);
    std::memset(first, 1, 8);
    EXPECT_EQ(arena.bytes_reserved(), c.reserved);
    // The hint is used once: the next chunk grows from the largest as before.
    while (arena.chunk_count() == 1) arena.allocate(4096, 8);
    EXPECT_EQ(arena.bytes_reserved(),
              c.reserved + std::min(std::max(c.reserved * 2, std::size_t{4096}), Arena::kMaxChunk));
  }
  // A chunk kept by reset() comes first; the hint sizes the next one made.
  Arena reused;
  reused.allocate(64, 8);
  reused.reset();
  reused.expect(3 << 20);
  reused.allocate(64, 8);
  EXPECT_EQ(reused.chunk_count(), 1u);
  while (reused.chunk_count() == 1) reused.allocate(4096, 8);
  EXPECT_EQ(reused.bytes_reserved(), Arena::kDefaultFirstChunk + (4 << 20));
}

TEST(Arena, TrimReturnsTheUnusedTailAndKeepsTheObjects) {
  struct Case {
    std::size_t first_chunk;
    std::size_t used;
  };
  // A mapped chunk barely used, half used and full to its last page; a small chunk (not mapped,
  // kept whole); an arena reset with chunks kept after the current one.
  for (const Case c : {Case{Arena::kHugePage, 100}, Case{Arena::kHugePage, Arena::kHugePage / 2},
                       Case{Arena::kHugePage, Arena::kHugePage - 10}, Case{4096, 1000}}) {
    SCOPED_TRACE(c.used);
    Arena arena(c.first_chunk);
    auto* bytes = static_cast<unsigned char*>(arena.allocate(c.used, 1));
    std::memset(bytes, 0xAB, c.used);
    arena.trim();
    EXPECT_LE(
        arena.bytes_reserved(),
        std::max(c.first_chunk < Arena::kHugePage ? std::max(c.first_chunk, Arena::kRegion) : 0,
                 (c.used + Arena::kRegionHeader + 4095) / 4096 * 4096));
    EXPECT_GE(arena.bytes_used(), c.used);
    EXPECT_LE(arena.bytes_used(), c.used + Arena::kRegionHeader);
    EXPECT_TRUE(std::all_of(bytes, bytes + c.used, [](unsigned char b) { return b == 0xAB; }));
    // Allocating afterwards goes on in a new chunk where the trimmed one has no room.
    auto* more = static_cast<unsigned char*>(arena.allocate(8192, 8));
    std::memset(more, 0xCD, 8192);
    EXPECT_TRUE(std::all_of(bytes, bytes + c.used, [](unsigned char b) { return b == 0xAB; }));
  }
  Arena reused(4096);
  while (reused.bytes_used() < 2 * Arena::kRegion) reused.allocate(4000, 8);
  const std::size_t chunks = reused.chunk_count();
  reused.reset();
  reused.allocate(10, 8);
  reused.trim();
  EXPECT_EQ(reused.chunk_count(), 1u);
  EXPECT_GT(chunks, 1u);
  reused.allocate(100000, 8);  // still grows after a trim
  EXPECT_EQ(reused.chunk_count(), 2u);
}

// The pages of [from, to) that are in memory.
std::size_t resident_pages(std::uintptr_t from, std::uintptr_t to) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> pages((to - from) / page);
  if (mincore(reinterpret_cast<void*>(from), to - from, pages.data()) != 0) return SIZE_MAX;
  return static_cast<std::size_t>(
      std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; }));
}

// A trim gives the memory of the pages past the objects back to the system, pages that earlier
// objects had filled included, and the objects kept, and any made after it, keep their bytes.
TEST(Arena, TrimGivesTheTailsMemoryBack) {
  Arena arena(4 * Arena::kHugePage);
  auto* first = static_cast<unsigned char*>(arena.allocate(3 * Arena::kHugePage, 8));
  std::memset(first, 0xAB, 3 * Arena::kHugePage);
  const std::uintptr_t chunk = address(first) & ~(Arena::kHugePage - 1);
  const std::uintptr_t tail = chunk + Arena::kHugePage;
  ASSERT_GT(resident_pages(tail, tail + Arena::kHugePage), 0u);

  arena.reset();
  auto* kept = static_cast<unsigned char*>(arena.allocate(1000, 8));
  std::memset(kept, 0xCD, 1000);
  arena.trim();
  EXPECT_EQ(resident_pages(tail, chunk + 4 * Arena::kHugePage), 0u);
  EXPECT_TRUE(std::all_of(kept, kept + 1000, [](unsigned char b) { return b == 0xCD; }));
  auto* later = static_cast<unsigned char*>(arena.allocate(Arena::kHugePage, 8));
  std::memset(later, 0xEF, Arena::kHugePage);
  EXPECT_TRUE(std::all_of(kept, kept + 1000, [](unsigned char b) { return b == 0xCD; }));
}

// Texts sit at the end of their region: a trim keeps that region whole, and allocating goes on
// after it.
TEST(Arena, TrimKeepsTheTextsOfTheCurrentRegion) {
  Arena arena(Arena::kHugePage);
  arena.allocate(100, 8);
  const std::string_view text = arena.copy_text("kept across the trim");
  arena.trim();
  EXPECT_LE(arena.bytes_reserved(), Arena::kRegion);
  EXPECT_EQ(text, "kept across the trim");
  const std::string_view more = arena.copy_text(std::string(100, 'x'));
  auto* object = static_cast<char*>(arena.allocate(20000, 8));
  std::memset(object, 0, 20000);
  EXPECT_EQ(text, "kept across the trim");
  EXPECT_EQ(more, std::string(100, 'x'));
}

TEST(Arena, ResetKeepsTheChunksAndReusesThemInOrder) {
  Arena arena(1024);
  const void* first = arena.allocate(16, 8);
  for (int i = 0; i < 1000; ++i) arena.allocate(200, 8);
  const std::size_t reserved = arena.bytes_reserved();
  const std::size_t chunks = arena.chunk_count();

  arena.reset();
  EXPECT_EQ(arena.bytes_used(), 0u);
  EXPECT_EQ(arena.allocate(16, 8), first);
  for (int i = 0; i < 1000; ++i) arena.allocate(200, 8);
  EXPECT_EQ(arena.bytes_reserved(), reserved);
  EXPECT_EQ(arena.chunk_count(), chunks);

  // A request no kept chunk holds passes the small ones over and adds one chunk.
  arena.reset();
  arena.allocate(16, 8);
  void* big = arena.allocate(reserved, 8);
  std::memset(big, 0, reserved);
  EXPECT_EQ(arena.chunk_count(), chunks + 1);
  for (int i = 0; i < 1000; ++i) arena.allocate(200, 8);
  EXPECT_EQ(arena.chunk_count(), chunks + 1);
}

// Buffers from half a huge page up are mapped in whole huge pages at a huge-page boundary and
// come zeroed; smaller ones come from operator new. Every byte asked for is there either way.
TEST(LargePages, BuffersFromHalfAHugePageUpAreMappedAndAligned) {
  for (const std::size_t size : {std::size_t{1}, kHugePage / 2 - 1, kHugePage / 2, kHugePage - 1,
                                 kHugePage, kHugePage + 1, 5 * kHugePage + 3}) {
    SCOPED_TRACE(size);
    auto* bytes = static_cast<unsigned char*>(allocate_large(size));
    if (size >= kHugePage / 2) {
      EXPECT_EQ(address(bytes) % kHugePage, 0u);
      EXPECT_EQ(bytes[0], 0);
      EXPECT_EQ(bytes[size - 1], 0);
    }
    std::memset(bytes, 0x5A, size);
    EXPECT_EQ(bytes[size - 1], 0x5A);
    free_large(bytes, size);
  }
  LargePageAllocator<std::uint64_t> allocator;
  EXPECT_THROW(static_cast<void>(allocator.allocate(SIZE_MAX / 4)), std::bad_alloc);
  // Sizes whose rounding to huge pages would wrap, or that no mapping holds.
  for (const std::size_t size : {SIZE_MAX, SIZE_MAX - kHugePage, SIZE_MAX / 2}) {
    EXPECT_THROW(static_cast<void>(allocate_large(size)), std::bad_alloc) << size;
  }
}

// Every object smaller than a region finds the arena's owner from its address: in the first
// chunk and in later ones, after an object larger than a region, and after a reset.
TEST(Arena, EveryObjectFindsTheOwnerOfItsArena) {
  int owner = 0;
  Arena arena(256);
  arena.set_owner(&owner);
  const std::vector<std::size_t> sizes = {
      8, 40, 3000, 24, Arena::kRegion - Arena::kRegionHeader, 1, 5 * Arena::kRegion, 32, 7000, 16};
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      for (const std::size_t size : sizes) {
        void* p = arena.allocate(size, 8);
        std::memset(p, 0xEE, size);
        if (size < Arena::kRegion) {
          ASSERT_EQ(Arena::owner_of(p), &owner) << size;
        }
      }
    }
    EXPECT_GT(arena.chunk_count(), 3u);
    arena.reset();
  }
}

// A request no memory could hold is refused, not wrapped into a small one.
// Refused from every state of the cursor, the sizes next to SIZE_MAX included, whose end would
// wrap to a small address: in a fresh arena, with room left in a region, at a region's end, and
// right after an object larger than a region, whose end is not aligned.
TEST(Arena, RefusesARequestLargerThanMemory) {
  const std::size_t sizes[] = {SIZE_MAX / 2 + 1, SIZE_MAX / 2 + Arena::kRegion,
                               SIZE_MAX - 64,    SIZE_MAX - 15,
                               SIZE_MAX - 1,     SIZE_MAX};
  const auto fill = [](Arena& arena, std::size_t step) {
    switch (step) {
      case 0:
        break;
      case 1:
        arena.allocate(10, 8);
        break;
      case 2:
        arena.allocate(Arena::kRegion - Arena::kRegionHeader, 16);
        break;
      case 3:
        arena.allocate(Arena::kRegion + 3, 1);
        break;
    }
  };
  for (std::size_t step = 0; step < 4; ++step) {
    for (const std::size_t size : sizes) {
      for (const std::size_t align : {1, 8, 16}) {
        Arena arena(256);
        fill(arena, step);
        EXPECT_THROW(arena.allocate(size, align), std::bad_alloc) << step << " " << size;
        auto* value = arena.make<std::uint64_t>(7);  // still usable, and aligned
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(value) % alignof(std::uint64_t), 0u);
        EXPECT_EQ(*value, 7u);
      }
    }
  }
}

TEST(Arena, MovingKeepsEveryObjectInPlace) {
  Arena arena(256);
  std::vector<int*> values;
  for (int i = 0; i < 500; ++i) values.push_back(arena.make<int>(i));
  Arena moved(std::move(arena));
  for (int i = 0; i < 500; ++i) EXPECT_EQ(*values[i], i);
  EXPECT_EQ(arena.bytes_reserved(), 0u);  // NOLINT(bugprone-use-after-move): moved-from is empty
  *arena.make<int>(7) = 8;                // and usable

  Arena assigned;
  assigned = std::move(moved);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(*values[i], i);
}

TEST(Arena, CopiesText) {
  Arena arena(256);
  std::string source = "interned elsewhere";
  const std::string_view copy = arena.copy_text(source);
  source.assign(source.size(), 'x');
  EXPECT_EQ(copy, "interned elsewhere");
  EXPECT_TRUE(arena.copy_text("").empty());
  // Short texts are copied in place by size class: every size around the classes, copied out
  // of the middle of a larger text, comes back whole and leaves its neighbours alone.
  const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz0123456789";
  for (std::size_t size = 1; size <= 40; ++size) {
    SCOPED_TRACE(size);
    const std::string_view original = std::string_view(text).substr(3, size);
    const std::string_view first = arena.copy_text(original);
    const std::string_view second = arena.copy_text(original);
    EXPECT_EQ(first, original);
    EXPECT_EQ(second, original);
  }
}

// A compact text keeps its size in front of its bytes: every size, with objects made between
// the copies and bytes of every value (NULs too), reads back whole; the empty text holds no bytes
// at all, and a text longer than a region goes to room of its own.
TEST(CompactText, ReadsBackEveryCopyWhole) {
  Arena arena(256);
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(i * 7));
  std::vector<std::pair<CompactText, std::string_view>> copies;
  for (std::size_t size = 0; size <= bytes.size(); size += size < 40 ? 1 : 37) {
    const std::string_view original = std::string_view(bytes).substr(1, size);
    copies.emplace_back(CompactText::copy(arena, original), original);
    *arena.make<std::uint64_t>() = ~std::uint64_t{0};
  }
  const std::string long_text(Arena::kRegion + 5, 'q');
  copies.emplace_back(CompactText::copy(arena, long_text), long_text);
  for (const auto& [copy, original] : copies) {
    SCOPED_TRACE(original.size());
    EXPECT_EQ(copy.size(), original.size());
    EXPECT_EQ(copy, original);
    EXPECT_EQ(copy.empty(), original.empty());
  }
  EXPECT_EQ(CompactText(), "");
  EXPECT_EQ(CompactText().data(), std::string_view(""));
  EXPECT_EQ(CompactText::copy(arena, "key"), std::string("key"));
  EXPECT_FALSE(CompactText::copy(arena, "key") == CompactText::copy(arena, "kez"));
}

// make_from builds the object where it will stay: a type that can be neither copied nor moved
// still comes out of it, with the value its maker gave.
TEST(Arena, MakeFromBuildsInPlace) {
  struct Pinned {
    explicit Pinned(int v) : value(v) {}
    Pinned(const Pinned&) = delete;
    Pinned(Pinned&&) = delete;
    int value;
  };
  Arena arena;
  const Pinned* pinned = arena.make_from<Pinned>([] { return Pinned(7); });
  EXPECT_EQ(pinned->value, 7);
  EXPECT_EQ(address(pinned) % alignof(Pinned), 0u);
}

TEST(List, BuildsOnceAndReadsLikeAVector) {
  Arena arena(256);
  const std::vector<int> source = {3, 1, 4, 1, 5};
  List<int> copied = List<int>::copy(arena, source);
  ASSERT_EQ(copied.size(), 5u);
  EXPECT_FALSE(copied.empty());
  EXPECT_EQ(copied.front(), 3);
  EXPECT_EQ(copied.back(), 5);
  EXPECT_EQ(copied[2], 4);
  EXPECT_EQ(std::vector<int>(copied.begin(), copied.end()), source);

  copied[1] = 9;  // items are mutable through a mutable list
  const List<int>& view = copied;
  int sum = 0;
  for (const int v : view) sum += v;
  EXPECT_EQ(sum, 3 + 9 + 4 + 1 + 5);

  const List<int> generated = List<int>::generate(arena, 5, [](std::size_t i) {
    return static_cast<int>(std::vector<int>{3, 9, 4, 1, 5}[i]);
  });
  EXPECT_EQ(generated, copied);
  EXPECT_FALSE(generated == List<int>::copy(arena, std::vector<int>{3, 9, 4, 1}));
  EXPECT_FALSE(generated == List<int>::copy(arena, std::vector<int>{3, 9, 4, 1, 6}));

  const List<int> empty;
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.begin(), empty.end());
  EXPECT_EQ(List<int>::copy(arena, std::vector<int>{}), empty);
}

}  // namespace
}  // namespace tolu
