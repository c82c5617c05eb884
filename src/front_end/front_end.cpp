#include "tolu/front_end.h"

#include "front_end/analysis.h"
#include "infer/inferencer.h"
#include "lexer/lexer.h"
#include "optimizer/optimizer.h"
#include "parser/parser.h"
#include "sema/validator.h"

namespace tolu {

namespace {

// A semantic error found without the tokens at hand lacks the span of a declared name it quotes:
// the validator finds it again with them. Only a failing run pays for this.
ToluError with_quoted_name_span(ToluError error, std::string_view source,
                                const ast::Program& program) {
  if (error.name_span()) return error;
  auto tokens = lex(source);
  if (!tokens) return error;
  auto located = validate_program(program, &tokens.value());
  return located ? std::move(*located) : std::move(error);
}

// Parses, validates, infers and optimizes as `options` say. Given `tokens`, the parser appends
// the tokens it reads to it.
Result<ast::Program> run_front_end(std::string_view source, const CompileOptions& options,
                                   const std::optional<std::string>& source_file,
                                   std::unique_ptr<ast::Storage>* reuse, TokenVector* tokens) {
  auto program = parse_program_text(source, source_file, reuse, tokens);
  if (!program) return program;
  if (options.validate) {
    if (auto error = validate_program(program.value(), tokens)) {
      if (!tokens) error = with_quoted_name_span(std::move(*error), source, program.value());
      if (reuse) *reuse = std::move(program.value().storage);
      return ToluError::with_source_file(std::move(*error), source_file);
    }
  }
  if (options.infer_types) annotate_program(program.value());
  optimize_program(program.value(), options.optimizations);
  return program;
}

}  // namespace

Result<ast::Program> parse_program(std::string_view source) {
  return parse_program_with_compile_options_and_source_file(source, CompileOptions{}, std::nullopt);
}

Result<ast::Program> parse_program_with_compile_options_and_source_file(
    std::string_view source, const CompileOptions& options,
    const std::optional<std::string>& source_file, std::unique_ptr<ast::Storage>* reuse) {
  return run_front_end(source, options, source_file, reuse, nullptr);
}

Analysis analyze_program(std::string_view source, const CompileOptions& options,
                         const std::optional<std::string>& source_file) {
  TokenVector tokens;
  auto program = run_front_end(source, options, source_file, nullptr, &tokens);
  sema::BindingIndex bindings;
  if (program) bindings = sema::build_binding_index(program.value(), tokens);
  return Analysis{std::move(tokens), std::move(program), std::move(bindings)};
}

Result<ast::ExpressionTree> parse_expression_with_source_file(
    std::string_view source, const std::optional<std::string>& source_file) {
  return parse_expression_text(source, source_file);
}

}  // namespace tolu
