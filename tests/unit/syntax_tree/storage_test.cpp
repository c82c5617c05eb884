// How a tree lives in its storage: copies are explicit and independent, moves keep every node in
// place, names are interned once per tree, and a storage can be reused for the next tree.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "parser/parser.h"
#include "syntax_tree/json.h"
#include "tolu/builder.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"
#include "tolu/printers.h"

namespace tolu {
namespace {

using namespace ast;

constexpr const char* kSource = R"(let x := 1;
function f(a, Number b := x) -> Number { return a + b * x; }
class C with T { let Number v with get := f(x, 2); method m(z) { return `z=${z}`; } }
switch (x) { case 1, 2: say x; default: say f(x, x); }
say {k: [x, 'b', /r${x}/g]}, x ?: 2, try { 1; } catch (String e) { e; };
)";

Program parse(std::string_view source, std::unique_ptr<Storage> storage = nullptr) {
  auto result = parse_program_text(source, std::string("t.tos"), &storage);
  EXPECT_TRUE(result);
  return std::move(result).value();
}

std::string json(const Program& program) {
  return to_json(program).dump();
}

// The first statement's initializer: `1` in `let x := 1`.
Expression& first_initializer(Program& program) {
  return *program.statements[0].as<VariableDeclaration>()->initializer;
}

TEST(Storage, ACloneIsEqualIndependentAndOutlivesItsOriginal) {
  auto original = std::make_unique<Program>(parse(kSource));
  const std::string printed = json(*original);
  Program copy = clone(*original);
  EXPECT_EQ(copy, *original);
  EXPECT_NE(copy.storage.get(), original->storage.get());

  // The copy's names are its own table's, not the original's.
  const Name copied = copy.statements[0].as<VariableDeclaration>()->name;
  EXPECT_EQ(copied.table(), &copy.storage->names);
  EXPECT_EQ(copied, original->statements[0].as<VariableDeclaration>()->name);  // by text

  // Changing the copy leaves the original alone.
  const Builder builder(*copy.storage);
  builder.set_inferred_type(first_initializer(copy), builder.shared("Text"));
  copy.statements[1].as<FunctionDeclaration>()->body.statements = {};
  EXPECT_NE(copy, *original);
  EXPECT_EQ(json(*original), printed);

  // A fresh copy, then the original gone: the copy prints as the original did.
  Program second = clone(*original);
  original.reset();
  EXPECT_EQ(json(second), printed);
}

TEST(Storage, CloningASubtreeIntoTheSameTreeGivesSeparateNodes) {
  Program program = parse(kSource);
  const Builder builder(*program.storage);
  const Statement& function = program.statements[1];
  Statement copy = clone(function, builder);
  EXPECT_EQ(copy, function);
  EXPECT_NE(copy.data(), function.data());
  // Names stay interned in the one table, so the copy shares them.
  EXPECT_EQ(copy.as<FunctionDeclaration>()->name.data(),
            function.as<FunctionDeclaration>()->name.data());
  copy.as<FunctionDeclaration>()->parameters = {};
  EXPECT_EQ(function.as<FunctionDeclaration>()->parameters.size(), 2u);
}

TEST(Storage, MovingARootKeepsEveryNodeInPlace) {
  Program program = parse(kSource);
  const ExpressionData* node = first_initializer(program).data();
  const std::string printed = json(program);
  Program moved = std::move(program);
  EXPECT_EQ(first_initializer(moved).data(), node);
  EXPECT_EQ(json(moved), printed);

  auto expression = parse_expression_with_source_file("f(x) + [x, `${x}`]", std::nullopt);
  ASSERT_TRUE(expression);
  ExpressionTree tree = std::move(expression).value();
  const std::string expression_json = to_json(tree).dump();
  ExpressionTree kept = std::move(tree);
  EXPECT_TRUE(kept.is<BinaryExpression>());
  EXPECT_EQ(to_json(kept).dump(), expression_json);
}

TEST(Storage, InternsEachNameAndTheSourceFileOncePerTree) {
  Program program = parse("let x := 1; say x + x; say x;");
  const auto& declaration = *program.statements[0].as<VariableDeclaration>();
  const auto& sum = *program.statements[1].as<Output>()->arguments[0].as<BinaryExpression>();
  const auto& left = *sum.left.as<Identifier>();
  const auto& right = *sum.right.as<Identifier>();
  EXPECT_EQ(left.name.data(), declaration.name.data());
  EXPECT_EQ(right.name.data(), declaration.name.data());
  EXPECT_EQ(sum.left.source_file().name().data(), declaration.source_file.name().data());
  EXPECT_EQ(*sum.left.source_file(), "t.tos");
  // After inference, expressions of one type share one name.
  auto inferred = parse_program("let a := 1; let b := 2;");
  ASSERT_TRUE(inferred);
  const auto type_of = [&](int i) {
    return inferred.value().statements[i].as<VariableDeclaration>()->initializer->inferred_type();
  };
  ASSERT_TRUE(type_of(0));
  EXPECT_EQ(type_of(0).name().data(), type_of(1).name().data());
}

TEST(Storage, AReusedStorageKeepsItsMemoryAndGivesTheSameTree) {
  Program first = parse(kSource);
  const std::string printed = json(first);
  std::unique_ptr<Storage> storage = std::move(first.storage);
  const std::size_t reserved = storage->arena.bytes_reserved();
  const std::size_t chunks = storage->arena.chunk_count();
  ASSERT_GT(reserved, 0u);

  Program second = parse(kSource, std::move(storage));
  EXPECT_EQ(json(second), printed);
  EXPECT_EQ(second.storage->arena.bytes_reserved(), reserved);
  EXPECT_EQ(second.storage->arena.chunk_count(), chunks);
  // Names were entered afresh: the ids are those of a fresh tree.
  const Program fresh = parse(kSource);
  EXPECT_EQ(second.storage->names.id_limit(), fresh.storage->names.id_limit());
  EXPECT_EQ(second.statements[0].as<VariableDeclaration>()->name.id(),
            fresh.statements[0].as<VariableDeclaration>()->name.id());
}

TEST(Storage, AFailedParseLeavesTheReusedStorageWithTheCaller) {
  std::unique_ptr<Storage> storage = parse(kSource).storage;
  const Storage* kept = storage.get();
  EXPECT_FALSE(parse_program_text("let = 1", std::nullopt, &storage));  // a syntax error
  EXPECT_EQ(storage.get(), kept);
  EXPECT_FALSE(parse_program_with_compile_options_and_source_file("say nope", CompileOptions{},
                                                                  std::nullopt, &storage));
  EXPECT_EQ(storage.get(), kept);  // a validation error
  const Program again = parse(kSource, std::move(storage));
  EXPECT_EQ(again.storage.get(), kept);
  EXPECT_EQ(json(again), json(parse(kSource)));
}

TEST(Storage, AnEmptySourceFileNameIsKeptApartFromNone) {
  Program named = parse("say 1;");
  auto empty_name = parse_program_text("say 1;", std::string(""));
  auto no_name = parse_program_text("say 1;", std::nullopt);
  ASSERT_TRUE(empty_name && no_name);
  EXPECT_TRUE(empty_name.value().source_file.has_value());
  EXPECT_EQ(*empty_name.value().source_file, "");
  EXPECT_FALSE(no_name.value().source_file.has_value());
  EXPECT_NE(empty_name.value(), no_name.value());
  EXPECT_NE(empty_name.value(), named);
  // A copy keeps the difference.
  EXPECT_EQ(clone(empty_name.value()), empty_name.value());
  EXPECT_TRUE(clone(empty_name.value()).source_file.has_value());
  EXPECT_NE(to_json(clone(empty_name.value())).dump().find("\"source_file\":\"\""),
            std::string::npos);
}

// An expression node points at its (file, type) pair, kept once per storage. Pairs are found
// through a small cache keyed by the names' identities; whatever the order of the requests, the
// number of types (more than the cache holds), the table the names come from or a clear() in
// between, each request gives the one pair of this storage that equals it.
TEST(Storage, KeepsOneCopyOfEachFileAndTypePair) {
  Storage storage;
  const Builder b(storage);
  const SourceFile files[] = {SourceFile(), b.shared("a.tos"), b.shared("b.tos"), b.shared("")};
  std::vector<TypeName> types = {TypeName(), b.shared("")};
  for (int i = 0; i < 80; ++i) types.push_back(b.shared(std::string_view("T" + std::to_string(i))));

  std::map<std::pair<std::string, std::string>, const ExpressionNotes*> seen;
  const auto key = [](const SharedName& name) { return name ? "=" + std::string(*name) : "-"; };
  const auto check = [&](NotesTable& notes, const SourceFile& file, const TypeName& type) {
    const ExpressionNotes* pair = notes.find_or_add(file, type);
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->source_file, file);
    EXPECT_EQ(pair->inferred_type, type);
    if (pair->source_file) {
      EXPECT_EQ(pair->source_file.name().table(), &storage.names);
    }
    if (pair->inferred_type) {
      EXPECT_EQ(pair->inferred_type.name().table(), &storage.names);
    }
    const auto [it, added] = seen.try_emplace({key(file), key(type)}, pair);
    EXPECT_EQ(it->second, pair) << key(file) << " " << key(type);
  };
  for (int round = 0; round < 2; ++round) {
    for (const SourceFile& file : files) {
      for (const TypeName& type : types) check(storage.notes, file, type);
    }
    for (std::size_t i = types.size(); i-- > 0;) check(storage.notes, files[i % 4], types[i]);
  }
  EXPECT_EQ(seen.size(), 4 * types.size());

