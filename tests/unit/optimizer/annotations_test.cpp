// The hints for the evaluator: declaration scans, element counts, cache keys and the scope
// depth of every identifier; and every pass at once over larger programs.
#include <gtest/gtest.h>

#include "corpus.h"
#include "optimized.h"
#include "optimizer/optimizer_internal.h"
#include "sema/validator.h"
#include "tolu/children.h"

namespace tolu::testing {
namespace {

using namespace ast;

// ---- Declaration scans ------------------------------------------------------------------------

TEST(ExpressionDeclaresBinding, LooksThroughEverySubExpressionButCatchBodies) {
  const struct {
    const char* expression;
    bool declares;
  } rows[] = {
      {"(let a := 1)", true},
      {"x", false},
      {"1", false},
      {"[1, (let a := 1)]", true},
      {"<<(let a := 1)>>", true},
      {"{k: (let a := 1)}", true},
      {"{(let a := 1): 2}", true},
      {"`t${(let a := 1)}`", true},
      {"/r${(let a := 1)}/", true},
      {"-(let a := 1)", true},
      {"c ? 1 : (let a := 1)", true},
      {"x ?: (let a := 1)", true},
      {"x := (let a := 1)", true},
      {"f(k: (let a := 1))", true},
      {"f((let a := 1): 2)", true},
      {"o.(let a := 1)()", true},
      {"o[(let a := 1)]", true},
      {"o[1:(let a := 1)]", true},
      {"o{((let a := 1))}", true},
      {"fn() -> (let a := 1)", true},
      {"fn(p := (let a := 1)) -> p", false},
      {"function () { let a := 1 }", true},
      {"function () { if (c) { let a := 1 } }", false},
      {"do { let a := 1 }", true},
      {"await { f((let a := 1)) }", true},
      {"spawn { say 1 }", false},
      {"try { let a := 1 } catch (e) { }", true},
      {"try { say 1 } catch (e) { let a := 1 }", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expression);
    auto expression = parse_expression_with_source_file(row.expression, std::nullopt);
    ASSERT_TRUE(expression) << describe_error(expression.error());
    EXPECT_EQ(optimizer::expression_declares_binding(expression.value()), row.declares);
  }
}

// ---- Element counts and cache keys ------------------------------------------------------------

// The common cases are in walkers_test.cpp; these are the edges.
TEST(CapacityHint, CountsRangesOfNumberLiteralsSaturating) {
  const struct {
    const char* array;
    std::uint64_t count;
  } rows[] = {
      {"[3 ... 3]", 1},
      // Without folding, a negative bound is an operator expression, not a literal.
      {"[-3 ... 3]", 1},
      {"[0.1 ... 0.9]", 1},
      {"[1 ... \"3\"]", 1},
      {"[[1 ... 3]]", 1},
      {"[99999999999999999999999 ... 0]", 9223372036854775808u},
      {"[0 ... 99999999999999999999999, 0 ... 99999999999999999999999, 1]", UINT64_MAX},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.array);
    auto expression = parse_expression_with_source_file(row.array, std::nullopt);
    ASSERT_TRUE(expression) << describe_error(expression.error());
    const auto* array = expression.value().as<ArrayLiteral>();
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(optimizer::collection_element_capacity_hint(array->elements), row.count);
  }
}

TEST(RegexCacheKey, CountsThePatternInBytes) {
  EXPECT_EQ(optimizer::regex_cache_key("a+b", "i"), "3:a+b:i");
  EXPECT_EQ(optimizer::regex_cache_key("", ""), "0::");
  EXPECT_EQ(optimizer::regex_cache_key("é", "gm"), "2:é:gm");
  EXPECT_EQ(optimizer::regex_cache_key("a:b", ""), "3:a:b:");
}

// ---- Identifier resolution --------------------------------------------------------------------

// "name=depth" for every identifier in the order of the tree, "name=-" for one with no depth.
struct Depths {
  std::string out;
  void operator()(const Expression& e) {
    if (const auto* identifier = e.as<Identifier>()) {
      if (!out.empty()) out += ' ';
      out += identifier->name.str() + "=" +
             (identifier->resolved_depth ? std::to_string(*identifier->resolved_depth) : "-");
    }
    for_each_child(e, *this);
  }
  void operator()(const Statement& s) { for_each_child(s, *this); }
};

std::string depths(std::string_view source, const PassSet& passes) {
  Depths collect;
  const Program program = optimized(source, passes);
  for_each_child(program, collect);
  return collect.out;
}

const PassSet kResolve = pass_set({OptimizerPass::ResolveIdentifiers});

TEST(ResolveIdentifiers, CountsScopesOutwardFromTheUse) {
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"let x := 1; say x", "x=0"},
      {"let x := 1; function f(p) { say p; say x }", "p=0 x=1"},
      {"let x := x", "x=-"},
      {"say y; let y := 1; say y", "y=- y=0"},
      {"say Exception, __file__, __system__, nope", "Exception=0 __file__=0 __system__=0 nope=-"},
      {"function f() { say Exception, Pair }", "Exception=1 Pair=1"},
      {"let t := 1; for (let i in xs) { say i, t }", "xs=- i=0 t=1"},
      {"for (let i in xs) { let j := 1; say j } else { say i }", "xs=- j=0 i=-"},
      {"let a := 1; { let b := 2; say a, b }", "a=1 b=0"},
      {"let a := 1; if (a) { say a } else { say a }", "a=0 a=1 a=1"},
      {"let a := 1; while (a) { say a }", "a=0 a=1"},
      {"let v := 1; switch (v) { case v: let z := 1; say z, v; default: say v }",
       "v=0 v=0 z=0 v=1 v=1"},
      {"try { say 1 } catch (e) { say e } catch { say e }", "e=0 e=-"},
      {"let a := 1; say fn(p) -> p + a", "p=0 a=1"},
      {"let a := 1; say function (p) { say p, a }", "p=0 a=1"},
      {"let q := 1; function f(p := q) { }", "q=-"},
      {"f(let d := 1); say d", "f=- d=0"},
      {"let {a: x, b: y := x} := z; say x, y", "x=- z=- x=0 y=0"},
      {"from \"m\" import a as b; say b, a", "b=0 a=-"},
      {"let a := 1; say do { say a }, await { say a }, spawn { say a }", "a=1 a=1 a=1"},
      {"let a := 1; say try { say a } catch (e) { say e, a }", "a=1 e=0 a=1"},
      {"let a := 1; say a if a", "a=0 a=0"},
      {"class C { let f := C; method m(p) { say self, p, C } }", "C=0 self=0 p=0 C=1"},
      {"class C { class D { method m() { say self } } }", "self=0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(depths(c.source, kResolve), c.expected);
  }
}

