// Constant propagation: the constant scopes against a stack that really is copied, and programs
// optimized with ConstantFolding alone, whose shapes show which uses became literals.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "optimized.h"
#include "optimizer/constant_scopes.h"
#include "tolu/children.h"

namespace tolu::testing {
namespace {

using namespace ast;
using optimizer::Constant;
using optimizer::ConstantScopes;

// ---- The constant scopes -----------------------------------------------------------------------

// The stack as the simple model has it: maps copied whole for every copy.
struct ModelStack {
  std::vector<std::map<std::uint32_t, Constant>> maps{1};

  const Constant* lookup(std::uint32_t name) const {
    for (auto map = maps.rbegin(); map != maps.rend(); ++map) {
      if (auto found = map->find(name); found != map->end()) return &found->second;
    }
    return nullptr;
  }
  void forget(std::uint32_t name) {
    for (auto& map : maps) map.erase(name);
  }
  void forget_all() {
    for (auto& map : maps) map.clear();
  }
};

// One open copy: the guard, and the depth below which it may not pop.
struct OpenCopy {
  std::unique_ptr<ConstantScopes::Copy> guard;
  std::size_t base_depth;
};

TEST(ConstantScopes, ActAsIfEveryCopyCopiedTheWholeStack) {
  Storage storage;
  std::vector<Name> names;
  for (const char* text : {"a", "b", "c", "d", "e", "f"})
    names.push_back(storage.names.intern(text));
  const std::string_view texts[] = {"1", "2", "3"};

  std::mt19937 random(20261208);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int trial = 0; trial < 50; ++trial) {
    ConstantScopes scopes(2);  // smaller than the names: the index grows
    std::vector<ModelStack> models(1);
    std::vector<OpenCopy> copies;
    for (int step = 0; step < 400; ++step) {
      ModelStack& model = models.back();
      const std::size_t floor = copies.empty() ? 1 : copies.back().base_depth;
      const Name name = names[pick(names.size())];
      switch (pick(9)) {
        case 0:
          scopes.push_scope();
          model.maps.emplace_back();
          break;
        case 1:
          if (scopes.depth() > floor) {
            scopes.pop_scope();
            model.maps.pop_back();
          }
          break;
        case 2:
        case 3: {
          const Constant constant{Constant::Kind::Number, texts[pick(3)], false};
          scopes.record_constant(name, constant);
          model.maps.back()[name.id()] = constant;
          break;
        }
        case 4:
          scopes.forget_constant(name);
          model.forget(name.id());
          break;
        case 5:
          if (pick(4) == 0) {
            scopes.forget_all_constants();
            model.forget_all();
          }
          break;
        case 6:
        case 7: {
          const bool own = pick(3) == 0;
          copies.push_back(OpenCopy{
              std::make_unique<ConstantScopes::Copy>(
                  scopes, own ? ConstantScopes::Copy::OwnStack : ConstantScopes::Copy::SameMaps),
              0});
          copies.back().base_depth = scopes.depth();
          models.push_back(own ? ModelStack{} : model);
          break;
        }
        default:
          if (!copies.empty()) {
            copies.pop_back();
            models.pop_back();
          }
          break;
      }
      for (Name each : names) {
        const Constant* got = scopes.lookup_constant(each);
        const Constant* want = models.back().lookup(each.id());
        ASSERT_EQ(got == nullptr, want == nullptr) << "trial " << trial << " step " << step;
        if (got) {
          ASSERT_EQ(*got, *want) << "trial " << trial << " step " << step;
        }
      }
    }
    while (!copies.empty()) copies.pop_back();
  }
}

// ---- Propagation through the front end ----------------------------------------------------

struct ShapeCase {
  const char* source;
  const char* expected;
};

const PassSet kFolding = pass_set({OptimizerPass::ConstantFolding});

void expect_propagated(const std::vector<ShapeCase>& cases, const PassSet& passes = kFolding) {
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(optimized_shape(c.source, passes), c.expected);
  }
}

