#include "parser/operators.h"

#include "base/spelling_index.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace tolu::parsing {
namespace {

struct Entry {
  std::string_view spelling;
  BinaryOperator info{};
};

constexpr BinaryOperator left(std::uint8_t level) {
  return {level, false};
}
constexpr BinaryOperator right(std::uint8_t level) {
  return {level, true};
}

// Every binary operator, by level; all left-associative except "<|", "◁" and "**".
constexpr Entry kEntries[] = {

    {"|>", left(2)},
    {"▷", left(2)},
    {"<|", right(2)},
    {"◁", right(2)},
    {"or", left(4)},
    {"⋁", left(4)},
    {"xor", left(5)},
    {"⊻", left(5)},
    {"and", left(6)},
    {"⋀", left(6)},
    {"nand", left(6)},
    {"⊼", left(6)},
    {"==", left(7)},
    {"!=", left(7)},
    {"≡", left(7)},
    {"≢", left(7)},
    {"default", left(7)},
    {"<", left(8)},
    {">", left(8)},
    {"=", left(8)},
    {"@", left(8)},
    {"~", left(8)},
    {"<=", left(8)},
    {">=", left(8)},
    {"≤", left(8)},
    {"≥", left(8)},
    {"≠", left(8)},
    {"eq", left(8)},
    {"ne", left(8)},
    {"gt", left(8)},
    {"ge", left(8)},
    {"lt", left(8)},
    {"le", left(8)},
    {"eqi", left(8)},
    {"nei", left(8)},
    {"gti", left(8)},
    {"gei", left(8)},
    {"lti", left(8)},
    {"lei", left(8)},
    {"<=>", left(8)},
    {"≶", left(8)},
    {"≷", left(8)},
    {"cmp", left(8)},
    {"cmpi", left(8)},
    {"in", left(8)},
    {"∈", left(8)},
    {"∉", left(8)},
    {"->", left(8)},
    {"@?", left(8)},
    {"@@", left(8)},
    {"⊂", left(8)},
    {"⊃", left(8)},
    {"⊂⊃", left(8)},
    {"can", left(8)},
    {"does", left(8)},
    {"instanceof", left(8)},
    {"subsetof", left(8)},
    {"supersetof", left(8)},
    {"equivalentof", left(8)},
    {"|", left(9)},
    {"^", left(10)},
    {"&", left(11)},
    {"\\", left(12)},
    {"...", left(12)},
    {"⋃", left(12)},
    {"⋂", left(12)},
    {"∖", left(12)},
    {"union", left(12)},
    {"intersection", left(12)},
    {"_", left(13)},
    {"+", left(14)},
    {"-", left(14)},
    {"*", left(15)},
    {"/", left(15)},
    {"×", left(15)},
    {"÷", left(15)},
    {"mod", left(15)},
    {"**", right(16)},
};

// Sorted by spelling at compile time, so that a lookup is a binary search.
constexpr auto kBinaryOperators = [] {
  std::array<Entry, std::size(kEntries)> table{};
  std::copy(std::begin(kEntries), std::end(kEntries), table.begin());
  std::sort(table.begin(), table.end(),
            [](const Entry& a, const Entry& b) { return a.spelling < b.spelling; });
  return table;
}();

static_assert(std::size(kEntries) < 256);
constexpr FirstByteIndex kBinaryOperatorIndex =
    index_by_first_byte(kBinaryOperators, [](const Entry& e) { return e.spelling; });

constexpr std::array<std::string_view, 11> kAssignmentOperators = {
    ":=", "+=", "-=", "*=", "/=", "_=", "~=", "×=", "÷=", "**=", "?:="};

}  // namespace

std::optional<BinaryOperator> binary_operator(std::string_view spelling) {
  const auto [from, to] = candidates(kBinaryOperatorIndex, spelling);
  for (std::size_t i = from; i < to; ++i) {
    if (kBinaryOperators[i].spelling == spelling) return kBinaryOperators[i].info;
  }
  return std::nullopt;
}

bool is_assignment_operator(std::string_view spelling) {
  // Every assignment operator ends in "=" and has at least two bytes.
  if (spelling.size() < 2 || spelling.back() != '=') return false;
  return std::find(kAssignmentOperators.begin(), kAssignmentOperators.end(), spelling) !=
         kAssignmentOperators.end();
}

int chain_direction(std::string_view spelling) {
  if (spelling == "|>" || spelling == "▷") return 1;
  if (spelling == "<|" || spelling == "◁") return -1;
  return 0;
}

}  // namespace tolu::parsing
