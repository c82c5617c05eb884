// Interned names. A NameTable keeps one copy of each distinct spelling in an arena and hands
// out Names: a Name is one pointer to its entry, which holds a dense id (1, 2, 3, ... in order of
// first appearance; 0 is the empty name), the length and the bytes.
//
// Two Names from the same table are equal exactly when they are the same entry, so comparing
// them is one pointer comparison; Names from different tables (two programs) compare by text.
// Otherwise a Name reads like a const std::string: == and != with strings, string views and
// C strings, size(), empty(), data() and conversion to std::string_view.
//
// The dense id lets a walk keep per-name state in a vector indexed by id() instead of a hash
// table (see ScopedTable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tolu/export.h"

#include "tolu/arena.h"

namespace tolu {

class NameTable;

// An entry needs only 4-byte alignment (the table's address is kept as bytes), so that entries
// packed one after the other with their bytes cost at most 3 bytes of padding each.
struct NameEntry {
  NameEntry(const NameTable* table, std::uint32_t id, std::uint32_t size) : id(id), size(size) {
    std::memcpy(table_bytes, &table, sizeof table);
  }
  std::uint32_t id;
  std::uint32_t size;
  unsigned char table_bytes[sizeof(const NameTable*)];

  const NameTable* table() const {
    const NameTable* table;
    std::memcpy(&table, table_bytes, sizeof table);
    return table;
  }
  // The bytes follow the entry.
  const char* bytes() const { return reinterpret_cast<const char*>(this + 1); }
};

class Name {
 public:
  // The empty name.
  Name() = default;

  // False only for a default-constructed Name. NameTable::intern_present() gives an empty name
  // that is present, so that a Name can stand for an optional one in a pointer.
  bool present() const { return entry_ != nullptr; }

  // 0 for the empty name, else the id its table gave it.
  std::uint32_t id() const { return entry_ ? entry_->id : 0; }
  std::size_t size() const { return entry_ ? entry_->size : 0; }
  bool empty() const { return size() == 0; }
  const char* data() const { return entry_ ? entry_->bytes() : ""; }
  std::string_view view() const { return {data(), size()}; }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  // The same for two names only when they are one name of one table; null for the empty name.
  // For caches keyed by name.
  const void* identity() const { return entry_; }
  // The table the name belongs to; null for the empty name.
  const NameTable* table() const { return entry_ ? entry_->table() : nullptr; }

  friend bool operator==(Name a, Name b) {
    if (a.entry_ == b.entry_) return true;
    if (a.entry_ && b.entry_ && a.entry_->table() == b.entry_->table()) return false;
    return a.view() == b.view();
  }
  friend bool operator==(Name a, std::string_view text) { return a.view() == text; }
  friend bool operator==(Name a, const std::string& text) { return a.view() == text; }
  friend bool operator==(Name a, const char* text) { return a.view() == text; }
  friend std::ostream& operator<<(std::ostream& out, Name name) { return out << name.view(); }
  // Concatenation, for messages.
  friend std::string operator+(std::string text, Name name) { return text.append(name.view()); }
  friend std::string operator+(const char* text, Name name) {
    return std::string(text).append(name.view());
  }
  friend std::string operator+(Name name, std::string_view text) { return name.str().append(text); }

 private:
  friend class NameTable;
  explicit Name(const NameEntry* entry) : entry_(entry) {}
  const NameEntry* entry_ = nullptr;
};

// The interning table of one program. Its entries and slots live in the arena it is given, which
// must outlive it and its Names; it is neither copied nor moved, since its entries point back at
// it.
class TOLU_API NameTable {
 public:
  explicit NameTable(Arena& arena) : arena_(&arena) {}
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;

  // The one Name spelled `text`, entered on first use.
  Name intern(std::string_view text);
  // As intern(), except that the empty spelling gives a present() name.
  Name intern_present(std::string_view text);
  // The Name spelled `text` if it was entered, else the empty name.
  Name find(std::string_view text) const;

  // Makes room for `count` names in all without growing again; a hint, such as a source's size
  // divided by the bytes per distinct name it is expected to hold.
  void reserve(std::size_t count);

  // One more than the largest id handed out: the size of a vector indexed by id().
  std::uint32_t id_limit() const { return count_ + 1; }
  // Forgets every name, and the slots; call it with the reset of the arena that held them.
  void clear();

 private:
  // An entry's address, with two bits of its hash (its tag) in the low bits that its alignment
  // leaves zero: a probe passes over most other names without reading their entries. The hash
  // itself is not kept; a rehash computes it again from the bytes.
  class Slot {
   public:
    static constexpr std::uintptr_t kTagMask = alignof(NameEntry) - 1;
    static_assert(kTagMask == 3, "entries are 4-byte aligned, which leaves two bits");
    Slot() = default;
    Slot(const NameEntry* entry, std::uintptr_t tag)
        : bits_(reinterpret_cast<std::uintptr_t>(entry) | tag) {}
    const NameEntry* entry() const { return reinterpret_cast<const NameEntry*>(bits_ & ~kTagMask); }
    bool empty() const { return bits_ == 0; }
    bool may_hold(std::uintptr_t tag) const { return (bits_ & kTagMask) == tag; }

   private:
    std::uintptr_t bits_ = 0;
  };
  // A hash's top bits pick its slot (hash >> shift_); the two bits below them are its tag.
  std::uintptr_t tag_of(std::uint64_t hash) const {
    return static_cast<std::uintptr_t>(hash >> (shift_ - 2)) & Slot::kTagMask;
  }

  static std::uint64_t hash(std::string_view text);
  std::size_t probe(std::string_view text, std::uint64_t h) const;
  void grow();
  void rehash(std::size_t slot_count);

  Arena* arena_;
  // Open addressing, in the arena beside the entries, so that a large table shares the arena's
  // huge pages; a table outgrown is left there. The count is zero or a power of two.
  Slot* slots_ = nullptr;
  std::size_t slot_count_ = 0;
  unsigned shift_ = 64;  // 64 less the bits of a slot's index
  std::uint32_t count_ = 0;
  std::size_t grow_at_ = 0;  // the count at which the table grows: three quarters of its slots
  const NameEntry* empty_ = nullptr;  // the present empty name, made on first use
  // Entries are packed into blocks of their own, so that the names a parser looks up again and
  // again share cache lines rather than each taking one among the tree's nodes and texts.
  static constexpr std::size_t kEntryBlock = 2048;
  char* entries_ = nullptr;  // where the next entry goes in the current block
  std::size_t entries_left_ = 0;
  void* allocate_entry(std::size_t size);
};

}  // namespace tolu
