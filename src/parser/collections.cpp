// Bag and pair-list literals, dict keys, call arguments, and the parts of templates and regexes.
#include "parser/parser.h"
#include "parser/parser_internal.h"

#include "lexer/lexer.h"

namespace tolu::parsing {

// bag := "<<<" list ">>>"
ast::Expression Parser::parse_bag_literal() {
  const Start start = start_here();
  advance();
  return make(
      ast::BagLiteral{parse_expression_list_until_operator(OperatorId::BagClose), std::nullopt},
      start);
}

// pair-list := "{" "{" { "," } [key ":" expression { "," { "," } key ":" expression }] { "," } "}"
// "}"
ast::Expression Parser::parse_pairlist_literal() {
  const Start start = start_here();
  advance();
  advance();
  consume_commas();
  ListBuilder entries(entry_stack_);
  const auto at_close = [&] { return check_punct('}') && is_punct(peek_token(), '}'); };
  if (!at_close()) {
    for (;;) {
      entries.push(parse_dict_entry("Expected ':' after pairlist key"));
      if (!check_punct(',')) break;
      consume_commas();
      if (at_close()) break;
    }
  }
  expect_punct('}', "Expected '}' after pairlist literal");
  expect_punct('}', "Expected second '}' after pairlist literal");
  return make(ast::PairListLiteral{entries.finish(b_), std::nullopt}, start);
}

// entry := key ":" expression; the entry takes its position from the key.
ast::DictEntry Parser::parse_dict_entry(const char* missing_colon) {
  ast::DictKey key = parse_dict_key_before_colon();
  if (!check_operator(OperatorId::Colon)) fail(missing_colon);
  advance();
  ast::Expression value = parse_expression_prec(1);
  const Start start{key.line, key.span.start};
  return {std::move(key), std::move(value), start.line, source_file_, span_from(start)};
}

// key := NAME | KEYWORD | STRING | "(" expression ")"
ast::DictKey Parser::parse_dict_key_before_colon() {
  const Token& t = current();
  const Start start = start_here();
  if (t.kind == TokenKind::Keyword || t.kind == TokenKind::Identifier) {
    const ast::Name name = token_name(t);
    advance();
    return {ast::NameKey{name}, start.line, source_file_, span_from(start)};
  }
  if (t.kind == TokenKind::String) {
    const ast::CompactText value = b_.compact_text(literal(t).value);
    advance();
    return {ast::StringKey{value}, start.line, source_file_, span_from(start)};
  }
  if (is_punct(t, '(')) return parse_dict_key_expression();
  fail("Expected dict key");
}

// access-key := (NAME | KEYWORD | STRING) "}" | expression | "(" expression ")"; "}" stays
ast::DictKey Parser::parse_dict_key_until_rbrace() {
  const Token& t = current();
  const Start start = start_here();
  const bool word_or_string = t.kind == TokenKind::Keyword || t.kind == TokenKind::Identifier ||
                              t.kind == TokenKind::String;
  if (word_or_string && is_punct(peek_token(), '}')) return parse_dict_key_before_colon();
  if (word_or_string) {
    ast::Expression expression = parse_expression_prec(1);
    return {ast::ExpressionKey{std::move(expression)}, start.line, source_file_, span_from(start)};
  }
  if (is_punct(t, '(')) return parse_dict_key_expression();
  fail("Expected dict access key");
}

// "(" expression ")" as a key
ast::DictKey Parser::parse_dict_key_expression() {
  const Start start = start_here();
  advance();
  ast::Expression expression = parse_expression_prec(1);
  expect_punct(')', "Expected ')' after dict key expression");
  return {ast::ExpressionKey{std::move(expression)}, start.line, source_file_, span_from(start)};
}

// arguments := ")" | argument { separator argument } [","] ")", after "("; a named argument may
// follow another argument without a comma.
ast::List<ast::CallArgument> Parser::parse_call_arguments_after_open() {
  if (check_punct(')')) {
    advance();
    return {};
  }
  ListBuilder arguments(argument_stack_);
  for (;;) {
    consume_commas();
    arguments.push(parse_call_argument());
    if (check_punct(',')) {
      advance();
      if (check_punct(')')) break;
      continue;
    }
    if (!named_argument_follows()) break;
  }
  expect_punct(')', "Expected ')' after arguments");
  return arguments.finish(b_);
}

// argument := "..." expression | expression ":" expression | expression
ast::CallArgument Parser::parse_call_argument() {
  if (check_operator(OperatorId::Ellipsis)) {
    const Start start = start_here();
    advance();
    ast::Expression value = parse_expression_prec(1);
    return {ast::Spread{}, start.line, std::move(value), source_file_, span_from(start)};
  }
  // A key written in parentheses is computed, as in dict literals, even when the grouped
  // expression is a bare name or string: f((k): 1) keys by the value of k.
  const bool parenthesized = check_punct('(');
  ast::Expression first = parse_expression_prec(1);
  const Start start = start_of(first);
  const ast::Span first_span = first.span();
  if (!check_operator(OperatorId::Colon))
    return {ast::Positional{}, start.line, std::move(first), source_file_, first_span};
  ast::DictKey key{ast::NameKey{}, start.line, source_file_, first_span};
  advance();
  ast::Expression value = parse_expression_prec(1);
  if (auto* name = first.as<ast::Identifier>(); name && !parenthesized) {
    key.node = ast::NameKey{std::move(name->name)};
  } else if (auto* text = first.as<ast::StringLiteral>(); text && !parenthesized) {
    key.node = ast::StringKey{b_.compact_text(text->value)};
  } else {
    key.node = ast::ExpressionKey{std::move(first)};
  }
  return {b_.stored(ast::Named{std::move(key)}), start.line, std::move(value), source_file_,
          span_from(start)};
}

bool Parser::named_argument_follows() const {
  const Token& t = current();
  const bool key_start = t.kind == TokenKind::Keyword || t.kind == TokenKind::Identifier ||
                         t.kind == TokenKind::String || is_punct(t, '(');
  return key_start && is_operator(peek_token(), OperatorId::Colon);
}

namespace {

constexpr std::string_view kInvalidInterpolation = "invalid template interpolation";

// The error for an interpolation that failed with `inner`. Its notes give the failure found
// inside, at its place in the file; an interpolation nested in it passes its own notes on, so
// that they name the innermost failure.
ToluError interpolation_error(std::uint32_t line, const ToluError& inner) {
  ToluError error = ToluError::semantic(std::string(kInvalidInterpolation), line);
  if (inner.kind() != ErrorKind::Semantic || inner.message() != kInvalidInterpolation)
    error =
        ToluError::with_note(std::move(error), {inner.line(), inner.column(), inner.message(), {}});
  for (const Note& note : inner.notes()) error = ToluError::with_note(std::move(error), note);
  return error;
}

}  // namespace

// The parser of an interpolation, at its start. Lexing from the interpolation's line, index and
// column gives the positions that the text before it would, without building it.
Parser& Parser::interpolation_parser(const TokenTemplatePart& part) {
  const std::uint32_t line = std::max<std::uint32_t>(part.line, 1);
  const std::uint32_t column = std::max<std::uint32_t>(part.column, 1);
  if (interpolation_parser_) {
    interpolation_parser_->restart(part.text, line, part.start, column, depth_);
  } else {
    interpolation_parser_ =
        std::make_unique<Parser>(part.text, line, part.start, column, source_file_, b_.storage(),
                                 depth_, nullptr, spelling_names_);
  }
  return *interpolation_parser_;
}

// Each interpolation is parsed as an expression of its own, placed at its line, character index
// and column so that its positions are those of the enclosing file. Any failure inside is
// reported as the interpolation's, with the failure itself in the notes. A text part spans its
// characters as written, an interpolation part "${" through "}".
ast::List<ast::TemplatePart> Parser::parse_template_parts(
    const std::vector<TokenTemplatePart>& parts) {
  ListBuilder result(part_stack_);
  for (const TokenTemplatePart& part : parts) {
    if (part.kind == TokenTemplatePart::Text) {
      result.push({ast::Text{b_.compact_text(part.text)}, part.line, source_file_,
                   ast::Span{part.start, part.end}});
      continue;
    }
    Parser& inner = interpolation_parser(part);
    ast::Expression expression;
    try {
      expression = inner.parse_expression_root();
    } catch (ParseFailure& failure) {
      ToluError error = inner.error_for(std::move(failure));
      if (error.kind() != ErrorKind::Lexical && error.message() == kNestingTooDeep)
        throw ParseFailure{std::move(error)};
      throw ParseFailure{interpolation_error(part.line, error)};
    }
    if (auto error = inner.lexical_error())
      throw ParseFailure{interpolation_error(part.line, *error)};
    const Line line = expression.line();
    ast::SourceFile source_file = expression.source_file();
    result.push({ast::Interpolation{std::move(expression)}, line, std::move(source_file),
                 ast::Span{part.start - 2, part.end + 1}});
  }
  return result.finish(b_);
}

}  // namespace tolu::parsing
