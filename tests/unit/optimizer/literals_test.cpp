// Number texts, the literal helpers and operator spellings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>

#include "base/operators.h"
#include "optimizer/optimizer_internal.h"
#include "tolu/front_end.h"

namespace tolu::optimizer {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(NumberText, IntegralValuesHaveEveryDigitAndFractionsTheShortestForm) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {3.0, "3"},
      {-0.0, "-0"},
      {0.0, "0"},
      {-3.0, "-3"},
      {1e21, "1000000000000000000000"},
      {1e23, "99999999999999991611392"},  // the exact value of the double nearest 10^23
      {std::ldexp(1.0, 70), "1180591620717411303424"},
      {0.5, "0.5"},
      {-2.5, "-2.5"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e-7, "0.0000001"},
      {123.456, "123.456"},
      {std::sqrt(2.0), "1.4142135623730951"},
      {kInf, "inf"},
      {-kInf, "-inf"},
      {std::nan(""), "NaN"},
      {-std::nan(""), "NaN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(number_text(c.value), c.text);
  }
}

TEST(NumberText, ExtremeValuesAreWrittenInFullAndReadBack) {
  const std::string large = number_text(1e300);
  EXPECT_EQ(large.size(), 301u);
  EXPECT_EQ(large.substr(0, 20), "10000000000000000525");
  const std::string tiny = number_text(std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(tiny.substr(0, 6), "0.0000");
  EXPECT_EQ(tiny.back(), '5');
  for (double value :
       {1e300, std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
        -1.0 / 3, 2.0 / 3 * 1e-300, 123456789.125, -0.0, 4503599627370497.0, 1e22 + 1}) {
    SCOPED_TRACE(value);
    const std::optional<double> back = read_number(number_text(value));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::memcmp(&*back, &value, sizeof value), 0) << number_text(value);
  }
}

TEST(NumberText, ShortestFormWithoutExponentForSwitchKeys) {
  EXPECT_EQ(shortest_number_text(1.0), "1");
  EXPECT_EQ(shortest_number_text(0.5), "0.5");
  EXPECT_EQ(shortest_number_text(1e23), "100000000000000000000000");
  EXPECT_EQ(shortest_number_text(-1.25e-7), "-0.000000125");
  EXPECT_EQ(shortest_number_text(123.456), "123.456");
  EXPECT_EQ(shortest_number_text(-0.0), "-0");
  EXPECT_EQ(shortest_number_text(120.0), "120");
  EXPECT_EQ(shortest_number_text(-kInf), "-inf");
}

TEST(ReadNumber, WholeDecimalTextsOnly) {
  EXPECT_EQ(read_number("1"), 1.0);
  EXPECT_EQ(read_number("1.50"), 1.5);
  EXPECT_EQ(read_number("-0"), -0.0);
  EXPECT_TRUE(std::signbit(*read_number("-0")));
  EXPECT_EQ(read_number("inf"), kInf);
  EXPECT_EQ(read_number("-inf"), -kInf);
  EXPECT_TRUE(std::isnan(*read_number("NaN")));
  for (const char* text : {"", "1x", "x1", " 1", "1 ", "--1", "1..2", "."}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(read_number(text), std::nullopt);
  }
  // Beyond the range of a double: the nearest value.
  EXPECT_EQ(read_number("1" + std::string(400, '0')), kInf);
  EXPECT_EQ(read_number("-1" + std::string(400, '0')), -kInf);
  EXPECT_EQ(read_number("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(LiteralHelpers, TruthEqualityAndRendering) {
  auto storage = std::make_unique<ast::Storage>();
  const ast::Builder b(*storage);
  const auto number = [&](const char* text) {
    return b.expression(ast::NumberLiteral{b.text(text)}, 1, {});
  };
  const auto string = [&](const char* value) {
    return b.expression(ast::StringLiteral{b.text(value)}, 1, {});
  };
  const auto null = b.expression(ast::NullLiteral{}, 1, {});
  const auto name = b.expression(ast::Identifier{b.name("x"), std::nullopt}, 1, {});

  EXPECT_EQ(literal_truth(number("0")), false);
  EXPECT_EQ(literal_truth(number("-0")), false);
  EXPECT_EQ(literal_truth(number("NaN")), true);
  EXPECT_EQ(literal_truth(number("1e")), std::nullopt);
  EXPECT_EQ(literal_truth(string("")), false);
  EXPECT_EQ(literal_truth(string("0")), true);
  EXPECT_EQ(literal_truth(null), false);
  EXPECT_EQ(literal_truth(name), std::nullopt);

  EXPECT_EQ(literal_eq(number("1"), number("1.0")), true);
  EXPECT_EQ(literal_eq(number("0"), number("-0")), true);
  EXPECT_EQ(literal_eq(number("NaN"), number("NaN")), false);
  EXPECT_EQ(literal_eq(number("1"), number("?")), std::nullopt);
  EXPECT_EQ(literal_eq(null, null), true);
  EXPECT_EQ(literal_eq(null, number("0")), std::nullopt);
  EXPECT_EQ(literal_eq(string("1"), number("1")), std::nullopt);

  EXPECT_EQ(literal_render(number("1.50")), "1.50");
  EXPECT_EQ(literal_render(null), "");
  EXPECT_EQ(literal_render(name), std::nullopt);
  EXPECT_EQ(literal_number(string("1")), std::nullopt);
}

TEST(LiteralHelpers, BinaryExpressionKnowsItsOperator) {
  auto storage = std::make_unique<ast::Storage>();
  const ast::Builder b(*storage);
  const auto e = binary_expression(4, b.shared("f.tos"), "≤",
                                   b.expression(ast::NumberLiteral{b.text("1")}, 4, {}),
                                   b.expression(ast::NumberLiteral{b.text("2")}, 4, {}), b);
  const auto* node = e.as<ast::BinaryExpression>();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->op, "≤");
  EXPECT_EQ(node->op_id, OperatorId::LessEqual);
  EXPECT_EQ(e.line(), 4u);
  EXPECT_EQ(e.source_file(), "f.tos");
  EXPECT_FALSE(e.inferred_type());
}

TEST(PreferredOperator, MapsExactlyTheTableAndKeepsEveryOtherSpelling) {
  const std::map<std::string_view, std::string_view> table = {
      {"*", "×"},        {"/", "÷"},          {"\\", "∖"},
      {"<=", "≤"},       {">=", "≥"},         {"==", "≡"},
      {"!=", "≢"},       {"<=>", "≶"},        {"≷", "≶"},
      {"and", "⋀"},      {"or", "⋁"},         {"xor", "⊻"},
      {"nand", "⊼"},     {"not", "¬"},        {"sqrt", "√"},
      {"in", "∈"},       {"union", "⋃"},      {"intersection", "⋂"},
      {"subsetof", "⊂"}, {"supersetof", "⊃"}, {"equivalentof", "⊂⊃"},
      {"*=", "×="},      {"/=", "÷="},        {"|>", "▷"},
      {"<|", "◁"}};
  for (const auto& [written, preferred] : table) {
    SCOPED_TRACE(written);
    EXPECT_EQ(preferred_operator(written), preferred);
  }
  for (const OperatorSpelling& spelling : operator_spellings()) {
    if (table.count(spelling.text)) continue;
    SCOPED_TRACE(spelling.text);
    EXPECT_EQ(preferred_operator(spelling.text), spelling.text);
  }
  EXPECT_EQ(preferred_operator("name"), "name");
  EXPECT_EQ(preferred_operator("* "), "* ");
}

}  // namespace
}  // namespace tolu::optimizer
