// Control-flow statements: if, while, switch, try, return, throw and die.
#include "parser/parser_internal.h"

namespace tolu::parsing {

// if := "if" "(" expression ")" block ["else" (if | block)]
ast::If Parser::parse_if_statement() {
  ast::If statement;
  statement.line = current_line();
  statement.source_file = source_file_;
  expect_keyword(KeywordId::If);
  statement.condition = parse_parenthesized_expression();
  statement.then_block = parse_block_statement();
  if (!match_keyword()) return statement;
  const Start else_start = start_here();
  if (check_keyword(KeywordId::If)) {
    DepthGuard guard(*this);
    statement.else_branch = this->statement(parse_if_statement(), else_start);
  } else {
    statement.else_branch = this->statement(ast::Block{parse_block_statement()}, else_start);
  }
  return statement;
}

// while := "while" "(" expression ")" block
ast::While Parser::parse_while_statement() {
  const Line line = current_line();
  expect_keyword(KeywordId::While);
  ast::Expression condition = parse_parenthesized_expression();
  return {std::move(condition), parse_block_statement(), source_file_, line};
}

// switch := "switch" "(" expression [":" COMPARATOR] ")" "{" { case | default | ";" } "}"
ast::Switch Parser::parse_switch_statement() {
  ast::Switch statement;
  statement.line = current_line();
  statement.source_file = source_file_;
  expect_keyword(KeywordId::Switch);
  expect_punct('(', "Expected '(' after switch");
  statement.discriminant = parse_expression_prec(1);
  statement.comparator = parse_switch_comparator(statement.comparator_op);
  expect_punct(')', "Expected ')' after switch header");
  expect_punct('{', "Expected '{' before switch body");
  while (match_punct()) {
  }
  std::vector<ast::SwitchCase> cases;
  while (!check_punct('}')) {
    if (check_keyword(KeywordId::Case)) {
      ast::SwitchCase clause;
      const Start start = start_here();
      clause.line = start.line;
      clause.source_file = source_file_;
      advance();
      ListBuilder values(expression_stack_);
      values.push(parse_expression_prec(1));
      while (check_punct(',')) {
        advance();
        values.push(parse_expression_prec(1));
      }
      clause.values = values.finish(b_);
      expect_operator();
      clause.body = parse_switch_consequent();
      clause.span = span_from(start);
      cases.push_back(std::move(clause));
    } else if (check_keyword(OperatorId::Default)) {
      advance();
      if (!check_operator(OperatorId::Colon)) fail("Expected ':' after default");
      advance();
      statement.default_body = parse_switch_consequent();
    } else {
      fail("Expected case or default in switch");
    }
    while (match_punct()) {
    }
  }
  advance();
  statement.cases = b_.list(std::move(cases));
  return statement;
}

// comparator := any operator, or one of the operator keywords the table marks as comparators
std::optional<ast::Name> Parser::parse_switch_comparator(OperatorId& op) {
  if (!check_operator(OperatorId::Colon)) return std::nullopt;
  advance();
  const Token& t = current();
  const OperatorSpelling* keyword = t.kind == TokenKind::Keyword ? operator_entry_of(t) : nullptr;
  const bool accepted =
      t.kind == TokenKind::Operator || (keyword && keyword->is_switch_comparator());
  if (!accepted) fail("Expected switch comparator operator");
  const ast::Name comparator = token_name(t);
  op = t.op;
  advance();
  return comparator;
}

// consequent := { statement { ";" } } up to "case", "default" or "}"
ast::List<ast::Statement> Parser::parse_switch_consequent() {
  ListBuilder body(statement_stack_);
  while (match_punct()) {
  }
  while (!check_punct('}') && !check_keyword(KeywordId::Case) &&
         !check_keyword(OperatorId::Default)) {
    body.push(parse_statement());
    while (match_punct()) {
    }
  }
  return body.finish(b_);
}

// try := "try" block ("catch" catch-clause)+
ast::Try Parser::parse_try_statement() {
  ast::Try statement;
  statement.line = current_line();
  statement.source_file = source_file_;
  expect_keyword(KeywordId::Try);
  statement.body = parse_block_statement();
  statement.catches = parse_catch_clauses();
  return statement;
}

ast::List<ast::CatchClause> Parser::parse_catch_clauses() {
  ListBuilder catches(catch_stack_);
  while (check_keyword(KeywordId::Catch)) {
    const Start start = start_here();
    advance();
    catches.push(parse_catch_clause(start));
  }
  if (catches.size() == 0) fail("Expected at least one catch block");
  return catches.finish(b_);
}

// catch-clause := ["(" [[TYPE] NAME] ")"] block, after "catch" at `start`
ast::CatchClause Parser::parse_catch_clause(Start start) {
  ast::CatchClause clause;
  clause.line = start.line;
  clause.source_file = source_file_;
  if (check_punct('(')) {
    advance();
    if (check_punct(')')) {
      advance();
    } else {
      const Start binding_start = start_here();
      const ast::Name first = expect_identifier("Expected catch binding");
      ast::CatchBinding binding{first, std::nullopt, source_file_};
      if (current().kind == TokenKind::Identifier) {
        binding.type_name = binding.name;
        binding.name = expect_identifier("Expected catch variable name");
      }
      binding.span = span_from(binding_start);
      clause.binding = std::move(binding);
      expect_punct(')', "Expected ')' after catch binding");
    }
  }
  clause.body = parse_block_statement();
  clause.span = span_from(start);
  return clause;
}

// return := "return" [expression]; no value before ";", "}", the end, "if" or "unless"
ast::Return Parser::parse_return_statement() {
  ast::Return statement;
  statement.line = current_line();
  statement.source_file = source_file_;
  expect_keyword(KeywordId::Return);
  if (check_punct(';') || check_punct('}') || at_eof() || check_keyword(KeywordId::If) ||
      check_keyword(KeywordId::Unless)) {
    return statement;
  }
  statement.value = parse_expression_prec(1);
  return statement;
}

ast::Throw Parser::parse_throw_statement() {
  const Line line = current_line();
  expect_keyword(KeywordId::Throw);
  return {parse_expression_prec(1), source_file_, line};
}

ast::Die Parser::parse_die_statement() {
  const Line line = current_line();
  expect_keyword(KeywordId::Die);
  return {parse_expression_prec(1), source_file_, line};
}

}  // namespace tolu::parsing
