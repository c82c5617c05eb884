// The Parser shared by the files of the parser stage. Not part of the stage's interface.
//
// Productions are methods named after what they parse. A production either returns its node or
// throws ParseFailure through fail(); the stage's entry points catch it, so no exception leaves
// the stage.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/large_pages.h"
#include "base/limits.h"
#include "base/operators.h"
#include "base/scoped_table.h"
#include "lexer/lexer.h"
#include "lexer/token.h"
#include "tolu/builder.h"
#include "tolu/error.h"
#include "tolu/syntax_tree.h"

namespace tolu::parsing {

using ast::Line;

struct ParseFailure {
  ToluError error;
};

// Where a node starts: the line and the character index of its first token. A node's span runs
// from there through the last token consumed when it is made.
struct Start {
  Line line = 1;
  std::uint32_t index = 0;
};

template <class T>
class ListBuilder;

// A stack of list items, in memory that a large stack gets from huge pages.
template <class T>
using Stack = std::vector<T, LargePageAllocator<T>>;

// The Names of the spellings that come from the lexer's static tables: keywords and operators.
// Each is interned on first use, so names keep their order of first appearance, and is then
// handed out without hashing. A parser shares its cache with the parsers of its interpolations.
class SpellingNames {
 public:
  ast::Name keyword(const ast::Builder& b, KeywordId id) {
    ast::Name& name = keywords_[static_cast<std::size_t>(id)];
    if (!name.present()) name = b.name(keyword_spelling(id));
    return name;
  }
  // `text` is a spelling of `op` from the operator table, which a token views: the same
  // spelling is the same bytes at the same address.
  ast::Name operator_spelling(const ast::Builder& b, OperatorId op, std::string_view text) {
    Entry& entry = operators_[static_cast<std::size_t>(op)];
    if (entry.text != text.data() || entry.size != text.size()) {
      entry = {text.data(), text.size(), b.name(text)};
    }
    return entry.name;
  }

 private:
  struct Entry {
    const char* text = nullptr;
    std::size_t size = 0;
    ast::Name name;
  };
  std::array<ast::Name, kKeywordSpellings.size() + 1> keywords_{};
  std::array<Entry, kOperatorIdCount> operators_{};
};

class Parser {
 public:
  // Reads `source` as if it started at line `first_line`, character index `first_index` and
  // column `first_column` of its file. Every token read from it is appended to `recorded`, if
  // given (see TokenStream::record_into).
  Parser(std::string_view source, std::uint32_t first_line, std::uint32_t first_index,
         std::uint32_t first_column, ast::SourceFile source_file, ast::Storage& storage,
         unsigned depth = 0, TokenVector* recorded = nullptr,
         SpellingNames* spelling_names = nullptr);
  // The cursor points into the parser itself.
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  ast::Program parse_program();
  ast::Expression parse_expression_root();
  // Starts over on another source, as a new parser would, keeping the memory of its stacks.
  void restart(std::string_view source, std::uint32_t first_line, std::uint32_t first_index,
               std::uint32_t first_column, unsigned depth);

  // The error to report for `failure`: a lexical error anywhere in the source comes first, as
  // if the whole source had been cut into tokens before parsing began.
  ToluError error_for(ParseFailure failure);
  // After a root production succeeded: the lexical error that may have cut the source short.
  std::optional<ToluError> lexical_error();

 private:
  friend class DepthGuard;
  friend class ChainDepth;

