// One run of the front end that keeps what an editor needs besides the tree: the tokens the
// parser read and the binding index of the validated program.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lexer/token.h"
#include "sema/bindings.h"
#include "tolu/error.h"
#include "tolu/front_end.h"
#include "tolu/syntax_tree.h"

namespace tolu {

// The tokens the parser read from the file, in order and ending with Eof (those of template
// interpolations are not included), and the tree or the error. Token spellings view the
// source: keep the text alive and unmoved while the Analysis lives (hold it in a
// std::unique_ptr<const std::string> or similar, never in a std::string that may move).
struct Analysis {
  TokenVector tokens;            // on a lexical error: the tokens before it
  Result<ast::Program> program;  // the validated, inferred tree, or the one error
  sema::BindingIndex bindings;   // empty when program is an error
};

// Runs the front end once over `source`, as parse_program_with_compile_options_and_source_file
// does, keeping the tokens it reads; indexes the bindings of a program that comes out of it.
Analysis analyze_program(std::string_view source, const CompileOptions& options,
                         const std::optional<std::string>& source_file);

}  // namespace tolu