TEST(Propagation, ReplacesUsesAndFoldsAsItGoes) {
  expect_propagated({
      {"let a := 2; let b := a * 3; say b + 1;", "let a := 2; let b := 6; say 7"},
      {"let s := \"a\"; say s _ \"b\";", "let s := \"a\"; say \"ab\""},
      {"const t := true; const n := null; say t, n",
       "const t := true; const n := null; say true, null"},
      {"let x := 1; x := x + 1; say x;", "let x := 1; (x := 2); say x"},
      {"let x := 1; ++x; say x", "let x := 1; (++ x); say x"},
      {"let x := 1; x++; say x", "let x := 1; (x++); say x"},
      {"let i := 2; a[i] := 5; say a, i", "let i := 2; (a[2] := 5); say a, 2"},
      {"let a := 1; a[0] := 5; say a", "let a := 1; (a[0] := 5); say a"},
      {"let a := 1; a{k} := 5; say a", "let a := 1; (a{k} := 5); say a"},
      {"let n := 3; say `n=${n}`", "let n := 3; say \"n=3\""},
      {"let x := f(); say x", "let x := f(); say x"},
      {"let x := 1; let x := f(); say x", "let x := 1; let x := f(); say x"},
      {"let x; say x", "let x; say x"},
  });
}

TEST(Propagation, DeclarationsForgetTheNamesTheyBindOtherwise) {
  expect_propagated({
      {"let x := 1; let {x} := d; say x", "let x := 1; let {x:x} := d; say x"},
      {"let f := 1; function f() { } say f", "let f := 1; function f() {}; say f"},
      {"let C := 1; class C { } say C", "let C := 1; class C; say C"},
      {"let m := 1; from mod import m; say m", "let m := 1; from mod import m; say m"},
      {"let y := 1; say (let y := f()); say y", "let y := 1; say (let y := f()); say y"},
      {"say (let y := 4); say y", "say (let y := 4); say 4"},
  });
}

TEST(Propagation, ScopesHideAndRestoreOuterConstants) {
  expect_propagated({
      // A declaration that binds no literal forgets the name in every map.
      {"let x := 1; { let x := f(); say x } say x", "let x := 1; {let x := f(); say x}; say x"},
      {"let x := 1; { let x := 2; say x } say x", "let x := 1; {let x := 2; say 2}; say 1"},
      {"{ let x := 2 } say x", "{let x := 2}; say x"},
      {"let x := 1; { x := 2 } say x", "let x := 1; {(x := 2)}; say x"},
  });
}

TEST(Propagation, BranchesAndLoopsForgetWhatTheyMayAssign) {
  expect_propagated({
      {"let x := 1; if (c) { x := 2; } say x;", "let x := 1; if c {(x := 2)}; say x"},
      {"let x := 1; if (c) { say x; } say x;", "let x := 1; if c {say 1}; say 1"},
      {"let x := 1; if (c) { } else { x := 2 } say x;",
       "let x := 1; if c {} else {(x := 2)}; say x"},
      {"let x := 1; if (c) { let y := 2; } say y;", "let x := 1; if c {let y := 2}; say y"},
      {"let x := 1; while (c) { say x; x := 5; } say x",
       "let x := 1; while c {say x; (x := 5)}; say x"},
      {"let x := 1; while (c) { say x; } say x", "let x := 1; while c {say 1}; say 1"},
      {"let x := 1; for (let v in xs) { say x; x := v } say x",
       "let x := 1; for let v in xs {say x; (x := v)}; say x"},
      {"let v := 1; for (let v in xs) { say v }", "let v := 1; for let v in xs {say v}"},
      {"let x := 1; for (let v in xs) { } else { say x; x := 2 } say x",
       "let x := 1; for let v in xs {} else {say 1; (x := 2)}; say x"},
      {"let x := 1; say c ? (x := 2) : x; say x", "let x := 1; say (c ? (x := 2) : 1); say x"},
      {"let x := 1; say true ? x : 0", "let x := 1; say 1"},
      {"let x := 1; say (do { x := 2 }); say x", "let x := 1; say do {(x := 2)}; say x"},
      // A statement modifier "for" is a loop too.
      {"let x := 1; say x for xs", "let x := 1; for const ^^ in xs {say 1}"},
      {"let x := 1; x := x + 1 for xs; say x",
       "let x := 1; for const ^^ in xs {(x := (x + 1))}; say x"},
      // An inner loop starts without what the outer loop assigns after it.
      {"let x := 1; while (c) { while (d) { say x } x := 2 }",
       "let x := 1; while c {while d {say x}; (x := 2)}"},
      {"let n := 0; while (n < 3) { n := n + 1 }", "let n := 0; while (n < 3) {(n := (n + 1))}"},
  });
}

