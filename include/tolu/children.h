// for_each_child(node, visitor): the one child traversal that every walk over the tree shares.
//
// It goes through the fields of `node` in the order describe() lists them, the order the printers
// use, and hands `visitor` each slot it takes. A visitor is an overload set over concrete slot
// types (never a generic `auto` lambda), for example
//
//   for_each_child(node, Overloads{[&](Expression& e) { walk(e); },
//                                  [&](Statement& s) { walk(s); }});
//
// The slots a visitor may take:
//   Expression, Optional<Expression>             a child expression, or an optional one
//   Statement, Optional<Statement>               a child statement (an else branch is optional)
//   List<Statement>                              a statement list as a whole, so that a walker
//   std::optional<List<Statement>>               can replace it (a switch's default body)
//   BlockStatement, std::optional<BlockStatement>
//   List<Parameter>, DictKey, List<TemplatePart>
//   and any record or tagged union in the tree (CatchClause, SwitchCase, ClassMember, ...).
// A slot the visitor does not take is looked through: a list or an optional hands on its items,
// a record or tagged union its fields. Expressions and statements are never looked through, since
// they are the children; names, flags, numbers and positions are skipped. The traversal does not
// recurse into the children it hands out: a walker calls for_each_child again where it wants to.
//
// Both forms exist: over a const node the slots are const, over a mutable node they are mutable.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>

#include "tolu/fields.h"

namespace tolu::ast {

// An overload set of lambdas: the usual shape of a visitor.
template <class... Fs>
struct Overloads : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloads(Fs...) -> Overloads<Fs...>;

namespace children_detail {

template <class T>
inline constexpr bool kIsOptional = false;
template <class T>
inline constexpr bool kIsOptional<std::optional<T>> = true;
template <class T>
inline constexpr bool kIsOptional<Optional<T>> = true;

template <class T>
inline constexpr bool kIsVector = false;
template <class T>
inline constexpr bool kIsVector<List<T>> = true;

// Fields that hold no part of the tree: names, flags, numbers, positions and lists of them.
template <class T>
inline constexpr bool kIsLeaf =
    std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_same_v<T, Name> ||
    std::is_same_v<T, std::string_view> || std::is_same_v<T, CompactText> ||
    std::is_same_v<T, SharedName> || std::is_same_v<T, SwitchIndexEntry>;
template <class T>
inline constexpr bool kIsLeaf<std::optional<T>> = kIsLeaf<T>;
template <class T>
inline constexpr bool kIsLeaf<Optional<T>> = kIsLeaf<T>;
template <class Packed>
inline constexpr bool kIsLeaf<CompactOptional<Packed>> = true;
template <class T>
inline constexpr bool kIsLeaf<List<T>> = kIsLeaf<T>;

// The tagged unions whose alternatives are listed by describe() and whose common fields are not.
template <class T>
inline constexpr bool kIsTagged = std::is_same_v<T, DictKey> || std::is_same_v<T, TemplatePart> ||
                                  std::is_same_v<T, ClassMember> || std::is_same_v<T, CallArgument>;

// `T`, const when `Like` is.
template <class T, class Like>
using SameConst = std::conditional_t<std::is_const_v<Like>, const T, T>;

template <class Field, class Visitor>
void visit_slot(Field& field, Visitor& visitor);

// describe() lists the fields of a const record; over a mutable record the fields are mutable,
// since the record itself is.
template <class Record, class Visitor>
void visit_fields(Record& record, Visitor& visitor) {
  describe(std::as_const(record), [&](const char*, const auto& field) {
    using Field = std::remove_cvref_t<decltype(field)>;
    visit_slot(const_cast<SameConst<Field, Record>&>(field), visitor);
  });
}

template <class Variant, class Visitor>
void visit_alternative(Variant& node, Visitor& visitor) {
  visit_node([&](auto& alternative) { visit_fields(alternative, visitor); }, node);
}

template <class Field, class Visitor>
void visit_slot(Field& field, Visitor& visitor) {
  using T = std::remove_const_t<Field>;
  if constexpr (std::is_invocable_v<Visitor&, Field&>) {
    visitor(field);
  } else if constexpr (std::is_same_v<T, Expression> || std::is_same_v<T, Statement> ||
                       kIsLeaf<T>) {
    // A child the visitor does not take, or no part of the tree.
  } else if constexpr (kIsOptional<T>) {
    if (field) visit_slot(*field, visitor);
  } else if constexpr (kIsVector<T>) {
    for (auto& item : field) visit_slot(item, visitor);
  } else if constexpr (kIsTagged<T>) {
    visit_alternative(field.node, visitor);
    if constexpr (std::is_same_v<T, CallArgument>) visit_slot(field.value, visitor);
  } else {
    visit_fields(field, visitor);
  }
}

}  // namespace children_detail

// The children of any node or record: an expression or a statement (the fields of the node it
// holds), a node type (BinaryExpression, If, ...), Program, BlockStatement, a declaration, a
// catch clause, a switch case, a dict entry, ...
template <class Node, class Visitor>
void for_each_child(Node& node, Visitor&& visitor) {
  using T = std::remove_const_t<Node>;
  if constexpr (std::is_same_v<T, Expression> || std::is_same_v<T, Statement>) {
    children_detail::visit_alternative(node.node(), visitor);
  } else if constexpr (children_detail::kIsTagged<T>) {
    children_detail::visit_alternative(node.node, visitor);
    if constexpr (std::is_same_v<T, CallArgument>) children_detail::visit_slot(node.value, visitor);
  } else {
    children_detail::visit_fields(node, visitor);
  }
}

}  // namespace tolu::ast
