// The validator's scopes: names to bindings, innermost last, keyed by interned name.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/scoped_table.h"
#include "tolu/name.h"

namespace tolu::sema {

struct Binding {
  bool is_mutable = true;
  bool forward = false;           // a function declared without a body, awaiting its definition
  std::uint32_t declaration = 0;  // for the binding index: the declaration's index
};

enum class Lookup { Found, Wildcard, Missing };

class ScopeStack {
 public:
  void reserve(std::size_t names) { names_.reserve(names); }
  void push_scope() { names_.push_scope(); }
  void pop_scope() {
    while (!wildcard_scopes_.empty() && wildcard_scopes_.back() + 1 == names_.depth())
      wildcard_scopes_.pop_back();
    names_.pop_scope();
  }

  // Binds `name` in the innermost scope; false if that scope binds it already.
  bool declare(Name name, Binding binding) { return names_.declare(name, binding); }
  Binding* find_innermost(Name name) { return names_.find_innermost(name); }
  // The number of open scopes; the outermost is scope 0.
  std::uint32_t depth() const { return names_.depth(); }

  // The innermost scope has a wildcard import.
  void add_wildcard_import() {
    const std::uint32_t innermost = names_.depth() - 1;
    if (wildcard_scopes_.empty() || wildcard_scopes_.back() != innermost)
      wildcard_scopes_.push_back(innermost);
  }

  // Searches from the innermost scope outward. A scope with a wildcard import ends the search
  // once it has been searched, since the names it brought in are not tracked.
  Lookup find(Name name, const Binding** binding) const {
    const Binding* found;
    if (wildcard_scopes_.empty()) {
      found = names_.find_value(name);
    } else {
      const auto [value, scope] = names_.find(name);
      if (!value || scope < wildcard_scopes_.back()) return Lookup::Wildcard;
      found = value;
    }
    if (!found) return Lookup::Missing;
    *binding = found;
    return Lookup::Found;
  }

 private:
  ScopedTable<Binding, Name> names_;            // every name from the one table of the tree walked
  std::vector<std::uint32_t> wildcard_scopes_;  // scopes with a wildcard import, outermost first
};

// Pushes a scope for as long as it lives.
using ScopeGuard = OpenScope<ScopeStack>;

}  // namespace tolu::sema
