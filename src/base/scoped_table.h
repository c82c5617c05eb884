// Names bound in nested scopes, for the walks over the tree that track declarations. Every
// scope's bindings sit in one vector, innermost last, and one hash index maps a name to its
// innermost binding; each binding remembers the one it shadows. Opening and closing a scope
// allocates nothing, and a name costs one index entry for the whole walk.
//
// Names are views into the tree being walked (or static spellings), so a lookup builds no
// string.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tolu {

template <class Value>
class ScopedTable {
 public:
  ScopedTable() = default;
  // Bindings point into the index, so a table is not copied.
  ScopedTable(const ScopedTable&) = delete;
  ScopedTable& operator=(const ScopedTable&) = delete;

  void push_scope() { scope_starts_.push_back(static_cast<std::uint32_t>(entries_.size())); }

  void pop_scope() {
    const std::uint32_t start = scope_starts_.back();
    scope_starts_.pop_back();
    while (entries_.size() > start) {
      const Entry& entry = entries_.back();
      *entry.latest = entry.shadowed;
      entries_.pop_back();
    }
  }

  // The number of open scopes; the outermost is scope 0.
  std::uint32_t depth() const { return static_cast<std::uint32_t>(scope_starts_.size()); }

  // Binds `name` in the innermost scope. Returns false, keeping the old binding, when that
  // scope binds it already.
  bool declare(std::string_view name, Value value) {
    std::uint32_t& latest = latest_.try_emplace(name, kNone).first->second;
    if (binds_innermost(latest)) return false;
    push(std::move(value), latest);
    return true;
  }

  // Binds `name` in the innermost scope, replacing a binding that scope has.
  void assign(std::string_view name, Value value) {
    std::uint32_t& latest = latest_.try_emplace(name, kNone).first->second;
    if (binds_innermost(latest)) {
      entries_[latest].value = std::move(value);
    } else {
      push(std::move(value), latest);
    }
  }

  // The binding of `name` in the innermost scope only.
  Value* find_innermost(std::string_view name) {
    const std::uint32_t index = latest(name);
    return binds_innermost(index) ? &entries_[index].value : nullptr;
  }

  // The innermost binding of `name` and the scope that holds it, searching outward.
  std::pair<const Value*, std::uint32_t> find(std::string_view name) const {
    const std::uint32_t index = latest(name);
    if (index == kNone) return {nullptr, 0};
    return {&entries_[index].value, entries_[index].scope};
  }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  struct Entry {
    Value value;
    std::uint32_t* latest;   // the index slot of the entry's name, whose nodes never move
    std::uint32_t shadowed;  // the binding this one hides, or kNone
    std::uint32_t scope;
  };

  bool binds_innermost(std::uint32_t index) const {
    return index != kNone && entries_[index].scope + 1 == depth();
  }

  void push(Value value, std::uint32_t& latest) {
    entries_.push_back(Entry{std::move(value), &latest, latest, depth() - 1});
    latest = static_cast<std::uint32_t>(entries_.size() - 1);
  }

  std::uint32_t latest(std::string_view name) const {
    const auto it = latest_.find(name);
    return it == latest_.end() ? kNone : it->second;
  }

  std::vector<Entry> entries_;
  std::vector<std::uint32_t> scope_starts_;
  std::unordered_map<std::string_view, std::uint32_t> latest_;
};

}  // namespace tolu
