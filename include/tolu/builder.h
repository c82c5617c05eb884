// The one way to make nodes: a Builder places nodes, lists, names and text in a Storage. The
// parser builds every tree through it, and so does anything else that makes or copies nodes
// (clone.h). A Builder is a pair of references; make as many as convenient.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "tolu/syntax_tree.h"

namespace tolu::ast {

class Builder {
 public:
  explicit Builder(Storage& storage) : storage_(&storage) {}

  Storage& storage() const { return *storage_; }

  // The interned name spelled `text`.
  Name name(std::string_view text) const { return storage_->names.intern(text); }
  // The name spelled `text`, or none; an empty text is a name that is present.
  Optional<Name> optional_name(const std::optional<std::string>& text) const {
    return text ? Optional<Name>(storage_->names.intern_present(*text)) : std::nullopt;
  }
  // An interned name shared by many nodes (a file, a type), or none.
  SharedName shared(std::string_view text) const {
    return SharedName(storage_->names.intern_present(text));
  }
  SharedName shared(const char* text) const { return shared(std::string_view(text)); }
  SharedName shared(const std::optional<std::string>& text) const {
    return text ? shared(std::string_view(*text)) : SharedName();
  }
  // A copy of literal text in the arena.
  std::string_view text(std::string_view text) const { return storage_->arena.copy_text(text); }
  // The same behind its size, in one pointer: for the text of template parts and string keys.
  CompactText compact_text(std::string_view text) const {
    return CompactText::copy(storage_->arena, text);
  }

  // A list holding the items of [first, last), moved.
  template <class It>
  auto list_moving(It first, It last) const {
    using T = typename std::iterator_traits<It>::value_type;
    return List<T>::move(storage_->arena, first, last);
  }
  template <class T>
  List<T> list(std::vector<T>&& items) const {
    return List<T>::move(storage_->arena, items.begin(), items.end());
  }
  // A list of names or other plain values, copied.
  template <class T>
  List<T> list(std::initializer_list<T> items) const {
    return List<T>::copy(storage_->arena, items.begin(), items.end());
  }
  template <class T>
  List<T> list(const std::vector<T>& items) const requires std::is_trivially_copyable_v<T> {
    return List<T>::copy(storage_->arena, items.begin(), items.end());
  }
  // A list of one item.
  template <class T>
  List<T> list_of(T item) const {
    return List<T>::generate(storage_->arena, 1, [&](std::size_t) { return std::move(item); });
  }

  // An expression node from its variant's alternative (a node type such as BinaryExpression),
  // with the empty span, or with `span`.
  template <class Node>
  Expression expression(Node&& node, Line line, SourceFile source_file,
                        TypeName inferred_type = {}) const {
    return expression(std::forward<Node>(node), line, Span{}, source_file, inferred_type);
  }
  template <class Node>
  Expression expression(Node&& node, Line line, Span span, SourceFile source_file,
                        TypeName inferred_type = {}) const {
    return expression(std::forward<Node>(node), line, span,
                      storage_->notes.find_or_add(source_file, inferred_type));
  }
  // The same with the file and type of `notes`, a pair of this storage (NotesTable::find_or_add).
  template <class Node>
  Expression expression(Node&& node, Line line, Span span, const ExpressionNotes* notes) const {
    return expression_made([&] { return ExpressionNode(stored(std::forward<Node>(node))); }, line,
                           span, notes);
  }
  // The same with the variant that `make_node()` returns, built in place.
  template <class MakeNode>
  Expression expression_made(MakeNode&& make_node, Line line, Span span,
                             const ExpressionNotes* notes) const {
    Expression expression(storage_->arena.make_from<ExpressionData>([&] {
      return ExpressionData{make_node(), NotesNumber(notes->number), line, span};
    }));
    if (notes->number == NotesNumber::kAside) expression.set_notes(notes);
    return expression;
  }
  // Gives `expression`, a node of this storage, the type `type`.
  void set_inferred_type(Expression& expression, const TypeName& type) const {
    expression.set_notes(storage_->notes.find_or_add(expression.source_file(), type));
  }
  // An expression node that takes the place of `original` in a rewritten tree: it has the
  // original's line, span and file, and no inferred type.
  template <class Node>
  Expression expression_in_place_of(Node&& node, const Expression& original) const {
    return expression(std::forward<Node>(node), original.line(), original.span(),
                      original.source_file());
  }
  // A statement node from its variant's alternative (If, Return, ...), with the empty span, or
  // with `span`. A statement that replaces another takes its span: statement(node, old.span()).
  template <class Node>
  Statement statement(Node&& node, Span span = {}) const {
    return Statement(storage_->arena.make_from<StatementData>([&] {
      return StatementData{StatementNode(stored(std::forward<Node>(node))), span};
    }));
  }

  // What a variant keeps for `node`: the node itself, or, for the large types, the node placed
  // in the arena.
  template <class Node>
  auto stored(Node&& node) const {
    using T = std::remove_cvref_t<Node>;
    if constexpr (kBoxed<T>) {
      return Indirect<T>(storage_->arena.make<T>(std::forward<Node>(node)));
    } else {
      return T(std::forward<Node>(node));
    }
  }

 private:
  Storage* storage_;
};

}  // namespace tolu::ast