  // ---- Cursor and expectations (parser.cpp) ----
  struct TokenSlot {
    Token token;
    LiteralPayload literal;
  };
  // The parser looks at two tokens at a time: the current one and the one after it. A token
  // reference stays valid until the next advance().
  const Token& current() const { return current_->token; }
  const Token& peek_token() const { return next_->token; }  // Eof stays Eof
  void advance() {
    if (current().kind == TokenKind::Eof) return;
    previous_line_ = current().line;
    previous_end_ = current().end;
    read_token(*current_);
    std::swap(current_, next_);
  }
  // A lexical error ends the stream with Eof; the entry points report the error itself.
  void read_token(TokenSlot& slot) { tokens_.next(slot.token, slot.literal); }
  void read_first_tokens();
  Line current_line() const { return current().line; }
  Line previous_line() const { return previous_line_; }
  Start start_here() const { return {current().line, current().start}; }
  static Start start_of(const ast::Expression& e) { return {e.line(), e.span().start}; }
  // From `start` through the last token consumed.
  ast::Span span_from(Start start) const { return {start.index, previous_end_}; }
  bool at_eof() const { return current().kind == TokenKind::Eof; }
  bool check_punct(char c) const { return is_punct(current(), c); }
  // Keywords that are no operators are compared by the keyword their token names; operators,
  // keywords or not, by the operator.
  bool check_keyword(KeywordId keyword) const { return is_keyword(current(), keyword); }
  bool check_keyword(OperatorId op) const { return is_keyword(current(), op); }
  bool check_operator(OperatorId op) const { return is_operator(current(), op); }
  static bool is_punct(const Token& t, char c) { return t.punct == c; }
  // Only keyword tokens name a keyword.
  static bool is_keyword(const Token& t, KeywordId keyword) { return t.keyword == keyword; }
  static bool is_keyword(const Token& t, OperatorId op) {
    return t.kind == TokenKind::Keyword && t.op == op;
  }
  static bool is_operator(const Token& t, OperatorId op) {
    return t.kind == TokenKind::Operator && t.op == op;
  }
  // The table's entry for an operator token's spelling; null for any other token.
  static const OperatorSpelling* operator_entry_of(const Token& t) {
    return t.op == OperatorId::None ? nullptr : &operator_entry(t.op, t.text);
  }
  bool match_punct();    // ";"
  bool match_keyword();  // "else"
  void consume_commas();
  void expect_punct(char c, std::string_view message);
  void expect_keyword(KeywordId keyword);
  void expect_keyword(OperatorId op);
  ast::Name expect_keyword_any(std::initializer_list<KeywordId> keywords);
  void expect_operator();  // ":" after case values
  ast::Name expect_identifier(std::string_view message);
  ast::Name expect_name(std::string_view message);
  ToluError error_current(std::string message) const;
  [[noreturn]] void fail(std::string message) const;
  [[noreturn]] void fail_nesting_too_deep() const;
  [[noreturn]] void fail_missing_terminator() const;
  std::string token_text(const Token& token) const;
  // The payload of the current or the next token.
  const LiteralPayload& literal(const Token& token) const {
    return &token == &current_->token ? current_->literal : next_->literal;
  }
  // The current token's payload, kept past advance(): it trades places with the payload taken
  // before, so that both keep their memory.
  LiteralPayload& take_literal() {
    std::swap(current_->literal, taken_literal_);
    return taken_literal_;
  }
  const ast::SourceFile& file() const { return source_file_; }

  // A node at line `start.line`, spanning from `start` through the last token consumed.
  template <class T>
  ast::Expression make(T payload, Start start) const {
    return b_.expression(std::move(payload), start.line, span_from(start), expression_notes_);
  }
  template <class T>
  ast::Statement statement(T node, Start start) const {
    return b_.statement(std::move(node), span_from(start));
  }
  ast::Name name(std::string_view text) const { return b_.name(text); }
  // The name of a token's spelling: for a keyword or an operator, from the cache.
  ast::Name token_name(const Token& token) const {
    if (token.keyword != KeywordId::None) return spelling_names_->keyword(b_, token.keyword);
    if (token.op != OperatorId::None)
      return spelling_names_->operator_spelling(b_, token.op, token.text);
    return b_.name(token.text);
  }
  ast::Name keyword_name(KeywordId keyword) const { return spelling_names_->keyword(b_, keyword); }
  ast::Name operator_name(OperatorId op) const {
    return spelling_names_->operator_spelling(b_, op, operator_spelling(op));
  }

  // ---- Blocks and statements (statements.cpp) ----
  ast::BlockStatement parse_block_statement();
  ast::Statement parse_statement();
  ast::Statement parse_statement_proper();
  using StatementParser = ast::Statement (Parser::*)();
  static StatementParser statement_parser_for(const Token& t);
  template <auto Parse>
  ast::Statement statement_of();
  ast::Block parse_block_as_statement();
  ast::Class parse_class_statement();
  ast::Trait parse_trait_statement();
  ast::ExpressionStatement parse_expression_statement();
  ast::Statement apply_statement_modifier(ast::Statement statement, Start start);
  void expect_statement_terminator();
  ast::Statement parse_declaration();
  ast::DestructuringDeclaration parse_destructuring_declaration(ast::Name kind, Line line);
  std::size_t first_repeated_name(const ListBuilder<ast::DeclarationBindingEntry>& entries);
  ast::DeclarationBindingEntry parse_binding_entry();
  ast::For parse_for_statement();
  ast::Import parse_import_statement();
  ast::FunctionDeclaration parse_function_declaration();
  ast::Output parse_output_statement();
  ast::LoopControl parse_loop_control();

