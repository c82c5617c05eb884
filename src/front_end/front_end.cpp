#include "front_end/front_end.h"

#include "lexer/lexer.h"

namespace tolu {

Result<ast::Program> parse_program(std::string_view source) {
  return parse_program_with_compile_options_and_source_file(source, CompileOptions{}, std::nullopt);
}

Result<ast::Program> parse_program_with_compile_options_and_source_file(
    std::string_view source, const CompileOptions& options,
    const std::optional<std::string>& source_file) {
  (void)options;
  auto tokens = lex(source);
  if (!tokens) return ToluError::with_source_file(std::move(tokens).error(), source_file);
  ast::Program program;
  program.source_file = source_file;
  return program;
}

Result<ast::Expression> parse_expression_with_source_file(
    std::string_view source, const std::optional<std::string>& source_file) {
  auto tokens = lex(source);
  if (!tokens) return ToluError::with_source_file(std::move(tokens).error(), source_file);
  return ToluError::with_source_file(
      ToluError::located(ErrorKind::Syntax, 1, 1, "Expected expression"), source_file);
}

}  // namespace tolu
