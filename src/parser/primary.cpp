// Operands: prefix forms, primary forms and the postfix suffixes that follow a primary.
#include "parser/parser_internal.h"

namespace tolu::parsing {

// prefix := declaration | try | new | do | lambda | async | await | spawn
//         | UNARY-OP prefix | "->" expression | primary { suffix }
ast::Expression Parser::parse_prefix_expression() {
  const Token& t = current();
  if (t.kind == TokenKind::Keyword) {
    switch (t.keyword) {
      case KeywordId::Let:
      case KeywordId::Const:
        return parse_declaration_expression();
      case KeywordId::Try:
        return parse_try_expression();
      case KeywordId::Do: {
        const Start start = start_here();
        advance();
        return make(ast::DoExpression{parse_block_statement()}, start);
      }
      case KeywordId::Fn:
        return parse_lambda_expression_with_async(false);
      case KeywordId::Async:
        return parse_async_expression();
      case KeywordId::Await:
        return parse_await_expression();
      case KeywordId::Spawn:
        return parse_spawn_expression();
      default:
        break;
    }
    if (t.op == OperatorId::New) return parse_new_expression();
  } else if (t.kind == TokenKind::Operator && t.op == OperatorId::Arrow) {
    return parse_placeholder_lambda();
  }
  // The prefix operators, named (not, abs, ...) or symbols (!, -, ...).
  if (const OperatorSpelling* op = operator_entry_of(t); op && op->is_prefix())
    return parse_unary(token_name(t), t.op);
  return parse_postfix_suffixes(parse_primary_expression());
}

// unary := OP operand, where the operand binds tighter than any binary operator. The node takes
// the line of the operand's last token.
ast::Expression Parser::parse_unary(ast::Name op, OperatorId id) {
  const Start start = start_here();
  advance();
  ast::Expression operand = parse_expression_prec(17);
  if ((id == OperatorId::Increment || id == OperatorId::Decrement) &&
      !ast::is_assignable_target(operand)) {
    fail("invalid target for unary operator '" + op + "'");
  }
  return make(ast::UnaryExpression{op, {}, id, std::move(operand)},
              Start{previous_line(), start.index});
}

// placeholder-lambda := "->" expression, a function of the chain placeholder "^^"
ast::Expression Parser::parse_placeholder_lambda() {
  const Start start = start_here();
  advance();
  ast::Parameter placeholder;
  placeholder.name = name("^^");
  placeholder.is_optional = true;
  placeholder.source_file = source_file_;
  placeholder.line = start.line;
  placeholder.span = span_from(start);
  return make(
      ast::LambdaExpression{b_.list_of(std::move(placeholder)), parse_expression_prec(1), false},
      start);
}

// declaration-expression := ("let" | "const") typed-name [weak] [":=" expression [weak]]
ast::Expression Parser::parse_declaration_expression() {
  const Start start = start_here();
  ast::DeclarationExpression declaration;
  declaration.kind = expect_keyword_any({KeywordId::Let, KeywordId::Const});
  std::tie(declaration.type_annotation, declaration.name) = parse_typed_name();
  declaration.is_weak = parse_optional_weak_modifier("declaration");
  if (check_operator(OperatorId::Assign)) {
    advance();
    declaration.initializer = parse_expression_prec(1);
    declaration.is_weak = parse_optional_weak_modifier("declaration") || declaration.is_weak;
  }
  return make(std::move(declaration), start);
}

// try-expression := "try" block ("catch" catch-clause)+
ast::Expression Parser::parse_try_expression() {
  const Start start = start_here();
  expect_keyword(KeywordId::Try);
  ast::BlockStatement body = parse_block_statement();
  return make(ast::TryExpression{std::move(body), parse_catch_clauses()}, start);
}

// new := "new" primary { "." NAME | "{" key "}" } [composition] "(" arguments { suffix }
ast::Expression Parser::parse_new_expression() {
  const Start start = start_here();
  expect_keyword(OperatorId::New);
  ChainDepth chain(*this);
  ast::Expression class_expression = parse_primary_expression();
  for (;;) {
    const Start object_start = start_of(class_expression);
    if (check_operator(OperatorId::Dot)) {
      advance();
      const ast::Name member = expect_name("Expected member name after '.'");
      class_expression =
          make(ast::MemberExpression{std::move(class_expression), member}, object_start);
    } else if (check_punct('{')) {
      advance();
      ast::DictKey key = parse_dict_key_until_rbrace();
      expect_punct('}', "Expected '}' after dict access");
      class_expression = make(
          ast::DictAccessExpression{std::move(class_expression), std::move(key)}, object_start);
    } else {
      break;
    }
    chain.deepen();
  }
  ast::List<ast::Name> traits = parse_trait_composition_list();
  expect_punct('(', "Expected '(' after class name in new expression");
  ast::List<ast::CallArgument> arguments = parse_call_arguments_after_open();
  const Start call_start = start_of(class_expression);
  ast::Expression call =
      make(ast::CallExpression{std::move(class_expression), std::move(arguments)}, call_start);
  return parse_postfix_suffixes(
      make(ast::UnaryExpression{operator_name(OperatorId::New), std::move(traits), OperatorId::New,
                                std::move(call)},
           start));
}

ast::Expression Parser::parse_primary_expression() {
  const Token& t = current();
  const Start start = start_here();
  switch (t.kind) {
    case TokenKind::Identifier: {
      const ast::Name identifier = token_name(t);
      advance();
      return make(ast::Identifier{identifier, std::nullopt}, start);
    }
    case TokenKind::Number: {
      const std::string_view text = b_.text(t.text);
      advance();
      return make(ast::NumberLiteral{text}, start);
    }
    case TokenKind::String: {
      const std::string_view value = b_.text(literal(t).value);
      advance();
      return make(ast::StringLiteral{value}, start);
    }
    case TokenKind::BinaryString: {
      ast::List<std::uint8_t> bytes = b_.list(literal(t).bytes);
      advance();
      return make(ast::BinaryStringLiteral{std::move(bytes)}, start);
    }
    case TokenKind::Regex: {
      LiteralPayload& payload = take_literal();
      advance();
      return make(ast::RegexLiteral{b_.text(payload.value), parse_template_parts(payload.parts),
                                    b_.text(payload.flags), std::nullopt},
                  start);
    }
    case TokenKind::Template: {
      LiteralPayload& payload = take_literal();
      advance();
      return make(ast::TemplateLiteral{parse_template_parts(payload.parts)}, start);
    }
    case TokenKind::Keyword:
      switch (t.keyword) {
        case KeywordId::True:
        case KeywordId::False: {
          const bool value = t.keyword == KeywordId::True;
          advance();
          return make(ast::BooleanLiteral{value}, start);
        }
        case KeywordId::Null:
          advance();
          return make(ast::NullLiteral{}, start);
        case KeywordId::Super:
          return parse_super_call_expression();
        case KeywordId::Function:
          return parse_function_expression_with_async(false);
        default:
          break;
      }
      break;
    case TokenKind::Operator:
      switch (t.op) {
        case OperatorId::BagOpen:
          return parse_bag_literal();
        case OperatorId::SetOpen:
          return parse_set_literal(OperatorId::SetClose);
        case OperatorId::GuillemetOpen:
          return parse_set_literal(OperatorId::GuillemetClose);
        case OperatorId::FloorOpen:
          return parse_grouped_unary(OperatorId::Floor, OperatorId::FloorClose);
        case OperatorId::CeilOpen:
          return parse_grouped_unary(OperatorId::Ceil, OperatorId::CeilClose);
        default:
          break;
      }
      break;
    case TokenKind::Punct:
      // A parenthesized expression's node spans its parentheses too.
      if (t.punct == '(') {
        advance();
        ast::Expression inner = parse_expression_prec(1);
        expect_punct(')', "Expected ')' after expression");
        inner.set_span(span_from(start));
        return inner;
      }
      if (t.punct == '[') return parse_array_literal();
      if (t.punct == '{')
        return is_punct(peek_token(), '{') ? parse_pairlist_literal() : parse_dict_literal();
      break;
    case TokenKind::Eof:
      break;
  }
  fail("Expected expression");
}

// array := "[" { "," } [expression { "," { "," } expression }] { "," } "]"
ast::Expression Parser::parse_array_literal() {
  const Start start = start_here();
  advance();
  consume_commas();
  ListBuilder elements(expression_stack_);
  while (!check_punct(']')) {
    elements.push(parse_expression_prec(1));
    if (!check_punct(',')) break;
    consume_commas();
  }
  expect_punct(']', "Expected ']' after array literal");
  return make(ast::ArrayLiteral{elements.finish(b_), std::nullopt}, start);
}

// dict := "{" { "," } [key ":" expression { "," { "," } key ":" expression }] { "," } "}"
ast::Expression Parser::parse_dict_literal() {
  const Start start = start_here();
  advance();
  consume_commas();
  ListBuilder entries(entry_stack_);
  while (!check_punct('}')) {
    entries.push(parse_dict_entry("Expected ':' after dict key"));
    if (!check_punct(',')) break;
    consume_commas();
  }
  expect_punct('}', "Expected '}' after dict literal");
  return make(ast::DictLiteral{entries.finish(b_), std::nullopt}, start);
}

// set := ("<<" list ">>") | ("«" list "»")
ast::Expression Parser::parse_set_literal(OperatorId closer) {
  const Start start = start_here();
  advance();
  return make(ast::SetLiteral{parse_expression_list_until_operator(closer), std::nullopt}, start);
}

// grouped-unary := "⌊" expression "⌋" | "⌈" expression "⌉", the operator named `name`
ast::Expression Parser::parse_grouped_unary(OperatorId name, OperatorId closer) {
  const Start start = start_here();
  advance();
  ast::Expression operand = parse_expression_prec(1);
  if (!check_operator(closer)) fail("Expected grouped unary closer");
  advance();
  return make(ast::UnaryExpression{operator_name(name), {}, name, std::move(operand)}, start);
}

// super-call := "super" "(" arguments
ast::Expression Parser::parse_super_call_expression() {
  const Start start = start_here();
  expect_keyword(KeywordId::Super);
  expect_punct('(', "Expected '(' after super");
  return make(ast::SuperCallExpression{parse_call_arguments_after_open()}, start);
}

// "(" expression ")", for statement heads
ast::Expression Parser::parse_parenthesized_expression() {
  expect_punct('(', "Expected '('");
  ast::Expression inner = parse_expression_prec(1);
  expect_punct(')', "Expected ')' after expression");
  return inner;
}

// suffix := "(" arguments | "[" index-or-slice | "{" key "}" | "." NAME
//         | ".(" expression ")" "(" arguments | "++" | "--"
// Each suffix node takes the position of the expression it wraps.
ast::Expression Parser::parse_suffix_chain(ast::Expression expr) {
  ChainDepth chain(*this);
  for (;;) {
    const Token& t = current();
    if (is_punct(t, '(')) {
      expr = parse_call_suffix(std::move(expr));
    } else if (is_punct(t, '[')) {
      expr = parse_index_or_slice(std::move(expr));
    } else if (is_punct(t, '{')) {
      expr = parse_dict_access_suffix(std::move(expr));
    } else if (is_operator(t, OperatorId::Dot)) {
      expr = parse_member_suffix(std::move(expr));
    } else if (is_operator(t, OperatorId::DotParen)) {
      expr = parse_dynamic_member_suffix(std::move(expr));
    } else if (operator_info(t.op).has_postfix_spelling && operator_entry_of(t)->is_postfix()) {
      expr = parse_postfix_operator_suffix(std::move(expr));
    } else {
      return expr;
    }
    chain.deepen();  // the suffix wraps the expression one level deeper
  }
}

ast::Expression Parser::parse_call_suffix(ast::Expression callee) {
  const Start start = start_of(callee);
  advance();
  ast::List<ast::CallArgument> arguments = parse_call_arguments_after_open();
  return make(ast::CallExpression{std::move(callee), std::move(arguments)}, start);
}

ast::Expression Parser::parse_dict_access_suffix(ast::Expression object) {
  const Start start = start_of(object);
  advance();
  ast::DictKey key = parse_dict_key_until_rbrace();
  expect_punct('}', "Expected '}' after dict access");
  return make(ast::DictAccessExpression{std::move(object), std::move(key)}, start);
}

ast::Expression Parser::parse_member_suffix(ast::Expression object) {
  const Start start = start_of(object);
  advance();
  const ast::Name member = expect_name("Expected member name after '.'");
  return make(ast::MemberExpression{std::move(object), member}, start);
}

ast::Expression Parser::parse_dynamic_member_suffix(ast::Expression object) {
  const Start start = start_of(object);
  advance();
  ast::Expression member = parse_expression_prec(1);
  expect_punct(')', "Expected ')' after dynamic member expression");
  expect_punct('(', "Expected '(' after dynamic member");
  ast::List<ast::CallArgument> arguments = parse_call_arguments_after_open();
  return make(ast::DynamicMemberCall{std::move(object), std::move(member), std::move(arguments)},
              start);
}

// The target error is reported at the token after the operator.
ast::Expression Parser::parse_postfix_operator_suffix(ast::Expression operand) {
  const ast::Name op = token_name(current());
  const OperatorId id = current().op;
  advance();
  if (!ast::is_assignable_target(operand)) fail("invalid target for unary operator '" + op + "'");
  const Start start = start_of(operand);
  return make(ast::PostfixExpression{std::move(op), std::move(operand), id}, start);
}

// index-or-slice := "[" (expression "]" | [expression] ":" [expression] "]")
ast::Expression Parser::parse_index_or_slice(ast::Expression object) {
  const Start origin = start_of(object);
  advance();
  std::optional<ast::Expression> start;
  if (!check_operator(OperatorId::Colon)) {
    ast::Expression first = parse_expression_prec(1);
    if (check_punct(']')) {
      advance();
      return make(ast::IndexExpression{std::move(object), std::move(first)}, origin);
    }
    if (!check_operator(OperatorId::Colon)) fail("Expected ']' after index");
    start = std::move(first);
  }
  advance();  // ":"
  std::optional<ast::Expression> end;
  if (!check_punct(']')) end = parse_expression_prec(1);
  expect_punct(']', "Expected ']' after slice");
  return make(ast::SliceExpression{std::move(object), std::move(start), std::move(end)}, origin);
}

std::optional<ast::Name> Parser::match_postfix_condition_keyword() {
  if (!check_keyword(KeywordId::If) && !check_keyword(KeywordId::Unless)) return std::nullopt;
  const ast::Name keyword = token_name(current());
  advance();
  return keyword;
}

}  // namespace tolu::parsing
