// The identity of an operator, which the operator nodes of the syntax tree carry beside the
// operator's spelling as written. Spellings the language treats as one operator share an
// identity: "<=" and "≤", "and" and "⋀", "->" and "→".
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolu {

enum class OperatorId : std::uint8_t {
  None,
  // Logical
  Not,
  And,
  Or,
  Xor,
  Nand,
  // Arithmetic and numeric functions
  Plus,
  Minus,
  Multiply,
  Divide,
  Mod,
  Power,
  Increment,
  Decrement,
  Abs,
  Sqrt,
  Int,
  Ceil,
  Floor,
  Round,
  // Numeric comparisons
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  Equals,
  NotEquals,
  // Equality of any two values
  Identical,
  NotIdentical,
  // Three-way comparisons
  Compare,
  Cmp,
  Cmpi,
  // String comparisons, then their case-insensitive forms
  Eq,
  Ne,
  Gt,
  Ge,
  Lt,
  Le,
  Eqi,
  Nei,
  Gti,
  Gei,
  Lti,
  Lei,
  // Strings
  Concat,
  Uc,
  Lc,
  Length,
  // Sets
  In,
  NotIn,
  Union,
  Intersection,
  Backslash,  // set difference; as a prefix operator, a reference to an assignable target
  Subset,
  Superset,
  Equivalent,
  // Types and classes
  InstanceOf,
  Does,
  Can,
  Typeof,
  New,
  // Pipelines
  PipeRight,
  PipeLeft,
  // Paths
  At,
  AtAt,
  AtQuestion,
  // Other binary operators
  Tilde,
  Bar,
  Caret,
  Ampersand,
  Ellipsis,
  Arrow,
  Default,
  // Assignments
  Assign,
  PlusAssign,
  MinusAssign,
  MultiplyAssign,
  DivideAssign,
  PowerAssign,
  ConcatAssign,
  ReplaceAssign,
  FallbackAssign,
  // Punctuation of expressions and literals
  Dot,
  DotParen,
  Colon,
  Question,
  Fallback,
  BagOpen,
  BagClose,
  SetOpen,
  SetClose,
  GuillemetOpen,
  GuillemetClose,
  FloorOpen,
  FloorClose,
  CeilOpen,
  CeilClose,
};

inline constexpr std::size_t kOperatorIdCount = static_cast<std::size_t>(OperatorId::CeilClose) + 1;

}  // namespace tolu
