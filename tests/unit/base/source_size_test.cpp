#include "base/source_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolu {
namespace {

TEST(SourceSize, RefusesSourcesWhosePositionsWouldPassTheLimit) {
  struct Case {
    std::string source;
    std::uint64_t first_line;
    std::uint64_t limit;
    const char* error;  // null: accepted
    std::uint64_t first_index = 0;
  };
  const std::vector<Case> cases = {
      {"", 1, 0, nullptr},
      {"abcd", 1, 4, nullptr},
      {"abcde", 1, 4, "source too long: 5 characters, more than the 4 the front end reads"},
      // Characters count, not bytes: two 2-byte characters fit a limit of 2.
      {"\xC3\xA9\xC3\xA9", 1, 2, nullptr},
      {"\xC3\xA9\xC3\xA9x", 1, 2,
       "source too long: 3 characters, more than the 2 the front end reads"},
      // The lines before a source take their share, since lines are counted with the characters.
      {"ab", 3, 4, nullptr},
      {"abc", 3, 4,
       "source too long: 3 characters after line 2, more than the 4 the front end reads"},
      {"", 6, 4, "source too long: it starts after line 4, the last line the front end numbers"},
      {"x", 0, 1, nullptr},
      // So do the characters before a source that starts inside a larger text, whichever of
      // the two is more.
      {"ab", 1, 4, nullptr, 2},
      {"abc", 1, 4,
       "source too long: 3 characters after character 2, more than the 4 the front end reads", 2},
      {"abc", 3, 4,
       "source too long: 3 characters after line 2, more than the 4 the front end reads", 1},
      {"", 1, 4, "source too long: it starts after character 4, the last one the front end numbers",
       5},
  };
  for (const Case& c : cases) {
    const auto error = source_size_error(c.source, c.first_line, c.limit, c.first_index);
    if (c.error) {
      EXPECT_EQ(error, std::optional<std::string>(c.error)) << c.source;
    } else {
      EXPECT_EQ(error, std::nullopt) << c.source;
    }
  }
}

TEST(SourceSize, TheDefaultLimitKeepsEveryPositionWithin32Bits) {
  // The one-past-the-end offset and the column after the last character must both fit.
  EXPECT_LT(kMaxSourceCharacters + 1, std::uint64_t{1} << 32);
  EXPECT_EQ(source_size_error(std::string(1000, 'x')), std::nullopt);
}

}  // namespace
}  // namespace tolu
