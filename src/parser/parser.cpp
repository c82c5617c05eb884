// The parser core: cursor, expectations, errors and the stage's entry points.
#include "parser/parser.h"

#include <algorithm>
#include <cstdint>

#include "base/unicode.h"
#include "lexer/lexer.h"
#include "parser/parser_internal.h"

namespace tolu {

namespace {

// Runs one root production of a parser over the whole source.
// The tree is built in `storage`.
template <class Root>
Result<Root> parse_root(std::string_view source, const std::optional<std::string>& source_file,
                        ast::Storage& storage, Root (parsing::Parser::*production)(),
                        TokenVector* tokens = nullptr) {
  // Programs hold about one distinct name per hundred bytes or more, and their trees take six
  // to seven bytes of arena per byte of source.
  storage.arena.expect(std::min(source.size(), SIZE_MAX / 8) * 8);
  storage.names.reserve(source.size() / 128);
  const ast::SourceFile file = ast::Builder(storage).shared(source_file);
  parsing::Parser parser(source, 1, 0, 1, file, storage, 0, tokens);
  try {
    Root root = (parser.*production)();
    if (auto error = parser.lexical_error())
      return ToluError::with_source_file(*error, source_file);
    return root;
  } catch (parsing::ParseFailure& failure) {
    return ToluError::with_source_file(parser.error_for(std::move(failure)), source_file);
  }
}

}  // namespace

Result<ast::Program> parse_program_text(std::string_view source,
                                        const std::optional<std::string>& source_file,
                                        std::unique_ptr<ast::Storage>* reuse, TokenVector* tokens) {
  std::unique_ptr<ast::Storage> storage;
  if (reuse && *reuse) {
    storage = std::move(*reuse);
    storage->clear();
  } else {
    storage = std::make_unique<ast::Storage>();
  }
  auto program = parse_root(source, source_file, *storage, &parsing::Parser::parse_program, tokens);
  if (program) {
    program.value().storage = std::move(storage);
  } else if (reuse) {
    *reuse = std::move(storage);
  }
  return program;
}

Result<ast::ExpressionTree> parse_expression_text(std::string_view source,
                                                  const std::optional<std::string>& source_file) {
  auto storage = std::make_unique<ast::Storage>();
  auto root = parse_root(source, source_file, *storage, &parsing::Parser::parse_expression_root);
  if (!root) return std::move(root).error();
  return ast::ExpressionTree(std::move(root).value(), std::move(storage));
}

namespace parsing {

void Parser::fail_nesting_too_deep() const {
  fail(kNestingTooDeep);
}

Parser::Parser(std::string_view source, std::uint32_t first_line, std::uint32_t first_index,
               std::uint32_t first_column, ast::SourceFile source_file, ast::Storage& storage,
               unsigned depth, TokenVector* recorded, SpellingNames* spelling_names)
    : source_(source),
      first_line_(first_line),
      first_index_(first_index),
      first_column_(first_column),
      tokens_(source, first_line, kMaxSourceCharacters, first_index, first_column),
      b_(storage),
      source_file_(source_file),
      expression_notes_(storage.notes.find_or_add(source_file, {})),
      own_spelling_names_(spelling_names ? nullptr : std::make_unique<SpellingNames>()),
      spelling_names_(spelling_names ? spelling_names : own_spelling_names_.get()),
      depth_(depth) {
  tokens_.record_into(recorded);
  read_first_tokens();
}

void Parser::restart(std::string_view source, std::uint32_t first_line, std::uint32_t first_index,
                     std::uint32_t first_column, unsigned depth) {
  source_ = source;
  first_line_ = first_line;
  first_index_ = first_index;
  first_column_ = first_column;
  tokens_.restart(source, first_line, kMaxSourceCharacters, first_index, first_column);
  import_paths_.clear();
  depth_ = depth;
  read_first_tokens();
}

void Parser::read_first_tokens() {
  current_ = &window_[0];
  next_ = &window_[1];
  read_token(*current_);
  read_token(*next_);
  previous_line_ = current().line;
  previous_end_ = current().start;
}

std::optional<ToluError> Parser::lexical_error() {
  return tokens_.drain();
}

ToluError Parser::error_for(ParseFailure failure) {
  if (const auto& lexical = tokens_.drain()) return *lexical;
  return std::move(failure.error);
}

bool Parser::match_punct() {
  if (!check_punct(';')) return false;
  advance();
  return true;
}

bool Parser::match_keyword() {
  if (!check_keyword(KeywordId::Else)) return false;
  advance();
  return true;
}

void Parser::consume_commas() {
  while (check_punct(',')) advance();
}

void Parser::expect_punct(char c, std::string_view message) {
  if (!check_punct(c)) fail(std::string(message));
  advance();
}

void Parser::expect_keyword(KeywordId keyword) {
  if (!check_keyword(keyword))
    fail("Expected keyword '" + std::string(keyword_spelling(keyword)) + "'");
  advance();
}

void Parser::expect_keyword(OperatorId op) {
  if (!check_keyword(op)) fail("Expected keyword '" + std::string(operator_spelling(op)) + "'");
  advance();
}

ast::Name Parser::expect_keyword_any(std::initializer_list<KeywordId> keywords) {
  for (KeywordId keyword : keywords) {
    if (check_keyword(keyword)) {
      advance();
      return keyword_name(keyword);
    }
  }
  fail("Expected keyword");
}

void Parser::expect_operator() {
  if (!check_operator(OperatorId::Colon)) fail("Expected ':' after case values");
  advance();
}

ast::Name Parser::expect_identifier(std::string_view message) {
  const Token& t = current();
  if (t.kind != TokenKind::Identifier) fail(std::string(message));
  if (t.text == "^^") fail("'^^' is reserved for the chain placeholder");
  const ast::Name spelling = token_name(t);
  advance();
  return spelling;
}

ast::Name Parser::expect_name(std::string_view message) {
  const Token& t = current();
  if (t.kind != TokenKind::Identifier && t.kind != TokenKind::Keyword) fail(std::string(message));
  if (t.text == "^^") fail("'^^' is reserved for the chain placeholder");
  const ast::Name spelling = token_name(t);
  advance();
  return spelling;
}

// At the end of the input, the note names the innermost bracket still open.
ToluError Parser::error_current(std::string message) const {
  const Token& t = current();
  const ErrorKind kind = t.kind == TokenKind::Eof ? ErrorKind::UnexpectedEnd : ErrorKind::Syntax;
  ToluError error = ToluError::located(kind, t.line, t.column, std::move(message));
  if (kind == ErrorKind::UnexpectedEnd) {
    if (auto note = open_delimiter_note()) error = ToluError::with_note(std::move(error), *note);
  }
  return ToluError::with_source_file(std::move(error), source_file_.to_optional());
}

void Parser::fail(std::string message) const {
  throw ParseFailure{error_current(std::move(message))};
}

void Parser::fail_missing_terminator() const {
  ToluError error = error_current("Expected ; after simple statement");
  if (auto note = missing_terminator_note()) error = ToluError::with_note(std::move(error), *note);
  throw ParseFailure{std::move(error)};
}

std::string Parser::token_text(const Token& t) const {
  switch (t.kind) {
    case TokenKind::Keyword:
    case TokenKind::Identifier:
    case TokenKind::Number:
    case TokenKind::Operator:
    case TokenKind::Punct:
      return std::string(t.text);
    case TokenKind::String:
      return literal(t).value;
    case TokenKind::BinaryString: {
      const auto& bytes = literal(t).bytes;
      return to_valid_utf8(
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    case TokenKind::Regex:
      return "/" + literal(t).value + "/" + literal(t).flags;
    case TokenKind::Template:
      return "<template>";
    case TokenKind::Eof:
      return "<eof>";
  }
  return "<eof>";
}

// program := { ";" } { statement { ";" } } EOF
ast::Program Parser::parse_program() {
  ast::Program program;
  const Start start = start_here();
  program.line = start.line;
  program.source_file = source_file_;
  // Room for the top-level statements of most programs, which take 60 bytes of source or more
  // each, so that a large program's list is not copied from one buffer to the next as it grows.
  statement_stack_.reserve(source_.size() / 64);
  ListBuilder statements(statement_stack_);
  for (;;) {
    while (match_punct()) {
    }
    if (at_eof()) break;
    statements.push(parse_statement());
  }
  program.statements = statements.finish(b_);
  program.span = span_from(start);
  return program;
}

// expression-root := expression EOF
ast::Expression Parser::parse_expression_root() {
  ast::Expression expression = parse_expression_prec(1);
  if (!at_eof()) fail("Unexpected token after expression");
  return expression;
}

// block := "{" { ";" | statement } "}"
ast::BlockStatement Parser::parse_block_statement() {
  if (!check_punct('{')) fail("Expected '{'");
  ast::BlockStatement block;
  const Start start = start_here();
  block.line = start.line;
  block.source_file = source_file_;
  advance();
  ListBuilder statements(statement_stack_);
  for (;;) {
    while (match_punct()) {
    }
    if (check_punct('}')) {
      advance();
      block.statements = statements.finish(b_);
      block.span = span_from(start);
      return block;
    }
    statements.push(parse_statement());
  }
}

}  // namespace parsing
}  // namespace tolu