  // ---- Control flow (control_flow.cpp) ----
  ast::If parse_if_statement();
  ast::While parse_while_statement();
  ast::Switch parse_switch_statement();
  std::optional<ast::Name> parse_switch_comparator(OperatorId& op);
  ast::List<ast::Statement> parse_switch_consequent();
  ast::Try parse_try_statement();
  ast::List<ast::CatchClause> parse_catch_clauses();
  ast::CatchClause parse_catch_clause(Start start);
  ast::Return parse_return_statement();
  ast::Throw parse_throw_statement();
  ast::Die parse_die_statement();

  // ---- Classes, traits and signatures (classes.cpp) ----
  ast::ClassDeclaration parse_class_declaration();
  ast::TraitDeclaration parse_trait_declaration();
  ast::List<ast::ClassMember> parse_member_body(bool is_class);
  ast::List<ast::Name> parse_trait_composition_list();
  ast::MethodDeclaration parse_method_declaration(bool allow_static);
  ast::FieldDeclaration parse_field_declaration();
  ast::List<ast::Parameter> parse_parameter_list();
  ast::Parameter parse_parameter();
  std::pair<std::optional<ast::Name>, ast::Name> parse_typed_name();
  std::optional<ast::Name> parse_optional_return_type();
  bool parse_optional_weak_modifier(std::string_view context) {
    return check_keyword(KeywordId::But) && parse_weak_modifier(context);
  }
  bool parse_weak_modifier(std::string_view context);  // at "but"
  ast::BlockStatement empty_body(Line line) const;

  // ---- Expressions (expressions.cpp) ----
  ast::Expression parse_expression_prec(std::uint8_t min_prec);
  ast::Expression parse_binary(ast::Expression left, const OperatorInfo& op);
  ast::Expression parse_assignment(ast::Expression target);
  ast::Expression parse_ternary(ast::Expression condition);
  ast::Expression parse_fallback(ast::Expression left);
  ast::List<ast::Expression> parse_expression_list_until_operator(OperatorId closer);
  // ---- Prefix, primary and postfix forms (primary.cpp) ----
  ast::Expression parse_prefix_expression();
  ast::Expression parse_unary(ast::Name op, OperatorId id);
  ast::Expression parse_placeholder_lambda();
  ast::Expression parse_declaration_expression();
  ast::Expression parse_try_expression();
  ast::Expression parse_new_expression();
  ast::Expression parse_primary_expression();
  ast::Expression parse_array_literal();
  ast::Expression parse_dict_literal();
  ast::Expression parse_set_literal(OperatorId closer);
  ast::Expression parse_grouped_unary(OperatorId name, OperatorId closer);
  ast::Expression parse_super_call_expression();
  ast::Expression parse_parenthesized_expression();
  // expr { suffix }. Most operands are followed by no suffix: they return without the loop.
  ast::Expression parse_postfix_suffixes(ast::Expression expr) {
    if (!may_start_suffix(current())) return expr;
    return parse_suffix_chain(std::move(expr));
  }
  // True when `t` is a suffix's first token, and for some tokens that only may be (the spellings
  // of operators with a postfix form); parse_suffix_chain tells them apart.
  static bool may_start_suffix(const Token& t) {
    if (t.punct == '(' || t.punct == '[' || t.punct == '{') return true;
    return t.op == OperatorId::Dot || t.op == OperatorId::DotParen ||
           operator_info(t.op).has_postfix_spelling;
  }
  ast::Expression parse_suffix_chain(ast::Expression expr);
  ast::Expression parse_call_suffix(ast::Expression callee);
  ast::Expression parse_index_or_slice(ast::Expression object);
  ast::Expression parse_dict_access_suffix(ast::Expression object);
  ast::Expression parse_member_suffix(ast::Expression object);
  ast::Expression parse_dynamic_member_suffix(ast::Expression object);
  ast::Expression parse_postfix_operator_suffix(ast::Expression operand);
  std::optional<ast::Name> match_postfix_condition_keyword();

  // ---- Collections, keys, arguments and templates (collections.cpp) ----
  ast::Expression parse_bag_literal();
  ast::Expression parse_pairlist_literal();
  ast::DictEntry parse_dict_entry(const char* missing_colon);
  ast::DictKey parse_dict_key_before_colon();
  ast::DictKey parse_dict_key_until_rbrace();
  ast::DictKey parse_dict_key_expression();
  ast::List<ast::CallArgument> parse_call_arguments_after_open();
  ast::CallArgument parse_call_argument();
  bool named_argument_follows() const;
  ast::List<ast::TemplatePart> parse_template_parts(const std::vector<TokenTemplatePart>& parts);
  Parser& interpolation_parser(const TokenTemplatePart& part);

  // ---- Functions, lambdas and async forms (functions.cpp) ----
  ast::Expression parse_function_expression_with_async(bool is_async);
  ast::Expression parse_lambda_expression_with_async(bool is_async);
  ast::Expression parse_async_expression();
  ast::Expression parse_await_expression();
  ast::Expression parse_spawn_expression();

