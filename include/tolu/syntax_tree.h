// The syntax tree: a plain tree (no sharing, no parent links) built by the parser, checked by
// the validator and annotated in place by the inferencer and the optimizer.
//
// Every node, list and string of a tree lives in the arena of the Storage its root owns (a
// Program, or the ExpressionTree of the expression entry point), so nodes are trivially
// destructible and destroying the root frees a few chunks and nothing else. Tagged unions are
// std::variant. Expression and Statement are handles: one pointer to a node in the arena; an
// optional child (Optional<Expression>, Optional<Statement>) or name (Optional<Name>) is the
// handle alone, empty for none.
// Lists are List<T> (tolu/list.h), built once at their final size. Identifiers, keywords,
// operators and type names are Names interned in the storage's NameTable; literal text is a
// std::string_view into the arena, and the text of template parts and string keys a CompactText
// (one pointer). Every node type has a static kName, the variant or record
// name used by the printers; describe() in fields.h lists each type's fields for them.
//
// Making, copying and keeping a tree:
//   - Nodes are made through a Builder (tolu/builder.h) over the Storage that will hold
//     them: builder.name("x"), builder.list(...), builder.expression(node, line, file),
//     builder.statement(node). The parser and the optimizer build through it and nothing else.
//   - Handles move (the moved-from handle is empty) but never copy: a copy of a subtree is
//     made explicitly with clone() (tolu/clone.h) into a given Builder's storage, which
//     may be the same tree's or another's. == compares whole subtrees, as before.
//   - Every node records where it came from: a Span of character offsets, on ExpressionData,
//     StatementData and on each record (BlockStatement, Parameter, DictKey, ...); a ClassMember
//     reads its declaration's. Spans take no part in == (see NodeSpan); clone() copies them.
//   - A variant or a List that a small field follows is [[no_unique_address]], so that the
//     field sits in its tail, which would otherwise be padding: the line of an expression node
//     after the variant's tag, or a capacity hint after a list's length. Node types larger than
//     that leaves room for are held out of line (Indirect). An expression's file and inferred
//     type, shared by many nodes, are a pair its storage keeps once (ExpressionNotes); the node
//     keeps the pair's 24-bit number beside its tag and finds its storage through the arena
//     region it lives in (Arena::owner_of): a node is 32 bytes.
//     An inferred type is set through the Builder (set_inferred_type), which finds that pair.
//   - A tree is valid as long as its Storage lives. Keep the Program (or ExpressionTree); moving
//     it moves one pointer to the storage and leaves every node where it was. Names of
//     different storages compare by text, so trees from different programs compare as before.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "tolu/arena.h"
#include "tolu/compact_text.h"
#include "tolu/list.h"
#include "tolu/name.h"

#include "tolu/export.h"
#include "tolu/operator_id.h"

namespace tolu::ast {

using tolu::CompactText;
using tolu::List;
using tolu::Name;

// A 1-based line number. 32 bits, like every position in the front end: the lexer refuses a
// source whose characters and lines before it do not fit (base/source_size.h).
using Line = std::uint32_t;

// Where a node came from: the character offsets (Unicode scalar values, as every position in
// the front end) of the start of its first token and of the end of its last token, so that
// [start, end) is its text. A node that a pass builds afresh has the empty span {0, 0} unless it
// is given one (see Builder::expression and Expression::set_span).
struct Span {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  bool operator==(const Span&) const = default;
};

// The Span a node keeps. It reads like a Span and is made from one, but takes no part in the ==
// of the nodes that hold it: any two NodeSpans compare equal, so that == on trees compares
// their structure (and lines) as before, and a parsed tree equals the same tree built by hand.
// A NodeSpan and a Span compare as Spans: `record.span == Span{0, 5}`, `e.span() == ...`.
struct NodeSpan : Span {
  NodeSpan() = default;
  NodeSpan(Span span) : Span(span) {}  // NOLINT(google-explicit-constructor): reads as a Span
  template <class T>
  requires std::is_same_v<T, NodeSpan>
  friend bool operator==(const T&, const T&) { return true; }
};

// An interned name that many nodes share, or none: the file a node came from, or the type the
// inferencer gave an expression. One copy per storage, a pointer per node. Reads like a
// std::optional<std::string>, except that * gives a std::string_view.
class SharedName {
 public:
  SharedName() = default;
  SharedName(std::nullopt_t) {}
  // None when `name` is not present() (see NameTable::intern_present).
  explicit SharedName(Name name) : name_(name) {}

  bool has_value() const { return name_.present(); }
  explicit operator bool() const { return has_value(); }
  std::string_view operator*() const { return name_.view(); }
  Name name() const { return name_; }
  std::optional<std::string> to_optional() const {
    return has_value() ? std::optional<std::string>(name_.str()) : std::nullopt;
  }

  friend bool operator==(const SharedName& a, const SharedName& b) {
    return a.has_value() == b.has_value() && a.name_ == b.name_;
  }
  friend bool operator==(const SharedName& a, std::string_view name) {
    return a.has_value() && a.name_ == name;
  }
  friend bool operator==(const SharedName& a, const char* name) {
    return a == std::string_view(name);
  }
  friend bool operator==(const SharedName& a, const std::string& name) {
    return a == std::string_view(name);
  }
  friend bool operator==(const SharedName& a, std::nullopt_t) { return !a.has_value(); }

 private:
  Name name_;
};

using SourceFile = SharedName;
using TypeName = SharedName;

// An optional unsigned number in fewer bytes than std::optional<std::uint64_t> (16 at 8-byte
// alignment), so that a node's other fields can share its bytes. `Packed` says how the number is
// kept. Reads like a std::optional<std::uint64_t> and converts to one.
template <class Packed>
class CompactOptional {
 public:
  CompactOptional() = default;
  CompactOptional(std::nullopt_t) {}    // NOLINT(google-explicit-constructor): reads as an optional
  CompactOptional(std::uint64_t value)  // NOLINT(google-explicit-constructor)
      : packed_(Packed::pack(value)) {}
  CompactOptional(const std::optional<std::uint64_t>& value)  // NOLINT(google-explicit-constructor)
      : packed_(value ? Packed::pack(*value) : Packed{}) {}

