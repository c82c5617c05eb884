// Function expressions, lambdas, their async forms, and await and spawn blocks.
#include "parser/parser_internal.h"

namespace tolu::parsing {

// function-expression := "function" params ["->" TYPE] block
ast::Expression Parser::parse_function_expression_with_async(bool is_async) {
  const Start start = start_here();
  expect_keyword(KeywordId::Function);
  ast::List<ast::Parameter> parameters = parse_parameter_list();
  std::optional<ast::Name> return_type = parse_optional_return_type();
  ast::BlockStatement body = parse_block_statement();
  return make(ast::FunctionExpression{std::move(parameters), std::move(return_type),
                                      std::move(body), is_async},
              start);
}

// lambda := "fn" (params | param) "->" expression
ast::Expression Parser::parse_lambda_expression_with_async(bool is_async) {
  const Start start = start_here();
  expect_keyword(KeywordId::Fn);
  ast::List<ast::Parameter> parameters =
      check_punct('(') ? parse_parameter_list() : b_.list_of(parse_parameter());
  if (!check_operator(OperatorId::Arrow)) fail("Expected '->' after lambda parameters");
  advance();
  return make(ast::LambdaExpression{std::move(parameters), parse_expression_prec(1), is_async},
              start);
}

// async-expression := "async" (function-expression | lambda)
// The node takes the line of "function" or "fn" and spans from "async".
ast::Expression Parser::parse_async_expression() {
  const Start start = start_here();
  expect_keyword(KeywordId::Async);
  ast::Expression expression;
  if (check_keyword(KeywordId::Function)) {
    expression = parse_function_expression_with_async(true);
  } else if (check_keyword(KeywordId::Fn)) {
    expression = parse_lambda_expression_with_async(true);
  } else {
    fail("Expected function or fn after async");
  }
  expression.set_span(span_from(start));
  return expression;
}

// await := "await" block
ast::Expression Parser::parse_await_expression() {
  const Start start = start_here();
  expect_keyword(KeywordId::Await);
  return make(ast::AwaitExpression{parse_block_statement()}, start);
}

// spawn := "spawn" block
ast::Expression Parser::parse_spawn_expression() {
  const Start start = start_here();
  expect_keyword(KeywordId::Spawn);
  return make(ast::SpawnExpression{parse_block_statement()}, start);
}

}  // namespace tolu::parsing
