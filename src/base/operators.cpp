// The operator table and the lookups built from it at compile time.
#include "base/operators.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <utility>

#include "base/bytes.h"
#include "base/spelling_index.h"

namespace tolu {
namespace {

using Id = OperatorId;
using C = OperatorCategory;
using R = ResultType;
using S = OperatorSpelling;

// A row of the table as written: a spelling, and for the first spelling of an operator (made
// with op()) what the operator is. Further spellings of the same operator (made with also())
// carry only what belongs to the spelling.
struct Row {
  OperatorSpelling spelling;
  OperatorInfo info;
  bool defines = false;

  constexpr Row left(int level) const {
    Row r = *this;
    r.info.level = static_cast<std::uint8_t>(level);
    return r;
  }
  constexpr Row right(int level) const {
    Row r = left(level);
    r.info.right_associative = true;
    return r;
  }
  constexpr Row yields(R result) const {
    Row r = *this;
    r.info.result = result;
    return r;
  }
  constexpr Row applies(Id binary) const {
    Row r = *this;
    r.info.applies = binary;
    return r;
  }
  // The result type of a unary expression of the operator.
  constexpr Row unary(R result) const {
    Row r = *this;
    r.info.unary_result = result;
    return r;
  }
  // A prefix operator in this spelling; the result type is given with the operator's first one.
  constexpr Row prefix(R result = R::None) const { return with(S::kPrefix).unary(result); }
  constexpr Row postfix() const { return with(S::kPostfix); }
  constexpr Row switch_comparator() const { return with(S::kSwitchComparator); }
  constexpr Row preferred() const { return with(S::kPreferred); }
  constexpr Row as_written() const { return with(S::kAsWritten); }
  constexpr Row lexes_as_first() const { return with(S::kLexesAsFirst); }

