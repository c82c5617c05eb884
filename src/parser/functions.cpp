// Function expressions, lambdas, their async forms, and await and spawn blocks.
#include "parser/parser_internal.h"

namespace tolu::parsing {

// function-expression := "function" params ["->" TYPE] block
ast::Expression Parser::parse_function_expression_with_async(bool is_async) {
  const Line line = current_line();
  expect_keyword("function");
  ast::List<ast::Parameter> parameters = parse_parameter_list();
  std::optional<ast::Name> return_type = parse_optional_return_type();
  ast::BlockStatement body = parse_block_statement();
  return make(ast::FunctionExpression{std::move(parameters), std::move(return_type),
                                      std::move(body), is_async},
              line);
}

// lambda := "fn" (params | param) "->" expression
ast::Expression Parser::parse_lambda_expression_with_async(bool is_async) {
  const Line line = current_line();
  expect_keyword("fn");
  ast::List<ast::Parameter> parameters =
      check_punct('(') ? parse_parameter_list() : b_.list_of(parse_parameter());
  if (!check_operator(OperatorId::Arrow)) fail("Expected '->' after lambda parameters");
  advance();
  return make(ast::LambdaExpression{std::move(parameters), parse_expression_prec(1), is_async},
              line);
}

// async-expression := "async" (function-expression | lambda)
ast::Expression Parser::parse_async_expression() {
  expect_keyword("async");
  if (check_keyword("function")) return parse_function_expression_with_async(true);
  if (check_keyword("fn")) return parse_lambda_expression_with_async(true);
  fail("Expected function or fn after async");
}

// await := "await" block
ast::Expression Parser::parse_await_expression() {
  const Line line = current_line();
  expect_keyword("await");
  return make(ast::AwaitExpression{parse_block_statement()}, line);
}

// spawn := "spawn" block
ast::Expression Parser::parse_spawn_expression() {
  const Line line = current_line();
  expect_keyword("spawn");
  return make(ast::SpawnExpression{parse_block_statement()}, line);
}

}  // namespace tolu::parsing
