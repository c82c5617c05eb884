// Classes, traits, methods, fields, parameters and the small signature pieces they share.
#include "parser/parser_internal.h"

namespace tolu::parsing {

// The body of a forward declaration, after its ";": empty, at the end of the declaration.
ast::BlockStatement Parser::empty_body(Line line) const {
  ast::BlockStatement body;
  body.source_file = source_file_;
  body.line = line;
  body.span = ast::Span{previous_end_, previous_end_};
  return body;
}

// class := "class" NAME ["extends" NAME] [composition] (";" | "{" { member | ";" } "}")
ast::ClassDeclaration Parser::parse_class_declaration() {
  DepthGuard guard(*this);
  ast::ClassDeclaration declaration;
  const Start start = start_here();
  declaration.line = start.line;
  declaration.source_file = source_file_;
  expect_keyword(KeywordId::Class);
  declaration.name = expect_identifier("Expected class name");
  if (check_keyword(KeywordId::Extends)) {
    advance();
    declaration.base_class = expect_identifier("Expected base class name after extends");
  }
  declaration.traits = parse_trait_composition_list();
  if (match_punct()) {
    declaration.is_forward = true;
    declaration.span = span_from(start);
    return declaration;
  }
  if (!check_punct('{')) fail("Expected '{' to start class body");
  advance();
  declaration.members = parse_member_body(true);
  declaration.span = span_from(start);
  return declaration;
}

// trait := "trait" NAME (";" | "{" { method | class | trait | ";" } "}")
ast::TraitDeclaration Parser::parse_trait_declaration() {
  DepthGuard guard(*this);
  ast::TraitDeclaration declaration;
  const Start start = start_here();
  declaration.line = start.line;
  declaration.source_file = source_file_;
  expect_keyword(KeywordId::Trait);
  declaration.name = expect_identifier("Expected trait name");
  if (match_punct()) {
    declaration.is_forward = true;
    declaration.span = span_from(start);
    return declaration;
  }
  if (!check_punct('{')) fail("Expected '{' to start trait body");
  advance();
  declaration.members = parse_member_body(false);
  declaration.span = span_from(start);
  return declaration;
}

// body := { ";" | member } "}", after "{". A trait body takes neither fields nor static methods.
ast::List<ast::ClassMember> Parser::parse_member_body(bool is_class) {
  ListBuilder members(member_stack_);
  for (;;) {
    while (match_punct()) {
    }
    if (check_punct('}')) {
      advance();
      return members.finish(b_);
    }
    if (is_class && (check_keyword(KeywordId::Let) || check_keyword(KeywordId::Const))) {
      members.push({ast::Field{parse_field_declaration()}});
    } else if (check_keyword(KeywordId::Async) || check_keyword(KeywordId::Method) ||
               (is_class && check_keyword(KeywordId::Static))) {
      members.push({ast::Method{parse_method_declaration(is_class)}});
    } else if (check_keyword(KeywordId::Class)) {
      members.push({ast::NestedClass{parse_class_declaration()}});
    } else if (check_keyword(KeywordId::Trait)) {
      members.push({ast::NestedTrait{parse_trait_declaration()}});
    } else {
      fail(is_class ? "Unsupported class member" : "Unsupported trait member");
    }
  }
}

// composition := ("but" | "with") NAME { "," NAME }
ast::List<ast::Name> Parser::parse_trait_composition_list() {
  if (!check_keyword(KeywordId::But) && !check_keyword(KeywordId::With)) return {};
  advance();
  ListBuilder traits(name_stack_);
  traits.push(expect_identifier("Expected trait name"));
  while (check_punct(',')) {
    advance();
    traits.push(expect_identifier("Expected trait name"));
  }
  return traits.finish(b_);
}

// method := { "static" | "async" } "method" NAME (";" | params ["->" TYPE] block)
ast::MethodDeclaration Parser::parse_method_declaration(bool allow_static) {
  ast::MethodDeclaration method;
  const Start start = start_here();
  method.line = start.line;
  method.source_file = source_file_;
  if (allow_static) {
    while (check_keyword(KeywordId::Static) || check_keyword(KeywordId::Async)) {
      const bool is_static = check_keyword(KeywordId::Static);
      bool& flag = is_static ? method.is_static : method.is_async;
      advance();
      if (flag)
        fail(is_static ? "Duplicate static method modifier" : "Duplicate async method modifier");
      flag = true;
    }
  } else {
    if (check_keyword(KeywordId::Async)) {
      advance();
      method.is_async = true;
      if (check_keyword(KeywordId::Async)) {
        advance();
        fail("Duplicate async method modifier");
      }
    }
    if (check_keyword(KeywordId::Static)) fail("static methods are not allowed here");
  }
  expect_keyword(KeywordId::Method);
  method.name = expect_name("Expected method name");
  if (match_punct()) {
    method.is_forward = true;
    method.body = empty_body(method.line);
    method.span = span_from(start);
    return method;
  }
  method.parameters = parse_parameter_list();
  if (check_operator(OperatorId::Arrow)) {
    advance();
    method.return_type = expect_identifier("Expected return type after '->'");
  }
  method.body = parse_block_statement();
  method.span = span_from(start);
  return method;
}

// field := ("let" | "const") typed-name ["with" NAME { "," NAME }] [weak] [":=" expression [weak]]
ast::FieldDeclaration Parser::parse_field_declaration() {
  ast::FieldDeclaration field;
  const Start start = start_here();
  field.line = start.line;
  field.source_file = source_file_;
  field.kind = expect_keyword_any({KeywordId::Let, KeywordId::Const});
  std::tie(field.type_annotation, field.name) = parse_typed_name();
  if (check_keyword(KeywordId::With)) {
    advance();
    ListBuilder accessors(name_stack_);
    accessors.push(expect_name("Expected accessor name"));
    while (check_punct(',')) {
      advance();
      accessors.push(expect_name("Expected accessor name"));
    }
    field.accessors = accessors.finish(b_);
  }
  field.is_weak = parse_optional_weak_modifier("field declaration");
  if (check_operator(OperatorId::Assign)) {
    advance();
    field.initializer = parse_expression_prec(1);
    field.is_weak = parse_optional_weak_modifier("field declaration") || field.is_weak;
  }
  field.span = span_from(start);
  return field;
}

// params := "(" [param] { "," [param] } ")"; a variadic parameter needs no comma before it.
ast::List<ast::Parameter> Parser::parse_parameter_list() {
  expect_punct('(', "Expected '('");
  ListBuilder parameters(parameter_stack_);
  while (!check_punct(')')) {
    if (check_punct(',')) {
      advance();
      continue;
    }
    parameters.push(parse_parameter());
    if (check_operator(OperatorId::Ellipsis)) parameters.push(parse_parameter());
    if (!check_punct(',')) break;
    advance();
  }
  expect_punct(')', "Expected ')' after parameter list");
  return parameters.finish(b_);
}

// param := ["..."] typed-name ["?"] [":=" expression]
ast::Parameter Parser::parse_parameter() {
  ast::Parameter parameter;
  const Start start = start_here();
  parameter.line = start.line;
  parameter.source_file = source_file_;
  if (check_operator(OperatorId::Ellipsis)) {
    advance();
    parameter.is_variadic = true;
  }
  std::tie(parameter.type_annotation, parameter.name) = parse_typed_name();
  if (check_operator(OperatorId::Question)) {
    advance();
    parameter.is_optional = true;
  }
  if (check_operator(OperatorId::Assign)) {
    advance();
    parameter.default_value = parse_expression_prec(1);
  }
  parameter.span = span_from(start);
  return parameter;
}

// typed-name := NAME | TYPE NAME
std::pair<std::optional<ast::Name>, ast::Name> Parser::parse_typed_name() {
  const ast::Name first = expect_name("Expected name");
  if (current().kind != TokenKind::Identifier) return {std::nullopt, first};
  const ast::Name second = expect_name("Expected identifier");
  return {first, second};
}

// return-type := "->" TYPE
std::optional<ast::Name> Parser::parse_optional_return_type() {
  if (!check_operator(OperatorId::Arrow)) return std::nullopt;
  advance();
  return expect_identifier("Expected return type after '->'");
}

// weak := "but" "weak"
bool Parser::parse_weak_modifier(std::string_view context) {
  advance();
  if (token_text(current()) == "weak") {
    advance();
    return true;
  }
  fail("Unknown but modifier '" + token_text(current()) + "' in " + std::string(context) +
       "; expected 'but weak'");
}

}  // namespace tolu::parsing