  constexpr Row with(S::Flag flag) const {
    Row r = *this;
    r.spelling.flags = static_cast<std::uint8_t>(r.spelling.flags | flag);
    return r;
  }
};

// A spelling's characters: its bytes that do not continue a UTF-8 sequence.
constexpr std::uint8_t characters_of(std::string_view text) {
  std::uint8_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

constexpr Row op(Id id, std::string_view text, C category) {
  Row r;
  r.spelling = {text, id, 0, characters_of(text)};
  r.info.id = id;
  r.info.category = category;
  r.defines = true;
  return r;
}

constexpr Row also(Id id, std::string_view text) {
  Row r;
  r.spelling = {text, id, 0, characters_of(text)};
  return r;
}

// Binary levels: 2 pipelines, 4 to 16 the rest (assignment is 1, the ternary and fallback forms
// 3; the parser handles those itself). All left-associative but the left pipeline and "**".
constexpr Row kRows[] = {
    // Logical
    op(Id::Not, "not", C::Logical).prefix(R::Boolean),
    also(Id::Not, "!").prefix().as_written(),
    also(Id::Not, "¬").prefix().preferred(),
    op(Id::And, "and", C::Logical).left(6).yields(R::Boolean).switch_comparator(),
    also(Id::And, "⋀").preferred(),
    op(Id::Nand, "nand", C::Logical).left(6).yields(R::Boolean).switch_comparator(),
    also(Id::Nand, "⊼").preferred(),
    op(Id::Or, "or", C::Logical).left(4).yields(R::Boolean).switch_comparator(),
    also(Id::Or, "⋁").preferred(),
    op(Id::Xor, "xor", C::Logical).left(5).yields(R::Boolean).switch_comparator(),
    also(Id::Xor, "⊻").preferred(),

    // Arithmetic and numeric functions
    op(Id::Plus, "+", C::Arithmetic).left(14).yields(R::Number).prefix(R::Number),
    op(Id::Minus, "-", C::Arithmetic).left(14).yields(R::Number).prefix(R::Number),
    op(Id::Multiply, "*", C::Arithmetic).left(15).yields(R::Number),
    also(Id::Multiply, "×").preferred(),
    op(Id::Divide, "/", C::Arithmetic).left(15).yields(R::Number),
    also(Id::Divide, "÷").preferred(),
    op(Id::Mod, "mod", C::Arithmetic).left(15).yields(R::Number).switch_comparator(),
    op(Id::Power, "**", C::Arithmetic).right(16).yields(R::Number),
    op(Id::Increment, "++", C::Arithmetic).prefix(R::Number).postfix(),
    op(Id::Decrement, "--", C::Arithmetic).prefix(R::Number).postfix(),
    op(Id::Abs, "abs", C::Arithmetic).prefix(R::Number),
    op(Id::Sqrt, "sqrt", C::Arithmetic).prefix(R::Number),
    also(Id::Sqrt, "√").prefix().preferred(),
    op(Id::Int, "int", C::Arithmetic).prefix(R::Number),
    op(Id::Ceil, "ceil", C::Arithmetic).prefix(R::Number),
    op(Id::Floor, "floor", C::Arithmetic).prefix(R::Number),
    op(Id::Round, "round", C::Arithmetic).prefix(R::Number),

    // Numeric comparisons
    op(Id::Less, "<", C::NumericComparison).left(8).yields(R::Boolean),
    op(Id::Greater, ">", C::NumericComparison).left(8).yields(R::Boolean),
    op(Id::LessEqual, "<=", C::NumericComparison).left(8).yields(R::Boolean),
    also(Id::LessEqual, "≤").preferred(),
    op(Id::GreaterEqual, ">=", C::NumericComparison).left(8).yields(R::Boolean),
    also(Id::GreaterEqual, "≥").preferred(),
    op(Id::Equals, "=", C::NumericComparison).left(8).yields(R::Boolean),
    op(Id::NotEquals, "≠", C::NumericComparison).left(8).yields(R::Boolean),

    // Equality of any two values
    op(Id::Identical, "==", C::Equality).left(7).yields(R::Boolean),
    also(Id::Identical, "≡").preferred(),
    op(Id::NotIdentical, "!=", C::Equality).left(7).yields(R::Boolean),
    also(Id::NotIdentical, "≢").preferred(),

    // Three-way comparisons
    op(Id::Compare, "<=>", C::Ordering).left(8).yields(R::Number),
    also(Id::Compare, "≶").preferred(),
    also(Id::Compare, "≷"),
    op(Id::Cmp, "cmp", C::Ordering).left(8).yields(R::Number).switch_comparator(),
    op(Id::Cmpi, "cmpi", C::Ordering).left(8).yields(R::Number).switch_comparator(),

    // String comparisons
    op(Id::Eq, "eq", C::StringComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Ne, "ne", C::StringComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Gt, "gt", C::StringComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Ge, "ge", C::StringComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Lt, "lt", C::StringComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Le, "le", C::StringComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Eqi, "eqi", C::CaseFoldedComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Nei, "nei", C::CaseFoldedComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Gti, "gti", C::CaseFoldedComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Gei, "gei", C::CaseFoldedComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Lti, "lti", C::CaseFoldedComparison).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Lei, "lei", C::CaseFoldedComparison).left(8).yields(R::Boolean).switch_comparator(),

    // Strings
    op(Id::Concat, "_", C::Text).left(13).yields(R::String),
    op(Id::Uc, "uc", C::Text).prefix(R::String),
    op(Id::Lc, "lc", C::Text).prefix(R::String),
    op(Id::Length, "length", C::Text).prefix(R::Number),

    // Sets
    op(Id::In, "in", C::Set).left(8).yields(R::Boolean),
    also(Id::In, "∈").preferred(),
    op(Id::NotIn, "∉", C::Set).left(8).yields(R::Boolean),
    op(Id::Union, "union", C::Set).left(12).yields(R::SameAsOperands).switch_comparator(),
    also(Id::Union, "⋃").preferred(),
    op(Id::Intersection, "intersection", C::Set)
        .left(12)
        .yields(R::SameAsOperands)
        .switch_comparator(),
    also(Id::Intersection, "⋂").preferred(),
    op(Id::Backslash, "\\", C::Set).left(12).yields(R::SameAsOperands).prefix(),
    also(Id::Backslash, "∖").preferred(),
    op(Id::Subset, "subsetof", C::Set).left(8).yields(R::Boolean),
    also(Id::Subset, "⊂").preferred(),
    op(Id::Superset, "supersetof", C::Set).left(8).yields(R::Boolean),
    also(Id::Superset, "⊃").preferred(),
    op(Id::Equivalent, "equivalentof", C::Set).left(8).yields(R::Boolean),
    also(Id::Equivalent, "⊂⊃").preferred(),

    // Types and classes
    op(Id::InstanceOf, "instanceof", C::TypeTest).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Does, "does", C::TypeTest).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Can, "can", C::TypeTest).left(8).yields(R::Boolean).switch_comparator(),
    op(Id::Typeof, "typeof", C::TypeTest).prefix(R::String),
    // "new" leads a construct of its own rather than taking an operand like a prefix operator.
    op(Id::New, "new", C::TypeTest).unary(R::NewRule),

