// Statements: dispatch, the modifier step and terminator rule, declarations with destructuring,
// for loops, imports, function declarations, output and loop control.

#include "parser/parser_internal.h"

namespace tolu::parsing {
namespace {

enum class Ending { Compound, Declaration, Simple };

Ending ending_of(const ast::Statement& s) {
  if (s.is<ast::VariableDeclaration>() || s.is<ast::DestructuringDeclaration>() ||
      s.is<ast::Import>()) {
    return Ending::Declaration;
  }
  if (s.is<ast::Return>() || s.is<ast::LoopControl>() || s.is<ast::Throw>() || s.is<ast::Die>() ||
      s.is<ast::Output>() || s.is<ast::ExpressionStatement>()) {
    return Ending::Simple;
  }
  return Ending::Compound;
}

}  // namespace

// statement := compound | declaration terminator | simple [modifier] terminator
// A statement spans its tokens up to its terminator, which it does not include.
ast::Statement Parser::parse_statement() {
  DepthGuard guard(*this);
  const Start start = start_here();
  ast::Statement statement = parse_statement_proper();
  statement.set_span(span_from(start));
  switch (ending_of(statement)) {
    case Ending::Compound:
      return statement;
    case Ending::Simple:
      statement = apply_statement_modifier(std::move(statement), start);
      break;
    case Ending::Declaration:
      break;
  }
  expect_statement_terminator();
  return statement;
}

// Each statement production builds its Statement in place through statement_of, so that the
// dispatch keeps no temporaries of its own: deeply nested statements stay cheap on the stack.
template <auto Parse>
ast::Statement Parser::statement_of() {
  return b_.statement((this->*Parse)());
}

Parser::StatementParser Parser::statement_parser_for(const Token& t) {
  switch (t.keyword) {
    case KeywordId::If:
      return &Parser::statement_of<&Parser::parse_if_statement>;
    case KeywordId::Let:
    case KeywordId::Const:
      return &Parser::parse_declaration;
    case KeywordId::For:
      return &Parser::statement_of<&Parser::parse_for_statement>;
    case KeywordId::Try:
      return &Parser::statement_of<&Parser::parse_try_statement>;
    case KeywordId::Die:
      return &Parser::statement_of<&Parser::parse_die_statement>;
    case KeywordId::Say:
    case KeywordId::Print:
    case KeywordId::Warn:
    case KeywordId::Assert:
    case KeywordId::Debug:
      return &Parser::statement_of<&Parser::parse_output_statement>;
    case KeywordId::From:
      return &Parser::statement_of<&Parser::parse_import_statement>;
    case KeywordId::Next:
    case KeywordId::Continue:
    case KeywordId::Last:
      return &Parser::statement_of<&Parser::parse_loop_control>;
    case KeywordId::Async:
    case KeywordId::Function:
      return &Parser::statement_of<&Parser::parse_function_declaration>;
    case KeywordId::Class:
      return &Parser::statement_of<&Parser::parse_class_statement>;
    case KeywordId::Trait:
      return &Parser::statement_of<&Parser::parse_trait_statement>;
    case KeywordId::While:
      return &Parser::statement_of<&Parser::parse_while_statement>;
    case KeywordId::Throw:
      return &Parser::statement_of<&Parser::parse_throw_statement>;
    case KeywordId::Switch:
      return &Parser::statement_of<&Parser::parse_switch_statement>;
    case KeywordId::Return:
      return &Parser::statement_of<&Parser::parse_return_statement>;
    default:
      break;
  }
  if (is_punct(t, '{')) return &Parser::statement_of<&Parser::parse_block_as_statement>;
  return &Parser::statement_of<&Parser::parse_expression_statement>;
}

// The kind of statement is decided by its first token alone.
ast::Statement Parser::parse_statement_proper() {
  return (this->*statement_parser_for(current()))();
}

ast::Block Parser::parse_block_as_statement() {
  return {parse_block_statement()};
}
ast::Class Parser::parse_class_statement() {
  return {parse_class_declaration()};
}
ast::Trait Parser::parse_trait_statement() {
  return {parse_trait_declaration()};
}

// An expression statement takes its position from the expression.
ast::ExpressionStatement Parser::parse_expression_statement() {
  ast::Expression expression = parse_expression_prec(1);
  const Line line = expression.line();
  ast::SourceFile source_file = expression.source_file();
  return {std::move(expression), std::move(source_file), line};
}

// modifier := "for" expression | ("if" | "unless") expression. The statement it makes spans the
// modified statement, which starts at `start`, and the modifier. A "for" puts the statement in a
// block of its own, which spans just that statement.
ast::Statement Parser::apply_statement_modifier(ast::Statement statement, Start start) {
  if (check_keyword(KeywordId::For)) {
    advance();
    ast::Expression iterable = parse_expression_prec(1);
    const Line line = statement.line();
    ast::SourceFile source_file = statement.source_file();
    ast::BlockStatement body;
    body.source_file = source_file;
    body.line = line;
    body.span = statement.span();
    body.needs_lexical_scope = false;
    body.statements = b_.list_of(std::move(statement));
    return this->statement(ast::For{name("^^"), name("const"), std::move(iterable), std::move(body),
                                    std::nullopt, source_file, line},
                           start);
  }
  if (auto keyword = match_postfix_condition_keyword()) {
    ast::Expression condition = parse_expression_prec(1);
    const Line line = statement.line();
    ast::SourceFile source_file = statement.source_file();
    return this->statement(ast::PostfixConditional{ast::PostfixConditionalStatement{
                               *keyword, std::move(condition), std::move(statement), source_file,
                               line, span_from(start)}},
                           start);
  }
  return statement;
}

// A ";" ends a statement; a "}" or the end of input is accepted and left in place.
void Parser::expect_statement_terminator() {
  if (match_punct() || check_punct('}') || at_eof()) return;
  fail_missing_terminator();
}

// declaration := ("let" | "const") (pattern ":=" expression | typed-name [weak] [":=" expression
// [weak]])
ast::Statement Parser::parse_declaration() {
  const Line line = current_line();
  const ast::Name kind = expect_keyword_any({KeywordId::Let, KeywordId::Const});
  if (check_punct('{')) return b_.statement(parse_destructuring_declaration(kind, line));
  ast::VariableDeclaration declaration;
  declaration.kind = kind;
  declaration.line = line;
  declaration.source_file = source_file_;
  std::tie(declaration.type_annotation, declaration.name) = parse_typed_name();
  declaration.is_weak = parse_optional_weak_modifier("declaration");
  if (check_operator(OperatorId::Assign)) {
    advance();
    declaration.initializer = parse_expression_prec(1);
    declaration.is_weak = parse_optional_weak_modifier("declaration") || declaration.is_weak;
  }
  return b_.statement(std::move(declaration));
}

// pattern := "{" { "," } [ entry { { "," } entry } ] { "," } "}"
ast::DestructuringDeclaration Parser::parse_destructuring_declaration(ast::Name kind, Line line) {
  ast::DestructuringDeclaration declaration;
  declaration.kind = kind;
  declaration.line = line;
  declaration.source_file = source_file_;
  ast::DeclarationBindingPattern& pattern = declaration.pattern;
  const Start pattern_start = start_here();
  pattern.line = pattern_start.line;
  pattern.source_file = source_file_;
  advance();
  consume_commas();
  ListBuilder columns(column_stack_);  // of each entry's first token, for the duplicate error
  ListBuilder entries(binding_entry_stack_);
  while (!check_punct('}')) {
    columns.push(current().column);
    entries.push(parse_binding_entry());
    consume_commas();
  }
  advance();
  pattern.span = span_from(pattern_start);
  if (const std::size_t i = first_repeated_name(entries); i < entries.size()) {
    const auto& entry = entries[i];
    throw ParseFailure{ToluError::with_source_file(
        ToluError::located(ErrorKind::Syntax, entry.line, columns[i],
                           "Duplicate unpacked binding '" + entry.name + "' in declaration"),
        source_file_.to_optional())};
  }
  pattern.entries = entries.finish(b_);
  if (!check_operator(OperatorId::Assign)) fail("Expected ':=' after declaration binding pattern");
  advance();
  declaration.initializer = parse_expression_prec(1);
  return declaration;
}

// The index of the first entry that binds a name an earlier entry binds, or the entry count.
std::size_t Parser::first_repeated_name(const ListBuilder<ast::DeclarationBindingEntry>& entries) {
  return tolu::first_repeated_name(
      entries.size(), [&](std::size_t i) { return entries[i].name; }, pattern_names_);
}

// entry := (key ":" typed-name | TYPE NAME | NAME ":" typed-name | NAME) [":=" expression] [weak]
// A key left implicit spans the names it was taken from.
ast::DeclarationBindingEntry Parser::parse_binding_entry() {
  ast::DeclarationBindingEntry entry;
  const Start start = start_here();
  entry.line = start.line;
  entry.source_file = source_file_;
  const Token& first = current();
  auto name_key = [&](ast::Name name, Line line) {
    return ast::DictKey{ast::NameKey{name}, line, source_file_, span_from(start)};
  };
  if (first.kind == TokenKind::Keyword || first.kind == TokenKind::String || check_punct('(') ||
      first.kind == TokenKind::Template) {
    if (first.kind == TokenKind::Template) {
      ast::Expression expression = parse_primary_expression();
      entry.key = ast::DictKey{ast::ExpressionKey{std::move(expression)}, start.line, source_file_,
                               span_from(start)};
    } else {
      entry.key = parse_dict_key_before_colon();
    }
    if (!check_operator(OperatorId::Colon)) fail("Expected ':' after declaration binding key");
    advance();
    std::tie(entry.type_annotation, entry.name) = parse_typed_name();
  } else if (first.kind == TokenKind::Identifier) {
    const Line key_line = first.line;
    const ast::Name word = token_name(first);
    advance();
    if (current().kind == TokenKind::Identifier) {
      entry.type_annotation = word;
      entry.name = expect_name("Expected identifier");
      entry.key = name_key(entry.name, key_line);
    } else if (check_operator(OperatorId::Colon)) {
      entry.key = name_key(word, key_line);
      advance();
      std::tie(entry.type_annotation, entry.name) = parse_typed_name();
    } else {
      entry.key = name_key(word, key_line);
      entry.name = word;
    }
  } else {
    fail("Expected unpacked binding in declaration");
  }
  if (check_operator(OperatorId::Assign)) {
    advance();
    entry.default_value = parse_expression_prec(1);
  }
  entry.is_weak = parse_optional_weak_modifier("declaration");
  entry.span = span_from(start);
  return entry;
}

// for := "for" "(" [("let" | "const") NAME "in"] expression ")" block ["else" block]
ast::For Parser::parse_for_statement() {
  ast::For loop;
  loop.line = current_line();
  loop.source_file = source_file_;
  advance();
  expect_punct('(', "Expected '(' after for");
  if (check_keyword(KeywordId::Const) || check_keyword(KeywordId::Let)) {
    loop.binding_kind = token_name(current());
    advance();
    loop.variable = expect_identifier("Expected loop variable");
    expect_keyword(OperatorId::In);
  } else {
    loop.variable = name("^^");
    loop.binding_kind = name("const");
  }
  loop.iterable = parse_expression_prec(1);
  expect_punct(')', "Expected ')' after for header");
  loop.body = parse_block_statement();
  if (match_keyword()) loop.else_block = parse_block_statement();
  return loop;
}

// import := "from" PATH-TOKENS ["try"] "import" ("*" | specifier { "," specifier }) [condition]
ast::Import Parser::parse_import_statement() {
  ast::Import import;
  import.line = current_line();
  import.source_file = source_file_;
  advance();
  // The path is any tokens up to "try" or "import"; reaching the end leaves the "import" to
  // expect_keyword.
  const std::uint32_t path_start = current().start;
  std::string module_path;
  while (!at_eof() && !check_keyword(KeywordId::Try) && !check_keyword(KeywordId::Import)) {
    module_path += token_text(current());
    advance();
  }
  import_paths_.emplace_back(path_start, current().start);
  import.module_path = b_.text(module_path);
  if (check_keyword(KeywordId::Try)) {
    advance();
    import.is_try = true;
  }
  expect_keyword(KeywordId::Import);
  // The star as written: "×" is the same operator but imports nothing.
  if (check_operator(OperatorId::Multiply) &&
      current().text == operator_spelling(OperatorId::Multiply)) {
    advance();
    import.imports_all = true;
  } else {
    std::vector<ast::ImportSpecifier> specifiers;
    for (;;) {
      ast::ImportSpecifier specifier;
      const Start start = start_here();
      specifier.line = start.line;
      specifier.source_file = source_file_;
      specifier.name = expect_identifier("Expected imported name");
      if (check_keyword(KeywordId::As)) {
        advance();
        specifier.local_name = expect_identifier("Expected alias name after as");
      } else {
        specifier.local_name = specifier.name;
      }
      specifier.span = span_from(start);
      specifiers.push_back(std::move(specifier));
      if (!check_punct(',')) break;
      advance();
    }
    import.specifiers = b_.list(std::move(specifiers));
  }
  // The condition's line is that of its first token, after "if" or "unless"; its span starts
  // at the keyword.
  const Start condition_start = start_here();
  if (auto keyword = match_postfix_condition_keyword()) {
    const Line condition_line = current_line();
    ast::Expression condition = parse_expression_prec(1);
    import.condition = ast::PostfixCondition{*keyword, std::move(condition), source_file_,
                                             condition_line, span_from(condition_start)};
  }
  return import;
}

// function := ["async"] "function" NAME (";" | params [return-type] block)
ast::FunctionDeclaration Parser::parse_function_declaration() {
  ast::FunctionDeclaration function;
  function.line = current_line();
  function.source_file = source_file_;
  if (check_keyword(KeywordId::Async)) {
    advance();
    function.is_async = true;
  }
  expect_keyword(KeywordId::Function);
  function.name = expect_name("Expected function name");
  if (match_punct()) {
    function.is_forward = true;
    function.body = empty_body(function.line);
    return function;
  }
  function.parameters = parse_parameter_list();
  function.return_type = parse_optional_return_type();
  function.body = parse_block_statement();
  return function;
}

// output := ("say" | "print" | "warn" | "assert" | "debug") [expression { "," expression }]
ast::Output Parser::parse_output_statement() {
  ast::Output output;
  output.line = current_line();
  output.source_file = source_file_;
  output.keyword = expect_keyword_any(
      {KeywordId::Say, KeywordId::Print, KeywordId::Warn, KeywordId::Assert, KeywordId::Debug});
  if (check_punct(';') || check_punct('}') || at_eof()) return output;
  ListBuilder arguments(expression_stack_);
  arguments.push(parse_expression_prec(1));
  while (check_punct(',')) {
    advance();
    arguments.push(parse_expression_prec(1));
  }
  output.arguments = arguments.finish(b_);
  return output;
}

ast::LoopControl Parser::parse_loop_control() {
  const Line line = current_line();
  const ast::Name keyword =
      expect_keyword_any({KeywordId::Next, KeywordId::Continue, KeywordId::Last});
  return {keyword, source_file_, line};
}

}  // namespace tolu::parsing