  bool has_value() const { return packed_.present(); }
  explicit operator bool() const { return has_value(); }
  std::uint64_t operator*() const { return packed_.value(); }
  std::uint64_t value() const {
    if (!has_value()) throw std::bad_optional_access();
    return **this;
  }
  std::uint64_t value_or(std::uint64_t fallback) const { return has_value() ? **this : fallback; }
  void reset() { packed_ = Packed{}; }
  operator std::optional<std::uint64_t>() const {  // NOLINT(google-explicit-constructor)
    return has_value() ? std::optional<std::uint64_t>(**this) : std::nullopt;
  }

  // An absent number keeps the packed form's zeros, so that == compares the bytes.
  friend bool operator==(const CompactOptional&, const CompactOptional&) = default;
  friend bool operator==(const CompactOptional& a, std::nullopt_t) { return !a.has_value(); }
  friend bool operator==(const CompactOptional& a, std::uint64_t value) {
    return a.has_value() && *a == value;
  }

 private:
  Packed packed_{};
};

// An optional handle in the handle's own 8 bytes, where std::optional would take 16: a handle
// that holds nothing (an empty Expression or Statement, a Name that is not present()) is none.
// Reads like a std::optional<T> and is made from one; an Optional<Name> holding a Name() reads as
// none, like the absent name it is.
template <class T>
class Optional {
 public:
  using value_type = T;

  Optional() = default;
  Optional(std::nullopt_t) {}  // NOLINT(google-explicit-constructor): reads as one
  Optional(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Optional(std::optional<T> value)                 // NOLINT(google-explicit-constructor)
      : value_(value ? std::move(*value) : T()) {}
  Optional& operator=(std::nullopt_t) {
    value_ = T();
    return *this;
  }

  bool has_value() const {
    if constexpr (requires { value_.present(); }) {
      return value_.present();
    } else {
      return !value_.empty();
    }
  }
  explicit operator bool() const { return has_value(); }
  T& operator*() { return value_; }
  const T& operator*() const { return value_; }
  T* operator->() { return &value_; }
  const T* operator->() const { return &value_; }
  T& value() {
    if (!has_value()) throw std::bad_optional_access();
    return value_;
  }
  const T& value() const {
    if (!has_value()) throw std::bad_optional_access();
    return value_;
  }
  T value_or(T fallback) const requires std::is_copy_constructible_v<T> {
    return has_value() ? value_ : fallback;
  }
  template <class... Args>
  T& emplace(Args&&... args) {
    value_ = T(std::forward<Args>(args)...);
    return value_;
  }
  void reset() { value_ = T(); }

  friend bool operator==(const Optional& a, const Optional& b) {
    return a.has_value() == b.has_value() && (!a.has_value() || a.value_ == b.value_);
  }
  friend bool operator==(const Optional& a, std::nullopt_t) { return !a.has_value(); }
  // As std::optional: equal to a value when it holds one equal to it.
  template <class U>
  requires(!std::is_same_v<U, Optional> && !std::is_same_v<U, std::nullopt_t> &&
           requires(const T& t, const U& u) { t == u; }) friend bool
  operator==(const Optional& a, const U& b) {
    return a.has_value() && a.value_ == b;
  }

 private:
  T value_{};
};

using OptionalType = Optional<Name>;

// Any 64-bit number, in two 32-bit halves and a flag: 12 bytes at 4-byte alignment, so that it
// fits in the tail of a List before it (a pointer and a 32-bit length).
struct SplitNumber {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  bool present_flag = false;

  static SplitNumber pack(std::uint64_t n) {
    return {static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n >> 32), true};
  }
  bool present() const { return present_flag; }
  std::uint64_t value() const { return (std::uint64_t{high} << 32) | low; }
  bool operator==(const SplitNumber&) const = default;
};

// A number below 2^32 - 1 in 4 bytes, kept as one more than itself so that 0 is none. Packing a
// larger one throws std::length_error rather than wrapping.
struct NarrowNumber {
  std::uint32_t plus_one = 0;

  static NarrowNumber pack(std::uint64_t n) {
    if (n >= UINT32_MAX) throw std::length_error("a number of 32 bits or more in a 32-bit field");
    return {static_cast<std::uint32_t>(n + 1)};
  }
  bool present() const { return plus_one != 0; }
  std::uint64_t value() const { return plus_one - 1; }
  bool operator==(const NarrowNumber&) const = default;
};

// The capacity hint of a collection literal: any count.
using OptionalCount = CompactOptional<SplitNumber>;
// The scope depth of an identifier: at most the nesting of scopes, which the parser bounds far
// below 2^32.
using OptionalDepth = CompactOptional<NarrowNumber>;

// What an expression node shares with many others: the file it came from and the type the
// inferencer gave it. A storage keeps one copy of each pair in use and numbers it; a node keeps
// the number (NotesNumber).
struct ExpressionNotes {
  SourceFile source_file;
  TypeName inferred_type;
  std::uint32_t number = 0;  // in its storage's NotesTable; 0 for none
  bool operator==(const ExpressionNotes& other) const {
    return source_file == other.source_file && inferred_type == other.inferred_type;
  }
};

// The number of an expression's notes in its storage's NotesTable, in three bytes, so that it
// sits beside the tag of the node's variant: 0 for kNoNotes, else the pair's number, or kAside
// for the pairs beyond the numbered ones, which the table finds by the node's address instead.
class NotesNumber {
 public:
  static constexpr std::uint32_t kAside = (std::uint32_t{1} << 24) - 1;

  NotesNumber() = default;
  explicit NotesNumber(std::uint32_t number)
      : bytes_{static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
               static_cast<std::uint8_t>(number >> 16)} {}
  std::uint32_t value() const {
    return std::uint32_t{bytes_[0]} | std::uint32_t{bytes_[1]} << 8 |
           std::uint32_t{bytes_[2]} << 16;
  }

 private:
  std::uint8_t bytes_[3] = {};
};

// The notes of a node that has neither a file nor a type.
inline constexpr ExpressionNotes kNoNotes{};

// The distinct ExpressionNotes of one storage, in its arena, with their names in its name table.
class TOLU_API NotesTable {
 public:
  // How many pairs are numbered: every one below NotesNumber::kAside. A test may number fewer.
  static constexpr std::uint32_t kNumbered = NotesNumber::kAside - 1;