    // Pipelines
    op(Id::PipeRight, "|>", C::Pipeline).left(2),
    also(Id::PipeRight, "▷").preferred(),
    op(Id::PipeLeft, "<|", C::Pipeline).right(2),
    also(Id::PipeLeft, "◁").preferred(),

    // Paths
    op(Id::At, "@", C::Path).left(8),
    op(Id::AtAt, "@@", C::Path).left(8),
    op(Id::AtQuestion, "@?", C::Path).left(8).yields(R::Boolean),

    // Other binary operators
    op(Id::Tilde, "~", C::Other).left(8).prefix(),
    op(Id::Bar, "|", C::Other).left(9),
    op(Id::Caret, "^", C::Other).left(10),
    op(Id::Ampersand, "&", C::Other).left(11),
    op(Id::Ellipsis, "...", C::Other).left(12),
    op(Id::Arrow, "->", C::Other).left(8).yields(R::String),
    also(Id::Arrow, "→").lexes_as_first(),
    op(Id::Default, "default", C::Other).left(7).yields(R::DefaultRule),

    // Assignments
    op(Id::Assign, ":=", C::Assignment).yields(R::ValueType),
    op(Id::PlusAssign, "+=", C::Assignment).yields(R::Number).applies(Id::Plus),
    op(Id::MinusAssign, "-=", C::Assignment).yields(R::Number).applies(Id::Minus),
    op(Id::MultiplyAssign, "*=", C::Assignment).yields(R::Number).applies(Id::Multiply),
    also(Id::MultiplyAssign, "×=").preferred(),
    op(Id::DivideAssign, "/=", C::Assignment).yields(R::Number).applies(Id::Divide),
    also(Id::DivideAssign, "÷=").preferred(),
    op(Id::PowerAssign, "**=", C::Assignment).yields(R::Number).applies(Id::Power),
    op(Id::ConcatAssign, "_=", C::Assignment).yields(R::String).applies(Id::Concat),
    op(Id::ReplaceAssign, "~=", C::Assignment).yields(R::String),
    op(Id::FallbackAssign, "?:=", C::Assignment).yields(R::ValueType).applies(Id::Fallback),

    // Punctuation of expressions and literals
    op(Id::Dot, ".", C::Punctuation),
    op(Id::DotParen, ".(", C::Punctuation),
    op(Id::Colon, ":", C::Punctuation),
    op(Id::Question, "?", C::Punctuation),
    op(Id::Fallback, "?:", C::Punctuation),
    op(Id::BagOpen, "<<<", C::Punctuation),
    op(Id::BagClose, ">>>", C::Punctuation),
    op(Id::SetOpen, "<<", C::Punctuation),
    op(Id::SetClose, ">>", C::Punctuation),
    op(Id::GuillemetOpen, "«", C::Punctuation),
    op(Id::GuillemetClose, "»", C::Punctuation),
    op(Id::FloorOpen, "⌊", C::Punctuation),
    op(Id::FloorClose, "⌋", C::Punctuation),
    op(Id::CeilOpen, "⌈", C::Punctuation),
    op(Id::CeilClose, "⌉", C::Punctuation),
};

constexpr std::size_t kRowCount = std::size(kRows);
static_assert(kRowCount < 255, "entries are indexed by one byte");

constexpr std::size_t index_of(Id id) {
  return static_cast<std::size_t>(id);
}

