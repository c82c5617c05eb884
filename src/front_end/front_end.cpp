#include "tolu/front_end.h"

#include "infer/inferencer.h"
#include "optimizer/optimizer.h"
#include "parser/parser.h"
#include "sema/validator.h"

namespace tolu {

Result<ast::Program> parse_program(std::string_view source) {
  return parse_program_with_compile_options_and_source_file(source, CompileOptions{}, std::nullopt);
}

Result<ast::Program> parse_program_with_compile_options_and_source_file(
    std::string_view source, const CompileOptions& options,
    const std::optional<std::string>& source_file, std::unique_ptr<ast::Storage>* reuse) {
  auto program = parse_program_text(source, source_file, reuse);
  if (!program) return program;
  if (options.validate) {
    if (auto error = validate_program(program.value())) {
      if (reuse) *reuse = std::move(program.value().storage);
      return ToluError::with_source_file(std::move(*error), source_file);
    }
  }
  if (options.infer_types) annotate_program(program.value());
  optimize_program(program.value(), options.optimizations);
  return program;
}

Result<ast::ExpressionTree> parse_expression_with_source_file(
    std::string_view source, const std::optional<std::string>& source_file) {
  return parse_expression_text(source, source_file);
}

}  // namespace tolu