  // Names of another storage give this storage's pairs, before and after that storage is gone.
  {
    Storage other;
    const Builder o(other);
    check(storage.notes, o.shared("a.tos"), o.shared("T7"));
    check(storage.notes, o.shared("a.tos"), o.shared("new type"));
  }
  check(storage.notes, files[1], types[9]);

  // After a clear(), pairs are made afresh in the reset arena.
  storage.clear();
  seen.clear();
  const Builder fresh(storage);
  check(storage.notes, fresh.shared("a.tos"), fresh.shared("T1"));
  check(storage.notes, fresh.shared("a.tos"), TypeName());
  check(storage.notes, fresh.shared("a.tos"), fresh.shared("T1"));
  EXPECT_EQ(seen.size(), 2u);
}

// A node keeps the number of its file-and-type pair in 24 bits; the pairs beyond the numbered
// ones are found by the node. A storage that numbers only a few gives the same annotated tree,
// the same clones and the same reuse as one that numbers them all.
TEST(Storage, PairsBeyondTheNumberedOnesAreFoundByTheirNode) {
  const auto analyse = [](std::unique_ptr<Storage>& storage) {
    auto result = parse_program_with_compile_options_and_source_file(kSource, CompileOptions{},
                                                                     "t.tos", &storage);
    EXPECT_TRUE(result);
    return std::move(result).value();
  };
  auto roomy = std::make_unique<Storage>();
  const Program expected = analyse(roomy);
  for (const std::uint32_t numbered : {0u, 1u, 3u}) {
    SCOPED_TRACE(numbered);
    auto storage = std::make_unique<Storage>(Arena::kDefaultFirstChunk, numbered);
    for (int round = 0; round < 2; ++round) {
      Program program = analyse(storage);
      EXPECT_EQ(json(program), json(expected));
      EXPECT_EQ(program, expected);
      // A type set afresh on a node whose pair was found aside, and on a node of a clone.
      Expression& one = first_initializer(program);
      const Builder b(*program.storage);
      b.set_inferred_type(one, b.shared("Changed"));
      EXPECT_EQ(one.inferred_type(), "Changed");
      EXPECT_EQ(one.source_file(), "t.tos");
      const Program copy = clone(program);
      EXPECT_EQ(copy, program);
      storage = std::move(program.storage);
    }
  }
}