  NotesTable(Arena& arena, NameTable& names, std::uint32_t numbered = kNumbered)
      : arena_(&arena), names_(&names), numbered_(std::min(numbered, kNumbered)) {}
  NotesTable(const NotesTable&) = delete;
  NotesTable& operator=(const NotesTable&) = delete;

  // The one copy of the pair (`file`, `type`), made on first use. Names of another table are
  // entered in this storage's.
  const ExpressionNotes* find_or_add(const SourceFile& file, const TypeName& type) {
    // A parser asks for one pair at every node, an inferencer for a few pairs in turn: a small
    // cache keyed by the names' identities answers nearly every call.
    const CacheSlot& slot = cache_[cache_index(type.name().identity())];
    if (slot.notes && slot.file == file.name().identity() && slot.type == type.name().identity())
      return slot.notes;
    return add(file, type);
  }
  // The notes of the node at `node`, whose NotesNumber is `number`.
  const ExpressionNotes& at(std::uint32_t number, const void* node) const {
    return number < NotesNumber::kAside ? *all_[number] : *aside_.at(node);
  }
  // Records `notes`, a pair of this table numbered kAside, as those of the node at `node`.
  void set_aside(const void* node, const ExpressionNotes* notes) { aside_[node] = notes; }

  // Forgets every pair; call it with the reset of the arena that held them.
  void clear();

 private:
  const ExpressionNotes* add(const SourceFile& file, const TypeName& type);
  SharedName own(const SharedName& name) const;
  void index_file(const SourceFile& file);

  struct CacheSlot {
    const void* file = nullptr;
    const void* type = nullptr;
    const ExpressionNotes* notes = nullptr;
  };
  // The high bits of the address times a large odd constant: names' addresses are 8-byte
  // aligned and a few dozen bytes apart, which their low bits would not spread over the slots.
  static std::size_t cache_index(const void* type) {
    const std::uint64_t mixed = reinterpret_cast<std::uintptr_t>(type) * 0x9e3779b97f4a7c15u;
    return static_cast<std::size_t>(mixed >> (64 - kCacheBits));
  }
  static constexpr unsigned kCacheBits = 8;
  static constexpr std::size_t kCacheSlots = std::size_t{1} << kCacheBits;

  std::array<CacheSlot, kCacheSlots> cache_{};
  Arena* arena_;
  NameTable* names_;
  std::uint32_t numbered_;
  // By number, kNoNotes first, then the numbered pairs, then those set aside.
  std::vector<const ExpressionNotes*> all_{&kNoNotes};
  // The notes of the nodes whose pairs came after the numbered ones: none in any real program.
  std::unordered_map<const void*, const ExpressionNotes*> aside_;
  // The pairs of `file_`, by type: key 0 for no type, else the type name's id + 1. A map, since
  // type names are few among the names and their ids spread over all of them.
  SourceFile file_;
  std::unordered_map<std::uint32_t, const ExpressionNotes*> by_type_;
};

// What a tree's nodes, lists and names live in. Neither copied nor moved, since nodes point
// into it and its arena's regions name it (Arena::owner_of); a root holds it by unique_ptr.
// clear() forgets the tree and keeps the memory.
struct Storage {
  explicit Storage(std::size_t first_chunk = Arena::kDefaultFirstChunk,
                   std::uint32_t numbered_notes = NotesTable::kNumbered)
      : arena(first_chunk), notes(arena, names, numbered_notes) {
    arena.set_owner(this);
  }
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;
  void clear() {
    notes.clear();
    names.clear();
    arena.reset();
  }

