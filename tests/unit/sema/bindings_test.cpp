// The binding index: which declaration each written name refers to, by the validator's scopes.
//
// Uses are written "name<n>" for the n-th whole-word occurrence of the name in the source, then
// ">" and the declaration: its occurrence, "pre" for a predeclared name, or the kind of a
// declaration whose name is not written; "w" marks a write, "c" a capture.
#include <gtest/gtest.h>

#include <cctype>

#include "front_end/analysis.h"

namespace tolu {
namespace {

using sema::DeclarationKind;

bool word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '^';
}

// The source is ASCII in these tables, so characters are bytes.
std::string occurrence(std::string_view source, ast::Span span) {
  const std::string_view name = source.substr(span.start, span.end - span.start);
  int n = 0;
  for (std::size_t at = source.find(name); at != std::string_view::npos && at <= span.start;
       at = source.find(name, at + 1)) {
    const bool starts = at == 0 || !word_char(source[at - 1]);
    const bool ends = at + name.size() >= source.size() || !word_char(source[at + name.size()]);
    if (starts && ends) ++n;
  }
  return std::string(name) + std::to_string(n);
}

std::string describe_declaration(std::string_view source, const sema::Declaration& d) {
  if (d.kind == DeclarationKind::Predeclared) return "pre";
  if (d.name_span.start == d.name_span.end) return std::string(sema::declaration_kind_name(d.kind));
  return occurrence(source, d.name_span);
}

std::string uses(std::string_view source) {
  const Analysis analysis = analyze_program(source, CompileOptions{}, std::nullopt);
  if (!analysis.program) return "error: " + analysis.program.error().message();
  std::string out;
  for (const sema::Use& use : analysis.bindings.uses) {
    if (!out.empty()) out += ' ';
    out += occurrence(source, use.span) + ">" +
           describe_declaration(source, analysis.bindings.declarations[use.declaration]);
    if (use.is_write) out += 'w';
    if (use.is_captured) out += 'c';
  }
  return out;
}

struct UseCase {
  const char* source;
  const char* uses;
};

void PrintTo(const UseCase& c, std::ostream* os) {
  *os << c.source;
}

class BindingUses : public ::testing::TestWithParam<UseCase> {};

TEST_P(BindingUses, ResolveToTheirDeclarations) {
  EXPECT_EQ(uses(GetParam().source), GetParam().uses);
}

INSTANTIATE_TEST_SUITE_P(
    Names, BindingUses,
    ::testing::Values(
        UseCase{"let x := 1; x := x + 1; say x", "x2>x1w x3>x1 x4>x1"},
        UseCase{"let x := 1; x += 2; x++; --x; say \\x", "x2>x1w x3>x1w x4>x1w x5>x1w"},
        UseCase{"let a := [1]; a[0] := 2", "a2>a1"},
        UseCase{"say String, to_string(1), __file__", "String1>pre __file__1>pre"},
        // Shadowing: an inner declaration hides the outer one only in its block.
        UseCase{"let x := 1; { let x := 2; say x } say x", "x3>x2 x4>x1"},
        UseCase{"let x := 1; let y := do { let x := x; x }; say y", "x3>x1 x4>x2 y2>y1"},
        // No hoisting: a function sees its own name, and what is declared before it.
        UseCase{"let k := 1; function f(n) { return f(n - k) } say f(2)",
                "f2>f1 n2>n1 k2>k1 f3>f1"},
        UseCase{"function f;\nfunction f() { return 1 }\nsay f()", "f2>f1 f3>f1"},
        // A variable of the outermost scope is global, not captured; a local one is.
        UseCase{"let g := 1; function f() { let l := g; return fn z -> l + g }",
                "g2>g1 l2>l1c g3>g1"},
        UseCase{"{ let b := 1; let f := fn z -> b }", "b2>b1c"},
        UseCase{"function f(a, b := a) { return b }", "a2>a1 b2>b1"},
        UseCase{"let f := fn x -> fn y -> x + y", "x2>x1c y2>y1"},
        UseCase{"from m import a as b;\nsay b", "b2>b1"},
        UseCase{"from m import *;\nsay anything", ""},
        UseCase{"let f := fn x -> x; say [1, 2] |> f(^^)", "x2>x1 f2>f1 ^^1>Constant"},
        UseCase{"let s := \"ab\"; s ~= /a/ -> m", "s2>s1w m1>Variable"},
        UseCase{"let o := 1; say o can size", "o2>o1"}, UseCase{"say (let t := 1) + 1", ""}));

INSTANTIATE_TEST_SUITE_P(
    Constructs, BindingUses,
    ::testing::Values(
        UseCase{"for (let n in [1, 2]) { say n } for (const n in [3]) { say n }", "n2>n1 n4>n3"},
        UseCase{"let xs := [1]; for (xs) { say ^^ }", "xs2>xs1 ^^1>LoopVariable"},
        UseCase{"try { say 1 } catch (e) { say e } catch (Error e) { say e }", "e2>e1 e4>e3"},
        UseCase{"let {a, b: c, Number d := 0} := {}; say a + c + d", "a2>a1 c2>c1 d2>d1"},
        UseCase{"class C { let x := 1; method m() { return self.x + x + this.x } }\nsay C",
                "self1>Self x3>x1c this1>Self C2>C1"},
        UseCase{"class C { method m(a) { return a } }\nclass D extends C {} say D", "a2>a1 D2>D1"},
        UseCase{"trait T { class D {} method m() { return D } }", "D2>D1c"},
        UseCase{"let n := 1; switch (n) { case 1: let k := n; say k; default: say n }",
                "n2>n1 n3>n1 k2>k1 n4>n1"},
        UseCase{"let v := 1; say `a ${v} b ${`c ${v + 1}`}`", "v2>v1 v3>v1"},
        UseCase{"let v := 1; say `${fn w -> w + v}`", "w2>w1 v2>v1"},
        UseCase{"{ let v := 1; say `${fn w -> w + v}` }", "w2>w1 v2>v1c"},
        UseCase{"let x := 1; say x if x > 0", "x2>x1 x3>x1"}));

// Declarations: their kinds, where their names are written, scope and types.
TEST(BindingIndex, DeclarationsComeInSourceOrderWithTheirNames) {
  const std::string source =
      "const Number limit := 3;\n"
      "function twice(Number n) -> Number { return n * 2 }\n"
      "class Box { let items := []; method add(item) { return self } }\n"
      "for (let i in [1]) { try { say i } catch (TypeException e) { say e } }\n"
      "from lib import read as load;\n";
  const Analysis analysis = analyze_program(source, CompileOptions{}, std::nullopt);
  ASSERT_TRUE(analysis.program);
  std::string out;
  for (const sema::Declaration& d : analysis.bindings.declarations) {
    if (d.kind == DeclarationKind::Predeclared) continue;
    out += d.name + ":" + std::string(sema::declaration_kind_name(d.kind)) + ":" + d.type +
           (d.is_global ? ":g" : "") + " ";
    if (d.name_span.start != d.name_span.end) {
      EXPECT_EQ(source.substr(d.name_span.start, d.name_span.end - d.name_span.start), d.name);
    }
    EXPECT_LE(d.node_span.start, d.name_span.start);
  }
  EXPECT_EQ(out,
            "limit:Constant:Number:g twice:Function:Function:g n:Parameter:Number "
            "Box:Class:Class:g items:Field:Array self:Self:Box this:Self:Box add:Method:Function "
            "item:Parameter: i:LoopVariable: e:CatchBinding:TypeException load:Import::g ");
  const auto& declarations = analysis.bindings.declarations;
  for (std::size_t i = 1; i < declarations.size(); ++i) {
    if (declarations[i - 1].kind == DeclarationKind::Predeclared) continue;
    EXPECT_LE(declarations[i - 1].name_span.start, declarations[i].name_span.start);
  }
}

TEST(BindingIndex, PredeclaredNamesComeFirstWithEmptySpans) {
  const Analysis analysis = analyze_program("say Any, Exception", CompileOptions{}, std::nullopt);
  ASSERT_TRUE(analysis.program);
  const auto& declarations = analysis.bindings.declarations;
  ASSERT_EQ(declarations.size(), 26u);
  for (const auto& d : declarations) {
    EXPECT_EQ(d.kind, DeclarationKind::Predeclared);
    EXPECT_EQ(d.name_span, (ast::Span{0, 0}));
    EXPECT_TRUE(d.is_global);
  }
  ASSERT_EQ(analysis.bindings.uses.size(), 2u);
  EXPECT_EQ(declarations[analysis.bindings.uses[0].declaration].name, "Any");
  EXPECT_EQ(declarations[analysis.bindings.uses[1].declaration].name, "Exception");
}

TEST(BindingIndex, LooksUpDeclarationsByOffset) {
  //                        0123456789012345678901234
  const std::string source = "let count := 1; count++;";
  const Analysis analysis = analyze_program(source, CompileOptions{}, std::nullopt);
  ASSERT_TRUE(analysis.program);
  const auto& index = analysis.bindings;
  const auto declaration = index.declaration_at(4);
  ASSERT_TRUE(declaration);
  EXPECT_EQ(index.declarations[*declaration].name, "count");
  EXPECT_EQ(index.declaration_at(9), declaration);   // the end of the name
  EXPECT_EQ(index.declaration_at(16), declaration);  // the use
  EXPECT_EQ(index.declaration_at(21), declaration);  // just after the use
  EXPECT_FALSE(index.declaration_at(11));            // ":="
  EXPECT_FALSE(index.declaration_at(0));             // "let"
  const auto uses = index.uses_of(*declaration);
  ASSERT_EQ(uses.size(), 1u);
  EXPECT_EQ(uses[0]->span, (ast::Span{16, 21}));
  EXPECT_TRUE(uses[0]->is_write);
}

TEST(BindingIndex, AlwaysKnownNamesHaveNoDeclaration) {
  const std::string source =
      "let total := 0;\n"
      "function add(n) { total += n; return total }\n"
      "for ([1, 2]) { add(^^) }\n"
      "say ref_id(total), make_instance";
  const Analysis analysis = analyze_program(source, CompileOptions{}, std::nullopt);
  ASSERT_TRUE(analysis.program);
  EXPECT_EQ(uses(source),
            "total2>total1w n2>n1 total3>total1 add2>add1 ^^1>LoopVariable total4>total1");
}

}  // namespace
}  // namespace tolu
