// Range-array loops lowered to counting loops, and pipeline chains substituted through the
// placeholder: the shapes built, the shapes left alone, and the placeholder bookkeeping.
#include <gtest/gtest.h>

#include <regex>

#include "optimized.h"
#include "optimizer/optimizer_internal.h"
#include "sema/validator.h"
#include "tolu/children.h"
#include "tolu/clone.h"

namespace tolu::testing {
namespace {

using namespace ast;
using optimizer::ChainDirection;
using optimizer::HereUsage;

// A lowered program's shape with each generated name "__tolu_range_{line}_{variable}_{role}"
// written "$role", so that the expected shapes stay readable.
std::string lowered_shape(std::string_view source, const PassSet& passes) {
  static const std::regex generated(R"(__tolu_range_\d+_[^ _]+_)");
  return std::regex_replace(optimized_shape(source, passes), generated, "$$");
}

const PassSet kLower = pass_set({OptimizerPass::RangeLoopLowering});

// The block that the shapes below share, up to the counting loop's body.
std::string counting_prefix(std::string_view start, std::string_view end) {
  return "{let $current := " + std::string(start) + "; let $end := " + std::string(end) +
         "; let $step := (($current ≤ $end) ? 1 : -1); ";
}
const std::string kCondition =
    "while ((($step > 0) ⋀ ($current ≤ $end)) ⋁ (($step < 0) ⋀ ($current ≥ $end))) ";

TEST(RangeLoopLowering, CountsWithAWhileLoop) {
  const struct {
    const char* source;
    std::string expected;
  } cases[] = {
      {"for (let i in [1 ... 3]) { say i }",
       counting_prefix("1", "3") + kCondition + "{let i := $current; ($current += $step); say i}}"},
      {"for (const i in [n ... 1]) { }",
       counting_prefix("n", "1") + kCondition + "{const i := $current; ($current += $step)}}"},
      {"for (let i in [1.5 ... m]) { next; say i }",
       counting_prefix("1.5", "m") + kCondition +
           "{let i := $current; ($current += $step); next; say i}}"},
      {"for (let i in [1 ... 3]) { say i } else { say 0 }",
       counting_prefix("1", "3") + "let $seen := false; " + kCondition +
           "{($seen := true); let i := $current; ($current += $step); say i}; "
           "if (¬ $seen) {say 0}}"},
      // The header-only loop and the statement modifier bind the placeholder.
      {"for ([1 ... 2]) { say ^^ }", counting_prefix("1", "2") + kCondition +
                                         "{const ^^ := $current; ($current += $step); say ^^}}"},
      {"say ^^ for [1 ... 2]", counting_prefix("1", "2") + kCondition +
                                   "{const ^^ := $current; ($current += $step); say ^^}}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(lowered_shape(c.source, kLower), c.expected);
  }
}

TEST(RangeLoopLowering, NamesCarryTheLineAndTheVariable) {
  const std::string shape = optimized_shape("\n\nfor (let k in [1 ... 2]) { }", kLower);
  EXPECT_NE(shape.find("let __tolu_range_3_k_current := 1"), std::string::npos) << shape;
  EXPECT_NE(shape.find("let __tolu_range_3_k_step"), std::string::npos) << shape;
}

TEST(RangeLoopLowering, LoopsOfOtherShapesStay) {
  for (const char* source : {
           "for (i in [1 ... 3, 5]) { }",
           "for (i in [f() ... 3]) { }",
           "for (i in [1 ... n + 1]) { }",
           "for (i in [\"a\" ... 3]) { }",
           "for (i in r) { }",
           "for (i in [1, 2]) { }",
           "for (i in [[1 ... 3]]) { }",
           "for (i in <<1 ... 3>>) { }",
           "for (i in []) { }",
           // A body that mentions a generated name keeps its loop.
           "for (let i in [1 ... 3]) { say __tolu_range_1_i_step }",
           "for (let i in [1 ... 3]) { let __tolu_range_1_i_seen := 0 }",
           "for (let i in [1 ... 3]) { say x.__tolu_range_1_i_current }",
           "for (let i in [1 ... 3]) { say fn(__tolu_range_1_i_end) -> 0 }",
       }) {
    SCOPED_TRACE(source);
    EXPECT_EQ(optimized_shape(source, kLower), program_shape(source));
  }
  // The same name on another line or over another variable does not clash.
  EXPECT_NE(optimized_shape("for (let i in [1 ... 3]) { say __tolu_range_2_i_step }", kLower)
                .find("while"),
            std::string::npos);
  EXPECT_NE(optimized_shape("for (let j in [1 ... 3]) { say __tolu_range_1_i_step }", kLower)
                .find("while"),
            std::string::npos);
}

TEST(RangeLoopLowering, NestedLoopsAreLoweredInsideOut) {
  const std::string shape = optimized_shape(
      "for (let i in [1 ... 2]) {\nfor (let j in [i ... 3]) { say i, j } }", kLower);
  EXPECT_NE(shape.find("let __tolu_range_2_j_current := i"), std::string::npos) << shape;
  EXPECT_NE(shape.find("let __tolu_range_1_i_current := 1"), std::string::npos) << shape;
  EXPECT_EQ(shape.find("for "), std::string::npos) << shape;
  // Two loops on one line over one variable each get the same names, each in its own block.
  const std::string twice =
      optimized_shape("for (let i in [1 ... 2]) { } for (let i in [3 ... 4]) { }", kLower);
  EXPECT_EQ(twice.find("for "), std::string::npos) << twice;
}

// Every generated node takes the loop's line and file, and carries no annotation yet.
TEST(RangeLoopLowering, GeneratedNodesTakeTheLoopsPosition) {
  CompileOptions options;
  options.optimizations = kLower;
  auto result = parse_program_with_compile_options_and_source_file(
      "say 1;\nfor (let i in [1 ... 3]) { } else { }", options, "loop.tos");
  ASSERT_TRUE(result) << describe_error(result.error());
  const Program& program = result.value();
  const auto* block = program.statements[1].as<Block>();
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(block->block.needs_lexical_scope);
  EXPECT_EQ(block->block.line, 2u);
  EXPECT_EQ(block->block.source_file, "loop.tos");
  std::size_t generated = 0;
  struct Walk {
    std::size_t& generated;
    void operator()(const Expression& e) {
      EXPECT_EQ(e.line(), 2u);
      EXPECT_EQ(e.source_file(), "loop.tos");
      if (const auto* identifier = e.as<Identifier>()) {
        EXPECT_FALSE(identifier->resolved_depth);
        if (identifier->name.view().starts_with("__tolu_range_")) {
          ++generated;
          EXPECT_FALSE(e.inferred_type());
        }
      }
      for_each_child(e, *this);
    }
    void operator()(const Statement& s) {
      EXPECT_EQ(s.line(), 2u);
      EXPECT_EQ(s.source_file(), "loop.tos");
      for_each_child(s, *this);
    }
  } walk{generated};
  walk(program.statements[1]);
  EXPECT_EQ(generated, 13u);
  // The operators are the ones they spell, for any later stage that dispatches on them.
  const auto& step = *block->block.statements[2].as<VariableDeclaration>()->initializer;
  EXPECT_EQ(step.as<TernaryExpression>()->condition.as<BinaryExpression>()->op_id,
            OperatorId::LessEqual);
}

TEST(RangeLoopLowering, LoweredProgramsStillValidate) {
  for (const char* source : {
           "let n := 4; for (let i in [1 ... n]) { say i; next if i > 2 } else { say 0 }",
           "let xs := []; for ([3 ... 1]) { xs.push(^^) }",
           "let t := 0; t += ^^ for [1 ... 5]; say t",
           "for (const i in [1 ... 2]) { for (let j in [i ... 2]) { say i + j; last } }",
           "function f(m) { for (let i in [m ... 0]) { return i } }",
       }) {
    SCOPED_TRACE(source);
    const Program program = optimized(source, PassSet::all(), true);
    const auto error = validate_program(program);
    EXPECT_FALSE(error) << describe_error(*error);
    EXPECT_EQ(shape(program).find("for "), std::string::npos) << shape(program);
  }
}

// Loops nested as deep as the parser allows, each on a line of its own so that every one is
// lowered: the lowered tree is twice as deep as the written one.
TEST(RangeLoopLowering, LoopsNestedToTheLimitAreAllLowered) {
  std::string source = "let x := 1;\n";
  for (int i = 0; i < 1000; ++i) source += "for (let i in [1 ... x]) {\n";
  source += std::string(1000, '}');
  const Program program = optimized(source, PassSet::all(), true);
  ASSERT_EQ(program.statements.size(), 2u);
  const auto error = validate_program(program);
  EXPECT_FALSE(error) << describe_error(*error);
  std::size_t loops = 0;
  struct Count {
    std::size_t& loops;
    void operator()(const Statement& s) {
      EXPECT_FALSE(s.is<For>());
      if (s.is<While>()) ++loops;
      for_each_child(s, *this);
    }
  } count{loops};
  count(program.statements[1]);
  EXPECT_EQ(loops, 1000u);
}

// ---- Pipelines --------------------------------------------------------------------------------

const PassSet kPipes = pass_set({OptimizerPass::PipelineLowering});

TEST(PipelineLowering, SubstitutesEachPartIntoTheNext) {
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"say a |> f(^^) |> g(^^, 2)", "say g(f(a), 2)"},
      {"say g(^^) <| f(^^) <| a", "say g(f(a))"},
      {"say a ▷ f(^^)", "say f(a)"},
      {"say f(^^) ◁ a", "say f(a)"},
      {"say a ◁ f(^^)", "say (a ◁ f(^^))"},
      {"say a |> ^^", "say a"},
      {"say a |> x.y[^^ ?: 1]", "say x.y[(a ?: 1)]"},
      {"say a |> [1, -^^]", "say [1, (- a)]"},
      {"say a |> (c ? 1 : ^^)", "say (c ? 1 : a)"},
      {"say a |> f(k: ^^, ...xs)", "say f(k: a, ...xs)"},
      {"say a |> ^^(1)", "say a(1)"},
      {"say a |> f(fn(x) -> x, ^^)", "say f(fn(x) -> x, a)"},
      {"say a |> f(function () { return 1 }, ^^)", "say f(function() {return 1}, a)"},
      {"say (a |> f(^^)) + 1", "say (f(a) + 1)"},
      {"say b |> g(a |> f(^^))", "say (b |> g(f(a)))"},
      // Children first: the chain's first link is lowered before the whole chain is looked at.
      {"say a |> f(^^) |> show |> g(^^)", "say ((f(a) |> show) |> g(^^))"},
      // A placeholder in the head belongs to an enclosing chain or loop.
      {"say ^^ |> f(^^)", "say f(^^)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(optimized_shape(c.source, kPipes), c.expected);
  }
}

TEST(PipelineLowering, FoldingFinishesTheLoweredChain) {
  EXPECT_EQ(
      optimized_shape("say 2 |> ^^ * 3 |> ^^ + 1",
                      pass_set({OptimizerPass::PipelineLowering, OptimizerPass::ConstantFolding})),
      "say 7");
}

TEST(PipelineLowering, ChainsWithAnUnsubstitutablePartStay) {
  for (const char* source : {
           "say a |> f(^^, ^^)",
           "say a |> fn(x) -> x + ^^",
           "say a |> {k: ^^}",
           "say a |> show",
           "say a |> `t${^^}`",
           "say a |> <<^^>>",
           "say a |> (x := ^^)",
           "say a |> ^^[1:2]",
           "say a |> f(^^, b |> [^^, ^^])",
           "say a |> f(^^, function () { return ^^ })",
           "say a |> f(^^, -> ^^)",
           // Places a substitution does not reach: a computed key, an interpolation of a regular
           // expression, a statement of a function body that is not scanned by expression, a
           // default value.
           "say a |> f(^^, (^^): 1)",
           "say a |> f(^^, /x${^^}/)",
           "say a |> f(^^, function () { switch (1) { case 1: return ^^ } })",
           "say a |> f(^^, function () { try { say ^^ } catch (e) { } })",
           "say a |> f(^^, fn(x := ^^) -> x)",
       }) {
    SCOPED_TRACE(source);
    EXPECT_EQ(optimized_shape(source, kPipes), program_shape(source));
  }
}

TEST(PipelineLowering, LoweredChainsStillValidate) {
  for (const char* source : {
           "let a := 1; function f(x) { return x } say a |> f(^^) |> f(^^ + 1)",
           "let a := 1; function f(x, y) { return y } say a |> f(^^, function () { return 1 })",
           "let a := 1; function f(x, y) { return y } say a |> f(^^, (^^): 1)",
           "let a := 1; function f(x, y) { return y } "
           "say a |> f(^^, function () { switch (1) { case 1: return ^^ } })",
       }) {
    SCOPED_TRACE(source);
    CompileOptions options;
    options.optimizations = PassSet::all();
    options.validate = false;
    auto result = parse_program_with_compile_options_and_source_file(source, options, std::nullopt);
    ASSERT_TRUE(result) << describe_error(result.error());
    // Only the sources the validator accepts before optimization need to pass after it.
    if (validate_program(optimized(source, PassSet{}))) continue;
    const auto error = validate_program(result.value());
    EXPECT_FALSE(error) << describe_error(*error);
  }
}

// ---- The placeholder bookkeeping, row by row --------------------------------------------------

std::string usage_of(std::string_view source) {
  auto expression = parse_expression_with_source_file(source, std::nullopt);
  if (!expression) return describe_error(expression.error());
  HereUsage usage;
  optimizer::collect_here_usage(expression.value(), false, usage);
  return std::to_string(usage.direct_uses) + "/" + std::to_string(usage.nested_uses) +
         (usage.unsupported ? " unsupported" : "") + (usage.substitutable() ? " ok" : "");
}

TEST(PlaceholderUsage, CountsUsesNodeByNode) {
  const struct {
    const char* part;
    const char* usage;
  } rows[] = {
      {"^^", "1/0 ok"},
      {"x", "0/0"},
      {"1", "0/0"},
      {"\"s\"", "0/0"},
      {"/re/", "0/0"},
      {"true", "0/0"},
      {"null", "0/0"},
      {"[^^, 1]", "1/0 ok"},
      {"[^^, ^^]", "2/0"},
      {"-^^", "1/0 ok"},
      {"^^ + 1", "1/0 ok"},
      {"^^ |> f(^^)", "0/0 unsupported"},
      {"f(^^) <| ^^", "0/0 unsupported"},
      {"c ? ^^ : ^^", "2/0"},
      {"^^ ? 1 : 2", "1/0 ok"},
      {"^^ ?: 1", "1/0 ok"},
      {"x[^^]", "1/0 ok"},
      {"^^(x)", "1/0 ok"},
      {"f(k: ^^)", "1/0 ok"},
      {"f(k: 1, ...^^)", "1/0 ok"},
      {"f((k): ^^)", "1/0 ok"},
      {"^^.name", "1/0 ok"},
      {"fn(x) -> ^^ + x", "0/1"},
      {"fn(x) -> fn(y) -> ^^", "0/1"},
      {"-> ^^", "0/1"},
      {"function () { return ^^ + ^^ }", "0/1"},
      {"function () { return 1 }", "0/0"},
      {"f(^^, function () { say ^^ })", "1/1"},
      // Every other node hides what is below it.
      {"'bytes'", "0/0 unsupported"},
      {"<<^^>>", "0/0 unsupported"},
      {"<<<^^>>>", "0/0 unsupported"},
      {"{a: ^^}", "0/0 unsupported"},
      {"{{a: ^^}}", "0/0 unsupported"},
      {"`${^^}`", "0/0 unsupported"},
      {"x := ^^", "0/0 unsupported"},
      {"x.(^^)()", "0/0 unsupported"},
      {"^^[1:2]", "0/0 unsupported"},
      {"^^{k}", "0/0 unsupported"},
      {"x++", "0/0 unsupported"},
      {"(let y := ^^)", "0/0 unsupported"},
      {"try { ^^ } catch (e) { }", "0/0 unsupported"},
      {"do { ^^ }", "0/0 unsupported"},
      {"await { ^^ }", "0/0 unsupported"},
      {"spawn { ^^ }", "0/0 unsupported"},
      // Sound where the substitution would miss a placeholder: an interpolated regular
      // expression, a computed argument key, a default value.
      {"/a${^^}/", "0/0 unsupported"},
      {"f(^^, (^^): 1)", "1/0 unsupported"},
      {"fn(y := ^^) -> y", "0/1"},
      {"function (y := ^^) { }", "0/1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.part);
    EXPECT_EQ(usage_of(row.part), row.usage);
  }
  // Nested: every use below counts as nested.
  auto expression = parse_expression_with_source_file("[^^, ^^]", std::nullopt);
  HereUsage usage;
  optimizer::collect_here_usage(expression.value(), true, usage);
  EXPECT_EQ(usage.nested_uses, 2u);
  EXPECT_EQ(usage.direct_uses, 0u);
}

TEST(PlaceholderUsage, StatementsMentionThePlaceholderAnywhere) {
  const struct {
    const char* body;
    bool contains;
  } rows[] = {
      {"{ say ^^ }", true},
      {"let x := ^^", true},
      {"let {a} := ^^", true},
      {"if (^^) { }", true},
      {"if (c) { } else { ^^ }", true},
      {"while (c) { ^^ }", true},
      {"for (x in ^^) { }", true},
      {"return ^^", true},
      {"throw ^^", true},
      {"die ^^", true},
      {"f(^^)", true},
      {"say 1 if ^^", true},
      {"say `${^^}`", true},
      {"function g() { return ^^ }", true},
      {"switch (^^) { }", true},
      {"try { } catch (e) { ^^ }", true},
      {"class C { let f := ^^ }", true},
      {"from \"m\" import x if ^^", true},
      {"say 1", false},
      {"last", false},
      {"let x := y", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.body);
    CompileOptions options;
    options.validate = false;
    options.infer_types = false;
    auto program =
        parse_program_with_compile_options_and_source_file(row.body, options, std::nullopt);
    ASSERT_TRUE(program) << describe_error(program.error());
    EXPECT_EQ(optimizer::statement_contains_here(program.value().statements[0]), row.contains);
  }
}

// ---- The helpers on their own -----------------------------------------------------------------

struct Parsed {
  ExpressionTree tree;
  Builder builder() { return Builder(tree.storage()); }
};

Parsed parse(std::string_view source) {
  auto result = parse_expression_with_source_file(source, std::nullopt);
  EXPECT_TRUE(result) << source;
  return Parsed{std::move(result).value()};
}

TEST(ChainParts, FlattenTheChainInItsDirection) {
  const struct {
    const char* chain;
    ChainDirection direction;
    const char* expected;
  } cases[] = {
      {"a |> f(^^) |> g(^^)", ChainDirection::Right, "a; f(^^); g(^^)"},
      {"g(^^) <| f(^^) <| a", ChainDirection::Left, "a; f(^^); g(^^)"},
      {"a ▷ f(^^) |> g(^^)", ChainDirection::Right, "a; f(^^); g(^^)"},
      {"a", ChainDirection::Right, "a"},
      {"(a |> f(^^)) + 1", ChainDirection::Right, "((a |> f(^^)) + 1)"},
      {"(a |> b) |> (c |> d)", ChainDirection::Right, "a; b; (c |> d)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chain);
    Parsed parsed = parse(c.chain);
    std::optional<Expression> head;
    std::vector<Expression> parts;
    std::string got = "fails";
    if (optimizer::collect_chain_parts(parsed.tree, c.direction, head, parts, parsed.builder())) {
      got = shape(*head);
      for (const Expression& part : parts) got += "; " + shape(part);
    }
    EXPECT_EQ(got, c.expected);
  }
  // The parser refuses chains that mix directions; made by hand, they are refused here too, on
  // the chain's spine. A part piping the other way is one part.
  const struct {
    const char* outer;
    ChainDirection direction;
    const char* expected;
  } mixed[] = {
      {"<|", ChainDirection::Right, "fails"},
      {"<|", ChainDirection::Left, "b; (a |> f(^^))"},
      {"|>", ChainDirection::Left, "fails"},
  };
  for (const auto& c : mixed) {
    SCOPED_TRACE(c.outer);
    Parsed parsed = parse("[a |> f(^^), b]");
    auto& elements = parsed.tree.as<ArrayLiteral>()->elements;
    const Expression chain = optimizer::binary_expression(1, {}, c.outer, std::move(elements[0]),
                                                          std::move(elements[1]), parsed.builder());
    std::optional<Expression> head;
    std::vector<Expression> parts;
    std::string got = "fails";
    if (optimizer::collect_chain_parts(chain, c.direction, head, parts, parsed.builder())) {
      got = shape(*head);
      for (const Expression& part : parts) got += "; " + shape(part);
    }
    EXPECT_EQ(got, c.expected);
  }
  // A head given already makes a second one.
  Parsed parsed = parse("a |> f(^^)");
  std::optional<Expression> head =
      clone(static_cast<const Expression&>(parsed.tree), parsed.builder());
  std::vector<Expression> parts;
  EXPECT_FALSE(optimizer::collect_chain_parts(parsed.tree, ChainDirection::Right, head, parts,
                                              parsed.builder()));
}

TEST(Substitution, ReplacesWhereTheTreeIsRebuiltAndCopiesTheRest) {
  const struct {
    const char* part;
    const char* expected;
  } cases[] = {
      {"f(^^, [^^], g(k: ^^))", "f((x + 1), [(x + 1)], g(k: (x + 1)))"},
      {"^^.m(-^^)[^^ ?: (c ? ^^ : 0)]", "(x + 1).m((- (x + 1)))[((x + 1) ?: (c ? (x + 1) : 0))]"},
      {"{k: ^^}", "{k: ^^}"},
      {"fn() -> ^^", "fn() -> ^^"},
      {"f((^^): 1)", "f((^^): 1)"},
      {"y", "y"},
  };
  Parsed value = parse("x + 1");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    Parsed part = parse(c.part);
    const std::string before = shape(part.tree);
    const Expression result = optimizer::substitute_here(part.tree, value.tree, part.builder());
    EXPECT_EQ(shape(result), c.expected);
    EXPECT_EQ(shape(part.tree), before);
  }
  // A call argument keeps its kind, key and position.
  Parsed call = parse("f(k: ^^)");
  const CallArgument& argument = call.tree.as<CallExpression>()->arguments[0];
  const CallArgument copy =
      optimizer::substitute_call_argument(argument, value.tree, call.builder());
  EXPECT_TRUE(std::holds_alternative<Stored<Named>>(copy.node));
  EXPECT_EQ(copy.line, argument.line);
  EXPECT_EQ(shape(copy.value), "(x + 1)");
}

TEST(IdentifierCollection, GathersEveryNameMentionedOrDeclared) {
  CompileOptions options;
  options.validate = false;
  options.infer_types = false;
  const char* source =
      "{ let v := a.m; let {k: d} := b; function fn1(p) { } class C with T { let f := 1;"
      " method me(q) { } } trait T2 { } from \"mod\" import x as y; for (lv in c) { }"
      " try { } catch (e) { } say (let de := 1), fn(lp) -> 0, {nk: 1}, o{dk} }";
  auto program = parse_program_with_compile_options_and_source_file(source, options, std::nullopt);
  ASSERT_TRUE(program) << describe_error(program.error());
  optimizer::NameSet names;
  optimizer::collect_statement_identifiers(program.value().statements[0], names);
  for (const char* name : {"v",  "a", "m", "k",  "d", "b", "fn1", "p",  "C",  "f", "me", "q",
                           "T2", "x", "y", "lv", "c", "e", "de",  "lp", "nk", "o", "dk"}) {
    EXPECT_TRUE(names.contains(name)) << name;
  }
  EXPECT_FALSE(names.contains("mod"));
}

}  // namespace
}  // namespace tolu::testing