// A capacity hint keeps its 64 bits in two halves beside the list's length: every value comes
// back whole, an absent one is told from zero, and cloning or printing keeps it.
TEST(Storage, ACapacityHintKeepsEverySixtyFourBitValue) {
  for (const std::uint64_t value :
       {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{UINT32_MAX}, std::uint64_t{1} << 32,
        (std::uint64_t{1} << 63) + 5, std::uint64_t{UINT64_MAX}}) {
    Program program = parse("say [1, 2];");
    auto& literal = *program.statements[0].as<Output>()->arguments[0].as<ArrayLiteral>();
    EXPECT_EQ(literal.capacity_hint, std::nullopt);
    EXPECT_NE(literal.capacity_hint, OptionalCount(0));
    literal.capacity_hint = value;
    EXPECT_EQ(literal.capacity_hint, value);
    EXPECT_EQ(literal.capacity_hint.value(), value);
    EXPECT_EQ(std::optional<std::uint64_t>(literal.capacity_hint), value);
    EXPECT_NE(json(program).find("\"capacity_hint\":" + std::to_string(value)), std::string::npos);
    Storage other;
    const Statement copy = clone(program.statements[0], Builder(other));
    EXPECT_EQ(copy.as<Output>()->arguments[0].as<ArrayLiteral>()->capacity_hint, value);
    literal.capacity_hint.reset();
    EXPECT_FALSE(literal.capacity_hint.has_value());
    EXPECT_THROW((void)literal.capacity_hint.value(), std::bad_optional_access);
  }
}

