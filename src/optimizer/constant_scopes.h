// The constant scopes of propagation: what each variable is known to hold, scope by scope, with
// copies of the whole stack for code that may not run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tolu/builder.h"
#include "tolu/syntax_tree.h"

namespace tolu::optimizer {

// The literal a variable holds: a number (its text as written), a string, a boolean or null.
struct Constant {
  enum class Kind : std::uint8_t { Number, String, Boolean, Null };
  Kind kind = Kind::Null;
  std::string_view text;  // a number's text or a string's value, in the program's arena
  bool truth = false;     // a boolean's value
  friend bool operator==(const Constant&, const Constant&) = default;
};

// The constant a literal stands for; nothing for any other expression.
std::optional<Constant> constant_of(const ast::Expression& expression);
// A new literal holding `constant`, in place of `identifier`: it takes the identifier's line,
// source file and inferred type.
ast::Expression constant_for_use(const Constant& constant, const ast::Expression& identifier,
                                 const ast::Builder& builder);

// The names that a piece of code may assign; `everything` when it may call eval.
struct AssignedNames {
  std::vector<Name> names;
  bool everything = false;
};

// A stack of maps from a variable's name to its constant, innermost last. A lookup takes the
// innermost entry of the name; recording writes into the innermost map, replacing an entry of
// the name there; forgetting a name removes it from every map.
//
// Code that may not run is processed on a copy of the stack, which is thrown away afterwards.
// The stack is never copied: a Copy notes where the stack stands, every change made while it
// lives is logged, and its end undoes them. Opening a copy costs nothing and closing one costs
// what changed meanwhile, however many constants the stack holds. Copies nest and close in
// reverse order, and each closes the maps it pushed.
//
// Every name keeps the index of its newest entry (by the name's dense id); each entry links to
// the entry it shadows, and a map is the run of entries recorded since its push. Emptying every
// map only raises a floor below which entries no longer count.
class ConstantScopes {
 public:
  // One empty map. `name_limit` sizes the index for the names of one table; every name given
  // to the stack must come from that table, and later names grow the index.
  explicit ConstantScopes(std::size_t name_limit = 0);

  ConstantScopes(const ConstantScopes&) = delete;
  ConstantScopes& operator=(const ConstantScopes&) = delete;

  void push_scope();
  // Pops the innermost map, which the open copy (if any) must have pushed.
  void pop_scope();
  std::size_t depth() const { return scope_starts_.size(); }

  // The innermost constant of `name`, or null.
  const Constant* lookup_constant(Name name) const;
  // Into the innermost map; nothing with no map.
  void record_constant(Name name, const Constant& constant);
  void forget_constant(Name name);
  // Every map is emptied; the maps stay.
  void forget_all_constants();
  void forget_assigned(const AssignedNames& assigned);

  // The stack as a copy of itself while the guard lives: its changes are undone at the end.
  // Given OwnStack, the copy stands for a stack of its own holding one empty map.
  class Copy {
   public:
    enum Start { SameMaps, OwnStack };
    explicit Copy(ConstantScopes& scopes, Start start = SameMaps);
    ~Copy();
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

   private:
    ConstantScopes& scopes_;
    std::size_t changes_;
    std::size_t bindings_;
    std::size_t depth_;
    std::uint32_t floor_;
  };

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  struct Binding {
    Constant constant;
    std::uint32_t name;      // the name's id
    std::uint32_t shadowed;  // the entry it hides, or kNone
  };
  // The newest entry a name had before a change.
  struct Change {
    std::uint32_t name;
    std::uint32_t latest;
  };

  std::uint32_t latest(std::uint32_t name) const {
    return name < latest_.size() ? latest_[name] : kNone;
  }
  void set_latest(std::uint32_t name, std::uint32_t binding);

  std::vector<Binding> bindings_;
  std::vector<std::uint32_t> scope_starts_;  // the first entry of each map
  std::vector<std::uint32_t> latest_;        // by name id: the newest entry, or kNone
  std::uint32_t floor_ = 0;                  // entries below it were emptied
  std::vector<Change> changes_;              // logged while a copy is open
  std::size_t open_copies_ = 0;
};

}  // namespace tolu::optimizer
