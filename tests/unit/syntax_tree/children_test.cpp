// The shared child traversal, checked against the JSON printer over a program that holds every
// node kind.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "syntax_tree/json.h"
#include "tolu/children.h"
#include "tolu/front_end.h"
#include "tolu/printers.h"

namespace tolu {
namespace {

using namespace ast;

// Every expression and statement kind, every dict key and call argument kind.
constexpr const char* kEveryKind = R"(from lib.m import a, b as c if ok;
let x := 1;
const String s := "t";
let {k, j: Number n := 2} := {k: 1, j: 2};
function f(p, Number q := 3, ...rest) -> Number { return p; }
class A extends B with T { let Number v with get := 1; static method m(z) { return super(z); } class N {} trait U {} }
trait T { method t() {} }
if (x) { say 1; } else if (s) { say 2; } else { say 3; }
while (x < 3) { x += 1; next; }
for (const e in [1, 2]) { last; } else { say 0; }
switch (x) { case 1, 2: say x; default: say 4; }
try { throw "e"; } catch (String m) { die m; }
{ print x; }
say x if x;
x++;
say 'bin', /r${x}/g, true, null, <<1>>, <<<1>>>, {{k: 1}}, `t${x}`, -x, x + 1, x ? 1 : 2, x ?: 1;
say f(k: 1, 2, ...[3]), A.m, A.(s)(1), [1][0], [1, 2][0:1], {k: 1}{k}, fn (y) -> y, function (y) { return y; };
say (let w := 1), try { 1; } catch (e) { 2; }, do { 1; }, spawn { 1; }, {"s": 1, (x): 2};
async function g() { return await { 1; }; }
)";

Program parse_every_kind() {
  CompileOptions options;
  options.validate = false;
  options.infer_types = false;
  auto result = parse_program_with_compile_options_and_source_file(kEveryKind, options, "all.tos");
  EXPECT_TRUE(result);
  return std::move(result).value();
}

// The expressions of a JSON tree in document order, as "Kind@line": an expression is the only
// object with an "inferred_type".
void printed_expressions(const Json& json, std::vector<std::string>& out) {
  if (json.is_object() && json.contains("inferred_type")) {
    out.push_back(json["type"].get<std::string>() + "@" + std::to_string(json["line"].get<int>()));
  }
  if (json.is_structured()) {
    for (const Json& item : json) printed_expressions(item, out);
  }
}

// The same through for_each_child alone, over a const or a mutable tree.
template <class Tree>
struct Reached {
  using Expr = std::conditional_t<std::is_const_v<Tree>, const Expression, Expression>;
  using Stmt = std::conditional_t<std::is_const_v<Tree>, const Statement, Statement>;
  std::vector<std::string> expressions;
  std::set<std::size_t> expression_kinds, statement_kinds;

  void walk(Tree& node) {
    for_each_child(node,
                   Overloads{[&](Expr& e) { expression(e); }, [&](Stmt& s) { statement(s); }});
  }

  void expression(Expr& e) {
    expression_kinds.insert(e.node().index());
    visit_node([&](const auto& n) { expressions.push_back(std::string(n.kName)); }, e.node());
    expressions.back() += "@" + std::to_string(e.line());
    for_each_child(e, Overloads{[&](Expr& c) { expression(c); }, [&](Stmt& c) { statement(c); }});
  }
  void statement(Stmt& s) {
    statement_kinds.insert(s.node().index());
    for_each_child(s, Overloads{[&](Expr& c) { expression(c); }, [&](Stmt& c) { statement(c); }});
  }
};

TEST(ForEachChild, ReachesExactlyTheExpressionsThePrinterPrints) {
  Program program = parse_every_kind();
  std::vector<std::string> printed;
  printed_expressions(to_json(program), printed);

  Reached<const Program> by_const;
  by_const.walk(program);
  EXPECT_EQ(by_const.expressions, printed);
  EXPECT_EQ(by_const.expression_kinds.size(), std::variant_size_v<ExpressionNode>);
  EXPECT_EQ(by_const.statement_kinds.size(), std::variant_size_v<StatementNode>);

  Reached<Program> by_mutable;
  by_mutable.walk(program);
  EXPECT_EQ(by_mutable.expressions, printed);
}

TEST(ForEachChild, HandsOutTheSlotsAVisitorTakesAndLooksThroughTheRest) {
  Program program = parse_every_kind();
  const Statement& function = program.statements[4];  // f(p, Number q := 3, ...rest)
  int parameter_lists = 0, defaults = 0, blocks = 0;
  for_each_child(function, Overloads{[&](const List<Parameter>&) { ++parameter_lists; },
                                     [&](const BlockStatement&) { ++blocks; }});
  for_each_child(function, Overloads{[&](const Optional<Expression>& d) { defaults += !!d; }});
  EXPECT_EQ(parameter_lists, 1);
  EXPECT_EQ(blocks, 1);
  EXPECT_EQ(defaults, 1);  // looked through the parameter list to the one default value

  // A walker takes a statement list as a whole and may splice it.
  Statement& if_statement = program.statements[7];
  for_each_child(if_statement, Overloads{[&](BlockStatement& b) { b.statements = {}; },
                                         [&](Optional<Statement>& e) { e.reset(); }});
  EXPECT_TRUE(if_statement.as<If>()->then_block.statements.empty());
  EXPECT_FALSE(if_statement.as<If>()->else_branch);
}

}  // namespace
}  // namespace tolu
