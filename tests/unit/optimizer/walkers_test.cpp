// The driver and the walkers: pruning, unreachable code, switch indexes, hints, operator
// spellings, and that an optimized tree is still a valid one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "optimized.h"
#include "optimizer/optimizer.h"
#include "sema/validator.h"
#include "tolu/children.h"
#include "tolu/printers.h"

namespace tolu::testing {
namespace {

using namespace ast;

struct ShapeCase {
  const char* source;
  const char* expected;
};

void expect_shapes(const PassSet& passes, const std::vector<ShapeCase>& cases) {
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(optimized_shape(c.source, passes), c.expected);
  }
}

const PassSet kPrune = pass_set({OptimizerPass::ConstantConditions});

TEST(ConstantConditions, PrunesStatementsOnBooleanLiterals) {
  expect_shapes(kPrune,
                {
                    {"x := 1 unless false", "(x := 1)"},
                    {"x := 1 if false", ""},
                    {"x := 1 if true; y()", "(x := 1); y()"},
                    {"x := 1 unless true; y()", "y()"},
                    {"while (false) { a() } b()", "b()"},
                    {"while (true) { a() }", "while true {a()}"},
                    {"if (false) { a() }", ""},
                    {"if (false) { a() } else if (c) { b() }", "if c {b()}"},
                    {"if (false) { a() } else { b() }", "{b()}"},
                    {"if (true) { a(); b() } else { c() } d()", "a(); b(); d()"},
                    {"if (true) { } d()", "d()"},
                    {"if (c) { if (true) { a() } }", "if c {a()}"},
                    {"if (c) { a() }", "if c {a()}"},
                    {"if (1 < 2) { a() }", "if (1 < 2) {a()}"},
                    {"switch (x) { case 1: if (false) { a() } b(); }", "switch x { case 1: b(); }"},
                    {"function f() { say 1 if false; say 2 }", "function f() {say 2}"},
                });
}

TEST(ConstantConditions, ABlockThatDeclaresKeepsItsScopeWhenItsIfIsTrue) {
  expect_shapes(kPrune, {
                            {"if (true) { let a := 1; } say a;", "{let a := 1}; say a"},
                            {"if (true) { f(const x := 2) } g()", "{f((const x := 2))}; g()"},
                            {"if (true) { function g() { } }", "{function g() {}}"},
                            {"if (true) { if (c) { let a := 1 } }", "if c {let a := 1}"},
                        });
}

TEST(ConstantConditions, ConditionsFoldedInTheFirstSweepArePruned) {
  const PassSet passes =
      pass_set({OptimizerPass::ConstantFolding, OptimizerPass::ConstantConditions});
  expect_shapes(passes, {
                            {"if (1 < 2) { f(); } g();", "f(); g()"},
                            {"if (1 > 2) { f(); } g();", "g()"},
                            {"if (!(1 and 0)) { f(); } else { h() }", "f()"},
                            {"say 1 unless \"\" eq \"\"", ""},
                        });
}

// Propagation turns `c` into `true` after the first sweep; the second sweep folds but does not
// prune.
TEST(ConstantConditions, ConditionsThatBecomeLiteralAfterPropagationStay) {
  const PassSet passes =
      pass_set({OptimizerPass::ConstantFolding, OptimizerPass::ConstantConditions});
  expect_shapes(passes,
                {
                    {"let c := true; if (c) { f() }", "let c := true; if true {f()}"},
                    {"let n := 2; if (n > 1) { f() }", "let n := 2; if true {f()}"},
                    {"let c := false; while (c) { f() }", "let c := false; while false {f()}"},
                    {"let c := false; f() if c", "let c := false; f() if false"},
                });
}

TEST(UnreachableCode, DropsWhatFollowsAJumpInTheSameList) {
  expect_shapes(pass_set({OptimizerPass::UnreachableCode}),
                {
                    {"return 1; say 2", "return 1"},
                    {"throw e; a(); b()", "throw e"},
                    {"die 1; a()", "die 1"},
                    {"while (c) { last; a() } b()", "while c {last}; b()"},
                    {"function f() { if (c) { return 1; say 2 } say 3 }",
                     "function f() {if c {return 1}; say 3}"},
                    {"switch (x) { case 1: continue; say 1; default: say 2 }",
                     "switch x { case 1: continue; default: say 2; }"},
                    {"if (true) { return 1 } say 2", "if true {return 1}; say 2"},
                });
  expect_shapes(pass_set({OptimizerPass::UnreachableCode, OptimizerPass::ConstantConditions}),
                {{"if (true) { return 1 } say 2", "return 1"}});
}

// ---- Switch indexes --------------------------------------------------------------------------

std::string switch_index(std::string_view source, const PassSet& passes) {
  const Program program = optimized(source, passes);
  const auto* node = program.statements.empty() ? nullptr : program.statements[0].as<Switch>();
  if (!node) return "no switch";
  std::string out = node->comparator ? node->comparator->str() + " " : "";
  if (!node->case_index) return out + "none";
  for (const SwitchIndexEntry& entry : *node->case_index) {
    out += std::string(entry.key) + "=" + std::to_string(entry.case_index) + " ";
  }
  return out;
}

TEST(SwitchIndex, KeysEveryLiteralValueWithItsCase) {
  const PassSet passes = pass_set({OptimizerPass::SwitchIndex, OptimizerPass::ConstantFolding});
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"switch (x) { case 1, 2: a(); case \"a\": b(); default: c() }", "f:1=0 f:2=0 s:a=1 "},
      {"switch (x) { case 1.50: a(); case 0.5: b() }", "f:1.5=0 f:0.5=1 "},
      {"switch (x) { case true, false: a(); case null: b() }", "b:true=0 b:false=0 n:=1 "},
      {"switch (x) { case 1 + 1: a(); case \"x\" _ 1: b() }", "f:2=0 s:x1=1 "},
      {"switch (x) { case 10 ** 21: a() }", "f:1000000000000000000000=0 "},
      {"switch (x : ==) { case 1: a() }", "≡ f:1=0 "},
      {"switch (x : =) { case 1: a() }", "= f:1=0 "},
      {"switch (x : ≡) { case 1: a() }", "≡ f:1=0 "},
      {"switch (x) { case 1, 1.0: a() }", "none"},
      {"switch (x) { case \"a\": a(); case \"a\": b() }", "none"},
      {"switch (x) { case 1: a(); case y: b() }", "none"},
      {"switch (x) { case 0 / 0: a() }", "none"},
      {"switch (x : eq) { case 1: a() }", "eq none"},
      {"switch (x : <) { case 1: a() }", "< none"},
      {"switch (x) { default: a() }", "none"},
      {"switch (x) { }", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(switch_index(c.source, passes), c.expected);
  }
}