// Fails the build when the table breaks one of its rules.
constexpr bool table_is_well_formed() {
  std::array<bool, kOperatorIdCount> defined{};
  std::array<bool, kOperatorIdCount> has_preferred{};
  for (std::size_t i = 0; i < kRowCount; ++i) {
    const Row& row = kRows[i];
    const S& s = row.spelling;
    if (s.id == Id::None || s.text.empty()) return false;
    if (row.defines) {
      // One op() per operator, before its other spellings.
      if (defined[index_of(s.id)]) return false;
      defined[index_of(s.id)] = true;
    } else if (!defined[index_of(s.id)] || !(row.info == OperatorInfo{})) {
      return false;
    }
    if (s.has(S::kPreferred)) {
      if (has_preferred[index_of(s.id)]) return false;
      has_preferred[index_of(s.id)] = true;
    }
    if (s.is_switch_comparator() && !s.is_keyword()) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (kRows[j].spelling.text == s.text) return false;
    }
    // A keyword is a plain lower-case word.
    if (s.is_keyword() &&
        !std::all_of(s.text.begin(), s.text.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
      return false;
  }
  for (std::size_t id = 1; id < kOperatorIdCount; ++id) {
    if (!defined[id]) return false;
  }
  return true;
}
static_assert(table_is_well_formed());

constexpr auto kSpellings = [] {
  std::array<OperatorSpelling, kRowCount> spellings{};
  for (std::size_t i = 0; i < kRowCount; ++i) spellings[i] = kRows[i].spelling;
  return spellings;
}();

constexpr std::uint8_t kNoEntry = 0xFF;

// Per operator: the index of its first spelling and of its preferred one.
constexpr auto kFirstSpelling = [] {
  std::array<std::uint8_t, kOperatorIdCount> first{};
  first.fill(kNoEntry);
  for (std::size_t i = kRowCount; i-- > 0;)
    first[index_of(kRows[i].spelling.id)] = static_cast<std::uint8_t>(i);
  return first;
}();

constexpr auto kPreferredSpelling = [] {
  std::array<std::uint8_t, kOperatorIdCount> preferred{};
  preferred.fill(kNoEntry);
  for (std::size_t i = 0; i < kRowCount; ++i) {
    if (kRows[i].spelling.has(S::kPreferred))
      preferred[index_of(kRows[i].spelling.id)] = static_cast<std::uint8_t>(i);
  }
  return preferred;
}();

// Sorted by spelling, for lookups by spelling.
constexpr auto kBySpelling = [] {
  std::array<OperatorSpelling, kRowCount> sorted = kSpellings;
  std::sort(sorted.begin(), sorted.end(), [](const S& a, const S& b) { return a.text < b.text; });
  return sorted;
}();
constexpr FirstByteIndex kBySpellingIndex =
    index_by_first_byte(kBySpelling, [](const S& s) { return s.text; });

// Sorted by operator, in table order within one operator.
constexpr auto kById = [] {
  std::array<OperatorSpelling, kRowCount> sorted{};
  std::size_t n = 0;
  for (std::size_t id = 0; id < kOperatorIdCount; ++id) {
    for (const S& s : kSpellings) {
      if (index_of(s.id) == id) sorted[n++] = s;
    }
  }
  return sorted;
}();

constexpr auto kIdRanges = [] {
  std::array<std::pair<std::uint8_t, std::uint8_t>, kOperatorIdCount> ranges{};
  for (std::size_t i = kRowCount; i-- > 0;) {
    auto& [from, to] = ranges[index_of(kById[i].id)];
    if (to == 0) to = static_cast<std::uint8_t>(i + 1);
    from = static_cast<std::uint8_t>(i);
  }
  return ranges;
}();

// The Operator tokens in the order the lexer tries them. Sorting in descending byte order puts
// every spelling before its own prefixes and keeps the spellings of one first byte together.
constexpr std::size_t kSymbolCount = std::count_if(
    std::begin(kRows), std::end(kRows), [](const Row& row) { return !row.spelling.is_keyword(); });

constexpr auto kLexingOrderArray = [] {
  std::array<OperatorSpelling, kSymbolCount> order{};
  std::size_t n = 0;
  for (const Row& row : kRows) {
    if (!row.spelling.is_keyword()) order[n++] = row.spelling;
  }
  std::sort(order.begin(), order.end(), [](const S& a, const S& b) { return a.text > b.text; });
  return order;
}();

constexpr bool lexing_order_is_longest_first() {
  const auto& kLexingOrder = kLexingOrderArray;
  for (std::size_t i = 0; i < kSymbolCount; ++i) {
    for (std::size_t j = i + 1; j < kSymbolCount; ++j) {
      if (kLexingOrder[j].text.starts_with(kLexingOrder[i].text)) return false;
    }
  }
  return true;
}
static_assert(lexing_order_is_longest_first());

}  // namespace

