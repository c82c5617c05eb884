// What an embedder relies on beyond the trees: the result's preconditions and the version.
#include <gtest/gtest.h>

#include "tolu/front_end.h"
#include "tolu/version.h"

namespace tolu {
namespace {

TEST(Version, TheLibraryIsTheVersionOfItsHeaders) {
  EXPECT_EQ(version(), TOLU_VERSION_STRING);
  EXPECT_EQ(std::string(TOLU_VERSION_STRING), std::to_string(TOLU_VERSION_MAJOR) + "." +
                                                  std::to_string(TOLU_VERSION_MINOR) + "." +
                                                  std::to_string(TOLU_VERSION_PATCH));
}

#ifndef NDEBUG
// In a debug build, reading the wrong side of a result stops with a message that names the
// broken precondition, not with an exception from inside std::variant.
TEST(ResultDeathTest, ValueOfAnErrorAndErrorOfAValueAreCaught) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto failed = parse_program("say (;");
  ASSERT_FALSE(failed);
  EXPECT_DEATH((void)failed.value(), "Result::value\\(\\) on an error");
  auto parsed = parse_program("say 1;");
  ASSERT_TRUE(parsed);
  EXPECT_DEATH((void)parsed.error(), "Result::error\\(\\) on a value");
}
#endif

}  // namespace
}  // namespace tolu