TEST(SwitchIndex, AnyPassCanonicalisesTheComparatorButOnlySwitchIndexBuildsTheIndex) {
  const char* source = "switch (x : ==) { case 1: a() }";
  EXPECT_EQ(switch_index(source, pass_set({OptimizerPass::TypeCheckElision})), "≡ none");
  EXPECT_EQ(switch_index(source, PassSet{}), "== none");
}

// ---- Hints -----------------------------------------------------------------------------------

// The lexical-scope flags of every block, in source order.
struct BlockFlags {
  std::string flags;
  template <class Node>
  void walk(const Node& node) {
    for_each_child(
        node, Overloads{[&](const Expression& e) { walk(e); }, [&](const Statement& s) { walk(s); },
                        [&](const BlockStatement& b) {
                          flags += b.needs_lexical_scope ? "T" : "F";
                          walk(b);
                        }});
  }
};

std::string block_flags(std::string_view source, const PassSet& passes) {
  BlockFlags collector;
  collector.walk(optimized(source, passes));
  return collector.flags;
}

TEST(LexicalScopes, BlocksOpenAScopeOnlyWhenTheyDeclare) {
  const PassSet passes = pass_set({OptimizerPass::LexicalScopes});
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"{ say 1 }", "F"},
      {"{ let a := 1 }", "T"},
      {"{ let {a} := x }", "T"},
      {"{ function g() { } }", "TF"},
      {"{ class C { } }", "T"},
      {"{ f(const x := 2) }", "T"},
      {"{ say [1, (let y := 2)] }", "T"},
      {"{ return (let y := 2) }", "T"},
      {"{ throw fn() -> (let y := 2) }", "T"},
      {"{ if (c) { let a := 1 } }", "FT"},
      {"{ g(function () { let t := 1 }) }", "TT"},
      {"{ g(function () { say 1 }) }", "FF"},
      {"{ g(try { say 1 } catch (e) { let t := 1 }) }", "FFT"},
      {"{ g(do { let t := 1 }) }", "TT"},
      {"{ g(fn(p := (let d := 1)) -> p) }", "F"},
      {"while (c) { x := 1 } for (let v in xs) { say v }", "FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(block_flags(c.source, passes), c.expected);
  }
  // The parser's flags stay without the pass.
  EXPECT_EQ(block_flags("{ say 1 } { { } }", pass_set({OptimizerPass::ConstantFolding})), "TTT");
}