namespace operators_detail {

constexpr std::array<OperatorInfo, kOperatorIdCount> kInfo = [] {
  std::array<OperatorInfo, kOperatorIdCount> info{};
  for (const Row& row : kRows) {
    if (row.defines) info[index_of(row.spelling.id)] = row.info;
  }
  for (const Row& row : kRows) {
    if (row.spelling.is_postfix()) info[index_of(row.spelling.id)].has_postfix_spelling = true;
  }
  return info;
}();

constexpr std::array<std::uint32_t, 256> kLengthsByFirstByte = [] {
  std::array<std::uint32_t, 256> lengths{};
  for (const S& s : kSpellings) {
    if (s.text.size() >= 32) throw "spellings are shorter than 32 bytes";
    lengths[static_cast<unsigned char>(s.text[0])] |= std::uint32_t{1} << s.text.size();
  }
  return lengths;
}();

constexpr std::array<std::uint64_t, 256> kLastBytesByFirstByte = [] {
  std::array<std::uint64_t, 256> last_bytes{};
  for (const S& s : kSpellings) {
    last_bytes[static_cast<unsigned char>(s.text.front())] |=
        std::uint64_t{1} << (static_cast<unsigned char>(s.text.back()) % 64);
  }
  return last_bytes;
}();

// Each Operator token's bytes as they sit in an 8-byte load from the source, and the mask of
// the bytes it spans.
constexpr auto kLexingPatternsArray = [] {
  std::array<SpellingPattern, kSymbolCount> patterns{};
  for (std::size_t i = 0; i < kSymbolCount; ++i) {
    const std::string_view text = kLexingOrderArray[i].text;
    if (text.size() > 8) throw "Operator tokens are at most 8 bytes long";
    for (std::size_t k = 0; k < text.size(); ++k) {
      const std::size_t shift = std::endian::native == std::endian::little ? 8 * k : 56 - 8 * k;
      patterns[i].bytes |= std::uint64_t{static_cast<unsigned char>(text[k])} << shift;
      patterns[i].mask |= std::uint64_t{0xFF} << shift;
    }
  }
  return patterns;
}();

const OperatorSpelling* const kLexingOrder = kLexingOrderArray.data();
const SpellingPattern* const kLexingPatterns = kLexingPatternsArray.data();
constexpr FirstByteIndex kLexingIndex =
    index_by_first_byte(kLexingOrderArray, [](const S& s) { return s.text; });

const OperatorSpelling* find_operator_spelled(std::string_view text) {
  const auto [from, to] = candidates(kBySpellingIndex, text);
  for (std::size_t i = from; i < to; ++i) {
    const std::string_view spelling = kBySpelling[i].text;
    if (spelling.size() == text.size() && same_bytes(spelling.data(), text.data(), text.size()))
      return &kBySpelling[i];
  }
  return nullptr;
}

}  // namespace operators_detail

std::string_view operator_spelling(OperatorId id) {
  const std::uint8_t first = kFirstSpelling[index_of(id)];
  return first == kNoEntry ? std::string_view() : kSpellings[first].text;
}

const OperatorSpelling& operator_entry(OperatorId id, std::string_view text) {
  static constexpr OperatorSpelling kNone{};
  const auto [from, to] = kIdRanges[index_of(id)];
  if (from == to) return kNone;
  // Most operators have one spelling: no need to compare it.
  for (std::size_t i = from; i + 1 < to; ++i) {
    if (kById[i].text == text) return kById[i];
  }
  return kById[to - 1];
}

std::string_view canonical_operator(std::string_view text) {
  const OperatorSpelling* spelling = find_operator(text);
  if (!spelling || spelling->has(S::kAsWritten)) return text;
  const std::uint8_t preferred = kPreferredSpelling[index_of(spelling->id)];
  return preferred == kNoEntry ? text : kSpellings[preferred].text;
}

std::span<const OperatorSpelling> operator_spellings() {
  return kSpellings;
}

}  // namespace tolu