// A function, class or trait body runs once its name is bound, so the name inside it is the
// declaration itself, not an outer binding of the same name.
TEST(ResolveIdentifiers, ABodySeesItsOwnDeclaration) {
  EXPECT_EQ(depths("let f := 1; { function f(n) { return f(n) } }", kResolve), "f=1 n=0");
  EXPECT_EQ(depths("function f() { return f }", kResolve), "f=1");
  EXPECT_EQ(depths("trait T { method m() { return T } }", kResolve), "T=1");
}

TEST(ResolveIdentifiers, BlocksOpenScopesAsTheirFlagsSay) {
  // The parser's flags open a scope for every block; the pass clears those that declare nothing.
  EXPECT_EQ(depths("let a := 1; { say a }", kResolve), "a=1");
  EXPECT_EQ(depths("let a := 1; { say a }",
                   pass_set({OptimizerPass::ResolveIdentifiers, OptimizerPass::LexicalScopes})),
            "a=0");
  // A loop body shares the loop variable's scope whatever its flag.
  EXPECT_EQ(depths("for (let i in xs) { let j := i }",
                   pass_set({OptimizerPass::ResolveIdentifiers, OptimizerPass::LexicalScopes})),
            "xs=- i=0");
}

TEST(ResolveIdentifiers, LoweredLoopsResolveLikeWrittenOnes) {
  const std::string lowered =
      depths("let t := 1; for (let i in [1 ... t]) { say i, t }",
             pass_set({OptimizerPass::ResolveIdentifiers, OptimizerPass::RangeLoopLowering}));
  // The bounds, the step and the condition live in the loop's block; the body one scope in.
  EXPECT_EQ(lowered,
            "t=1 __tolu_range_1_i_current=0 __tolu_range_1_i_end=0 "
            "__tolu_range_1_i_step=0 __tolu_range_1_i_current=0 __tolu_range_1_i_end=0 "
            "__tolu_range_1_i_step=0 __tolu_range_1_i_current=0 __tolu_range_1_i_end=0 "
            "__tolu_range_1_i_current=1 __tolu_range_1_i_current=1 __tolu_range_1_i_step=1 "
            "i=0 t=2");
}

TEST(ResolveIdentifiers, OnlyTheirPassWritesDepths) {
  EXPECT_EQ(depths("let x := f(); say x", pass_set({OptimizerPass::ConstantFolding})), "f=- x=-");
  EXPECT_EQ(depths("let x := f(); say x", PassSet{}), "f=- x=-");
}

// ---- Every pass at once -----------------------------------------------------------------------

TEST(AllPasses, AGeneratedCorpusStillValidatesAfterEveryPass) {
  for (const std::uint64_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    const std::string source = bench::generate_corpus(seed, 40000);
    const Program program = optimized(source, PassSet::all(), true);
    ASSERT_FALSE(program.statements.empty());
    const auto error = validate_program(program);
    EXPECT_FALSE(error) << describe_error(*error);
  }
}

}  // namespace
}  // namespace tolu::testing