// A scope depth is kept in 32 bits: every depth below 2^32 - 1 comes back whole, an absent one
// is told from zero, and a larger one is refused rather than wrapped.
TEST(Storage, AScopeDepthKeepsThirtyTwoBitsAndRefusesMore) {
  Program program = parse("say x;");
  auto& identifier = *program.statements[0].as<Output>()->arguments[0].as<Identifier>();
  EXPECT_EQ(identifier.resolved_depth, std::nullopt);
  for (const std::uint64_t depth :
       {std::uint64_t{0}, std::uint64_t{7}, std::uint64_t{UINT32_MAX - 1}}) {
    identifier.resolved_depth = depth;
    EXPECT_EQ(identifier.resolved_depth, depth);
    EXPECT_NE(json(program).find("\"resolved_depth\":" + std::to_string(depth)), std::string::npos);
  }
  for (const std::uint64_t depth : {std::uint64_t{UINT32_MAX}, std::uint64_t{UINT64_MAX}}) {
    EXPECT_THROW(identifier.resolved_depth = depth, std::length_error);
  }
  EXPECT_EQ(identifier.resolved_depth, UINT32_MAX - 1);
  identifier.resolved_depth.reset();
  EXPECT_FALSE(identifier.resolved_depth);
}

// An optional child or name is the handle alone: an empty handle, or a Name that is not present,
// reads as none, and the rest reads as std::optional does. Absent and present optionals print,
// compare and clone as they did.
TEST(Storage, AnOptionalHandleReadsAsStdOptional) {
  Storage storage;
  const Builder b(storage);
  Optional<Expression> none;
  Optional<Expression> one = b.expression(NumberLiteral{"1"}, 1, SourceFile());
  Optional<Expression> other_one = b.expression(NumberLiteral{"1"}, 1, SourceFile());
  Optional<Expression> from_std = std::optional<Expression>();
  EXPECT_EQ(sizeof none, sizeof(Expression));
  EXPECT_FALSE(none);
  EXPECT_EQ(none, std::nullopt);
  EXPECT_EQ(none, from_std);
  EXPECT_THROW((void)none.value(), std::bad_optional_access);
  ASSERT_TRUE(one);
  EXPECT_TRUE(one->is<NumberLiteral>());
  EXPECT_EQ(one, other_one);  // by value, as std::optional compares
  EXPECT_NE(one, none);
  one.reset();
  EXPECT_EQ(one, none);

  // Names: an absent Name is none; an empty one from optional_name is present.
  const struct {
    std::optional<std::string> text;
    bool present;
  } names[] = {{std::nullopt, false}, {"", true}, {"Number", true}};
  for (const auto& n : names) {
    const OptionalType type = b.optional_name(n.text);
    EXPECT_EQ(type.has_value(), n.present) << n.text.value_or("(none)");
    if (n.present) {
      EXPECT_EQ(type, *n.text);
    }
  }
  EXPECT_FALSE(OptionalType(Name()));

  // A declaration without and with its optionals, through JSON and clone.
  Program program = parse("let a; let Number b := 2; return; return a;");
  const std::string printed = json(program);
  EXPECT_NE(printed.find(R"("type_annotation":null)"), std::string::npos);
  EXPECT_NE(printed.find(R"("type_annotation":"Number")"), std::string::npos);
  const Program copy = clone(program);
  EXPECT_EQ(copy, program);
  EXPECT_EQ(json(copy), printed);
  EXPECT_FALSE(program.statements[2].as<Return>()->value);
  EXPECT_TRUE(program.statements[3].as<Return>()->value);
}

}  // namespace
}  // namespace tolu
