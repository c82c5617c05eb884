// Precedence climbing over the binary operator table, with the assignment, ternary and
// fallback constructs.
//
//   level 1  assignment (right-associative)     level 2  the pipelines
//   level 3  ternary and fallback                levels 4 to 16  the other binary operators
// Levels and associativity come from the operator table (base/operators.h).
#include "parser/parser_internal.h"

namespace tolu::parsing {
namespace {

// Pipeline direction: +1 for the pipe to the right, -1 for the pipe to the left, 0 otherwise.
int chain_direction(OperatorId op) {
  if (op == OperatorId::PipeRight) return 1;
  if (op == OperatorId::PipeLeft) return -1;
  return 0;
}

int chain_direction_of(const ast::Expression& e) {
  const auto* binary = e.as<ast::BinaryExpression>();
  return binary ? chain_direction(binary->op_id) : 0;
}

}  // namespace

ast::Expression Parser::parse_expression_prec(std::uint8_t min_prec) {
  DepthGuard guard(*this);
  ChainDepth chain(*this);
  ast::Expression left = parse_prefix_expression();
  for (;;) {
    // Only operator and keyword tokens name an operator: a string whose text happens to spell
    // one ends the expression like any other token.
    const Token& t = current();
    if (t.op == OperatorId::None) return left;  // most operands end at punctuation
    const OperatorInfo& op = operator_info(t.op);
    if (min_prec <= 1 && t.kind == TokenKind::Operator && op.is_assignment()) {
      left = parse_assignment(std::move(left));
    } else if (min_prec <= 3 && is_operator(t, OperatorId::Question)) {
      left = parse_ternary(std::move(left));
    } else if (min_prec <= 3 && is_operator(t, OperatorId::Fallback)) {
      left = parse_fallback(std::move(left));
    } else {
      if (!op.is_binary() || op.level < min_prec) return left;
      left = parse_binary(std::move(left), op);
    }
    chain.deepen();  // the tree built so far is now one level deeper
  }
}

// binary := left OP expression(level + 1), or expression(level) when OP is right-associative
ast::Expression Parser::parse_binary(ast::Expression left, const OperatorInfo& op) {
  const Start start = start_of(left);
  const ast::Name spelling = token_name(current());
  advance();
  ast::Expression right = parse_expression_prec(op.right_associative ? op.level : op.level + 1);
  if (const int direction = chain_direction(op.id);
      direction != 0 &&
      (chain_direction_of(left) == -direction || chain_direction_of(right) == -direction)) {
    fail("Mixed chain directions require parentheses");
  }
  return make(ast::BinaryExpression{spelling, std::move(left), std::move(right), op.id}, start);
}

// assignment := target ASSIGN-OP expression [weak]
ast::Expression Parser::parse_assignment(ast::Expression target) {
  const Start start = start_of(target);
  const ast::Name op = token_name(current());
  const OperatorId id = current().op;
  advance();
  ast::Expression value = parse_expression_prec(1);
  const bool is_weak = parse_optional_weak_modifier("assignment");
  if (!ast::is_assignable_target(target)) fail("invalid assignment target");
  if (is_weak && id != OperatorId::Assign) fail("but weak is only valid on ':=' assignments");
  if (is_weak) {
    const auto* path = target.as<ast::BinaryExpression>();
    if (path && path->op_id == OperatorId::AtQuestion)
      fail("but weak is not valid on @? path assignments");
  }
  return make(ast::AssignmentExpression{op, std::move(target), std::move(value), is_weak,
                                        ast::TypeCheck::Unknown, id},
              start);
}

// ternary := condition "?" expression ":" expression(3)
ast::Expression Parser::parse_ternary(ast::Expression condition) {
  const Start start = start_of(condition);
  advance();
  ast::Expression then_branch = parse_expression_prec(1);
  if (!check_operator(OperatorId::Colon)) fail("Expected ':' in ternary expression");
  advance();
  ast::Expression else_branch = parse_expression_prec(3);
  return make(
      ast::TernaryExpression{std::move(condition), std::move(then_branch), std::move(else_branch)},
      start);
}

// fallback := left "?:" expression(3)
ast::Expression Parser::parse_fallback(ast::Expression left) {
  const Start start = start_of(left);
  advance();
  ast::Expression right = parse_expression_prec(3);
  return make(ast::FallbackExpression{std::move(left), std::move(right)}, start);
}

// list := CLOSER | expression { "," expression } [","] CLOSER
ast::List<ast::Expression> Parser::parse_expression_list_until_operator(OperatorId closer) {
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
