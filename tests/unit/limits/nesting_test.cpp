// Deep nesting: every construct that nests is accepted up to the limit through the whole
// pipeline, the printers, copying and destruction, and refused just past it.
#include <gtest/gtest.h>

#include <functional>

#include "base/limits.h"
#include "support/shape.h"
#include "syntax_tree/json.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"
#include "tolu/printers.h"

namespace tolu {
namespace {

std::string repeat(std::string_view piece, int times) {
  std::string out;
  out.reserve(piece.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct NestingCase {
  const char* name;
  std::function<std::string(int)> program;  // the construct nested n levels deep
  int accepted = 1000;                      // a depth that must be accepted
};

void PrintTo(const NestingCase& c, std::ostream* os) {
  *os << c.name;
}

const char* const kPrelude = "let x := 1; let o := {}; function f() {}\n";

Result<ast::Program> run_pipeline(int depth, const NestingCase& c) {
  CompileOptions options;
  options.optimizations = PassSet::all();
  return parse_program_with_compile_options_and_source_file(kPrelude + c.program(depth), options,
                                                            std::string("deep.tos"));
}

bool nests_too_deep(const Result<ast::Program>& result) {
  return !result && result.error().message() == kNestingTooDeep;
}

// The deepest nesting the front end accepts for a construct.
int deepest_accepted(const NestingCase& c) {
  int low = c.accepted;  // accepted, asserted by the caller
  int high = static_cast<int>(kMaxNesting) + 50;
  while (high - low > 1) {
    const int middle = (low + high) / 2;
    (run_pipeline(middle, c) ? low : high) = middle;
  }
  return low;
}

class Nesting : public ::testing::TestWithParam<NestingCase> {};

TEST_P(Nesting, AcceptedUpToTheLimitAndRefusedPastIt) {
  const NestingCase& c = GetParam();
  {
    auto result = run_pipeline(c.accepted, c);
    ASSERT_TRUE(result) << testing::describe_error(result.error());
  }
  const int deepest = deepest_accepted(c);
  ASSERT_LT(deepest, static_cast<int>(kMaxNesting) + 49) << "no limit was found";
  {
    auto at_limit = run_pipeline(deepest, c);
    ASSERT_TRUE(at_limit);
    const ast::Program copy = ast::clone(at_limit.value());
    EXPECT_TRUE(copy == at_limit.value());
    EXPECT_FALSE(ast::to_json(copy).dump().empty());
  }
  const auto past = run_pipeline(deepest + 1, c);
  EXPECT_TRUE(nests_too_deep(past)) << (past ? "accepted" : testing::describe_error(past.error()));
  const auto far_past = run_pipeline(100000, c);
  EXPECT_TRUE(nests_too_deep(far_past))
      << (far_past ? "accepted" : testing::describe_error(far_past.error()));
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, Nesting,
    ::testing::Values(
        NestingCase{"parentheses",
                    [](int n) { return "say " + repeat("(", n) + "1" + repeat(")", n); }},
        NestingCase{"unary", [](int n) { return "say " + repeat("!", n) + "1"; }},
        NestingCase{"left_binary", [](int n) { return "say 1" + repeat(" + 1", n); }},
        NestingCase{"right_binary", [](int n) { return "say 1" + repeat(" ** 1", n); }},
        NestingCase{"assignments", [](int n) { return repeat("x := ", n) + "1"; }},
        NestingCase{"left_pipes", [](int n) { return "say x" + repeat(" |> [^^]", n); }},
        NestingCase{"right_pipes", [](int n) { return "say " + repeat("[^^] <| ", n) + "x"; }},
        NestingCase{"ternaries", [](int n) { return "say " + repeat("x ? 1 : ", n) + "2"; }},
        NestingCase{"fallbacks", [](int n) { return "say " + repeat("x ?: ", n) + "2"; }},
        NestingCase{"blocks", [](int n) { return repeat("{", n) + repeat("}", n); }},
        NestingCase{"ifs", [](int n) { return repeat("if (x) {", n) + repeat("}", n); }},
        NestingCase{"else_ifs", [](int n) { return "if (x) {}" + repeat(" else if (x) {}", n); }},
        NestingCase{"functions",
                    [](int n) { return repeat("function g() {", n) + repeat("}", n); }},
        NestingCase{"lambdas", [](int n) { return "say " + repeat("fn y -> ", n) + "y"; }},
        // Each level is an expression holding a statement: two levels of the tree.
        NestingCase{"do_blocks", [](int n) { return "say " + repeat("do {", n) + repeat("}", n); },
                    500},
        NestingCase{"classes", [](int n) { return repeat("class A {", n) + repeat("}", n); }},
        NestingCase{"arrays", [](int n) { return "say " + repeat("[", n) + repeat("]", n); }},
        NestingCase{"dicts",
                    [](int n) { return "say " + repeat("{a: ", n) + "1" + repeat("}", n); }},
        NestingCase{"sets", [](int n) { return "say " + repeat("<< ", n) + repeat(" >>", n); }},
        NestingCase{"calls", [](int n) { return "say " + repeat("f(", n) + repeat(")", n); }},
        NestingCase{"call_chains", [](int n) { return "say f" + repeat("()", n); }},
        NestingCase{"member_chains", [](int n) { return "say o" + repeat(".m", n); }},
        NestingCase{"index_chains", [](int n) { return "say o" + repeat("[0]", n); }},
        NestingCase{"templates",
                    [](int n) { return "say " + repeat("`${", n) + "1" + repeat("}`", n); }},
        NestingCase{"regex_in_templates", [](int n) {
                      return "say /" + repeat("${`", n) + "1" + repeat("`}", n) + "/";
                    }}));

TEST(NestingErrors, ReportTheKindAndPosition) {
  // In the parser: at the token where the limit was passed; at the end of input it is
  // UnexpectedEnd.
  auto deep = parse_program(repeat("(", 100000));
  ASSERT_FALSE(deep);
  EXPECT_EQ(deep.error().kind(), ErrorKind::Syntax);
  EXPECT_EQ(deep.error().message(), kNestingTooDeep);
  EXPECT_EQ(deep.error().line(), 1u);
  auto at_end = parse_program("say 1" + repeat(" + 1", 100000));
  ASSERT_FALSE(at_end);
  EXPECT_EQ(at_end.error().message(), kNestingTooDeep);
  // In the lexer: a Lexical error at the template that passed the limit.
  auto templates = parse_program(repeat("`${", 100000));
  ASSERT_FALSE(templates);
  EXPECT_EQ(templates.error().kind(), ErrorKind::Lexical);
  EXPECT_EQ(templates.error().message(), kNestingTooDeep);
  EXPECT_EQ(templates.error().column(), 3u * kMaxNesting + 1);
}

}  // namespace
}  // namespace tolu
