// Every feature at every offset of the fixtures and the examples, checked against the
// invariants the server relies on: results touch the cursor, ranges nest, tokens are sorted and
// disjoint, and the features that find a name's uses agree with each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "base/unicode.h"
#include "bin/tolu_lsp/features.h"
#include "front_end/analysis.h"
#include "unit/lsp_features/fixture.h"

namespace tolu::lsp {
namespace {

namespace fs = std::filesystem;
using ast::Span;

bool touches(Span s, std::uint32_t at) {
  return s.start <= at && at <= s.end;
}
bool encloses(Span outer, Span inner) {
  return outer.start <= inner.start && inner.end <= outer.end;
}

void check_symbols(const std::vector<Symbol>& symbols, Span parent) {
  for (const Symbol& s : symbols) {
    SCOPED_TRACE(s.name);
    EXPECT_TRUE(encloses(s.range, s.selection));
    EXPECT_TRUE(encloses(parent, s.range));
    EXPECT_FALSE(s.name.empty());
    check_symbols(s.children, s.range);
  }
}

void check_document(const Analysis& analysis, const std::string& text) {
  const auto length = static_cast<std::uint32_t>(count_characters(text));
  const Span whole{0, length};
  check_symbols(document_symbols(analysis), whole);

  const auto tokens = semantic_tokens(analysis);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    EXPECT_LT(tokens[i].type, semantic_token_types().size());
    EXPECT_LT(tokens[i].modifiers, 1u << semantic_token_modifiers().size());
    EXPECT_LT(tokens[i].span.start, tokens[i].span.end);
    if (i > 0) {
      EXPECT_LE(tokens[i - 1].span.end, tokens[i].span.start) << i;
    }
  }

  const auto lines = static_cast<std::uint32_t>(std::count(text.begin(), text.end(), '\n'));
  for (const Fold& fold : folding_ranges(analysis, text)) {
    EXPECT_LT(fold.start_line, fold.end_line);
    EXPECT_LE(fold.end_line, lines);
  }

  const auto hints = inlay_hints(analysis, whole);
  for (const InlayHint& hint : hints) EXPECT_LE(hint.offset, length);
  EXPECT_TRUE(std::is_sorted(hints.begin(), hints.end(),
                             [](const auto& a, const auto& b) { return a.offset < b.offset; }));

  std::set<std::uint32_t> renamed;  // the first reference of each name renamed
  for (std::uint32_t at = 0; at <= length; ++at) {
    SCOPED_TRACE("offset " + std::to_string(at));
    const auto chain = selection_chain(analysis, at);
    ASSERT_FALSE(chain.empty());
    EXPECT_TRUE(touches(chain.front(), at));
    EXPECT_EQ(chain.back(), whole);
    for (std::size_t i = 1; i < chain.size(); ++i) {
      EXPECT_TRUE(encloses(chain[i], chain[i - 1]) && chain[i] != chain[i - 1]);
    }

    if (const auto h = hover(analysis, at)) {
      EXPECT_TRUE(touches(h->range, at));
      EXPECT_FALSE(h->markdown.empty());
    }

    const auto all = references(analysis, at, true);
    const auto uses = references(analysis, at, false);
    EXPECT_TRUE(std::includes(all.begin(), all.end(), uses.begin(), uses.end(),
                              [](Span a, Span b) { return a.start < b.start; }));
    const auto highlights = document_highlights(analysis, at);
    ASSERT_EQ(highlights.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(highlights[i].span, all[i]);
    if (const auto d = definition(analysis, at)) {
      EXPECT_NE(std::find(all.begin(), all.end(), *d), all.end());
    }

    const auto prepared = prepare_rename(analysis, at);
    if (const auto* span = std::get_if<Span>(&prepared)) {
      EXPECT_TRUE(touches(*span, at));
      EXPECT_NE(std::find(all.begin(), all.end(), *span), all.end());
      // Renaming to a fresh name edits exactly the references, unless the name is a class's
      // or a trait's that is also written as a type.
      if (!all.empty() && renamed.insert(all.front().start).second) {
        const auto result = rename(analysis, text, at, "fresh_name_ü");
        if (const auto* why = std::get_if<std::string>(&result)) {
          EXPECT_NE(why->find("type name"), std::string::npos) << *why;
        } else {
          EXPECT_EQ(std::get<std::vector<Span>>(result), all);
        }
      }
    }
  }
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<fs::path> documents() {
  const fs::path root(TOLU_SOURCE_DIR);
  std::vector<fs::path> out;
  for (const fs::path& folder :
       {root / "tests/lsp/fixtures", root / "examples", root / "examples/lib"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      const auto extension = entry.path().extension();
      if (extension == ".tos" || extension == ".tom") out.push_back(entry.path());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

class InvariantTest : public ::testing::TestWithParam<fs::path> {};

TEST_P(InvariantTest, EveryFeatureAtEveryOffset) {
  const std::string marked = read_file(GetParam());
  // Fixtures lose their markers; other files have none.
  const auto text = std::make_unique<const std::string>(
      testing::read_fixture(GetParam().filename().string(), marked).text);
  const Analysis analysis = analyze_program(*text, CompileOptions{}, std::nullopt);
  ASSERT_TRUE(analysis.program) << analysis.program.error().message();
  check_document(analysis, *text);
}

INSTANTIATE_TEST_SUITE_P(Documents, InvariantTest, ::testing::ValuesIn(documents()),
                         [](const auto& info) {
                           std::string name = info.param.stem().string();
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                               '_');
                           return info.param.parent_path().filename().string() + "_" + name;
                         });

}  // namespace
}  // namespace tolu::lsp
