// Constant folding through the front end: each expression is said, optimized with
// ConstantFolding alone, and the argument's shape compared (numbers bare, strings quoted).
#include <gtest/gtest.h>

#include "optimized.h"

namespace tolu::testing {
namespace {

struct FoldCase {
  const char* source;
  const char* expected;
};

std::string folded(std::string_view expression) {
  const ast::Program program =
      optimized("say " + std::string(expression), pass_set({OptimizerPass::ConstantFolding}));
  if (program.statements.size() != 1) return "?";
  const auto* output = program.statements[0].as<ast::Output>();
  if (!output || output->arguments.size() != 1) return "?";
  return shape(output->arguments[0]);
}

void expect_folds(const std::vector<FoldCase>& cases) {
  for (const FoldCase& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(folded(c.source), c.expected);
  }
}

TEST(Folding, Arithmetic) {
  expect_folds({
      {"-0", "-0"},
      {"-(3)", "-3"},
      {"+1.50", "1.5"},
      {"1 + 2 * 3", "7"},
      {"2 × 3 - 10", "-4"},
      {"2 ** 0.5", "1.4142135623730951"},
      {"2 ** 100", "1267650600228229401496703205376"},
      {"10 / 4", "2.5"},
      {"10 ÷ 5", "2"},
      {"1 / 3", "0.3333333333333333"},
      {"0.1 + 0.2", "0.30000000000000004"},
      {"1 / 10000000", "0.0000001"},
      {"1 / 0", "inf"},
      {"-1 / 0", "-inf"},
      {"5 mod 0", "NaN"},
      {"√(0 - 1)", "NaN"},
      {"√16", "4"},
      {"7 mod -3", "1"},
      {"-7 mod 3", "-1"},
      {"7.5 mod 2", "1.5"},
      {"round 2.5", "3"},
      {"round -2.5", "-3"},
      {"round 2.4", "2"},
      {"int -2.7", "-2"},
      {"ceil 1.2", "2"},
      {"floor -1.2", "-2"},
      {"abs -3.5", "3.5"},
      {"-(1 / 0) * 0", "NaN"},
  });
}

TEST(Folding, NumericComparisonsAndEquality) {
  expect_folds({
      {"1 < 2", "true"},
      {"2 ≤ 2", "true"},
      {"2 >= 3", "false"},
      {"1 = 1.0", "true"},
      {"1 ≠ 1", "false"},
      {"(0 / 0) = (0 / 0)", "false"},
      {"(0 / 0) ≠ (0 / 0)", "true"},
      {"(0 / 0) < 1", "false"},
      {"1 == 1.0", "true"},
      {"0 == -0", "true"},
      {"\"a\" != \"b\"", "true"},
      {"null == null", "true"},
      {"true ≡ false", "false"},
      {"null == 0", "(null == 0)"},
      {"\"1\" == 1", "(\"1\" == 1)"},
      {"1 < \"2\"", "(1 < \"2\")"},
      {"1 <=> 2", "(1 <=> 2)"},
  });
}

TEST(Folding, StringsRenderAndCompareBytewise) {
  expect_folds({
      {"1 eq 1.0", "false"},
      {"1.0 eq \"1.0\"", "true"},
      {"null _ \"a\"", "\"a\""},
      {"true _ 1", "\"true1\""},
      {"1.50 _ \"\"", "\"1.50\""},
      {"\"abc\" lt \"abd\"", "true"},
      {"\"ab\" lt \"abc\"", "true"},
      {"\"abc\" ge \"ab\"", "true"},
      {"\"B\" lt \"a\"", "true"},
      {"\"é\" gt \"z\"", "true"},  // bytes compare unsigned
      {"\"a\" ne \"a\"", "false"},
      {"\"B\" lti \"a\"", "false"},
      {"\"ÀB\" eqi \"àb\"", "true"},
      {"\"a\" nei \"A\"", "false"},
      {"\"Z\" gei \"a\"", "true"},
      {"x eq \"a\"", "(x eq \"a\")"},
      {"length \"añb\"", "3"},
      {"length \"\"", "0"},
      {"uc \"straße\"", "\"STRASSE\""},
      {"lc \"ÀÉΣ\"", "\"àéς\""},
      {"uc 1", "(uc 1)"},
      {"length 12", "(length 12)"},
  });
}

TEST(Folding, LogicalOperatorsMayDecideOnTheLeftAlone) {
  expect_folds({
      {"false and f()", "false"},
      {"true or f()", "true"},
      {"false nand f()", "true"},
      {"f() and false", "(f() and false)"},
      {"true and f()", "(true and f())"},
      {"false or f()", "(false or f())"},
      {"true xor f()", "(true xor f())"},
      {"true and 0", "false"},
      {"1 and \"x\"", "true"},
      {"0 or null", "false"},
      {"true nand true", "false"},
      {"true nand \"\"", "true"},
      {"true xor true", "false"},
      {"0 ⊻ 1", "true"},
      {"not 0", "true"},
      {"!\"\"", "true"},
      {"¬ null", "true"},
      {"!x", "(! x)"},
  });
}

TEST(Folding, TernariesAndTemplates) {
  expect_folds({
      {"\"\" ? a : b", "b"},
      {"0.0 ? a : b", "b"},
      {"\"0\" ? a : b", "a"},
      {"(1 < 2) ? [a] : b", "[a]"},
      {"c ? 1 : 2", "(c ? 1 : 2)"},
      {"`n=${1.50}`", "\"n=1.50\""},
      {"`a${null}b${true}${1 + 1}`", "\"abtrue2\""},
      {"`n=${x}`", "`n=${x}`"},
      {"1 ?: 2", "(1 ?: 2)"},
  });
}

TEST(Folding, FoldedNodesKeepTheReplacedNodesPosition) {
  const char* source = "say\n(1 +\n 2) _ \"\"";
  const auto argument_of = [&](const PassSet& passes) {
    CompileOptions options;
    options.optimizations = passes;
    auto result = parse_program_with_compile_options_and_source_file(source, options, "f.tos");
    EXPECT_TRUE(result);
    return std::move(result).value();
  };
  const ast::Program before = argument_of(PassSet{});
  const ast::Program after = argument_of(pass_set({OptimizerPass::ConstantFolding}));
  const auto& original = before.statements[0].as<ast::Output>()->arguments[0];
  const auto& folded = after.statements[0].as<ast::Output>()->arguments[0];
  EXPECT_EQ(shape(folded), "\"3\"");
  EXPECT_EQ(folded.line(), original.line());
  EXPECT_EQ(folded.source_file(), "f.tos");
  EXPECT_EQ(folded.inferred_type(), "String");
}

TEST(Folding, NothingFoldsWithoutThePass) {
  EXPECT_EQ(optimized_shape("say 1 + 2", pass_set({OptimizerPass::LexicalScopes})), "say (1 + 2)");
}

}  // namespace
}  // namespace tolu::testing
