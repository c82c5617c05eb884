// Properties that hold for any input: the pipeline returns a tree or exactly one error, never
// anything else, and an error points inside the source.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/unicode.h"
#include "lexer/lexer.h"
#include "support/shape.h"
#include "support/spans.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"

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

// Checks that an error, and every note on it, points inside the source.
void expect_error_inside(const ToluError& error, std::string_view source) {
  ASSERT_LE(static_cast<int>(error.kind()), static_cast<int>(ErrorKind::Semantic));
  const auto lines = static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n')) + 1;
  const std::size_t characters = count_characters(source);
  EXPECT_GE(error.line(), 1u);
  EXPECT_LE(error.line(), lines);
  EXPECT_GE(error.column(), 1u);
  EXPECT_LE(error.column(), characters + 1);
  for (const Note& note : error.notes()) {
    EXPECT_GE(note.line, 1u);
    EXPECT_LE(note.line, lines);
    EXPECT_GE(note.column, 1u);
    EXPECT_LE(note.column, characters + 1);
  }
}

// Runs the default pipeline and checks the shape of the outcome: an error inside the source, or
// a tree whose spans nest within it.
void expect_one_outcome(std::string_view source) {
  Result<ast::Program> result = parse_program(source);
  if (!result) {
    expect_error_inside(result.error(), source);
  } else {
    testing::check_spans(result.value(), source);
  }
}

// One Eof token, last, and tokens that follow each other in the source.
void expect_tokens_in_order(const TokenVector& tokens) {
  ASSERT_FALSE(tokens.tokens.empty());
  EXPECT_EQ(tokens.tokens.back().kind, TokenKind::Eof);
  std::uint32_t previous_end = 0;
  for (std::size_t i = 0; i < tokens.tokens.size(); ++i) {
    const Token& t = tokens.tokens[i];
    EXPECT_LE(previous_end, t.start);
    EXPECT_LE(t.start, t.end);
    if (i + 1 < tokens.tokens.size()) {
      EXPECT_NE(t.kind, TokenKind::Eof);
    }
    previous_end = t.end;
  }
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

// The README's tour of the language is examples/tour.tos, so the examples' check covers it.
TEST(Properties, TheReadmeTourIsTheTourExample) {
  const std::string readme = read(fs::path(TOLU_SOURCE_DIR) / "README.md");
  const std::string fence = "```tolu\n";
  const std::size_t start = readme.find(fence);
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = readme.find("```\n", start + fence.size());
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(readme.substr(start + fence.size(), end - start - fence.size()),
            read(fs::path(TOLU_SOURCE_DIR) / "examples" / "tour.tos"));
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

// The inputs `make fuzz` starts from, replayed through the entry points the fuzz targets use:
// the lexer alone, the default pipeline, the pipeline with every optimizer pass, and the
// expression parser.
TEST(Properties, SavedFuzzerInputsGiveOneOutcome) {
  const auto inputs = files_below(fs::path(TOLU_SOURCE_DIR) / "tests/fuzz/regressions");
  ASSERT_FALSE(inputs.empty()) << "no saved fuzzer inputs found";
  CompileOptions every_pass;
  every_pass.optimizations = PassSet::all();
  for (const fs::path& file : inputs) {
    SCOPED_TRACE(file.string());
    const std::string source = read(file);
    if (auto tokens = lex(source)) {
      expect_tokens_in_order(tokens.value());
    } else {
      expect_error_inside(tokens.error(), source);
    }
    expect_one_outcome(source);
    auto program =
        parse_program_with_compile_options_and_source_file(source, every_pass, std::nullopt);
    if (program) {
      const ast::Program copy = ast::clone(program.value());
      EXPECT_TRUE(copy == program.value());
    } else {
      expect_error_inside(program.error(), source);
    }
    auto expression = parse_expression_with_source_file(source, std::nullopt);
    if (!expression) expect_error_inside(expression.error(), source);
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