TEST(Propagation, SwitchCasesStartWithoutWhatAnyCaseAssigns) {
  expect_propagated({
      {"let x := 1; switch (x) { case 1: say x; case 2: x := 3 } say x",
       "let x := 1; switch 1 { case 1: say x; case 2: (x := 3); }; say x"},
      {"let x := 1; switch (d) { case x: say x; default: say x } say x",
       "let x := 1; switch d { case 1: say 1; default: say 1; }; say 1"},
      {"let x := 1; switch (d) { case 1: let x := 2; say x; } say x",
       "let x := 1; switch d { case 1: let x := 2; say 2; }; say 1"},
  });
}

TEST(Propagation, FunctionsAndEvalForgetWhatTheyMayAssign) {
  expect_propagated({
      {"let x := 1; function f() { x := 2; } say x;", "let x := 1; function f() {(x := 2)}; say x"},
      {"let x := 1; function f() { say x; } say x;", "let x := 1; function f() {say x}; say 1"},
      {"let x := 1; let f := fn() -> x := 2; say x",
       "let x := 1; let f := fn() -> (x := 2); say x"},
      {"let x := 1; let f := function () { x := 2 }; say x",
       "let x := 1; let f := function() {(x := 2)}; say x"},
      {"let x := 1; eval(\"x := 2\"); say x;", "let x := 1; eval(\"x := 2\"); say x"},
      {"let x := 1; { let y := 2; eval(s); say y } say x",
       "let x := 1; {let y := 2; eval(s); say y}; say x"},
      {"let eval := 1; eval(x); say eval", "let eval := 1; 1(x); say eval"},
  });
}

TEST(Propagation, TargetsStayAsWritten) {
  expect_propagated({
      {"let x := 1; x += 2; say x", "let x := 1; (x += 2); say x"},
      {"let x := 1; let i := 0; x[i]++; say x, i", "let x := 1; let i := 0; (x[0]++); say x, 0"},
      {"let s := \"ab\"; let p := \"a\"; s ~= p -> \"b\"; say s, p",
       "let s := \"ab\"; let p := \"a\"; (s ~= (\"a\" -> \"b\")); say s, \"a\""},
  });
}

// What every say statement prints and every field initializer holds, wherever they stand (the
// shapes of classes and try expressions leave their bodies out), in source order.
class Said {
 public:
  explicit Said(std::string_view source) {
    const Program program = optimized(source, kFolding);
    walk(program);
  }
  const std::string& text() const { return text_; }

 private:
  template <class Node>
  void walk(const Node& node) {
    for_each_child(node, Overloads{[&](const Expression& e) { walk(e); },
                                   [&](const Statement& s) {
                                     if (const auto* output = s.as<Output>()) {
                                       for (const Expression& e : output->arguments) add(e);
                                     }
                                     walk(s);
                                   },
                                   [&](const FieldDeclaration& field) {
                                     if (field.initializer) add(*field.initializer);
                                   }});
  }
  void add(const Expression& e) { text_ += (text_.empty() ? "" : ", ") + shape(e); }

  std::string text_;
};

void expect_said(const std::vector<ShapeCase>& cases) {
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(Said(c.source).text(), c.expected);
  }
}

TEST(Propagation, ClassesKeepOuterConstantsOutOfFieldInitializers) {
  expect_said({
      {"let k := 1; class C { let x := k; } say k", "k, 1"},
      {"class C { let x := 1 + 2; let y := x; }", "3, x"},
      {"class C { let x := (let y := 2); let z := y; }", "(let y := 2), y"},
      {"let k := 1; class C { class D { let x := k; } }", "k"},
  });
}

// ---- What propagation must not take for granted ----------------------------------------------

