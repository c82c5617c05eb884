#include "tolu/name.h"

#include <cstring>
#include <stdexcept>

namespace tolu {

std::uint64_t NameTable::hash(std::string_view text) {
  // FNV-1a over the bytes, then a final mix so that the low bits, which pick the slot, depend on
  // every byte.
  std::uint64_t h = 0xcbf29ce484222325u;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3u;
  }
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93u;
  h ^= h >> 32;
  return h;
}

std::size_t NameTable::probe(std::string_view text, std::uint64_t h) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = h & mask;; i = (i + 1) & mask) {
    const NameEntry* entry = slots_[i].entry;
    if (!entry) return i;
    if (entry->hash == h && entry->size == text.size() &&
        std::memcmp(entry->bytes(), text.data(), text.size()) == 0) {
      return i;
    }
  }
}

Name NameTable::intern(std::string_view text) {
  if (text.empty()) return Name();
  if ((count_ + 1) * 4 > slots_.size() * 3) grow();
  const std::uint64_t h = hash(text);
  Slot& slot = slots_[probe(text, h)];
  if (slot.entry) return Name(slot.entry);
  if (count_ == UINT32_MAX - 1 || text.size() > UINT32_MAX) {
    throw std::length_error("more names, or a longer name, than 32 bits count");
  }
  void* room = arena_->allocate(sizeof(NameEntry) + text.size(), alignof(NameEntry));
  auto* entry = ::new (room) NameEntry{this, ++count_, static_cast<std::uint32_t>(text.size()), h};
  std::memcpy(static_cast<char*>(room) + sizeof(NameEntry), text.data(), text.size());
  slot.entry = entry;
  return Name(entry);
}

Name NameTable::intern_present(std::string_view text) {
  if (!text.empty()) return intern(text);
  if (!empty_)
    empty_ =
        ::new (arena_->allocate(sizeof(NameEntry), alignof(NameEntry))) NameEntry{this, 0, 0, 0};
  return Name(empty_);
}

Name NameTable::find(std::string_view text) const {
  if (text.empty() || slots_.empty()) return Name();
  return Name(slots_[probe(text, hash(text))].entry);
}

void NameTable::clear() {
  slots_.assign(slots_.size(), Slot{});
  count_ = 0;
  empty_ = nullptr;
}

void NameTable::grow() {
  std::vector<Slot> old(slots_.empty() ? 64 : slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (!slot.entry) continue;
    std::size_t i = slot.entry->hash & mask;
    while (slots_[i].entry) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace tolu
