#include <gtest/gtest.h>

#include "support/shape.h"
#include "syntax_tree/json.h"
#include "tolu/front_end.h"
#include "tolu/printers.h"

namespace tolu {
namespace {

using ast::Json;

// Infers `source` (without validation, so that uses may precede declarations) and returns the
// value at a JSON pointer into its tree.
Json annotation(std::string_view source, const std::string& pointer) {
  CompileOptions options;
  options.validate = false;
  auto result = parse_program_with_compile_options_and_source_file(source, options, std::nullopt);
  if (!result) return testing::describe_error(result.error());
  return ast::to_json(result.value()).at(Json::json_pointer(pointer));
}

struct TypeCase {
  const char* source;
  const char* pointer;
  Json expected;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
  *os << c.source << " @ " << c.pointer;
}

class InferredAnnotation : public ::testing::TestWithParam<TypeCase> {};

TEST_P(InferredAnnotation, Is) {
  EXPECT_EQ(annotation(GetParam().source, GetParam().pointer), GetParam().expected);
}

// Shorthands for the pointers used most.
constexpr const char* kFirstInit = "/statements/0/initializer/inferred_type";
constexpr const char* kSecondInit = "/statements/1/initializer/inferred_type";
constexpr const char* kSayArg1 = "/statements/1/arguments/0/inferred_type";

INSTANTIATE_TEST_SUITE_P(
    Literals, InferredAnnotation,
    ::testing::Values(
        TypeCase{"let x := 1", kFirstInit, "Number"},
        TypeCase{"let x := \"a\"", kFirstInit, "String"},
        TypeCase{"let x := 'a'", kFirstInit, "BinaryString"},
        TypeCase{"let x := /a/", kFirstInit, "Regexp"},
        TypeCase{"let x := true", kFirstInit, "Boolean"},
        TypeCase{"let x := null", kFirstInit, "Null"},
        TypeCase{"let x := [1]", kFirstInit, "Array"},
        TypeCase{"let x := <<1>>", kFirstInit, "Set"},
        TypeCase{"let x := <<<1>>>", kFirstInit, "Bag"},
        TypeCase{"let x := {a: 1}", kFirstInit, "Dict"},
        TypeCase{"let x := {{a: 1}}", kFirstInit, "PairList"},
        TypeCase{"let x := `a`", kFirstInit, "String"},
        TypeCase{"let x := [1]", "/statements/0/initializer/elements/0/inferred_type", "Number"},
        TypeCase{"let x := `${1}`", "/statements/0/initializer/parts/0/expression/inferred_type",
                 "Number"},
        TypeCase{"let x := fn a -> a", kFirstInit, "Function"},
        TypeCase{"let x := function () {}", kFirstInit, "Function"},
        TypeCase{"let x := spawn { 1 }", kFirstInit, "Task"},
        TypeCase{"let x := await { 1 }", kFirstInit, nullptr},
        TypeCase{"let x := do { 1 + 2 }", kFirstInit, "Number"},
        TypeCase{"let x := do { say 1 }", kFirstInit, nullptr},
        TypeCase{"function f() { return do { return \"s\" } }",
                 "/statements/0/body/statements/0/value/inferred_type", "String"},
        TypeCase{"let x := try { 1 } catch { 2 }", kFirstInit, nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Operators, InferredAnnotation,
    ::testing::Values(TypeCase{"let x := not 1", kFirstInit, "Boolean"},
                      TypeCase{"let x := -\"a\"", kFirstInit, "Number"},
                      TypeCase{"let x := ⌊ 1.5 ⌋", kFirstInit, "Number"},
                      TypeCase{"let x := typeof 1", kFirstInit, "String"},
                      TypeCase{"let x := 1; let y := \\x", kSecondInit, nullptr},
                      TypeCase{"let x := 1 ≤ 2", kFirstInit, "Boolean"},
                      TypeCase{"let x := 1 instanceof 2", kFirstInit, "Boolean"},
                      TypeCase{"let x := 1 × 2", kFirstInit, "Number"},
                      TypeCase{"let x := 1 <=> 2", kFirstInit, "Number"},
                      TypeCase{"let x := 1 _ 2", kFirstInit, "String"},
                      TypeCase{"let x := 1 -> 2", kFirstInit, "String"},
                      TypeCase{"let x := <<1>> ⋃ <<2>>", kFirstInit, "Set"},
                      TypeCase{"let x := <<1>> ⋃ [2]", kFirstInit, nullptr},
                      TypeCase{"let x := {} default 1", kFirstInit, "Dict"},
                      TypeCase{"let x := null default 1", kFirstInit, "PairList"},
                      TypeCase{"let x := 1 default 1", kFirstInit, nullptr},
                      TypeCase{"let x := 1 | 2", kFirstInit, nullptr},
                      TypeCase{"let x := 1 |> [^^]", kFirstInit, nullptr},
                      TypeCase{"let x := true ? 1 : 2", kFirstInit, "Number"},
                      TypeCase{"let x := true ? 1 : \"a\"", kFirstInit, nullptr},
                      TypeCase{"let x := 1 ?: 2", kFirstInit, "Number"},
                      TypeCase{"let x := 1 ?: null", kFirstInit, nullptr},
                      TypeCase{"let x := [1]; let y := x[0:1]", kSecondInit, "Array"},
                      TypeCase{"let x := [1]; let y := x[0]", kSecondInit, nullptr},
                      TypeCase{"let x := 1; let y := x++", kSecondInit, "Number"}));

INSTANTIATE_TEST_SUITE_P(
    Declarations, InferredAnnotation,
    ::testing::Values(
        TypeCase{"let Number x := \"a\"", "/statements/0/needs_type_check", 1},
        TypeCase{"let Number x := \"a\"; say x", kSayArg1, "Number"},
        TypeCase{"let Number x := 1", "/statements/0/needs_type_check", 0},
        TypeCase{"let x := 1", "/statements/0/needs_type_check", 2},
        TypeCase{"let x := 1; say x", kSayArg1, "Number"},
        TypeCase{"let y; say y", kSayArg1, nullptr},
        TypeCase{"let {a, Number b} := {}", "/statements/0/pattern/entries/0/needs_type_check", 2},
        TypeCase{"let {a, Number b} := {}", "/statements/0/pattern/entries/1/needs_type_check", 1},
        TypeCase{"let {Number b := \"s\"} := {}; say b", kSayArg1, "Number"},
        TypeCase{"say (const String s := 1)", "/statements/0/arguments/0/inferred_type", "String"},
        TypeCase{"say (const String s := 1)", "/statements/0/arguments/0/needs_type_check", 1},
        TypeCase{"say (let s)", "/statements/0/arguments/0/inferred_type", nullptr},
        TypeCase{"function f() {} say f", kSayArg1, "Function"},
        TypeCase{"class P {} say P", kSayArg1, "P"},
        TypeCase{"trait T {} say T", kSayArg1, "Trait"},
        TypeCase{"from m import a as b; say b", kSayArg1, "Imported"},
        TypeCase{"from m import a if 1", "/statements/0/condition/condition/inferred_type",
                 nullptr},
        TypeCase{"class C { let Number n := \"x\" }",
                 "/statements/0/declaration/members/0/declaration/needs_type_check", 1},
        TypeCase{
            "class C { let n := 1; method m() { return n } }",
            "/statements/0/declaration/members/1/declaration/body/statements/0/value/inferred_type",
            "Number"},
        TypeCase{
            "trait T { method m(Number a) { return a } }",
            "/statements/0/declaration/members/0/declaration/body/statements/0/value/inferred_type",
            "Number"}));

INSTANTIATE_TEST_SUITE_P(
    AssignmentsCallsAndReturns, InferredAnnotation,
    ::testing::Values(
        TypeCase{"let x := \"a\"; x += 1", "/statements/1/expression/inferred_type", "Number"},
        TypeCase{"let x := \"a\"; x += 1", "/statements/1/expression/needs_type_check", 1},
        TypeCase{"let x := 1; x := 2", "/statements/1/expression/needs_type_check", 0},
        TypeCase{"let x; x := 2; say x", "/statements/2/arguments/0/inferred_type", "Number"},
        TypeCase{"let x := 1; x _= 2", "/statements/1/expression/inferred_type", "String"},
        TypeCase{"let x := [1]; x[0] := 2", "/statements/1/expression/needs_type_check", 2},
        TypeCase{"say f(); function f() -> String {}", "/statements/0/arguments/0/inferred_type",
                 "String"},
        TypeCase{"function g() { function h() -> String {} } say h()",
                 "/statements/1/arguments/0/inferred_type", nullptr},
        TypeCase{"{ function f() -> Number {} } say f()", kSayArg1, "Number"},
        TypeCase{"class P { method m() -> Number {} } let p := new P(); say p.m()",
                 "/statements/2/arguments/0/inferred_type", "Number"},
        TypeCase{"class P { method m() -> Number {} } let p := new P(); say p.n()",
                 "/statements/2/arguments/0/inferred_type", nullptr},
        // A later declaration of a name wins; for a class, its typed methods replace the
        // earlier declaration's as a whole, and a declaration without any leaves them.
        TypeCase{"{ function f() -> Number {} } function f() -> String {} say f()",
                 "/statements/2/arguments/0/inferred_type", "String"},
        TypeCase{"{ class P { method m() -> Number {} } } class P { method m() -> String {} } "
                 "let p := new P(); say p.m()",
                 "/statements/3/arguments/0/inferred_type", "String"},
        TypeCase{"{ class P { method m() -> Number {} } } class P { method n() -> String {} } "
                 "let p := new P(); say p.m()",
                 "/statements/3/arguments/0/inferred_type", nullptr},
        TypeCase{"{ class P { method m() -> Number {} } } class P { method m() {} } "
                 "let p := new P(); say p.m()",
                 "/statements/3/arguments/0/inferred_type", "Number"},
        TypeCase{"function f() -> Number { return 1 }",
                 "/statements/0/body/statements/0/needs_type_check", 0},
        TypeCase{"function f() -> Number { return \"s\" }",
                 "/statements/0/body/statements/0/needs_type_check", 1},
        TypeCase{"function f() -> Number { return }",
                 "/statements/0/body/statements/0/needs_type_check", 2},
        TypeCase{"function f() -> Number { let g := function () { return 1 }; return 1 }",
                 "/statements/0/body/statements/0/initializer/body/statements/0/needs_type_check",
                 2}));

INSTANTIATE_TEST_SUITE_P(
    Scopes, InferredAnnotation,
    ::testing::Values(
        TypeCase{"let String s := \"a\"; function f(s) { let String t := s }",
                 "/statements/1/body/statements/0/needs_type_check", 2},
        TypeCase{"let String s := \"a\"; function f(s) { say s }",
                 "/statements/1/body/statements/0/arguments/0/inferred_type", nullptr},
        TypeCase{"function f(Number n, m := \"d\") { say n, m }",
                 "/statements/0/body/statements/0/arguments/1/inferred_type", "String"},
        TypeCase{"let x := \"s\"; for (let x in [1]) { say x }",
                 "/statements/1/body/statements/0/arguments/0/inferred_type", nullptr},
        TypeCase{"let x := \"s\"; for ([1]) { say x }",
                 "/statements/1/body/statements/0/arguments/0/inferred_type", "String"},
        TypeCase{"let x := 1; { let x; say x }",
                 "/statements/1/block/statements/1/arguments/0/inferred_type", nullptr},
        TypeCase{"let x := 1; { let x := \"s\" } say x", "/statements/2/arguments/0/inferred_type",
                 "Number"},
        TypeCase{"try {} catch (e) { say e }",
                 "/statements/0/catches/0/body/statements/0/arguments/0/inferred_type",
                 "Exception"},
        TypeCase{"try {} catch (IOError e) { say e }",
                 "/statements/0/catches/0/body/statements/0/arguments/0/inferred_type", "IOError"},
        TypeCase{"let n := 1; if (true) { let n := \"s\" } else { say n }",
                 "/statements/1/else_branch/block/statements/0/arguments/0/inferred_type",
                 "Number"}));

}  // namespace
}  // namespace tolu
