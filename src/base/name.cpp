#include "tolu/name.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "base/bytes.h"

namespace tolu {

namespace {

constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15u;
constexpr std::uint64_t kLengthMultiplier = 0xd6e8feb86659fd93u;

std::uint64_t mix(std::uint64_t h, std::uint64_t word) {
  h = (h ^ word) * kMultiplier;
  return h ^ (h >> 29);
}

}  // namespace

inline std::uint64_t NameTable::hash(std::string_view text) {
  // A word at a time: the 8-byte words of the text, the last one overlapping the one before it
  // when the size is no multiple of 8; shorter texts are read as two overlapping 4-byte words
  // or byte by byte, and take a single multiply. The table uses the top bits, which a multiply
  // makes depend on every bit of the word.
  const char* p = text.data();
  const std::size_t n = text.size();
  if (n > 8) {
    std::uint64_t h = n * kMultiplier;
    for (std::size_t i = 0; i + 8 < n; i += 8) h = mix(h, load8(p + i));
    return (h ^ load8(p + n - 8)) * kMultiplier;
  }
  std::uint64_t word = 0;
  if (n >= 4) {
    word = (std::uint64_t{load4(p)} << 32) | load4(p + n - 4);
  } else if (n > 0) {
    const auto byte = [&](std::size_t i) {
      return std::uint64_t{static_cast<unsigned char>(p[i])};
    };
    word = (byte(0) << 16) | (byte(n / 2) << 8) | byte(n - 1);
  }
  return (word ^ (n * kLengthMultiplier)) * kMultiplier;
}

inline std::size_t NameTable::probe(std::string_view text, std::uint64_t h) const {
  const std::size_t mask = slot_count_ - 1;
  const std::uintptr_t tag = tag_of(h);
  for (std::size_t i = h >> shift_;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.empty()) return i;
    if (!slot.may_hold(tag)) continue;
    const NameEntry* entry = slot.entry();
    if (entry->size == text.size() && same_bytes(entry->bytes(), text.data(), text.size())) {
      return i;
    }
  }
}

Name NameTable::intern(std::string_view text) {
  if (text.empty()) return Name();
  if (count_ >= grow_at_) grow();
  const std::uint64_t h = hash(text);
  Slot& slot = slots_[probe(text, h)];
  if (!slot.empty()) return Name(slot.entry());
  if (count_ == UINT32_MAX - 1 || text.size() > UINT32_MAX) {
    throw std::length_error("more names, or a longer name, than 32 bits count");
  }
  void* room = allocate_entry(sizeof(NameEntry) + text.size());
  auto* entry = ::new (room) NameEntry{this, ++count_, static_cast<std::uint32_t>(text.size())};
  Arena::copy_bytes(static_cast<char*>(room) + sizeof(NameEntry), text.data(), text.size());
  slot = Slot(entry, tag_of(h));
  return Name(entry);
}

Name NameTable::intern_present(std::string_view text) {
  if (!text.empty()) return intern(text);
  if (!empty_) empty_ = ::new (allocate_entry(sizeof(NameEntry))) NameEntry{this, 0, 0};
  return Name(empty_);
}

Name NameTable::find(std::string_view text) const {
  if (text.empty() || slot_count_ == 0) return Name();
  return Name(slots_[probe(text, hash(text))].entry());
}

void* NameTable::allocate_entry(std::size_t size) {
  size = (size + alignof(NameEntry) - 1) & ~(alignof(NameEntry) - 1);
  if (size > entries_left_) {
    const std::size_t block = std::max(size, kEntryBlock);
    entries_ = static_cast<char*>(arena_->allocate(block, alignof(NameEntry)));
    entries_left_ = block;
  }
  void* room = entries_;
  entries_ += size;
  entries_left_ -= size;
  return room;
}

void NameTable::clear() {
  entries_ = nullptr;
  entries_left_ = 0;
  slots_ = nullptr;
  slot_count_ = 0;
  shift_ = 64;
  grow_at_ = 0;
  count_ = 0;
  empty_ = nullptr;
}

void NameTable::reserve(std::size_t count) {
  if (count > UINT32_MAX) count = UINT32_MAX;
  // The table grows once it is three quarters full.
  const std::size_t needed = std::bit_ceil(std::max<std::size_t>(64, count / 3 * 4 + 4));
  if (needed > slot_count_) rehash(needed);
}

void NameTable::grow() {
  rehash(slot_count_ == 0 ? 64 : slot_count_ * 2);
}

void NameTable::rehash(std::size_t slot_count) {
  Slot* const old = slots_;
  const std::size_t old_count = slot_count_;
  slots_ = arena_->allocate_array<Slot>(slot_count);
  std::fill_n(slots_, slot_count, Slot{});
  slot_count_ = slot_count;
  shift_ = 64 - static_cast<unsigned>(std::countr_zero(slot_count));
  grow_at_ = slot_count / 4 * 3;  // three quarters full
  const std::size_t mask = slot_count - 1;
  for (std::size_t k = 0; k < old_count; ++k) {
    if (old[k].empty()) continue;
    // The tag is the two bits below the index, which move with the table's size.
    const NameEntry* entry = old[k].entry();
    const std::uint64_t h = hash({entry->bytes(), entry->size});
    std::size_t i = h >> shift_;
    while (!slots_[i].empty()) i = (i + 1) & mask;
    slots_[i] = Slot(entry, tag_of(h));
  }
}

}  // namespace tolu
