// Names bound in nested scopes, for the walks over the tree that track declarations. Every
// scope's bindings sit in one vector, innermost last, and one index maps a name to its
// innermost binding; each binding remembers the one it shadows. Opening and closing a scope
// allocates nothing, and a name costs one index entry for the whole walk.
//
// Keyed by interned Names, the index is an array indexed by the name's dense id,
// so a lookup is one load. Keyed by std::string_view (views into the tree being walked, or
// static spellings), it is a hash table.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/large_pages.h"
#include "tolu/name.h"

namespace tolu {

// Hashes Names of one table by their dense ids: no bytes are read. Names of different tables
// may share an id, so a container hashed this way holds the names of one table only.
struct NameIdHash {
  std::size_t operator()(Name name) const { return name.id(); }
};

namespace scoped_table_detail {

inline constexpr std::uint32_t kNone = UINT32_MAX;

// Maps a key to the slot that holds the index of its innermost binding. A Ref finds the slot
// again when a scope closes.
template <class Key>
class Index {
 public:
  using Ref = std::uint32_t*;  // the nodes of an unordered_map never move
  Ref ref(Key key) { return &latest_.try_emplace(key, kNone).first->second; }
  static std::uint32_t load(Ref ref) { return *ref; }
  static void store(Ref ref, std::uint32_t index) { *ref = index; }
  std::uint32_t get(Key key) const {
    const auto it = latest_.find(key);
    return it == latest_.end() ? kNone : it->second;
  }

 private:
  std::unordered_map<Key, std::uint32_t> latest_;
};

template <>
class Index<Name> {
 public:
  using Ref = std::uint32_t;  // the name's id
  Index() = default;
  Index(const Index&) = delete;
  Index& operator=(const Index&) = delete;
  ~Index() { std::free(latest_); }

  Ref ref(Name name) {
    // Ids come in ascending order as a walk meets new names: grow by doubling, not one by one.
    if (name.id() >= size_) grow(std::max<std::size_t>(std::size_t{name.id()} + 1, size_ * 2));
    return name.id();
  }
  // A slot holds one more than the index of the name's innermost binding, so that its zero,
  // kNone + 1, is the "none" that calloc() gives.
  std::uint32_t load(Ref ref) const { return latest_[ref] - 1; }
  void store(Ref ref, std::uint32_t index) { latest_[ref] = index + 1; }
  std::uint32_t get(Name name) const { return name.id() < size_ ? load(name.id()) : kNone; }
  void reserve(std::size_t names) {
    if (names > size_) grow(names);
  }

 private:
  // The slots come zeroed from calloc(), which leaves fresh memory untouched: a table that
  // binds a few of the program's names touches a few pages of its index.
  void grow(std::size_t size) {
    auto* larger = static_cast<std::uint32_t*>(std::calloc(size, sizeof(std::uint32_t)));
    if (!larger) throw std::bad_alloc();
    if (size_ > 0) std::memcpy(larger, latest_, size_ * sizeof(std::uint32_t));
    std::free(latest_);
    latest_ = larger;
    size_ = size;
  }

  std::uint32_t* latest_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace scoped_table_detail

// Keyed by Name, every name must come from one NameTable, since ids are dense per table.
template <class Value, class Key = std::string_view>
class ScopedTable {
 public:
  using key_type = Key;

  ScopedTable() = default;
  // Bindings point into the index, so a table is not copied.
  ScopedTable(const ScopedTable&) = delete;
  ScopedTable& operator=(const ScopedTable&) = delete;

  // Makes room for the bindings of `names` distinct names (the size of the name table a walk
  // reads, say), so that a large program's table is allocated once rather than grown.
  void reserve(std::size_t names) requires std::is_same_v<Key, Name> {
    entries_.reserve(names);
    index_.reserve(names);
  }
  // Sizes the index alone for `names` names: for a table that binds a few of them at a time
  // (the members of one class body, say), whose index is then mostly never touched.
  void reserve_index(std::size_t names) requires std::is_same_v<Key, Name> {
    index_.reserve(names);
  }

  void push_scope() { scope_starts_.push_back(static_cast<std::uint32_t>(entries_.size())); }

