// clone(): the explicit deep copy of a subtree into the storage of a given Builder, which may be
// the same tree's storage or another's. Names are interned again in the target's table, and
// literal text is copied into its arena, so the copy depends on nothing of the original.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>

#include "tolu/builder.h"
#include "tolu/fields.h"

namespace tolu::ast {

namespace clone_detail {

template <class T>
concept Record = requires {
  T::kName;
};

class Cloner {
 public:
  explicit Cloner(const Builder& builder) : b_(builder) {}

  template <class T>
  requires(std::is_arithmetic_v<T> || std::is_enum_v<T>) T copy(T value) { return value; }
  Name copy(Name name) { return &b_.storage().names == name.table() ? name : b_.name(name); }
  std::string_view copy(std::string_view text) { return b_.text(text); }
  CompactText copy(CompactText text) { return b_.compact_text(text); }
  SharedName copy(const SharedName& name) { return name ? b_.shared(*name) : SharedName(); }
  template <class Packed>
  CompactOptional<Packed> copy(const CompactOptional<Packed>& number) {
    return number;
  }
  template <class T>
  std::optional<T> copy(const std::optional<T>& value) {
    return value ? std::optional<T>(copy(*value)) : std::nullopt;
  }
  template <class T>
  Optional<T> copy(const Optional<T>& value) {
    return value ? Optional<T>(copy(*value)) : std::nullopt;
  }
  template <class T>
  List<T> copy(const List<T>& items) {
    return List<T>::generate(b_.storage().arena, items.size(),
                             [&](std::size_t i) { return copy(items[i]); });
  }
  template <class T>
  Indirect<T> copy(const Indirect<T>& node) {
    return Indirect<T>(b_.storage().arena.make_from<T>([&] { return copy(*node); }));
  }
  template <class... Ts>
  std::variant<Ts...> copy(const std::variant<Ts...>& node) {
    return std::visit(
        [&](const auto& alternative) { return std::variant<Ts...>(copy(alternative)); }, node);
  }

  Expression copy(const Expression& e) {
    if (e.empty()) return Expression();
    return b_.expression_made([&] { return copy(e.node()); }, e.line(), e.span(),
                              b_.storage().notes.find_or_add(e.source_file(), e.inferred_type()));
  }
  Statement copy(const Statement& s) {
    if (s.empty()) return Statement();
    return Statement(b_.storage().arena.make_from<StatementData>([&] {
      return StatementData{copy(s.node()), s.span()};
    }));
  }
  DictKey copy(const DictKey& key) {
    return DictKey{copy(key.node), key.line, copy(key.source_file), key.span};
  }
  TemplatePart copy(const TemplatePart& part) {
    return TemplatePart{copy(part.node), part.line, copy(part.source_file), part.span};
  }
  CallArgument copy(const CallArgument& argument) {
    return CallArgument{copy(argument.node), argument.line, copy(argument.value),
                        copy(argument.source_file), argument.span};
  }
  ClassMember copy(const ClassMember& member) { return ClassMember{copy(member.node)}; }

  // A record: a default one, then each field that describe() lists copied into it. The two
  // walks over describe() see the fields in the same order.
  template <Record T>
  T copy(const T& record) {
    T out{};
    std::array<void*, 16> slots{};
    std::size_t count = 0;
    describe(out, [&](const char*, const auto& field) {
      slots[count++] = const_cast<void*>(static_cast<const void*>(&field));
    });
    std::size_t i = 0;
    describe(record, [&](const char*, const auto& field) {
      using Field = std::remove_cvref_t<decltype(field)>;
      *static_cast<Field*>(slots[i++]) = copy(field);
    });
    // Neither the operator identities nor the spans are printed as fields, so describe() does
    // not list them.
    if constexpr (requires { out.op_id; }) out.op_id = record.op_id;
    if constexpr (requires { out.span; }) out.span = record.span;
    if constexpr (requires { out.comparator_op; }) out.comparator_op = record.comparator_op;
    return out;
  }

 private:
  const Builder& b_;
};

}  // namespace clone_detail

// A deep copy of `node` (an Expression, a Statement, or any node type or record) made with
// `builder`.
template <class Node>
auto clone(const Node& node, const Builder& builder) {
  return clone_detail::Cloner(builder).copy(node);
}

// A deep copy of a whole program in a storage of its own.
inline Program clone(const Program& program) {
  auto storage = std::make_unique<Storage>();
  const Builder builder(*storage);
  clone_detail::Cloner cloner(builder);
  Program copy{cloner.copy(program.statements), cloner.copy(program.source_file), program.line,
               program.span, nullptr};
  copy.storage = std::move(storage);
  return copy;
}

}  // namespace tolu::ast