  Arena arena;
  NameTable names{arena};
  NotesTable notes;
};

// The tri-state of needs_type_check: 0 = no, 1 = yes, 2 = not yet known.
enum class TypeCheck : std::uint8_t { No = 0, Yes = 1, Unknown = 2 };

struct ExpressionData;
struct StatementData;

// A node of the arena held out of line: an alternative of a node's variant larger than the room
// the other alternatives need, so that it does not widen every node of that kind. Moves like a
// handle; == compares nodes.
template <class T>
class Indirect {
 public:
  Indirect() = default;
  explicit Indirect(T* p) : p_(p) {}
  Indirect(Indirect&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Indirect& operator=(Indirect&& other) noexcept {
    p_ = std::exchange(other.p_, nullptr);
    return *this;
  }
  Indirect(const Indirect&) = delete;
  Indirect& operator=(const Indirect&) = delete;
  ~Indirect() = default;

  T& operator*() { return *p_; }
  const T& operator*() const { return *p_; }
  T* operator->() { return p_; }
  const T* operator->() const { return p_; }
  T* get() { return p_; }
  const T* get() const { return p_; }

  friend bool operator==(const Indirect& a, const Indirect& b) {
    return a.p_ && b.p_ ? *a.p_ == *b.p_ : a.p_ == b.p_;
  }

 private:
  T* p_ = nullptr;
};

// The node types kept out of line inside their variants: every expression over 16 bytes (an
// expression node keeps 16 inline: names, literals' text and lists, two operands) and every
// statement, so that a statement node is a pointer, its tag and its span: 24 bytes. (A statement
// carries its file and line, so none fits in fewer than 24 bytes, and keeping the smallest inline
// would make every statement node 40.)
struct Named;
struct Block;
struct RegexLiteral;
struct ArrayLiteral;
struct SetLiteral;
struct BagLiteral;
struct DictLiteral;
struct PairListLiteral;
struct UnaryExpression;
struct BinaryExpression;
struct TernaryExpression;
struct AssignmentExpression;
struct CallExpression;
struct DynamicMemberCall;
struct PostfixExpression;
struct LambdaExpression;
struct SliceExpression;
struct DictAccessExpression;
struct FunctionExpression;
struct DeclarationExpression;
struct TryExpression;
struct DoExpression;
struct AwaitExpression;
struct SpawnExpression;
struct VariableDeclaration;
struct DestructuringDeclaration;
struct FunctionDeclaration;
struct Class;
struct Trait;
struct Import;
struct If;
struct While;
struct For;
struct Switch;
struct Try;
struct Return;
struct LoopControl;
struct Throw;
struct Die;
struct PostfixConditional;
struct Output;
struct ExpressionStatement;

template <class... Nodes>
struct NodeList {
  template <class T>
  static constexpr bool contains = (std::is_same_v<T, Nodes> || ...);
};
using BoxedNodes =
    NodeList<Named, Block, RegexLiteral, ArrayLiteral, SetLiteral, BagLiteral, DictLiteral,
             PairListLiteral, UnaryExpression, BinaryExpression, TernaryExpression,
             AssignmentExpression, CallExpression, DynamicMemberCall, PostfixExpression,
             LambdaExpression, SliceExpression, DictAccessExpression, FunctionExpression,
             DeclarationExpression, TryExpression, DoExpression, AwaitExpression, SpawnExpression,
             VariableDeclaration, DestructuringDeclaration, FunctionDeclaration, Class, Trait,
             Import, If, While, For, Switch, Try, Return, LoopControl, Throw, Die,
             PostfixConditional, Output, ExpressionStatement>;

template <class T>
inline constexpr bool kBoxed = BoxedNodes::contains<T>;

// The type a variant keeps for the node type T.
template <class T>
using Stored = std::conditional_t<kBoxed<T>, Indirect<T>, T>;

// The node type inside a variant's alternative.
template <class T>
T& unbox(Indirect<T>& box) {
  return *box;
}
template <class T>
const T& unbox(const Indirect<T>& box) {
  return *box;
}
template <class T>
T& unbox(T& node) {
  return node;
}

// std::visit over a node variant, handing `f` the node types rather than their indirections.
template <class F, class Variant>
decltype(auto) visit_node(F&& f, Variant&& node) {
  return std::visit([&](auto& alternative) -> decltype(auto) { return f(unbox(alternative)); },
                    node);
}

// A handle to one node in an arena. Moving moves the pointer and empties the source; there is
// no copy (see clone()). Only a default-constructed or moved-from handle is empty, and the
// parser never leaves one in a tree. Member templates are instantiated where Data is complete.
template <class Data>
class NodeOwner {
 public:
  NodeOwner() = default;
  NodeOwner(NodeOwner&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  NodeOwner& operator=(NodeOwner&& other) noexcept {
    p_ = std::exchange(other.p_, nullptr);
    return *this;
  }
  NodeOwner(const NodeOwner&) = delete;
  NodeOwner& operator=(const NodeOwner&) = delete;
  ~NodeOwner() = default;

  bool empty() const { return p_ == nullptr; }
  auto& node() { return p_->node; }
  const auto& node() const { return p_->node; }
  template <class T>
  T* as() {
    auto* stored = std::get_if<Stored<T>>(&p_->node);
    return stored ? &unbox(*stored) : nullptr;
  }
  template <class T>
  const T* as() const {
    const auto* stored = std::get_if<Stored<T>>(&p_->node);
    return stored ? &unbox(*stored) : nullptr;
  }
  template <class T>
  bool is() const {
    return std::holds_alternative<Stored<T>>(p_->node);
  }
  Data* data() { return p_; }
  const Data* data() const { return p_; }

  friend bool operator==(const NodeOwner& a, const NodeOwner& b) {
    return a.p_ && b.p_ ? *a.p_ == *b.p_ : a.p_ == b.p_;
  }

 protected:
  explicit NodeOwner(Data* data) : p_(data) {}
  Data* p_ = nullptr;
};

// An expression. The three accessors are total over the variants.
class Expression : public NodeOwner<ExpressionData> {
 public:
  Expression() = default;
  // Adopts a node the Builder placed in an arena.
  explicit Expression(ExpressionData* data) : NodeOwner(data) {}

  Line line() const;
  Span span() const;
  void set_span(Span span);
  const SourceFile& source_file() const;
  const TypeName& inferred_type() const;
  // The file and type together; set_notes() takes a pair from the node's storage (see
  // Builder::set_inferred_type).
  const ExpressionNotes& notes() const;
  void set_notes(const ExpressionNotes* notes);
};

// A statement.
class Statement : public NodeOwner<StatementData> {
 public:
  Statement() = default;
  // Adopts a node the Builder placed in an arena.
  explicit Statement(StatementData* data) : NodeOwner(data) {}