std::string first_argument_hint(std::string_view source, const PassSet& passes) {
  const Program program = optimized(source, passes);
  const Expression& e = program.statements[0].as<Output>()->arguments[0];
  const auto hint = visit_node(Overloads{[](const ArrayLiteral& n) { return n.capacity_hint; },
                                         [](const SetLiteral& n) { return n.capacity_hint; },
                                         [](const BagLiteral& n) { return n.capacity_hint; },
                                         [](const DictLiteral& n) { return n.capacity_hint; },
                                         [](const PairListLiteral& n) { return n.capacity_hint; },
                                         [](const auto&) { return OptionalCount(); }},
                               e.node());
  if (const auto* regex = e.as<RegexLiteral>()) {
    return regex->cache_key ? std::string(*regex->cache_key) : "none";
  }
  return hint ? std::to_string(*hint) : "none";
}

TEST(CapacityHintsAndCacheKeys, CountElementsAndKeyPlainPatterns) {
  // Folding makes "-2.5" a number literal.
  const PassSet passes = pass_set({OptimizerPass::CapacityHints, OptimizerPass::RegexCacheKeys,
                                   OptimizerPass::ConstantFolding});
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"say []", "0"},
      {"say [1 ... 3]", "3"},
      {"say [a ... 3]", "1"},
      {"say [1 ... 10, 20]", "11"},
      {"say [10 ... 1]", "10"},
      {"say [0.5 ... 3.9]", "4"},
      {"say [-2.5 ... 2.5]", "5"},
      {"say [0 ... 99999999999999999999999]", "9223372036854775808"},
      {"say [-99999999999999999999999 ... 99999999999999999999999]", "18446744073709551615"},
      {"say [0 ... 99999999999999999999999, 1, 2]", "9223372036854775810"},
      {"say [0 ... 0 / 0]", "1"},
      {"say << 1, 2, 3 >>", "3"},
      {"say <<< 1, 1, 1 >>>", "3"},
      {"say {a: 1, b: 2}", "2"},
      {"say {{a: 1}}", "1"},
      {"say /ab/i", "2:ab:i"},
      {"say /é+/", "3:é+:"},
      {"say /a${x}b/", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(first_argument_hint(c.source, passes), c.expected);
  }
  EXPECT_EQ(first_argument_hint("say [1, 2]", pass_set({OptimizerPass::LexicalScopes})), "none");
  EXPECT_EQ(first_argument_hint("say /ab/", pass_set({OptimizerPass::LexicalScopes})), "none");
}

TEST(CanonicalOperators, RewritesSpellingsButNotTheReference) {
  expect_shapes(pass_set({OptimizerPass::CanonicalOperators}),
                {
                    {"say a * b / c", "say ((a × b) ÷ c)"},
                    {"say a <= b, a != b, a and b", "say (a ≤ b), (a ≢ b), (a ⋀ b)"},
                    {"say !a, not a, sqrt a", "say (! a), (¬ a), (√ a)"},
                    {"say a \\ b", "say (a ∖ b)"},
                    {"f(\\a)", "f((\\ a))"},
                    {"x *= 2; x /= 2; x += 1", "(x ×= 2); (x ÷= 2); (x += 1)"},
                    {"x++", "(x++)"},
                    {"say a |> f(^^)", "say (a ▷ f(^^))"},
                });
  EXPECT_EQ(optimized_shape("say a * b", pass_set({OptimizerPass::ConstantFolding})),
            "say (a * b)");
}

// ---- Everywhere the walkers reach ------------------------------------------------------------

TEST(Walkers, FoldInsideEveryKindOfBodyButNotParameterDefaults) {
  const PassSet passes = pass_set({OptimizerPass::ConstantFolding});
  expect_shapes(
      passes,
      {
          {"function f(p := 1 + 1) { return 2 * 3 }", "function f(p := (1 + 1)) {return 6}"},
          {"let {a: x := 1 + 1} := [2 * 2]", "let {a:x := 2} := [4]"},
          {"for (let v in [1 + 1]) { say v } else { say 2 + 2 }",
           "for let v in [2] {say v} else {say 4}"},
          {"try { say 1 + 1 } catch (e) { say 2 + 2 }", "try {say 2} catch(e) {say 4}"},
          {"say fn(x) -> 1 + 1, function () { return 2 + 2 }",
           "say fn(x) -> 2, function() {return 4}"},
          {"say do { say 1 + 1 }", "say do {say 2}"},
          {"say a[1 + 1], a[1 + 1 : 2 + 2], a{(1 + 1)}, a.(1 _ 2)(3 + 3)",
           "say a[2], a[2:4], a{(2)}, a.(\"12\")(6)"},
          {"f(k: 1 + 1, ...[2 + 2])", "f(k: 2, ...[4])"},
          {"say {(1 + 1): 2 + 2}", "say {(2): 4}"},
          {"from \"m\" import x if 1 < 2", "from m import x if true"},
          {"say 1 if 1 < 2", "say 1 if true"},
      });
  const Program program =
      optimized("class C { let f := 1 + 1; method m() { return 2 * 2 } }", passes);
  const auto& members = program.statements[0].as<Class>()->declaration.members;
  EXPECT_EQ(shape(*std::get<Field>(members[0].node).declaration.initializer), "2");
  const auto& body = std::get<Method>(members[1].node).declaration.body;
  EXPECT_EQ(shape(*body.statements[0].as<Return>()->value), "4");
}

