// The binding index: every name a program declares, and for each identifier written in it the
// declaration it refers to, found with the validator's scoping rules.
//
// Positions are character offsets, as the nodes' spans. Names the language binds by itself
// (the runtime's names and the abstract types) are Predeclared declarations with empty spans.
// Names bound where they are not written ("self" and "this" in a method, the chain placeholder
// "^^" of a pipeline or of a loop whose header is only its iterable, the match "m" of a regex
// replacement) have an empty name_span at the start of their node. A name the validator accepts
// without a declaration (one of the always-known names, or one that a wildcard import may
// bring in) has no Use, nor has an identifier a pass built (with an empty span).
//
// Beyond what the validator binds, a class's methods, and the classes and traits nested in a
// class body, are declarations without uses. The definition of a function declared forward is
// a use of the forward declaration.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lexer/token.h"
#include "tolu/syntax_tree.h"

namespace tolu::sema {

enum class DeclarationKind : std::uint8_t {
  Variable,
  Constant,
  Parameter,
  Function,
  Class,
  Trait,
  Import,
  CatchBinding,
  LoopVariable,
  Self,
  Method,
  Field,
  Predeclared,
};

std::string_view declaration_kind_name(DeclarationKind kind);

struct Declaration {
  std::string name;
  ast::Span name_span;  // the name as written at the declaration ({0,0} for predeclared)
  ast::Span node_span;  // the whole declaring node
  DeclarationKind kind = DeclarationKind::Variable;
  bool is_global = false;  // declared in the program's outermost scope
  std::string type;        // the declared or inferred type if the tree has one, else ""
  ast::TypeCheck needs_type_check = ast::TypeCheck::Unknown;  // of declarations that carry it
};

struct Use {
  ast::Span span;                 // the identifier as written
  std::uint32_t declaration = 0;  // index into declarations
  bool is_write = false;          // assigned, updated (++, --, \x) or a compound-assignment target
  bool is_captured = false;       // declared in an enclosing function, not in the global scope
};

struct BindingIndex {
  std::vector<Declaration> declarations;  // predeclared first, then in source order of name_span
  std::vector<Use> uses;                  // sorted by span.start

  // The declaration whose name or one of whose uses covers `offset` (start <= offset <= end).
  std::optional<std::uint32_t> declaration_at(std::uint32_t offset) const;
  // Every use of a declaration, in source order.
  std::vector<const Use*> uses_of(std::uint32_t declaration) const;
};

// Indexes a validated program. `tokens` are the program's tokens, from which the spans of
// declared names are found.
BindingIndex build_binding_index(const ast::Program& program, const TokenVector& tokens);

}  // namespace tolu::sema