  // The position of the variant, or of the declaration or statement record it wraps.
  TOLU_API Line line() const;
  TOLU_API const SourceFile& source_file() const;
  Span span() const;
  void set_span(Span span);
};

// ---- Blocks and the records that expressions and statements share ------------------------

struct BlockStatement {
  static constexpr std::string_view kName = "BlockStatement";
  List<Statement> statements;
  SourceFile source_file;
  Line line = 1;
  bool needs_lexical_scope = true;
  NodeSpan span{};
  bool operator==(const BlockStatement&) const = default;
};

struct Parameter {
  static constexpr std::string_view kName = "Parameter";
  Name name;
  OptionalType type_annotation;
  Optional<Expression> default_value;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool is_optional = false;
  bool is_variadic = false;
  bool operator==(const Parameter&) const = default;
};

struct CatchBinding {
  static constexpr std::string_view kName = "CatchBinding";
  Name name;
  OptionalType type_name;
  SourceFile source_file;
  NodeSpan span{};
  bool operator==(const CatchBinding&) const = default;
};

struct CatchClause {
  static constexpr std::string_view kName = "CatchClause";
  std::optional<CatchBinding> binding;
  BlockStatement body;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const CatchClause&) const = default;
};

// ---- Dict keys, template parts --------------------------------------------------------------

struct NameKey {
  static constexpr std::string_view kName = "NameKey";
  Name name;
  bool operator==(const NameKey&) const = default;
};
struct StringKey {
  static constexpr std::string_view kName = "StringKey";
  CompactText value;
  bool operator==(const StringKey&) const = default;
};
struct ExpressionKey {
  static constexpr std::string_view kName = "ExpressionKey";
  Expression expression;
  bool operator==(const ExpressionKey&) const = default;
};

struct DictKey {
  [[no_unique_address]] std::variant<NameKey, StringKey, ExpressionKey> node;
  Line line = 1;
  SourceFile source_file;
  NodeSpan span{};
  bool operator==(const DictKey&) const = default;
};

struct Text {
  static constexpr std::string_view kName = "Text";
  CompactText text;
  bool operator==(const Text&) const = default;
};
struct Interpolation {
  static constexpr std::string_view kName = "Interpolation";
  Expression expression;
  bool operator==(const Interpolation&) const = default;
};

struct TemplatePart {
  [[no_unique_address]] std::variant<Text, Interpolation> node;
  Line line = 1;
  SourceFile source_file;
  NodeSpan span{};
  bool operator==(const TemplatePart&) const = default;
};

struct DictEntry;
struct CallArgument;

// ---- Expression variants (payloads; the common fields live in Expression) ------------------

struct Identifier {
  static constexpr std::string_view kName = "Identifier";
  Name name;
  OptionalDepth resolved_depth;
  bool operator==(const Identifier&) const = default;
};
struct NumberLiteral {
  static constexpr std::string_view kName = "NumberLiteral";
  std::string_view text;
  bool operator==(const NumberLiteral&) const = default;
};
struct StringLiteral {
  static constexpr std::string_view kName = "StringLiteral";
  std::string_view value;
  bool operator==(const StringLiteral&) const = default;
};
struct BinaryStringLiteral {
  static constexpr std::string_view kName = "BinaryStringLiteral";
  List<std::uint8_t> bytes;
  bool operator==(const BinaryStringLiteral&) const = default;
};
struct RegexLiteral {
  static constexpr std::string_view kName = "RegexLiteral";
  std::string_view pattern;
  List<TemplatePart> parts;
  std::string_view flags;
  std::optional<std::string_view> cache_key;
  bool operator==(const RegexLiteral&) const = default;
};
struct BooleanLiteral {
  static constexpr std::string_view kName = "BooleanLiteral";
  bool value = false;
  bool operator==(const BooleanLiteral&) const = default;
};
struct NullLiteral {
  static constexpr std::string_view kName = "NullLiteral";
  bool operator==(const NullLiteral&) const = default;
};
struct ArrayLiteral {
  static constexpr std::string_view kName = "ArrayLiteral";
  [[no_unique_address]] List<Expression> elements;
  OptionalCount capacity_hint;
  bool operator==(const ArrayLiteral&) const = default;
};
struct SetLiteral {
  static constexpr std::string_view kName = "SetLiteral";
  [[no_unique_address]] List<Expression> elements;
  OptionalCount capacity_hint;
  bool operator==(const SetLiteral&) const = default;
};
struct BagLiteral {
  static constexpr std::string_view kName = "BagLiteral";
  [[no_unique_address]] List<Expression> elements;
  OptionalCount capacity_hint;
  bool operator==(const BagLiteral&) const = default;
};
struct DictLiteral {
  static constexpr std::string_view kName = "DictLiteral";
  [[no_unique_address]] List<DictEntry> entries;
  OptionalCount capacity_hint;
  bool operator==(const DictLiteral&) const = default;
};
struct PairListLiteral {
  static constexpr std::string_view kName = "PairListLiteral";
  [[no_unique_address]] List<DictEntry> entries;
  OptionalCount capacity_hint;
  bool operator==(const PairListLiteral&) const = default;
};
struct TemplateLiteral {
  static constexpr std::string_view kName = "TemplateLiteral";
  List<TemplatePart> parts;
  bool operator==(const TemplateLiteral&) const = default;
};
// The operator nodes keep the operator as written in `op` and the operator it names in `op_id`;
// set_operator() sets both.
struct UnaryExpression {
  static constexpr std::string_view kName = "UnaryExpression";
  Name op;
  [[no_unique_address]] List<Name> traits;  // only for "new"
  OperatorId op_id = OperatorId::None;      // in the list's tail
  Expression operand;
  bool operator==(const UnaryExpression&) const = default;
};
struct BinaryExpression {
  static constexpr std::string_view kName = "BinaryExpression";
  Name op;  // as written
  Expression left;
  Expression right;
  OperatorId op_id = OperatorId::None;
  bool operator==(const BinaryExpression&) const = default;
};
struct TernaryExpression {
  static constexpr std::string_view kName = "TernaryExpression";
  Expression condition;
  Expression then_branch;
  Expression else_branch;
  bool operator==(const TernaryExpression&) const = default;
};
struct FallbackExpression {
  static constexpr std::string_view kName = "FallbackExpression";
  Expression left;
  Expression right;
  bool operator==(const FallbackExpression&) const = default;
};
struct AssignmentExpression {
  static constexpr std::string_view kName = "AssignmentExpression";
  Name op;
  Expression target;
  Expression value;
  bool is_weak = false;
  TypeCheck needs_type_check = TypeCheck::Unknown;
  OperatorId op_id = OperatorId::None;
  bool operator==(const AssignmentExpression&) const = default;
};
struct CallExpression {
  static constexpr std::string_view kName = "CallExpression";
  Expression callee;
  List<CallArgument> arguments;
  bool operator==(const CallExpression&) const = default;
};
struct MemberExpression {
  static constexpr std::string_view kName = "MemberExpression";
  Expression object;
  Name name;
  bool operator==(const MemberExpression&) const = default;
};
struct DynamicMemberCall {
  static constexpr std::string_view kName = "DynamicMemberCall";
  Expression object;
  Expression member;
  List<CallArgument> arguments;
  bool operator==(const DynamicMemberCall&) const = default;
};
struct IndexExpression {
  static constexpr std::string_view kName = "IndexExpression";
  Expression object;
  Expression index;
  bool operator==(const IndexExpression&) const = default;
};
struct SliceExpression {
  static constexpr std::string_view kName = "SliceExpression";
  Expression object;
  Optional<Expression> start;
  Optional<Expression> end;
  bool operator==(const SliceExpression&) const = default;
};
struct DictAccessExpression {
  static constexpr std::string_view kName = "DictAccessExpression";
  Expression object;
  DictKey key;
  bool operator==(const DictAccessExpression&) const = default;
};
struct PostfixExpression {
  static constexpr std::string_view kName = "PostfixExpression";
  Name op;  // "++" or "--"
  Expression operand;
  OperatorId op_id = OperatorId::None;
  bool operator==(const PostfixExpression&) const = default;
};
struct LambdaExpression {
  static constexpr std::string_view kName = "LambdaExpression";
  List<Parameter> parameters;
  Expression body;
  bool is_async = false;
  bool operator==(const LambdaExpression&) const = default;
};
struct FunctionExpression {
  static constexpr std::string_view kName = "FunctionExpression";
  List<Parameter> parameters;
  OptionalType return_type;
  BlockStatement body;
  bool is_async = false;
  bool operator==(const FunctionExpression&) const = default;
};
struct DeclarationExpression {
  static constexpr std::string_view kName = "DeclarationExpression";
  Name kind;  // "let" or "const"
  Name name;
  OptionalType type_annotation;
  Optional<Expression> initializer;
  bool is_weak = false;
  TypeCheck needs_type_check = TypeCheck::Unknown;
  bool operator==(const DeclarationExpression&) const = default;
};
struct TryExpression {
  static constexpr std::string_view kName = "TryExpression";
  BlockStatement body;
  List<CatchClause> catches;
  bool operator==(const TryExpression&) const = default;
};
struct DoExpression {
  static constexpr std::string_view kName = "DoExpression";
  BlockStatement body;
  bool operator==(const DoExpression&) const = default;
};
struct AwaitExpression {
  static constexpr std::string_view kName = "AwaitExpression";
  BlockStatement body;
  bool operator==(const AwaitExpression&) const = default;
};
struct SpawnExpression {
  static constexpr std::string_view kName = "SpawnExpression";
  BlockStatement body;
  bool operator==(const SpawnExpression&) const = default;
};
struct SuperCallExpression {
  static constexpr std::string_view kName = "SuperCallExpression";
  List<CallArgument> arguments;
  bool operator==(const SuperCallExpression&) const = default;
};

using ExpressionNode = std::variant<
    Identifier, NumberLiteral, StringLiteral, BinaryStringLiteral, Stored<RegexLiteral>,
    BooleanLiteral, NullLiteral, Stored<ArrayLiteral>, Stored<SetLiteral>, Stored<BagLiteral>,
    Stored<DictLiteral>, Stored<PairListLiteral>, TemplateLiteral, Stored<UnaryExpression>,
    Stored<BinaryExpression>, Stored<TernaryExpression>, FallbackExpression,
    Stored<AssignmentExpression>, Stored<CallExpression>, MemberExpression,
    Stored<DynamicMemberCall>, IndexExpression, Stored<SliceExpression>,
    Stored<DictAccessExpression>, Stored<PostfixExpression>, Stored<LambdaExpression>,
    Stored<FunctionExpression>, Stored<DeclarationExpression>, Stored<TryExpression>,
    Stored<DoExpression>, Stored<AwaitExpression>, Stored<SpawnExpression>, SuperCallExpression>;
static_assert(std::variant_size_v<ExpressionNode> == 33);

// An expression node: its variant and the fields every variant carries. The file and the type
// are a pair its storage keeps, found by number through the storage that the node's arena
// region names.
struct ExpressionData {
  [[no_unique_address]] ExpressionNode node;
  NotesNumber notes_number;
  Line line = 1;
  NodeSpan span{};