// ---- The whole tree --------------------------------------------------------------------------

const char* const kRichSource = R"(
let xs := [1 ... 3, 4];
let k := "b";
let d := {a: 1 + 2, (k): 2 * 3};
if (true) { say xs } else { say d }
while (false) { say 1 }
switch (xs : ==) { case 1, "a": say /ab/i; default: say `t${1}` }
function f(p) { return p <= 2 and !p; say 1 }
function g(v) { return v }
for (let x in [1 ... 3]) { say x |> g(^^) }
)";

TEST(Driver, AnEmptySetLeavesTheTreeAsParsed) {
  Program program = optimized(kRichSource, PassSet{});
  const std::string before = to_json_text(program);
  optimize_program(program, PassSet{});
  EXPECT_EQ(to_json_text(program), before);
}

TEST(Driver, APassThatChangesNothingLeavesAllButTheComparator) {
  std::string expected = to_json_text(optimized(kRichSource, PassSet{}));
  const std::string written = "\"comparator\": \"==\"";
  expected.replace(expected.find(written), written.size(), "\"comparator\": \"≡\"");
  EXPECT_EQ(to_json_text(optimized(kRichSource, pass_set({OptimizerPass::TypeCheckElision}))),
            expected);
}

TEST(Driver, OptimizedTreesStillValidate) {
  const char* const sources[] = {
      kRichSource,
      "let a := 1; if (true) { let a := 2; say a } say a;",
      "function f() { if (true) { let x := 1; return x } let x := 2; return x }",
      "let a := 1; if (1 < 2) { function a2() { } } function a2() { }",
      "let y := 0; while (true) { y := y + 1; last; y := 2 }",
  };
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    const Program program = optimized(source, PassSet::all(), true);
    const auto error = validate_program(program);
    EXPECT_FALSE(error) << describe_error(*error);
  }
}

std::vector<std::filesystem::path> example_files() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(TOLU_SOURCE_DIR "/examples")) {
    const auto extension = entry.path().extension();
    if (extension == ".tos" || extension == ".tom") files.push_back(entry.path());
  }
  return files;
}

TEST(Driver, EveryExampleStillValidatesAndASecondRunChangesNothing) {
  const auto files = example_files();
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    Program program = optimized(text.str(), PassSet::all(), true);
    const auto error = validate_program(program);
    EXPECT_FALSE(error) << describe_error(*error);
    const std::string once = to_json_text(program);
    optimize_program(program, PassSet::all());
    EXPECT_EQ(to_json_text(program), once);
  }
}

// A node that replaces another stands where it stood: its span is the replaced node's.
TEST(Spans, ReplacementsTakeTheSpanOfWhatTheyReplace) {
  struct Case {
    const char* source;
    std::initializer_list<OptimizerPass> passes;
    Span span;  // of the first argument of the last statement, or of the last statement
    bool of_statement;
  };
  const Case cases[] = {
      {"say 1 + 2 * 3;", {OptimizerPass::ConstantFolding}, {4, 13}, false},
      {"let x := 4;\nsay   x;", {OptimizerPass::ConstantFolding}, {18, 19}, false},
      {"say 3 |> f(^^) |> g(^^);", {OptimizerPass::PipelineLowering}, {4, 23}, false},
      {"f();\n  if (true) { let a := 1; }", {OptimizerPass::ConstantConditions}, {7, 32}, true},
      {"for (let i in [1 ... 3]) { say i; }", {OptimizerPass::RangeLoopLowering}, {0, 35}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const Program program = optimized(c.source, pass_set(c.passes));
    ASSERT_FALSE(program.statements.empty());
    const Statement& last = program.statements.back();
    if (c.of_statement) {
      EXPECT_EQ(last.span(), c.span);
      continue;
    }
    const auto* output = last.as<Output>();
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->arguments[0].span(), c.span);
  }
}

}  // namespace
}  // namespace tolu::testing
