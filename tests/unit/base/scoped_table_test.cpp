#include "base/scoped_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tolu/name.h"

namespace tolu {
namespace {

// The same cases run over both indexes: hashed text and interned names.
template <class Key>
struct Keys;

template <>
struct Keys<std::string_view> {
  std::vector<std::unique_ptr<std::string>> kept;
  std::string_view operator()(std::string_view text) {
    kept.push_back(std::make_unique<std::string>(text));  // views must outlive the table
    return *kept.back();
  }
};

template <>
struct Keys<Name> {
  Arena arena{256};
  NameTable names{arena};
  Name operator()(std::string_view text) { return names.intern(text); }
};

template <class Table>
class ScopedTableTest : public ::testing::Test {
 protected:
  // What `name` resolves to, and in which scope, as "value@scope" or "-".
  std::string resolve(std::string_view name) {
    const auto [value, scope] = table.find(key(name));
    return value ? std::to_string(*value) + "@" + std::to_string(scope) : "-";
  }

  Keys<typename Table::key_type> key;
  Table table;
};

using TableTypes = ::testing::Types<ScopedTable<int, std::string_view>, ScopedTable<int, Name>>;
TYPED_TEST_SUITE(ScopedTableTest, TableTypes);

// A binding's scope is found from where the scopes start: scopes opened with nothing bound in
// the scope around them start at the same entry, and a binding belongs to the innermost of them;
// one made in an outer scope after an inner one closed belongs to the outer.
TYPED_TEST(ScopedTableTest, FindsTheScopeOfABindingAmongScopesThatStartTogether) {
  auto& table = this->table;
  auto& key = this->key;
  table.push_scope();
  table.push_scope();
  table.push_scope();  // scopes 0, 1 and 2 all start at the first entry
  EXPECT_TRUE(table.declare(key("a"), 1));
  EXPECT_EQ(this->resolve("a"), "1@2");
  table.push_scope();
  table.push_scope();
  EXPECT_TRUE(table.declare(key("b"), 2));
  EXPECT_EQ(this->resolve("b"), "2@4");
  EXPECT_EQ(table.find_innermost(key("a")), nullptr);
  table.pop_scope();
  table.pop_scope();
  EXPECT_TRUE(table.declare(key("c"), 3));  // scope 2 again
  EXPECT_FALSE(table.declare(key("a"), 4));
  EXPECT_EQ(this->resolve("c"), "3@2");
  table.pop_scope();
  EXPECT_TRUE(table.declare(key("d"), 5));  // scope 1, after the entries of scope 2 are gone
  EXPECT_EQ(this->resolve("d"), "5@1");
  EXPECT_EQ(this->resolve("a"), "-");
  ASSERT_NE(table.find_value(key("d")), nullptr);
  EXPECT_EQ(*table.find_value(key("d")), 5);
  EXPECT_EQ(table.find_value(key("a")), nullptr);
}

TYPED_TEST(ScopedTableTest, ShadowsAndRestoresAcrossScopes) {
  auto& table = this->table;
  auto& key = this->key;
  table.push_scope();
  EXPECT_TRUE(table.declare(key("a"), 1));
  EXPECT_FALSE(table.declare(key("a"), 2));  // the first binding stays
  EXPECT_EQ(this->resolve("a"), "1@0");

  table.push_scope();
  EXPECT_EQ(table.find_innermost(key("a")), nullptr);
  EXPECT_TRUE(table.declare(key("a"), 3));
  table.assign(key("b"), 4);
  table.assign(key("b"), 5);  // rebinds in the same scope
  EXPECT_EQ(this->resolve("a"), "3@1");
  EXPECT_EQ(this->resolve("b"), "5@1");

  table.push_scope();
  table.assign(key("a"), 6);
  EXPECT_EQ(this->resolve("a"), "6@2");
  table.pop_scope();
  EXPECT_EQ(this->resolve("a"), "3@1");

  table.pop_scope();
  EXPECT_EQ(this->resolve("a"), "1@0");
  EXPECT_EQ(this->resolve("b"), "-");
  EXPECT_EQ(this->resolve("c"), "-");

  // A name seen before and gone again binds afresh.
  table.push_scope();
  EXPECT_TRUE(table.declare(key("b"), 7));
  EXPECT_EQ(this->resolve("b"), "7@1");
}

TYPED_TEST(ScopedTableTest, KeepsBindingsThroughManyNamesAndDeepScopes) {
  auto& table = this->table;
  table.push_scope();
  std::vector<std::string> names;
  for (int i = 0; i < 5000; ++i) names.push_back("n" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) ASSERT_TRUE(table.declare(this->key(names[i]), i));
  for (int depth = 1; depth <= 100; ++depth) {
    table.push_scope();
    table.assign(this->key(names[depth]), -depth);
  }
  EXPECT_EQ(this->resolve("n50"), "-50@50");
  EXPECT_EQ(this->resolve("n4999"), "4999@0");
  for (int depth = 100; depth >= 1; --depth) table.pop_scope();
  for (int i = 0; i < 5000; i += 499) {
    EXPECT_EQ(this->resolve(names[i]), std::to_string(i) + "@0");
  }
}

// Whether the table was sized ahead (too little, or more than enough, before the first binding or
// between bindings) or grows on its own, and however far it grows (past the size from which its
// buffers are mapped for huge pages), no binding is lost.
TEST(ScopedTable, NamesEnteredAfterBindingsGrowTheIndexWithoutLosingThem) {
  struct Sizing {
    std::size_t before, midway;  // reserve() before the first binding and after the first 500
    int later;                   // names bound in the inner scope
  };
  for (const Sizing sizing : {Sizing{0, 0, 1000}, Sizing{10, 0, 1000}, Sizing{5000, 0, 1000},
                              Sizing{0, 3000, 1000}, Sizing{0, 0, 200000}}) {
    SCOPED_TRACE(std::to_string(sizing.before) + " " + std::to_string(sizing.midway) + " " +
                 std::to_string(sizing.later));
    Arena arena(256);
    NameTable names(arena);
    ScopedTable<int, Name> table;
    table.reserve(sizing.before);
    table.push_scope();
    const Name first = names.intern("first");
    table.declare(first, 1);
    table.push_scope();
    // Later names have larger ids than the index has slots yet.
    for (int i = 0; i < sizing.later; ++i) {
      if (i == 500) table.reserve(sizing.midway);
      table.declare(names.intern("later" + std::to_string(i)), i);
    }
    const Name last = names.find("later" + std::to_string(sizing.later - 1));
    EXPECT_EQ(*table.find(first).first, 1);
    EXPECT_EQ(*table.find(names.find("later499")).first, 499);
    EXPECT_EQ(*table.find(last).first, sizing.later - 1);
    EXPECT_EQ(table.find(last).second, 1u);
    table.pop_scope();
    EXPECT_EQ(table.find(last).first, nullptr);
    EXPECT_EQ(*table.find(first).first, 1);
    // The empty name and names the table never saw find nothing.
    EXPECT_EQ(table.find(Name()).first, nullptr);
    EXPECT_EQ(table.find(names.intern("unseen")).first, nullptr);
  }
}

// A repeated name is found at its second place whether the names are compared pairwise (a few)
// or through the table (more), and the table is left as it was either way.
TEST(ScopedTable, FindsTheFirstRepeatedNamePairwiseOrThroughTheTable) {
  struct Case {
    std::size_t count;
    std::vector<std::pair<std::size_t, std::size_t>> repeats;  // name j is name i, for (i, j)
    std::size_t expected;
  };
  const std::vector<Case> cases = {{0, {}, 0},
                                   {1, {}, 1},
                                   {2, {{0, 1}}, 1},
                                   {8, {}, 8},
                                   {8, {{0, 7}}, 7},
                                   {8, {{6, 7}}, 7},
                                   {8, {{2, 5}, {0, 3}}, 3},
                                   {9, {}, 9},
                                   {9, {{0, 8}}, 8},
                                   {9, {{3, 4}}, 4},
                                   {40, {{10, 30}, {5, 20}}, 20},
                                   {40, {{39, 39}}, 40}};
  for (const std::size_t reserved : {std::size_t{0}, std::size_t{1000}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.count) + " names, index for " + std::to_string(reserved));
      Arena arena(256);
      NameTable names(arena);
      ScopedTable<bool, Name> table;
      table.reserve_index(reserved);
      std::vector<Name> list;
      for (std::size_t i = 0; i < c.count; ++i)
        list.push_back(names.intern("n" + std::to_string(i)));
      for (const auto& [i, j] : c.repeats) list[j] = list[i];
      const auto name_at = [&](std::size_t i) { return list[i]; };
      EXPECT_EQ(first_repeated_name(c.count, name_at, table), c.expected);
      EXPECT_EQ(table.depth(), 0u);
      for (const Name name : list) EXPECT_EQ(table.find(name).first, nullptr);
    }
  }
}

}  // namespace
}  // namespace tolu