  const ExpressionNotes& notes() const;
  // `notes` is a pair of this node's storage (NotesTable::find_or_add).
  void set_notes(const ExpressionNotes* notes);
  std::uint32_t notes_number_value() const {
    if constexpr (std::endian::native == std::endian::little) {
      // The three bytes with the byte before them (the variant's tag), in one load.
      std::uint32_t word;
      std::memcpy(&word, reinterpret_cast<const unsigned char*>(&notes_number) - 1, sizeof word);
      return word >> 8;
    } else {
      return notes_number.value();
    }
  }
  bool operator==(const ExpressionData& other) const {
    return node == other.node && line == other.line && notes() == other.notes();
  }
};
static_assert(sizeof(void*) != 8 || sizeof(ExpressionData) <= 32,
              "the notes' number and the line sit in the variant's padding");

// The storage that holds `data`: the owner its arena region names.
inline Storage& storage_of(const ExpressionData* data) {
  return *static_cast<Storage*>(Arena::owner_of(data));
}
inline const ExpressionNotes& ExpressionData::notes() const {
  return storage_of(this).notes.at(notes_number_value(), this);
}
inline void ExpressionData::set_notes(const ExpressionNotes* notes) {
  notes_number = NotesNumber(notes->number);
  if (notes->number == NotesNumber::kAside) storage_of(this).notes.set_aside(this, notes);
}

struct DictEntry {
  static constexpr std::string_view kName = "DictEntry";
  DictKey key;
  Expression value;
  Line line = 1;
  SourceFile source_file;
  NodeSpan span{};
  bool operator==(const DictEntry&) const = default;
};

struct Named {
  static constexpr std::string_view kName = "Named";
  DictKey key;
  bool operator==(const Named&) const = default;
};
struct Positional {
  static constexpr std::string_view kName = "Positional";
  bool operator==(const Positional&) const = default;
};
struct Spread {
  static constexpr std::string_view kName = "Spread";
  bool operator==(const Spread&) const = default;
};

// A named argument is the rare kind and the large one: it is kept out of line, so that the
// line sits beside the variant's tag and an argument takes 40 bytes.
struct CallArgument {
  [[no_unique_address]] std::variant<Stored<Named>, Positional, Spread> node;
  Line line = 1;
  Expression value;
  SourceFile source_file;
  NodeSpan span{};
  bool operator==(const CallArgument&) const = default;
};

// ---- Declarations ---------------------------------------------------------------------------

struct ClassMember;

struct FieldDeclaration {
  static constexpr std::string_view kName = "FieldDeclaration";
  Name kind;
  Name name;
  OptionalType type_annotation;
  List<Name> accessors;
  Optional<Expression> initializer;
  bool is_weak = false;
  TypeCheck needs_type_check = TypeCheck::Unknown;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const FieldDeclaration&) const = default;
};

struct MethodDeclaration {
  static constexpr std::string_view kName = "MethodDeclaration";
  Name name;
  [[no_unique_address]] List<Parameter> parameters;
  Line line = 1;  // in the list's tail
  OptionalType return_type;
  BlockStatement body;
  SourceFile source_file;
  NodeSpan span{};
  bool is_static = false;
  bool is_async = false;
  bool is_forward = false;
  bool operator==(const MethodDeclaration&) const = default;
};

struct ClassDeclaration {
  static constexpr std::string_view kName = "ClassDeclaration";
  Name name;
  Optional<Name> base_class;
  List<Name> traits;
  List<ClassMember> members;
  bool is_forward = false;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const ClassDeclaration&) const = default;
};

struct TraitDeclaration {
  static constexpr std::string_view kName = "TraitDeclaration";
  Name name;
  List<ClassMember> members;
  bool is_forward = false;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const TraitDeclaration&) const = default;
};

