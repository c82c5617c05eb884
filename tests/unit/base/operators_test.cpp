// Relations the operator table keeps, checked through the lookups built from it and through the
// stages that read it.
#include "base/operators.h"
#include "syntax_tree/operator_nodes.h"

#include <gtest/gtest.h>

#include "lexer/lexer.h"
#include "support/shape.h"
#include "syntax_tree/json.h"
#include "tolu/front_end.h"

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
  // The lexer matches a spelling eight source bytes at a time, byte by byte near the end.
  for (const OperatorSpelling& s : operator_spellings()) {
    for (const std::string_view tail : {" b", " b        "}) {
      SCOPED_TRACE(shown(s) + std::string(tail));
      // Between two names, so that "/" is no regex and a keyword stands alone.
      const std::string source = "a " + std::string(s.text) + std::string(tail);
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
  }
  // Keywords that are no operators carry none.
  auto lexed = lex("let if say true ⊤");
  ASSERT_TRUE(lexed);
  for (const Token& t : lexed.value().tokens) EXPECT_EQ(t.op, OperatorId::None);
}

// The tree's shape with operators shown by identity rather than spelling: "(a #7 (b #9 c))".
std::string shape_by_operator(const ast::Expression& e) {
  if (const auto* binary = e.as<ast::BinaryExpression>()) {
    return "(" + shape_by_operator(binary->left) + " #" +
           std::to_string(static_cast<int>(binary->op_id)) + " " +
           shape_by_operator(binary->right) + ")";
  }
  if (const auto* name = e.as<ast::Identifier>()) return std::string(name->name);
  return "?";
}

std::string parse_by_operator(const std::string& source) {
  auto parsed = parse_expression_with_source_file(source, std::nullopt);
  return parsed ? shape_by_operator(parsed.value()) : parsed.error().message();
}

TEST(OperatorTable, SpellingsOfOneOperatorParseAlike) {
  std::vector<std::string> binary;
  for (const OperatorSpelling& s : operator_spellings()) {
    if (operator_info(s.id).is_binary()) binary.emplace_back(s.text);
  }
  for (const OperatorSpelling& s : operator_spellings()) {
    const std::string first(operator_spelling(s.id));
    if (!operator_info(s.id).is_binary() || s.text == first) continue;
    SCOPED_TRACE(shown(s) + " as " + first);
    // Beside every binary operator, on either side, the spelling groups as the first one does.
    for (const std::string& other : binary) {
      SCOPED_TRACE(other);
      EXPECT_EQ(parse_by_operator("a " + shown(s) + " b " + other + " c"),
                parse_by_operator("a " + first + " b " + other + " c"));
      EXPECT_EQ(parse_by_operator("a " + other + " b " + shown(s) + " c"),
                parse_by_operator("a " + other + " b " + first + " c"));
    }
  }
}

// The whole tree after validation and inference, less the operators' spellings, or the error.
std::string checked_without_spellings(const std::string& source) {
  auto parsed = parse_program(source);
  if (!parsed) return testing::describe_error(parsed.error());
  ast::Json tree = ast::to_json(parsed.value());
  const auto drop_operators = [](auto& self, ast::Json& json) -> void {
    if (json.is_object()) json.erase("operator");
    if (!json.is_structured()) return;
    for (ast::Json& child : json) self(self, child);
  };
  drop_operators(drop_operators, tree);
  return tree.dump();
}

TEST(OperatorTable, SpellingsOfOneOperatorCheckAndInferAlike) {
  const std::string values[][2] = {{"1", "2"}, {"<<1>>", "<<2>>"}, {"{}", "1"}, {"\"s\"", "null"}};
  for (const OperatorSpelling& s : operator_spellings()) {
    const std::string first(operator_spelling(s.id));
    if (s.text == first) continue;
    SCOPED_TRACE(shown(s) + " as " + first);
    const OperatorInfo& info = operator_info(s.id);
    std::vector<std::string> forms;  // "@" stands for the operator
    if (info.is_binary()) forms = {"a @ b", "b @ a", "a @ [^^]", "[^^] @ a"};
    if (info.is_assignment()) forms = {"(a @ b)"};
    if (s.is_prefix()) forms = {"@ a"};
    for (const auto& pair : values) {
      const std::string& a = pair[0];
      const std::string& b = pair[1];
      for (const std::string& form : forms) {
        const auto program = [&](const std::string& op) {
          const std::size_t at = form.find('@');
          return "let a := " + a + "; let b := " + b + "; let c := " + form.substr(0, at) + op +
                 form.substr(at + 1);
        };
        EXPECT_EQ(checked_without_spellings(program(shown(s))),
                  checked_without_spellings(program(first)))
            << program(shown(s));
      }
    }
  }
}

// The parser builds each operator node with the operator's identity beside its spelling.
template <class Node>
void expect_operator_node(const std::string& source, const OperatorSpelling& s) {
  SCOPED_TRACE(source);
  auto parsed = parse_expression_with_source_file(source, std::nullopt);
  ASSERT_TRUE(parsed) << parsed.error().message();
  const Node* node = parsed.value().template as<Node>();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->op_id, s.id);
  EXPECT_EQ(node->op, s.has(OperatorSpelling::kLexesAsFirst) ? operator_spelling(s.id) : s.text);
}

TEST(OperatorTable, OperatorNodesCarryTheirOperator) {
  for (const OperatorSpelling& s : operator_spellings()) {
    const std::string text = shown(s);
    const OperatorInfo& info = operator_info(s.id);
    if (info.is_binary()) expect_operator_node<ast::BinaryExpression>("a " + text + " b", s);
    if (info.is_assignment())
      expect_operator_node<ast::AssignmentExpression>("a " + text + " b", s);
    if (s.is_prefix()) expect_operator_node<ast::UnaryExpression>(text + " a", s);
    if (s.is_postfix()) expect_operator_node<ast::PostfixExpression>("a " + text, s);
  }
  // The forms that name their operator without spelling it.
  auto floor = parse_expression_with_source_file("⌊a⌋", std::nullopt);
  ASSERT_TRUE(floor);
  EXPECT_EQ(floor.value().as<ast::UnaryExpression>()->op_id, OperatorId::Floor);
  auto made = parse_expression_with_source_file("new P()", std::nullopt);
  ASSERT_TRUE(made);
  EXPECT_EQ(made.value().as<ast::UnaryExpression>()->op_id, OperatorId::New);
}

TEST(OperatorTable, SetOperatorSetsSpellingAndIdentity) {
  auto parsed = parse_expression_with_source_file("a * b", std::nullopt);
  ASSERT_TRUE(parsed);
  auto* binary = parsed.value().as<ast::BinaryExpression>();
  ast::set_operator(*binary, canonical_operator(binary->op), parsed.value().storage());
  EXPECT_EQ(binary->op, canonical_operator(operator_spelling(OperatorId::Multiply)));
  EXPECT_EQ(binary->op_id, OperatorId::Multiply);
  ast::set_operator(*binary, "no operator", parsed.value().storage());
  EXPECT_EQ(binary->op_id, OperatorId::None);
}

}  // namespace
}  // namespace tolu
