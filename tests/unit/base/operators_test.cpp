// Relations the operator table keeps, checked through the lookups built from it and through the
// stages that read it.
#include "base/operators.h"

#include <gtest/gtest.h>

#include "lexer/lexer.h"

#include <string>
#include <string_view>
#include <vector>

namespace tolu {
namespace {

std::string shown(const OperatorSpelling& s) {
  return std::string(s.text);
}

TEST(OperatorTable, EverySpellingIsFoundAsItsOperator) {
  for (const OperatorSpelling& s : operator_spellings()) {
    SCOPED_TRACE(shown(s));
    const OperatorSpelling* found = find_operator(s.text);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->text, s.text);
    EXPECT_EQ(found->id, s.id);
    EXPECT_EQ(operator_entry(s.id, s.text).text, s.text);
    // The operator's first spelling names the same operator.
    const OperatorSpelling* first = find_operator(operator_spelling(s.id));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->id, s.id);
  }
  for (std::string_view text : {"", "x", "letx", "andx", "+++", "<<<<", "≤≤", "é"}) {
    EXPECT_EQ(find_operator(text), nullptr) << text;
  }
}

TEST(OperatorTable, CanonicalSpellingsRoundTrip) {
  for (const OperatorSpelling& s : operator_spellings()) {
    SCOPED_TRACE(shown(s));
    const std::string_view canonical = canonical_operator(s.text);
    const OperatorSpelling* found = find_operator(canonical);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->id, s.id);  // the same operator, only spelled differently
    EXPECT_EQ(canonical_operator(canonical), canonical);
    if (s.has(OperatorSpelling::kPreferred) || s.has(OperatorSpelling::kAsWritten)) {
      EXPECT_EQ(canonical, s.text);
    }
  }
  EXPECT_EQ(canonical_operator("x"), "x");
}

TEST(OperatorTable, LexingOrderPutsEachSpellingBeforeItsPrefixes) {
  std::size_t symbols = 0;
  for (int byte = 0; byte < 256; ++byte) {
    const auto spellings = operators_by_first_byte(static_cast<unsigned char>(byte));
    for (std::size_t i = 0; i < spellings.size(); ++i) {
      SCOPED_TRACE(shown(spellings[i]));
      EXPECT_EQ(static_cast<unsigned char>(spellings[i].text[0]), byte);
      EXPECT_FALSE(spellings[i].is_keyword());
      for (std::size_t j = i + 1; j < spellings.size(); ++j) {
        EXPECT_FALSE(spellings[j].text.starts_with(spellings[i].text)) << shown(spellings[j]);
      }
    }
    symbols += spellings.size();
  }
  std::size_t expected = 0;
  for (const OperatorSpelling& s : operator_spellings()) expected += s.is_keyword() ? 0 : 1;
  EXPECT_EQ(symbols, expected);  // every symbol is tried, once
}

TEST(OperatorTable, EverySpellingLexesToOneTokenOfItsOperator) {
  for (const OperatorSpelling& s : operator_spellings()) {
    SCOPED_TRACE(shown(s));
    // Between two names, so that "/" is no regex and a keyword stands alone.
    const std::string source = "a " + std::string(s.text) + " b";
    auto lexed = lex(source);
    ASSERT_TRUE(lexed);
    const std::vector<Token>& tokens = lexed.value().tokens;
    ASSERT_EQ(tokens.size(), 4u);
    const Token& t = tokens[1];
    EXPECT_EQ(t.kind, s.is_keyword() ? TokenKind::Keyword : TokenKind::Operator);
    EXPECT_EQ(t.op, s.id);
    EXPECT_EQ(t.text, s.has(OperatorSpelling::kLexesAsFirst) ? operator_spelling(s.id) : s.text);
    EXPECT_EQ(tokens[0].op, OperatorId::None);
  }
  // Keywords that are no operators carry none.
  auto lexed = lex("let if say true ⊤");
  ASSERT_TRUE(lexed);
  for (const Token& t : lexed.value().tokens) EXPECT_EQ(t.op, OperatorId::None);
}

}  // namespace
}  // namespace tolu
