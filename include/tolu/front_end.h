// The front end's entry points: source text in, an annotated tree or one error out.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tolu/export.h"

#include "tolu/error.h"
#include "tolu/passes.h"
#include "tolu/syntax_tree.h"

namespace tolu {

struct CompileOptions {
  PassSet optimizations;  // empty: the optimizer changes nothing
  bool validate = true;
  bool infer_types = true;
};

// Lexes, parses, validates and infers with the default options; attaches no file name.
TOLU_API Result<ast::Program> parse_program(std::string_view source);

// `reuse` may hand in the storage of a tree the caller is done with (see parse_program_text).
TOLU_API Result<ast::Program> parse_program_with_compile_options_and_source_file(
    std::string_view source, const CompileOptions& options,
    const std::optional<std::string>& source_file, std::unique_ptr<ast::Storage>* reuse = nullptr);

// Parses the whole text as one expression; no validation, inference or optimization.
TOLU_API Result<ast::ExpressionTree> parse_expression_with_source_file(
    std::string_view source, const std::optional<std::string>& source_file);

}  // namespace tolu
