// The binding index: which declaration each written name refers to, by the validator's scopes.
//
// Uses are written "name<n>" for the n-th whole-word occurrence of the name in the source, then
// ">" and the declaration: its occurrence, "pre" for a predeclared name, or the kind of a
// declaration whose name is not written; "w" marks a write, "c" a capture.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

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
        UseCase{"let {a, b: c, Number d := 0} := {}; say a + c + d",
                "Number1>pre a2>a1 c2>c1 d2>d1"},
        UseCase{"class C { let x := 1; method m() { return self.x + x + this.x } }\nsay C",
                "self1>Self x3>x1c this1>Self C2>C1"},
        UseCase{"class C { method m(a) { return a } }\nclass D extends C {} say D",
                "a2>a1 C2>C1 D2>D1"},
        UseCase{"trait T { class D {} method m() { return D } }", "D2>D1c"},
        UseCase{"let n := 1; switch (n) { case 1: let k := n; say k; default: say n }",
                "n2>n1 n3>n1 k2>k1 n4>n1"},
        UseCase{"let v := 1; say `a ${v} b ${`c ${v + 1}`}`", "v2>v1 v3>v1"},
        UseCase{"let v := 1; say `${fn w -> w + v}`", "w2>w1 v2>v1"},
        UseCase{"{ let v := 1; say `${fn w -> w + v}` }", "w2>w1 v2>v1c"},
        UseCase{"let x := 1; say x if x > 0", "x2>x1 x3>x1"}));

// Classes and traits named after "extends", "with" and "but", in a class declaration or a
// "new" expression, are uses of what the name is bound to there: the scope around the class,
// before the class binds its own name.
INSTANTIATE_TEST_SUITE_P(
    Compositions, BindingUses,
    ::testing::Values(UseCase{"class B {}\ntrait T {}\ntrait U {}\nclass C extends B with T, U {}",
                              "B2>B1 T2>T1 U2>U1"},
                      UseCase{"trait T {} class C but T {}", "T2>T1"},
                      UseCase{"class C extends C {}", ""},
                      UseCase{"class B {} { class B extends B {} say B }", "B3>B1 B4>B2"},
                      UseCase{"trait T {} class C {} say new C with T ()", "C2>C1 T2>T1"},
                      UseCase{"trait T {} let o := {}; say new o.k with T, T ()",
                              "o2>o1 T2>T1 T3>T1"},
                      UseCase{"trait T { class A {} class B extends A with T {} }", "A2>A1 T2>T1"},
                      UseCase{"class O { class A {} class B extends A {} }", ""},
                      UseCase{"from m import Base; class C extends Base {}", "Base2>Base1"},
                      UseCase{"from m import *;\nclass C extends Anything {}", ""}));

// A type written before a declared name or after "->" is a use of the class, trait or imported
// name it spells (or of a predeclared type), resolved before the name it types is bound.
INSTANTIATE_TEST_SUITE_P(
    Types, BindingUses,
    ::testing::Values(UseCase{"class P {} let P p := new P(); function f(P q) -> P { return q }",
                              "P2>P1 P3>P1 P4>P1 P5>P1 q2>q1"},
                      UseCase{"class E {} try { say 1 } catch (E e) { say e }", "E2>E1 e2>e1"},
                      UseCase{"class C { let C link; method m() -> C { return self } }",
                              "C2>C1 C3>C1 self1>Self"},
                      UseCase{"trait T {} let f := function (...T ts) -> T { return ts }",
                              "T2>T1 T3>T1 ts2>ts1"},
                      UseCase{"class C {} let {a: C c, C d} := {}; say (let C e := c)",
                              "C2>C1 C3>C1 C4>C1 c2>c1"},
                      UseCase{"from m import Pt as Point; let Point p := 1", "Point2>Point1"},
                      UseCase{"let String s := \"\"; function f() -> Number { return 1 }",
                              "String1>pre Number1>pre"},
                      // A name bound to anything but a class, trait or import is not a type.
                      UseCase{"let x := 1; let x y := 2; function g(x z) {}", ""},
                      UseCase{"class a {} { let a a := a }", "a2>a1 a4>a1"},
                      UseCase{"class C {} function f(C C) { return C }", "C2>C1 C4>C3"}));

// Names that are written but are not references: imported names before "as", members, named
// arguments, accessors, and the method named after "can".
INSTANTIATE_TEST_SUITE_P(
    NotUses, BindingUses,
    ::testing::Values(UseCase{"let a := 1; from m import a as b; say b", "b2>b1"},
                      UseCase{"let n := 1; let o := {}; say o.n, o{n}", "o2>o1 o3>o1"},
                      UseCase{"let k := 1; say to_string(k: k)", "k3>k1"},
                      UseCase{"let get := 1; class C { let x with get := 0 }", ""},
                      UseCase{"let size := 1; say [] can size", ""}));

// Where each declaration writes its name, as "name<n>" in source order: the name, not a type or
// key spelled like it, nor a keyword before it that the name may also be spelled as.
std::string declared(std::string_view source) {
  const Analysis analysis = analyze_program(source, CompileOptions{}, std::nullopt);
  if (!analysis.program) return "error: " + analysis.program.error().message();
  std::string out;
  for (const sema::Declaration& d : analysis.bindings.declarations) {
    if (d.name_span.start == d.name_span.end) continue;
    if (!out.empty()) out += ' ';
    out += occurrence(source, d.name_span);
  }
  return out;
}

