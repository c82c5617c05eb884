#include "base/scoped_table.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tolu {
namespace {

// What `name` resolves to, and in which scope, as "value@scope" or "-".
std::string resolve(const ScopedTable<int>& table, std::string_view name) {
  const auto [value, scope] = table.find(name);
  return value ? std::to_string(*value) + "@" + std::to_string(scope) : "-";
}

TEST(ScopedTable, ShadowsAndRestoresAcrossScopes) {
  ScopedTable<int> table;
  table.push_scope();
  EXPECT_TRUE(table.declare("a", 1));
  EXPECT_FALSE(table.declare("a", 2));  // the first binding stays
  EXPECT_EQ(resolve(table, "a"), "1@0");

  table.push_scope();
  EXPECT_EQ(table.find_innermost("a"), nullptr);
  EXPECT_TRUE(table.declare("a", 3));
  table.assign("b", 4);
  table.assign("b", 5);  // rebinds in the same scope
  EXPECT_EQ(resolve(table, "a"), "3@1");
  EXPECT_EQ(resolve(table, "b"), "5@1");

  table.push_scope();
  table.assign("a", 6);
  EXPECT_EQ(resolve(table, "a"), "6@2");
  table.pop_scope();
  EXPECT_EQ(resolve(table, "a"), "3@1");

  table.pop_scope();
  EXPECT_EQ(resolve(table, "a"), "1@0");
  EXPECT_EQ(resolve(table, "b"), "-");
  EXPECT_EQ(resolve(table, "c"), "-");

  // A name seen before and gone again binds afresh.
  table.push_scope();
  EXPECT_TRUE(table.declare("b", 7));
  EXPECT_EQ(resolve(table, "b"), "7@1");
}

TEST(ScopedTable, KeepsBindingsThroughManyNamesAndDeepScopes) {
  ScopedTable<int> table;
  table.push_scope();
  std::vector<std::string> names;
  for (int i = 0; i < 5000; ++i) names.push_back("n" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) ASSERT_TRUE(table.declare(names[i], i));
  for (int depth = 1; depth <= 100; ++depth) {
    table.push_scope();
    table.assign(names[depth], -depth);
  }
  EXPECT_EQ(resolve(table, "n50"), "-50@50");
  EXPECT_EQ(resolve(table, "n4999"), "4999@0");
  for (int depth = 100; depth >= 1; --depth) table.pop_scope();
  for (int i = 0; i < 5000; i += 499) EXPECT_EQ(resolve(table, names[i]), std::to_string(i) + "@0");
}

}  // namespace
}  // namespace tolu
