// The language features over the marker fixtures in tests/lsp/fixtures: each directive of a
// fixture is one check, and every feature runs at every offset of every fixture and example
// under the invariants the server relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "bin/tolu_lsp/features.h"
#include "front_end/analysis.h"
#include "unit/lsp_features/fixture.h"

namespace tolu::lsp {
namespace {

namespace fs = std::filesystem;
using ast::Span;
using testing::Directive;
using testing::Fixture;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<fs::path> files_in(const fs::path& folder, std::string_view extension) {
  std::vector<fs::path> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

const fs::path kFixtures = fs::path(TOLU_SOURCE_DIR) / "tests" / "lsp" / "fixtures";

std::string show(Span s) {
  return "[" + std::to_string(s.start) + "," + std::to_string(s.end) + ")";
}
std::string show(const std::vector<Span>& spans) {
  std::string out;
  for (Span s : spans) out += show(s) + " ";
  return out;
}

// A fixture, its text kept in place for the analysis's tokens, and the analysis.
struct Analysed {
  Fixture fixture;
  std::unique_ptr<const std::string> text;
  Analysis analysis;
};

std::unique_ptr<Analysed> analyse(Fixture fixture) {
  auto text = std::make_unique<const std::string>(fixture.text);
  Analysis analysis = analyze_program(*text, CompileOptions{}, std::nullopt);
  return std::make_unique<Analysed>(
      Analysed{std::move(fixture), std::move(text), std::move(analysis)});
}

class DirectiveRunner {
 public:
  explicit DirectiveRunner(const Analysed& a) : a_(a), f_(a.fixture), analysis_(a.analysis) {}

  void run(const Directive& d) {
    SCOPED_TRACE(f_.name + ":" + std::to_string(d.line) + ": " + d.verb);
    d_ = &d;
    if (d.verb == "definition") return definition_check();
    if (d.verb == "references") return references_check(true);
    if (d.verb == "references-nodecl") return references_check(false);
    if (d.verb == "highlights") return highlights_check();
    if (d.verb == "prepare") return prepare_check();
    if (d.verb == "rename") return rename_check();
    if (d.verb == "hover") return hover_check();
    if (d.verb == "hover-none") return hover_none_check();
    if (d.verb == "tokens") return tokens_check();
    if (d.verb == "inlay") return inlay_check(true);
    if (d.verb == "inlay-none") return inlay_check(false);
    if (d.verb == "symbols-top") return symbols_top_check();
    if (d.verb == "symbol") return symbol_check();
    if (d.verb == "selection") return selection_check();
    if (d.verb == "folds") return folds_check();
    ADD_FAILURE() << "unknown directive";
  }

 private:
  const std::string& argument(std::size_t i) const {
    static const std::string none;
    if (i < d_->arguments.size()) return d_->arguments[i];
    ADD_FAILURE() << "missing argument " << i;
    return none;
  }

  const std::string& expected(std::size_t i) const {
    static const std::string none;
    if (i < d_->expectation.size()) return d_->expectation[i];
    ADD_FAILURE() << "missing expectation " << i;
    return none;
  }

  std::uint32_t cursor() const {
    const std::string& name = argument(0);
    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0])))
      return static_cast<std::uint32_t>(std::stoul(name));
    auto it = f_.cursors.find(name);
    if (it == f_.cursors.end()) ADD_FAILURE() << "no cursor " << name;
    return it == f_.cursors.end() ? 0 : it->second;
  }

  std::vector<Span> group_spans(const std::string& group, bool with_declarations = true) const {
    std::vector<Span> spans;
    for (const auto& r : f_.group(group)) {
      if (with_declarations || !r.is_declaration()) spans.push_back(r.span);
    }
    if (spans.empty() && group != "none") ADD_FAILURE() << "no range in group " << group;
    return spans;
  }

  // The range of a group that a cursor touches.
  Span touched(const std::string& group, std::uint32_t at) const {
    for (Span s : group_spans(group)) {
      if (s.start <= at && at <= s.end) return s;
    }
    ADD_FAILURE() << "no range of " << group << " at the cursor";
    return {};
  }

  bool expects_refusal() const { return !d_->expectation.empty() && expected(0) == "refused"; }

  void definition_check() {
    const auto found = definition(analysis_, cursor());
    if (expected(0) == "none") {
      EXPECT_FALSE(found) << show(*found);
      return;
    }
    std::vector<Span> declared;
    for (const auto& r : f_.group(expected(0))) {
      if (r.is_declaration()) declared.push_back(r.span);
    }
    ASSERT_EQ(declared.size(), 1u) << "the group needs one declaration";
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, declared[0]) << show(*found) << " " << show(declared[0]);
  }

  void references_check(bool include_declaration) {
    const auto spans = references(analysis_, cursor(), include_declaration);
    const auto want =
        expected(0) == "none" ? std::vector<Span>() : group_spans(expected(0), include_declaration);
    EXPECT_EQ(spans, want) << show(spans) << "| " << show(want);
  }

  void highlights_check() {
    const auto highlights = document_highlights(analysis_, cursor());
    const auto want = f_.group(expected(0));
    ASSERT_EQ(highlights.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(highlights[i].span, want[i].span) << i;
      EXPECT_EQ(highlights[i].is_write, want[i].is_write()) << want[i].label;
    }
  }

  void expect_refused(const std::string* why) {
    ASSERT_TRUE(why) << "accepted";
    EXPECT_NE(why->find(expected(1)), std::string::npos) << *why;
  }

  void prepare_check() {
    const std::uint32_t at = cursor();
    auto result = prepare_rename(analysis_, at);
    if (expects_refusal()) return expect_refused(std::get_if<std::string>(&result));
    const auto* span = std::get_if<Span>(&result);
    ASSERT_TRUE(span) << std::get<std::string>(result);
    EXPECT_EQ(*span, touched(expected(0), at));
  }

  void rename_check() {
    const std::string& new_name = argument(1);
    auto result = rename(analysis_, *a_.text, cursor(), new_name);
    if (expects_refusal()) return expect_refused(std::get_if<std::string>(&result));
    const auto* spans = std::get_if<std::vector<Span>>(&result);
    ASSERT_TRUE(spans) << std::get<std::string>(result);
    EXPECT_EQ(*spans, group_spans(expected(0))) << show(*spans);
  }

  void hover_check() {
    const std::uint32_t at = cursor();
    const auto found = hover(analysis_, at);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->range, touched(expected(0), at));
    for (std::size_t i = 1; i < d_->expectation.size(); ++i)
      EXPECT_NE(found->markdown.find(expected(i)), std::string::npos) << found->markdown;
  }

  void hover_none_check() { EXPECT_FALSE(hover(analysis_, cursor())); }

  void tokens_check() {
    const auto tokens = semantic_tokens(analysis_);
    const auto types = semantic_token_types();
    const auto modifiers = semantic_token_modifiers();
    const auto spans = f_.labelled(argument(0));
    ASSERT_FALSE(spans.empty()) << "no range labelled " << argument(0);
    for (Span span : spans) {
      auto it = std::find_if(tokens.begin(), tokens.end(),
                             [&](const SemanticToken& t) { return t.span == span; });
      ASSERT_NE(it, tokens.end()) << "no token at " << show(span);
      EXPECT_EQ(types.at(it->type), expected(0)) << show(span);
      std::vector<std::string> got;
      for (std::size_t bit = 0; bit < modifiers.size(); ++bit) {
        if (it->modifiers & (1u << bit)) got.emplace_back(modifiers[bit]);
      }
      std::vector<std::string> want(d_->expectation.begin() + 1, d_->expectation.end());
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << show(span);
    }
  }

  void inlay_check(bool present) {
    const Span whole{0, analysis_.tokens.tokens.back().start};
    const auto hints = inlay_hints(analysis_, whole);
    for (Span span : f_.labelled(argument(0))) {
      auto it = std::find_if(hints.begin(), hints.end(),
                             [&](const InlayHint& h) { return h.offset == span.end; });
      if (!present) {
        EXPECT_EQ(it, hints.end()) << it->label;
        continue;
      }
      ASSERT_NE(it, hints.end()) << "no hint after " << show(span);
      EXPECT_EQ(it->label, expected(0));
      // A range that leaves the name out leaves its hint out.
      EXPECT_TRUE(inlay_hints(analysis_, Span{0, span.start}).empty() ||
                  inlay_hints(analysis_, Span{0, span.start}).back().offset < span.end);
    }
  }

  void symbols_top_check() {
    std::vector<std::string> names;
    for (const Symbol& s : document_symbols(analysis_)) names.push_back(s.name);
    EXPECT_EQ(names, d_->expectation.empty() ? d_->arguments : d_->expectation);
  }

  const Symbol* find_symbol(const std::vector<Symbol>& symbols, const std::string& path) {
    const std::size_t slash = path.find('/');
    const std::string head = path.substr(0, slash);
    for (const Symbol& s : symbols) {
      if (s.name != head) continue;
      if (slash == std::string::npos) return &s;
      return find_symbol(s.children, path.substr(slash + 1));
    }
    return nullptr;
  }

  void symbol_check() {
    const auto symbols = document_symbols(analysis_);
    const Symbol* s = find_symbol(symbols, argument(0));
    ASSERT_TRUE(s) << "no symbol " << argument(0);
    EXPECT_EQ(std::to_string(s->kind), argument(1));
    if (d_->arguments.size() > 2) {
      EXPECT_EQ(s->detail, argument(2));
    }
    EXPECT_EQ(f_.text_of(s->selection), s->name);
    EXPECT_TRUE(s->range.start <= s->selection.start && s->selection.end <= s->range.end);
  }

  void selection_check() {
    const auto chain = selection_chain(analysis_, cursor());
    ASSERT_GE(chain.size(), d_->expectation.size());
    for (std::size_t i = 0; i < d_->expectation.size(); ++i) {
      const auto spans = f_.labelled(expected(i));
      ASSERT_EQ(spans.size(), 1u) << expected(i);
      EXPECT_EQ(chain[i], spans[0]) << i << ": " << show(chain);
    }
  }

  void folds_check() {
    std::vector<std::string> got;
    for (const Fold& fold : folding_ranges(analysis_, *a_.text)) {
      got.push_back(std::to_string(fold.start_line) + "-" + std::to_string(fold.end_line) +
                    (fold.kind.empty() ? "" : ":" + fold.kind));
    }
    EXPECT_EQ(got, d_->expectation);
  }

  const Analysed& a_;
  const Fixture& f_;
  const Analysis& analysis_;
  const Directive* d_ = nullptr;
};

class FixtureTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureTest, Directives) {
  const fs::path path = kFixtures / GetParam();
  auto analysed = analyse(testing::read_fixture(GetParam(), read_file(path)));
  ASSERT_EQ(analysed->fixture.error, "");
  ASSERT_TRUE(analysed->analysis.program) << analysed->analysis.program.error().message();
  ASSERT_FALSE(analysed->fixture.directives.empty());
  DirectiveRunner runner(*analysed);
  for (const Directive& d : analysed->fixture.directives) runner.run(d);
}

std::vector<std::string> fixture_names() {
  std::vector<std::string> names;
  for (const fs::path& p : files_in(kFixtures, ".tos")) names.push_back(p.filename().string());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureTest, ::testing::ValuesIn(fixture_names()),
                         [](const auto& info) { return fs::path(info.param).stem().string(); });

}  // namespace
}  // namespace tolu::lsp