struct DeclaredCase {
  const char* source;
  const char* declared;
};

void PrintTo(const DeclaredCase& c, std::ostream* os) {
  *os << c.source;
}

class DeclaredNames : public ::testing::TestWithParam<DeclaredCase> {};

TEST_P(DeclaredNames, AreWhereTheGrammarPutsThem) {
  EXPECT_EQ(declared(GetParam().source), GetParam().declared);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DeclaredNames,
    ::testing::Values(DeclaredCase{"let a a := 1", "a2"}, DeclaredCase{"const a a := 1", "a2"},
                      DeclaredCase{"say (let t t := 1)", "t2"},
                      DeclaredCase{"let {a a} := {}", "a2"}, DeclaredCase{"let {x: x} := {}", "x2"},
                      DeclaredCase{"let {x: x x, y} := {}", "x3 y1"},
                      DeclaredCase{"let {\"k\": k k, (1): j j} := {}", "k3 j2"},
                      DeclaredCase{"let {if: if x} := {}", "x1"},
                      DeclaredCase{"function f(a a, ...b b) {}", "f1 a2 b2"},
                      DeclaredCase{"class C { let x x := 1 }", "C1 x2"},
                      DeclaredCase{"try { say 1 } catch (e e) { say e }", "e2"},
                      DeclaredCase{"from m import a as a; say a", "a2"},
                      DeclaredCase{"from m import a, b as c", "a1 c1"},
                      DeclaredCase{"function function() {}", "function2"},
                      DeclaredCase{"async function async() {}", "async2"},
                      DeclaredCase{"class C { static method static() {} }", "C1 static2"},
                      DeclaredCase{"trait T { method method() {} }", "T1 method2"},
                      DeclaredCase{"class C extends C {}", "C1"},
                      DeclaredCase{"let C := 1; { class C extends C {} }", "C1 C2"},
                      DeclaredCase{"for (let n in [1]) {}", "n1"},
                      DeclaredCase{"let xs := [1]; say ^^ for xs", "xs1"},
                      DeclaredCase{"let v := 1; say `${(let v v := v)}`", "v1 v3"},
                      DeclaredCase{"say `${`${fn (a a) -> a}`}`", "a2"}));

// Every name the index knows is written where its span says, uses do not overlap, and no two
// declarations claim the same text: what renaming relies on.
std::u32string decode(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const int extra = byte < 0x80 ? 0 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? byte : byte & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(c);
    i += 1 + extra;
  }
  return out;
}

std::u32string at(const std::u32string& text, ast::Span span) {
  return text.substr(span.start, span.end - span.start);
}

void expect_spans_spell_their_names(const std::string& source, const std::string& name) {
  SCOPED_TRACE(name);
  const Analysis analysis = analyze_program(source, CompileOptions{}, name);
  ASSERT_TRUE(analysis.program) << analysis.program.error().message();
  const auto& index = analysis.bindings;
  const std::u32string text = decode(source);
  std::set<std::pair<std::uint32_t, std::uint32_t>> claimed;
  for (const sema::Declaration& d : index.declarations) {
    if (d.name_span.start == d.name_span.end) continue;
    EXPECT_EQ(at(text, d.name_span), decode(d.name)) << "declaration of " << d.name;
    EXPECT_TRUE(claimed.emplace(d.name_span.start, d.name_span.end).second)
        << "two declarations at " << d.name_span.start;
  }
  for (std::size_t i = 0; i < index.uses.size(); ++i) {
    const sema::Use& use = index.uses[i];
    const sema::Declaration& d = index.declarations[use.declaration];
    EXPECT_EQ(at(text, use.span), decode(d.name)) << "use at " << use.span.start;
    EXPECT_FALSE(claimed.count({use.span.start, use.span.end})) << "use at " << use.span.start;
    if (i > 0) {
      EXPECT_LE(index.uses[i - 1].span.end, use.span.start) << "use at " << use.span.start;
    }
  }
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(BindingIndex, SpansSpellTheirNamesInTheExamples) {
  const std::filesystem::path examples = std::filesystem::path(TOLU_SOURCE_DIR) / "examples";
  std::size_t files = 0;
  for (const auto& directory : {examples, examples / "lib"}) {
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      const auto extension = entry.path().extension();
      if (extension != ".tos" && extension != ".tom") continue;
      expect_spans_spell_their_names(read_file(entry.path()), entry.path().filename().string());
      ++files;
    }
  }
  EXPECT_GE(files, 6u);
}

TEST(BindingIndex, SpansSpellTheirNamesInTheTables) {
  // Types and keys spelled like names, nested interpolations, and characters beyond ASCII.
  for (const char* source :
       {"let {x: x x, y} := {}; say x + y", "class B {} { class B extends B with B {} say B }",
        "say `${`${fn (a a) -> a}`}`", "let \u00e9 := 1; say `\u00e9 ${\u00e9}` + \u00e9",
        "class C { let C link; method m(C c) -> C { return c } }"}) {
    expect_spans_spell_their_names(source, source);
  }
}

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
