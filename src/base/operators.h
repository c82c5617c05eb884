// The operators of the language: one table, in operators.cpp, holds every spelling the lexer
// knows as an operator (symbols and operator keywords, ASCII and Unicode alike) with what each
// stage needs to know about it. Every other stage asks here rather than comparing spellings.
//
// A spelling belongs to one operator, named by an OperatorId. Spellings the language treats as
// the same operator share its id (and so its precedence, result type and category): "<=" and
// "≤", "and" and "⋀", "->" and "→". What differs from one spelling to another is kept per
// spelling: whether it is a prefix or postfix operator, a keyword, a switch comparator word, and
// its canonical form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/spelling_index.h"
#include "tolu/operator_id.h"

namespace tolu {

// What an operator does, coarsely; constant folding picks its rules by it.
enum class OperatorCategory : std::uint8_t {
  None,
  Logical,
  Arithmetic,
  NumericComparison,
  Equality,
  Ordering,  // three-way comparisons, giving a number
  StringComparison,
  CaseFoldedComparison,
  Text,
  Set,
  TypeTest,
  Pipeline,
  Path,
  Assignment,
  Punctuation,
  Other,
};

// The static type of an operator's result, as the inferencer computes it.
enum class ResultType : std::uint8_t {
  None,  // no static type
  Boolean,
  Number,
  String,
  SameAsOperands,  // the operands' type when both have the same one
  DefaultRule,     // "default": Dict for a Dict on the left; PairList for a PairList or Null
  NewRule,         // "new": the class the operand names
  ValueType,       // an assignment: the type of the value assigned
};

// What an operator is, whichever spelling it is written in.
struct OperatorInfo {
  OperatorId id = OperatorId::None;
  std::uint8_t level = 0;  // binary precedence, 2 to 16 (higher binds tighter); 0: not binary
  bool right_associative = false;
  OperatorCategory category = OperatorCategory::None;
  ResultType unary_result = ResultType::None;  // as the operator of a unary expression
  ResultType result = ResultType::None;        // as a binary operator or an assignment
  OperatorId applies = OperatorId::None;       // a compound assignment: the operator it applies
  // Some spelling of the operator is a postfix operator, so that a reader asks the spelling's
  // entry only then.
  bool has_postfix_spelling = false;

  constexpr bool is_binary() const { return level != 0; }
  constexpr bool is_assignment() const { return category == OperatorCategory::Assignment; }
  bool operator==(const OperatorInfo&) const = default;
};

// One spelling of an operator.
struct OperatorSpelling {
  enum Flag : std::uint8_t {
    kPrefix = 1,            // a prefix operator in this spelling
    kPostfix = 2,           // a postfix operator
    kSwitchComparator = 4,  // a keyword accepted after ":" in a switch head
    kPreferred = 8,         // the canonical spelling of its operator
    kAsWritten = 16,        // keeps its spelling when operators are made canonical
    kLexesAsFirst = 32,     // lexes as the first spelling of its operator ("→" as "->")
  };

  std::string_view text;
  OperatorId id = OperatorId::None;
  std::uint8_t flags = 0;
  // The characters of `text` (fewer than its bytes when it is not ASCII), so that the lexer moves
  // over a spelling without counting them.
  std::uint8_t characters = 0;

  constexpr bool has(Flag flag) const { return (flags & flag) != 0; }
  constexpr bool is_prefix() const { return has(kPrefix); }
  constexpr bool is_postfix() const { return has(kPostfix); }
  constexpr bool is_switch_comparator() const { return has(kSwitchComparator); }
  // Spelled as a word, so lexed as a Keyword token; every other spelling is an Operator token.
  constexpr bool is_keyword() const { return !text.empty() && text[0] >= 'a' && text[0] <= 'z'; }
};

// A spelling's bytes within an 8-byte word loaded from memory, and the mask of those bytes: a
// load `w` starts with the spelling when (w & mask) == bytes.
struct SpellingPattern {
  std::uint64_t bytes = 0;
  std::uint64_t mask = 0;
};

namespace operators_detail {
extern const std::array<OperatorInfo, kOperatorIdCount> kInfo;
// For each first byte, the lengths of the spellings that start with it, as bits.
extern const std::array<std::uint32_t, 256> kLengthsByFirstByte;
// For each first byte, the last bytes of the spellings that start with it, as bits (the last
// byte's low six bits pick the bit).
extern const std::array<std::uint64_t, 256> kLastBytesByFirstByte;
const OperatorSpelling* find_operator_spelled(std::string_view text);
// The Operator tokens in the order the lexer tries them, and the run of them for each first byte.
extern const OperatorSpelling* const kLexingOrder;
// Beside each of them, its bytes as an 8-byte load from the source holds them.
extern const SpellingPattern* const kLexingPatterns;
extern const FirstByteIndex kLexingIndex;
}  // namespace operators_detail

inline const OperatorInfo& operator_info(OperatorId id) {
  return operators_detail::kInfo[static_cast<std::size_t>(id)];
}

// The operator's first spelling in the table: its ASCII or keyword form where it has one. Empty
// for OperatorId::None.
std::string_view operator_spelling(OperatorId id);

// The entry of the operator `id` spelled `text`; `text` must be one of its spellings.
const OperatorSpelling& operator_entry(OperatorId id, std::string_view text);

// The table's entry for exactly `text`, or null when no operator is spelled so.
inline const OperatorSpelling* find_operator(std::string_view text) {
  // Most words the lexer asks about are names: their length and their first and last bytes
  // settle it without a comparison.
  if (text.empty() || text.size() >= 32) return nullptr;
  const auto first = static_cast<unsigned char>(text.front());
  if (!((operators_detail::kLengthsByFirstByte[first] >> text.size()) & 1u)) return nullptr;
  const auto last = static_cast<unsigned char>(text.back());
  if (!((operators_detail::kLastBytesByFirstByte[first] >> (last % 64)) & 1u)) return nullptr;
  return operators_detail::find_operator_spelled(text);
}

// The canonical spelling of `text`: that of its operator's preferred spelling, or `text` itself
// when its operator has none, when the spelling keeps its form, or when it is no operator.
std::string_view canonical_operator(std::string_view text);

// The spellings of Operator tokens whose first byte is `first_byte`, in the order the lexer tries
// them: a spelling comes before any spelling that is a prefix of it, so the first that matches
// is the longest.
inline std::span<const OperatorSpelling> operators_by_first_byte(unsigned char first_byte) {
  const auto [from, to] = operators_detail::kLexingIndex[first_byte];
  return {operators_detail::kLexingOrder + from, operators_detail::kLexingOrder + to};
}

// Every spelling, in table order.
std::span<const OperatorSpelling> operator_spellings();

}  // namespace tolu