struct Field {
  static constexpr std::string_view kName = "Field";
  FieldDeclaration declaration;
  bool operator==(const Field&) const = default;
};
struct Method {
  static constexpr std::string_view kName = "Method";
  MethodDeclaration declaration;
  bool operator==(const Method&) const = default;
};
struct NestedClass {
  static constexpr std::string_view kName = "NestedClass";
  ClassDeclaration declaration;
  bool operator==(const NestedClass&) const = default;
};
struct NestedTrait {
  static constexpr std::string_view kName = "NestedTrait";
  TraitDeclaration declaration;
  bool operator==(const NestedTrait&) const = default;
};

// A member's span is its declaration's.
struct ClassMember {
  std::variant<Field, Method, NestedClass, NestedTrait> node;
  Span span() const {
    return std::visit([](const auto& member) -> Span { return member.declaration.span; }, node);
  }
  bool operator==(const ClassMember&) const = default;
};

struct SwitchCase {
  static constexpr std::string_view kName = "SwitchCase";
  List<Expression> values;
  List<Statement> body;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const SwitchCase&) const = default;
};

struct SwitchIndexEntry {
  static constexpr std::string_view kName = "SwitchIndexEntry";
  std::string_view key;
  std::uint64_t case_index = 0;
  NodeSpan span{};
  bool operator==(const SwitchIndexEntry&) const = default;
};

struct DeclarationBindingEntry {
  static constexpr std::string_view kName = "DeclarationBindingEntry";
  DictKey key;
  Name name;
  OptionalType type_annotation;
  Optional<Expression> default_value;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool is_weak = false;
  TypeCheck needs_type_check = TypeCheck::Unknown;
  bool operator==(const DeclarationBindingEntry&) const = default;
};

struct DeclarationBindingPattern {
  static constexpr std::string_view kName = "DeclarationBindingPattern";
  List<DeclarationBindingEntry> entries;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const DeclarationBindingPattern&) const = default;
};

struct ImportSpecifier {
  static constexpr std::string_view kName = "ImportSpecifier";
  Name name;
  Name local_name;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const ImportSpecifier&) const = default;
};

struct PostfixCondition {
  static constexpr std::string_view kName = "PostfixCondition";
  Name keyword;  // "if" or "unless"
  Expression condition;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const PostfixCondition&) const = default;
};

struct PostfixConditionalStatement {
  static constexpr std::string_view kName = "PostfixConditionalStatement";
  Name keyword;  // "if" or "unless"
  Expression condition;
  Statement statement;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  bool operator==(const PostfixConditionalStatement&) const = default;
};

// ---- Statement variants ---------------------------------------------------------------------

struct Block {
  static constexpr std::string_view kName = "Block";
  BlockStatement block;
  bool operator==(const Block&) const = default;
};
struct VariableDeclaration {
  static constexpr std::string_view kName = "VariableDeclaration";
  Name kind;
  Name name;
  OptionalType type_annotation;
  Optional<Expression> initializer;
  SourceFile source_file;
  Line line = 1;
  bool is_weak = false;
  TypeCheck needs_type_check = TypeCheck::Unknown;
  bool operator==(const VariableDeclaration&) const = default;
};
struct DestructuringDeclaration {
  static constexpr std::string_view kName = "DestructuringDeclaration";
  Name kind;
  DeclarationBindingPattern pattern;
  Expression initializer;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const DestructuringDeclaration&) const = default;
};
struct FunctionDeclaration {
  static constexpr std::string_view kName = "FunctionDeclaration";
  Name name;
  [[no_unique_address]] List<Parameter> parameters;
  Line line = 1;  // in the list's tail
  OptionalType return_type;
  BlockStatement body;
  SourceFile source_file;
  bool is_async = false;
  bool is_forward = false;
  bool operator==(const FunctionDeclaration&) const = default;
};
struct Class {
  static constexpr std::string_view kName = "Class";
  ClassDeclaration declaration;
  bool operator==(const Class&) const = default;
};
struct Trait {
  static constexpr std::string_view kName = "Trait";
  TraitDeclaration declaration;
  bool operator==(const Trait&) const = default;
};
struct Import {
  static constexpr std::string_view kName = "Import";
  std::string_view module_path;
  List<ImportSpecifier> specifiers;
  bool is_try = false;
  bool imports_all = false;
  std::optional<PostfixCondition> condition;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const Import&) const = default;
};
struct If {
  static constexpr std::string_view kName = "If";
  Expression condition;
  BlockStatement then_block;
  Optional<Statement> else_branch;  // an If or a Block
  SourceFile source_file;
  Line line = 1;
  bool operator==(const If&) const = default;
};
struct While {
  static constexpr std::string_view kName = "While";
  Expression condition;
  BlockStatement body;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const While&) const = default;
};
struct For {
  static constexpr std::string_view kName = "For";
  Name variable;
  Optional<Name> binding_kind;
  Expression iterable;
  BlockStatement body;
  std::optional<BlockStatement> else_block;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const For&) const = default;
};
struct Switch {
  static constexpr std::string_view kName = "Switch";
  Expression discriminant;
  Optional<Name> comparator;
  OperatorId comparator_op = OperatorId::None;  // the operator the comparator names
  List<SwitchCase> cases;
  std::optional<List<Statement>> default_body;
  std::optional<List<SwitchIndexEntry>> case_index;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const Switch&) const = default;
};
struct Try {
  static constexpr std::string_view kName = "Try";
  BlockStatement body;
  List<CatchClause> catches;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const Try&) const = default;
};
struct Return {
  static constexpr std::string_view kName = "Return";
  Optional<Expression> value;
  SourceFile source_file;
  Line line = 1;
  TypeCheck needs_type_check = TypeCheck::Unknown;
  bool operator==(const Return&) const = default;
};
struct LoopControl {
  static constexpr std::string_view kName = "LoopControl";
  Name keyword;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const LoopControl&) const = default;
};
struct Throw {
  static constexpr std::string_view kName = "Throw";
  Expression value;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const Throw&) const = default;
};
struct Die {
  static constexpr std::string_view kName = "Die";
  Expression value;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const Die&) const = default;
};
struct PostfixConditional {
  static constexpr std::string_view kName = "PostfixConditional";
  PostfixConditionalStatement statement;
  bool operator==(const PostfixConditional&) const = default;
};
struct Output {
  static constexpr std::string_view kName = "Output";
  Name keyword;
  [[no_unique_address]] List<Expression> arguments;
  Line line = 1;  // in the list's tail
  SourceFile source_file;
  bool operator==(const Output&) const = default;
};
struct ExpressionStatement {
  static constexpr std::string_view kName = "ExpressionStatement";
  Expression expression;
  SourceFile source_file;
  Line line = 1;
  bool operator==(const ExpressionStatement&) const = default;
};

