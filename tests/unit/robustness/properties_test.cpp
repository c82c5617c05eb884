// Properties that hold for any input: the pipeline returns a tree or exactly one error, never
// anything else, and an error points inside the source.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "front_end/front_end.h"
#include "base/unicode.h"
#include "support/shape.h"

namespace tolu {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> files_below(const fs::path& root) {
  std::vector<fs::path> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the default pipeline and checks the shape of the outcome.
void expect_one_outcome(std::string_view source) {
  Result<ast::Program> result = parse_program(source);
  if (result) return;
  const ToluError& error = result.error();
  ASSERT_LE(static_cast<int>(error.kind()), static_cast<int>(ErrorKind::Semantic));
  const auto lines = static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n')) + 1;
  EXPECT_GE(error.line(), 1u);
  EXPECT_LE(error.line(), lines);
  EXPECT_GE(error.column(), 1u);
  EXPECT_LE(error.column(), count_characters(source) + 1);
}

// Byte offsets where a character starts, and the end.
std::vector<std::size_t> character_boundaries(std::string_view text) {
  std::vector<std::size_t> boundaries;
  for (std::size_t pos = 0; pos < text.size();) {
    boundaries.push_back(pos);
    decode_utf8(text, pos);
  }
  boundaries.push_back(text.size());
  return boundaries;
}

TEST(Properties, ExamplesPassAndEveryPrefixAndDeletionGivesOneOutcome) {
  const auto examples = files_below(fs::path(TOLU_SOURCE_DIR) / "examples");
  ASSERT_FALSE(examples.empty());
  for (const fs::path& file : examples) {
    SCOPED_TRACE(file.string());
    const std::string source = read(file);
    {
      auto result = parse_program(source);
      EXPECT_TRUE(result) << testing::describe_error(result.error());
    }
    const auto boundaries = character_boundaries(source);
    for (std::size_t i = 0; i + 1 < boundaries.size(); ++i) {
      expect_one_outcome(std::string_view(source).substr(0, boundaries[i]));
      expect_one_outcome(source.substr(0, boundaries[i]) + source.substr(boundaries[i + 1]));
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(Properties, SavedFuzzerInputsGiveOneOutcome) {
  for (const fs::path& file : files_below(fs::path(TOLU_SOURCE_DIR) / "tests/fuzz/regressions")) {
    SCOPED_TRACE(file.string());
    expect_one_outcome(read(file));
  }
}

TEST(Properties, ErrorPositionsStayExactAroundTabsCarriageReturnsAndWideCharacters) {
  struct Case {
    const char* source;
    std::size_t line, column;
  };
  const Case cases[] = {
      {"\t\tsay #", 1, 7},
      {"say 1;\r\nsay #", 2, 5},
      {"ñü := 🙂", 1, 7},
      {"say 1 +", 1, 8},
      {"say \"é", 1, 5},
      {"say 1 +\n\t\t", 2, 3},
      {"let x := `a${\n\t1 +}`", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    auto result = parse_program(c.source);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().line(), c.line);
    EXPECT_EQ(result.error().column(), c.column);
  }
}

}  // namespace
}  // namespace tolu
