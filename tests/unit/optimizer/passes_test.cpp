// Pass names are what --passes takes: each value has one name that maps back to it.
#include <gtest/gtest.h>

#include <iterator>

#include "tolu/passes.h"

namespace tolu {
namespace {

TEST(OptimizerPasses, NamesAndValuesMatchBothWays) {
  const char* const expected[] = {"LexicalScopes",    "ConstantFolding",    "ConstantConditions",
                                  "UnreachableCode",  "RegexCacheKeys",     "ResolveIdentifiers",
                                  "TypeCheckElision", "CanonicalOperators", "PipelineLowering",
                                  "CapacityHints",    "SwitchIndex",        "RangeLoopLowering"};
  ASSERT_EQ(kOptimizerPassCount, std::size(expected));
  for (std::size_t i = 0; i < kOptimizerPassCount; ++i) {
    const auto pass = static_cast<OptimizerPass>(i);
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(optimizer_pass_name(pass), expected[i]);
    EXPECT_EQ(optimizer_pass_from_name(expected[i]), pass);
    EXPECT_TRUE(PassSet::all().contains(pass));
  }
  EXPECT_EQ(OptimizerPass::LexicalScopes, static_cast<OptimizerPass>(0));
  EXPECT_EQ(OptimizerPass::RangeLoopLowering, static_cast<OptimizerPass>(11));
}

TEST(OptimizerPasses, OnlyExactNamesAreKnown) {
  for (const char* name : {"", "all", "constantfolding", "ConstantFolding ", "Constant", "#name"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(optimizer_pass_from_name(name), std::nullopt);
  }
}

}  // namespace
}  // namespace tolu
