// The validator's scopes: names to bindings, innermost last. Names are views into the tree being
// validated (or static spellings), so a lookup builds no string.
#pragma once

#include <string_view>
#include <unordered_map>
#include <vector>

namespace tolu::sema {

struct Binding {
  bool is_mutable = true;
  bool forward = false;  // a function declared without a body, awaiting its definition
};

struct Scope {
  std::unordered_map<std::string_view, Binding> names;
  bool has_wildcard_import = false;
};

enum class Lookup { Found, Wildcard, Missing };

class ScopeStack {
 public:
  void push() { scopes_.emplace_back(); }
  void pop() { scopes_.pop_back(); }
  Scope& innermost() { return scopes_.back(); }

  // Searches from the innermost scope outward. A scope with a wildcard import ends the search
  // once it has been searched, since the names it brought in are not tracked.
  Lookup find(std::string_view name, const Binding** binding) const {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
      if (auto it = scope->names.find(name); it != scope->names.end()) {
        *binding = &it->second;
        return Lookup::Found;
      }
      if (scope->has_wildcard_import) return Lookup::Wildcard;
    }
    return Lookup::Missing;
  }

 private:
  std::vector<Scope> scopes_;
};

// Pushes a scope for as long as it lives.
class ScopeGuard {
 public:
  explicit ScopeGuard(ScopeStack& stack) : stack_(stack) { stack_.push(); }
  ~ScopeGuard() { stack_.pop(); }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  ScopeStack& stack_;
};

}  // namespace tolu::sema
