// Precedence climbing over the binary operator table, with the assignment, ternary and
// fallback constructs.
//
//   level 1  assignment (right-associative)     level 2  |> ▷ (left), <| ◁ (right)
//   level 3  ternary ?: and fallback ?:          levels 4 to 16  the binary table
#include "parser/operators.h"
#include "parser/parser_internal.h"

namespace tolu::parsing {
namespace {

// Only operator and keyword tokens can be binary operators: a string whose text happens to
// spell an operator ends the expression like any other token.
std::optional<BinaryOperator> binary_operator_at(const Token& t) {
  if (t.kind != TokenKind::Operator && t.kind != TokenKind::Keyword) return std::nullopt;
  return binary_operator(t.text);
}

int chain_direction_of(const ast::Expression& e) {
  const auto* binary = e.as<ast::BinaryExpression>();
  return binary ? chain_direction(binary->op) : 0;
}

}  // namespace

ast::Expression Parser::parse_expression_prec(std::uint8_t min_prec) {
  DepthGuard guard(*this);
  ChainDepth chain(*this);
  ast::Expression left = parse_prefix_expression();
  for (;;) {
    const Token& t = current();
    if (min_prec <= 1 && t.kind == TokenKind::Operator && is_assignment_operator(t.text)) {
      left = parse_assignment(std::move(left));
    } else if (min_prec <= 3 && is_operator(t, "?")) {
      left = parse_ternary(std::move(left));
    } else if (min_prec <= 3 && is_operator(t, "?:")) {
      left = parse_fallback(std::move(left));
    } else {
      const auto op = binary_operator_at(t);
      if (!op || op->level < min_prec) return left;
      left = parse_binary(std::move(left), *op);
    }
    chain.deepen();  // the tree built so far is now one level deeper
  }
}

// binary := left OP expression(level + 1), or expression(level) when OP is right-associative
ast::Expression Parser::parse_binary(ast::Expression left, BinaryOperator op) {
  const ast::Name spelling = token_name(current());
  advance();
  ast::Expression right = parse_expression_prec(op.right_associative ? op.level : op.level + 1);
  if (const int direction = chain_direction(spelling);
      direction != 0 &&
      (chain_direction_of(left) == -direction || chain_direction_of(right) == -direction)) {
    fail("Mixed chain directions require parentheses");
  }
  const Line line = left.line();
  ast::SourceFile source_file = left.source_file();
  return b_.expression(
      ast::BinaryExpression{std::move(spelling), std::move(left), std::move(right)}, line,
      std::move(source_file));
}

// assignment := target ASSIGN-OP expression [weak]
ast::Expression Parser::parse_assignment(ast::Expression target) {
  const ast::Name op = token_name(current());
  advance();
  ast::Expression value = parse_expression_prec(1);
  const bool is_weak = parse_optional_weak_modifier("assignment");
  if (!is_assignable_target(target)) fail("invalid assignment target");
  if (is_weak && op != ":=") fail("but weak is only valid on ':=' assignments");
  if (is_weak) {
    const auto* path = target.as<ast::BinaryExpression>();
    if (path && path->op == "@?") fail("but weak is not valid on @? path assignments");
  }
  const Line line = target.line();
  ast::SourceFile source_file = target.source_file();
  return b_.expression(ast::AssignmentExpression{std::move(op), std::move(target), std::move(value),
                                                 is_weak, ast::TypeCheck::Unknown},
                       line, std::move(source_file));
}

// ternary := condition "?" expression ":" expression(3)
ast::Expression Parser::parse_ternary(ast::Expression condition) {
  advance();
  ast::Expression then_branch = parse_expression_prec(1);
  if (!check_operator(":")) fail("Expected ':' in ternary expression");
  advance();
  ast::Expression else_branch = parse_expression_prec(3);
  const Line line = condition.line();
  ast::SourceFile source_file = condition.source_file();
  return b_.expression(
      ast::TernaryExpression{std::move(condition), std::move(then_branch), std::move(else_branch)},
      line, std::move(source_file));
}

// fallback := left "?:" expression(3)
ast::Expression Parser::parse_fallback(ast::Expression left) {
  advance();
  ast::Expression right = parse_expression_prec(3);
  const Line line = left.line();
  ast::SourceFile source_file = left.source_file();
  return b_.expression(ast::FallbackExpression{std::move(left), std::move(right)}, line,
                       std::move(source_file));
}

// list := CLOSER | expression { "," expression } [","] CLOSER
ast::List<ast::Expression> Parser::parse_expression_list_until_operator(std::string_view closer) {
  if (check_operator(closer)) {
    advance();
    return {};
  }
  ListBuilder elements(expression_stack_);
  for (;;) {
    elements.push(parse_expression_prec(1));
    if (!check_punct(',')) break;
    advance();
    if (check_operator(closer)) break;
  }
  if (!check_operator(closer)) fail("Expected collection literal terminator");
  advance();
  return elements.finish(b_);
}

}  // namespace tolu::parsing