  void pop_scope() {
    const std::uint32_t start = scope_starts_.back();
    scope_starts_.pop_back();
    while (entries_.size() > start) {
      const Entry& entry = entries_.back();
      index_.store(entry.ref, entry.shadowed);
      entries_.pop_back();
    }
  }

  // The number of open scopes; the outermost is scope 0.
  std::uint32_t depth() const { return static_cast<std::uint32_t>(scope_starts_.size()); }

  // Binds `name` in the innermost scope. Returns false, keeping the old binding, when that
  // scope binds it already.
  bool declare(Key name, Value value) {
    const Ref ref = index_.ref(name);
    if (binds_innermost(index_.load(ref))) return false;
    push(std::move(value), ref);
    return true;
  }

  // Binds `name` in the innermost scope, replacing a binding that scope has.
  void assign(Key name, Value value) {
    const Ref ref = index_.ref(name);
    const std::uint32_t latest = index_.load(ref);
    if (binds_innermost(latest)) {
      entries_[latest].value = std::move(value);
    } else {
      push(std::move(value), ref);
    }
  }

  // The binding of `name` in the innermost scope only.
  Value* find_innermost(Key name) {
    const std::uint32_t index = index_.get(name);
    return binds_innermost(index) ? &entries_[index].value : nullptr;
  }

  // The innermost binding of `name`, searching outward.
  const Value* find_value(Key name) const {
    const std::uint32_t index = index_.get(name);
    return index == kNone ? nullptr : &entries_[index].value;
  }

  // The innermost binding of `name` and the scope that holds it, searching outward.
  std::pair<const Value*, std::uint32_t> find(Key name) const {
    const std::uint32_t index = index_.get(name);
    if (index == kNone) return {nullptr, 0};
    return {&entries_[index].value, scope_of(index)};
  }

 private:
  static constexpr std::uint32_t kNone = scoped_table_detail::kNone;
  using Ref = typename scoped_table_detail::Index<Key>::Ref;

  // An entry's scope is not kept: the entries are in scope order, so it is the last scope that
  // starts at or before the entry.
  struct Entry {
    Value value;
    Ref ref;                 // the index slot of the entry's name
    std::uint32_t shadowed;  // the binding this one hides, or kNone
  };

  bool binds_innermost(std::uint32_t index) const {
    return index != kNone && !scope_starts_.empty() && index >= scope_starts_.back();
  }

  // The scope that holds entry `index`: the last of the scopes that start at or before it (a
  // scope opened before any entry of the scope around it starts where that one does).
  std::uint32_t scope_of(std::uint32_t index) const {
    const auto after = std::upper_bound(scope_starts_.begin(), scope_starts_.end(), index);
    return static_cast<std::uint32_t>(after - scope_starts_.begin()) - 1;
  }

  void push(Value value, Ref ref) {
    entries_.push_back(Entry{std::move(value), ref, index_.load(ref)});
    index_.store(ref, static_cast<std::uint32_t>(entries_.size() - 1));
  }

  // A program's top-level bindings stay to the end of a walk: for a large program this is the
  // walk's largest buffer.
  std::vector<Entry, LargePageAllocator<Entry>> entries_;
  std::vector<std::uint32_t> scope_starts_;
  scoped_table_detail::Index<Key> index_;
};

// Holds one scope of a ScopedTable open for as long as it lives.
template <class Table>
class OpenScope {
 public:
  explicit OpenScope(Table& table) : table_(table) { table_.push_scope(); }
  ~OpenScope() { table_.pop_scope(); }
  OpenScope(const OpenScope&) = delete;
  OpenScope& operator=(const OpenScope&) = delete;

 private:
  Table& table_;
};

// The index of the first of `count` names (name_at(i) for i in [0, count)) that an earlier one
// repeats, or `count`. A few names, as a pattern or a class body mostly binds, are compared
// pairwise, which touches no table; more go through `table`, in a scope of their own.
template <class Table, class NameAt>
std::size_t first_repeated_name(std::size_t count, NameAt name_at, Table& table) {
  constexpr std::size_t kPairwise = 8;
  if (count <= kPairwise) {
    for (std::size_t i = 1; i < count; ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (name_at(i) == name_at(j)) return i;
      }
    }
    return count;
  }
  OpenScope scope(table);
  for (std::size_t i = 0; i < count; ++i) {
    if (!table.declare(name_at(i), true)) return i;
  }
  return count;
}

}  // namespace tolu