// Each program prints something else at some point of its run when the constant is used.
TEST(Propagation, ScansReachEveryPartOfTheCode) {
  expect_propagated({
      // An assignment in a condition inside the loop body.
      {"let x := 1; while (c) { say x; if ((x := x + 1) > 3) { } }",
       "let x := 1; while c {say x; if ((x := (x + 1)) > 3) {}}"},
      // The loop's own condition, before the body and after the loop.
      {"let x := 5; while ((x := x - 1) > 0) { say x } say x",
       "let x := 5; while ((x := (x - 1)) > 0) {say x}; say x"},
      // A for iterable, a switch discriminant and a case value inside the loop body.
      {"let x := 1; while (c) { say x; for (let v in (x := 2)) { } }",
       "let x := 1; while c {say x; for let v in (x := 2) {}}"},
      {"let x := 1; while (c) { say x; switch (x := 2) { } }",
       "let x := 1; while c {say x; switch (x := 2) { }}"},
      {"let x := 1; while (c) { say x; switch (d) { case (x := 2): say 0 } }",
       "let x := 1; while c {say x; switch d { case (x := 2): say 0; }}"},
      // Declaration initializers and defaults.
      {"let x := 1; while (c) { say x; let y := (x := 2); }",
       "let x := 1; while c {say x; let y := (x := 2)}"},
      {"let x := 1; while (c) { say x; let {y := (x := 2)} := d; }",
       "let x := 1; while c {say x; let {y:y := (x := 2)} := d}"},
      {"let x := 1; while (c) { say x; function g(p := (x := 2)) { } g() }",
       "let x := 1; while c {say x; function g(p := (x := 2)) {}; g()}"},
      {"let x := 1; function g(p := (x := 2)) { } g(); say x",
       "let x := 1; function g(p := (x := 2)) {}; g(); say x"},
      // Function, lambda and method bodies met inside.
      {"let x := 1; while (c) { say x; function g() { x := 2 } g() }",
       "let x := 1; while c {say x; function g() {(x := 2)}; g()}"},
      {"let x := 1; while (c) { say x; h(fn() -> x := 2) }",
       "let x := 1; while c {say x; h(fn() -> (x := 2))}"},
      {"let x := 1; while (c) { say x; class K { method m() { x := 2 } } K.new().m() }",
       "let x := 1; while c {say x; class K; K.new().m()}"},
      // The replacement of "~=", which propagation leaves untouched.
      {"let x := 1; while (c) { say x; s ~= /a/ -> (x := 2) }",
       "let x := 1; while c {say x; (s ~= (/a/ -> (x := 2)))}"},
      {"let x := 1; s ~= /a/ -> (x := 2); say x", "let x := 1; (s ~= (/a/ -> (x := 2))); say x"},
      // The sub-expressions of a target.
      {"let x := 1; while (c) { say x; a[x := 2] := 0 }",
       "let x := 1; while c {say x; (a[(x := 2)] := 0)}"},
  });
}

TEST(Propagation, AScanThatMeetsEvalForgetsEverything) {
  expect_propagated({
      {"let x := 1; while (c) { say x; eval(s) }", "let x := 1; while c {say x; eval(s)}"},
      {"let x := 1; if (c) { eval(s) } say x", "let x := 1; if c {eval(s)}; say x"},
      {"let x := 1; function g() { eval(s) } say x", "let x := 1; function g() {eval(s)}; say x"},
  });
}

TEST(Propagation, AClassForgetsWhatItsMethodsAndFieldsAssign) {
  expect_said({
      {"let x := 1; class C { method m() { x := 2 } } C.new().m(); say x", "x"},
      {"let x := 1; class C { let f := (x := 2); } C.new(); say x", "(x := 2), x"},
      {"let x := 1; trait T { method m() { x := 2 } } say x", "x"},
      {"let x := 1; class C { class D { method m() { x := 2 } } } say x", "x"},
      {"let x := 1; class C { method m(p := (x := 2)) { } } say x", "x"},
      // Method bodies are not visited: they run later, when anything may have changed.
      {"let x := 1; class C { method m() { say x } } say x", "x, 1"},
  });
}

TEST(Propagation, ACatchBodyStartsWithoutWhatTheTryBodyAssigns) {
  expect_propagated({
      {"let x := 1; try { x := 2; f() } catch (e) { say x }",
       "let x := 1; try {(x := 2); f()} catch(e) {say x}"},
      {"let x := 1; try { f() } catch (e) { say x } say x",
       "let x := 1; try {f()} catch(e) {say 1}; say 1"},
      {"let e := 1; try { f() } catch (e) { say e }", "let e := 1; try {f()} catch(e) {say e}"},
  });
  expect_said({
      {"let x := 1; say try { x := 2; f() } catch (e) { say x }", "try {(x := 2); f()} catch*1, x"},
      {"let x := 1; say try { say x; f() } catch (e) { say x } catch (e) { say x }",
       "try {say 1; f()} catch*2, 1, 1, 1"},
      {"let x := 1; say try { f() } catch (e) { x := 2 } catch (e) { say x }; say x",
       "try {f()} catch*2, 1, x"},
  });
}