using StatementNode =
    std::variant<Stored<Block>, Stored<VariableDeclaration>, Stored<DestructuringDeclaration>,
                 Stored<FunctionDeclaration>, Stored<Class>, Stored<Trait>, Stored<Import>,
                 Stored<If>, Stored<While>, Stored<For>, Stored<Switch>, Stored<Try>,
                 Stored<Return>, Stored<LoopControl>, Stored<Throw>, Stored<Die>,
                 Stored<PostfixConditional>, Stored<Output>, Stored<ExpressionStatement>>;
static_assert(std::variant_size_v<StatementNode> == 19);

// A statement node: its variant, and its span (its position otherwise lives in the variant),
// which sits in the bytes after the variant's tag.
struct StatementData {
  [[no_unique_address]] StatementNode node;
  NodeSpan span{};
  bool operator==(const StatementData&) const = default;
};
static_assert(sizeof(void*) != 8 || sizeof(StatementData) <= 24,
              "the span sits in the variant's padding");

// ---- Expression and Statement members, now that their nodes are complete ------------------

inline Line Expression::line() const {
  return p_->line;
}
inline Span Expression::span() const {
  return p_->span;
}
inline void Expression::set_span(Span span) {
  p_->span = span;
}
inline Span Statement::span() const {
  return p_->span;
}
inline void Statement::set_span(Span span) {
  p_->span = span;
}
inline const SourceFile& Expression::source_file() const {
  return p_->notes().source_file;
}
inline const TypeName& Expression::inferred_type() const {
  return p_->notes().inferred_type;
}
inline const ExpressionNotes& Expression::notes() const {
  return p_->notes();
}
inline void Expression::set_notes(const ExpressionNotes* notes) {
  p_->set_notes(notes);
}

// The most numerous records keep their small fields together at the end, after the 8-byte ones.
static_assert(sizeof(void*) != 8 || (sizeof(VariableDeclaration) <= 48 && sizeof(Parameter) <= 48 &&
                                     sizeof(DeclarationBindingEntry) <= 88 &&
                                     sizeof(Return) <= 24 && sizeof(Output) <= 32));

// The arena runs no destructor, so no node may need one.
template <class... T>
inline constexpr bool kTriviallyDestructible = (std::is_trivially_destructible_v<T> && ...);
static_assert(
    kTriviallyDestructible<
        ExpressionData, StatementData, BlockStatement, Parameter, CatchBinding, CatchClause,
        NameKey, StringKey, ExpressionKey, DictKey, Text, Interpolation, TemplatePart, Identifier,
        NumberLiteral, StringLiteral, BinaryStringLiteral, RegexLiteral, BooleanLiteral,
        NullLiteral, ArrayLiteral, SetLiteral, BagLiteral, DictLiteral, PairListLiteral,
        TemplateLiteral, UnaryExpression, BinaryExpression, TernaryExpression, FallbackExpression,
        AssignmentExpression, CallExpression, MemberExpression, DynamicMemberCall, IndexExpression,
        SliceExpression, DictAccessExpression, PostfixExpression, LambdaExpression,
        FunctionExpression, DeclarationExpression, TryExpression, DoExpression, AwaitExpression,
        SpawnExpression, SuperCallExpression, DictEntry, Named, Positional, Spread, CallArgument,
        FieldDeclaration, MethodDeclaration, ClassDeclaration, TraitDeclaration, Field, Method,
        NestedClass, NestedTrait, ClassMember, SwitchCase, SwitchIndexEntry,
        DeclarationBindingEntry, DeclarationBindingPattern, ImportSpecifier, PostfixCondition,
        PostfixConditionalStatement, Block, VariableDeclaration, DestructuringDeclaration,
        FunctionDeclaration, Class, Trait, Import, If, While, For, Switch, Try, Return, LoopControl,
        Throw, Die, PostfixConditional, Output, ExpressionStatement>);

// The expression of a computed dict key, or null for a name or string key.
inline Expression* key_expression(DictKey& key) {
  auto* expression_key = std::get_if<ExpressionKey>(&key.node);
  return expression_key ? &expression_key->expression : nullptr;
}
inline const Expression* key_expression(const DictKey& key) {
  return key_expression(const_cast<DictKey&>(key));
}

// What assignments, ++, -- and the prefix backslash may apply to: a name, an index, slice or
// dict access, or a path (the operators @, @@ and @?).
inline bool is_assignable_target(const Expression& e) {
  if (e.is<Identifier>() || e.is<IndexExpression>() || e.is<SliceExpression>() ||
      e.is<DictAccessExpression>()) {
    return true;
  }
  const auto* path = e.as<BinaryExpression>();
  return path && (path->op_id == OperatorId::At || path->op_id == OperatorId::AtAt ||
                  path->op_id == OperatorId::AtQuestion);
}

// The root of a parsed program: its statements, and the storage that holds the whole tree.
struct Program {
  static constexpr std::string_view kName = "Program";
  List<Statement> statements;
  SourceFile source_file;
  Line line = 1;
  NodeSpan span{};
  std::unique_ptr<Storage> storage;  // null only in a moved-from Program

  // Compares the trees, not where they are stored.
  friend bool operator==(const Program& a, const Program& b) {
    return a.statements == b.statements && a.source_file == b.source_file && a.line == b.line;
  }
};

// The root of a parsed expression: the expression, and the storage that holds its tree. Reads
// as the Expression it derives from.
class ExpressionTree : public Expression {
 public:
  ExpressionTree(Expression expression, std::unique_ptr<Storage> storage)
      : Expression(std::move(expression)), storage_(std::move(storage)) {}
  Storage& storage() { return *storage_; }

 private:
  std::unique_ptr<Storage> storage_;
};

}  // namespace tolu::ast