  // ---- Notes (notes.cpp) ----
  // What a note needs beyond the current token is worked out only when an error is raised, by
  // reading the tokens again up to where parsing stopped: parsing itself keeps nothing for it.
  template <class Visit>
  void replay_tokens_before_current(Visit visit) const;
  std::optional<Note> open_delimiter_note() const;
  std::optional<Note> missing_terminator_note() const;

  std::string_view source_;
  std::uint32_t first_line_;
  std::uint32_t first_index_;
  std::uint32_t first_column_;
  TokenStream tokens_;
  std::array<TokenSlot, 2> window_;
  // The slots of the current token and of the one after it; advance() swaps them.
  TokenSlot* current_ = &window_[0];
  TokenSlot* next_ = &window_[1];
  LiteralPayload taken_literal_;
  Line previous_line_ = 0;
  std::uint32_t previous_end_ = 0;  // where the last token consumed ends
  // Character ranges [start, end) of the import paths read so far: any tokens, brackets
  // included, that open or close nothing.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> import_paths_;
  ast::Builder b_;               // makes every node, list and name in the tree's storage
  ast::SourceFile source_file_;  // shared by every node
  const ast::ExpressionNotes* expression_notes_;       // the file and no type
  std::unique_ptr<SpellingNames> own_spelling_names_;  // the outermost parser's
  SpellingNames* spelling_names_;
  // Parses this parser's interpolations one after the other, restarted for each.
  std::unique_ptr<Parser> interpolation_parser_;
  // The stacks the ListBuilders of each element type share. The statements' holds a whole
  // program's top-level statements, so it may grow large.
  Stack<ast::Statement> statement_stack_;
  Stack<ast::Expression> expression_stack_;
  Stack<ast::CallArgument> argument_stack_;
  Stack<ast::DictEntry> entry_stack_;
  Stack<ast::Parameter> parameter_stack_;
  Stack<ast::Name> name_stack_;
  Stack<ast::ClassMember> member_stack_;
  Stack<ast::CatchClause> catch_stack_;
  Stack<ast::TemplatePart> part_stack_;
  Stack<ast::DeclarationBindingEntry> binding_entry_stack_;
  Stack<std::uint32_t> column_stack_;
  ScopedTable<bool, ast::Name> pattern_names_;  // for first_repeated_name
  unsigned depth_ = 0;  // current nesting, including that of enclosing interpolations
};

// Builds the list a production parses on a stack shared by every list of its element type, then
// moves it into an arena list of exactly its size: no allocation per list beyond the arena's,
// and no spare capacity left in the tree. Lists nest; an inner list is finished, or
// dropped by a failure, before the outer one goes on.
template <class T>
class ListBuilder {
 public:
  explicit ListBuilder(Stack<T>& stack) : stack_(stack), start_(stack.size()) {}
  ~ListBuilder() { stack_.erase(stack_.begin() + start_, stack_.end()); }
  ListBuilder(const ListBuilder&) = delete;
  ListBuilder& operator=(const ListBuilder&) = delete;

  void push(T item) { stack_.push_back(std::move(item)); }
  ast::List<T> finish(const ast::Builder& builder) {
    ast::List<T> list =
        builder.list_moving(stack_.begin() + static_cast<std::ptrdiff_t>(start_), stack_.end());
    stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(start_), stack_.end());
    return list;
  }
  std::size_t size() const { return stack_.size() - start_; }
  const T& operator[](std::size_t i) const { return stack_[start_ + i]; }

 private:
  Stack<T>& stack_;
  std::size_t start_;
};

// Holds one level of nesting for the duration of a production.
class DepthGuard {
 public:
  explicit DepthGuard(Parser& parser) : parser_(parser) {
    if (++parser_.depth_ > kMaxNesting) parser_.fail_nesting_too_deep();
  }
  ~DepthGuard() { --parser_.depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  Parser& parser_;
};

// Counts the levels of a chain that a production builds in a loop (left-associative operators,
// postfix suffixes), each of which nests the tree one level deeper.
class ChainDepth {
 public:
  explicit ChainDepth(Parser& parser) : parser_(parser) {}
  ~ChainDepth() { parser_.depth_ -= levels_; }
  ChainDepth(const ChainDepth&) = delete;
  ChainDepth& operator=(const ChainDepth&) = delete;
  void deepen() {
    ++levels_;
    if (++parser_.depth_ > kMaxNesting) parser_.fail_nesting_too_deep();
  }

 private:
  Parser& parser_;
  unsigned levels_ = 0;
};

}  // namespace tolu::parsing