TEST(Propagation, AModifierConditionRunsBeforeItsStatement) {
  expect_propagated({
      {"let x := 1; say x if (x := 2)", "let x := 1; say x if (x := 2)"},
      {"let x := 1; say x unless (x := 0)", "let x := 1; say x unless (x := 0)"},
      {"let x := 1; say x if c; say x", "let x := 1; say 1 if c; say 1"},
      {"let x := 1; x := 2 if c; say x", "let x := 1; (x := 2) if c; say x"},
      // The statement may not run: what it declares is not known after it.
      {"let y := 1; { say (let y := 3) if c; say y }",
       "let y := 1; {say (let y := 3) if c; say y}"},
  });
}

TEST(Propagation, APathTargetKeepsItsBase) {
  expect_propagated({
      {"let a := 1; a @@ p := 2; say a", "let a := 1; ((a @@ p) := 2); say a"},
      {"let a := 1; a @ p := 2; say a", "let a := 1; ((a @ p) := 2); say a"},
      {"let a := 1; a @? p := 2; say a", "let a := 1; ((a @? p) := 2); say a"},
      {"let a := 1; (++ (a @@ p)); say a", "let a := 1; (++ (a @@ p)); say a"},
      {"let a := 1; ((a @@ p)--); say a", "let a := 1; ((a @@ p)--); say a"},
      {"let a := 1; let p := 2; (a @@ p) := 3; say p",
       "let a := 1; let p := 2; ((a @@ 2) := 3); say 2"},
      {"let a := 1; say a @@ p", "let a := 1; say (1 @@ p)"},
  });
}

TEST(Propagation, AReferenceForgetsItsVariable) {
  expect_propagated({
      {"let x := 1; let r := (\\ x); say x", "let x := 1; let r := (\\ x); say x"},
      {"let x := 1; let r := (\\ x[0]); say x", "let x := 1; let r := (\\ x[0]); say x"},
  });
}

TEST(Propagation, ASpawnedTaskSeesNoOuterConstant) {
  expect_propagated({
      {"let x := 1; let t := spawn { say x }; x := 2",
       "let x := 1; let t := spawn {say x}; (x := 2)"},
      {"let t := spawn { let y := 1; say y }", "let t := spawn {let y := 1; say 1}"},
      {"let x := 1; let t := spawn { x := 2 }; say x",
       "let x := 1; let t := spawn {(x := 2)}; say x"},
      {"let x := 1; say (do { say x }); say (await { say x })",
       "let x := 1; say do {say 1}; say await {say 1}"},
  });
}

// Operands, defaults and case values that may not run: what they declare is not known after
// them.
TEST(Propagation, CodeThatMayNotRunActsAsABranch) {
  expect_propagated({
      {"let y := 1; { c and (let y := 2); say y }", "let y := 1; {(c and (let y := 2)); say y}"},
      {"let y := 1; { c ?: (let y := 2); say y }", "let y := 1; {(c ?: (let y := 2)); say y}"},
      {"let x := 1; say c or x", "let x := 1; say (c or 1)"},
      {"let x := 1; c and (x := 2); say x", "let x := 1; (c and (x := 2)); say x"},
      {"{ let {a := (let y := 2)} := d; say y }", "{let {a:a := (let y := 2)} := d; say y}"},
      {"{ switch (d) { case 1: say 0; case (let y := 2): say 1 } say y }",
       "{switch d { case 1: say 0; case (let y := 2): say 1; }; say y}"},
  });
}

// A case value runs before its body: a body starts without what the values assign.
TEST(Propagation, CaseValuesRunBeforeTheirBodies) {
  expect_propagated({
      {"let x := 1; switch (d) { case (x := 2): say x }",
       "let x := 1; switch d { case (x := 2): say x; }"},
      {"let y := 1; switch (d) { case (let y := f()): say y }",
       "let y := 1; switch d { case (let y := f()): say y; }"},
      {"let x := 1; switch (d) { case (x := 2): say 0; case x: say 1 }",
       "let x := 1; switch d { case (x := 2): say 0; case x: say 1; }"},
  });
}

// ---- The driver ------------------------------------------------------------------------------

TEST(Propagation, RunsOnlyUnderConstantFolding) {
  expect_propagated({{"let x := 1; say x", "let x := 1; say x"}},
                    pass_set({OptimizerPass::ConstantConditions}));
}

}  // namespace
}  // namespace tolu::testing
