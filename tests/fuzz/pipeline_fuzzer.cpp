// libFuzzer target: the whole pipeline with every optimizer pass, and the expression entry point.
// A tree must survive a deep copy, compare equal to its copy and print as JSON; an error must
// render, in colour too, with its notes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "syntax_tree/json.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"
#include "tolu/printers.h"
#include "tolu/render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  tolu::CompileOptions options;
  options.optimizations = tolu::PassSet::all();
  auto program = tolu::parse_program_with_compile_options_and_source_file(source, options,
                                                                          std::string("f.tos"));
  if (program) {
    const tolu::ast::Program copy = tolu::ast::clone(program.value());
    if (!(copy == program.value())) std::abort();
    (void)tolu::ast::to_json(copy).dump(-1, ' ', false, tolu::ast::Json::error_handler_t::replace);
  } else if (program.error().line() == 0 || program.error().column() == 0) {
    std::abort();
  } else {
    (void)tolu::render_diagnostic(program.error(), "f.tos", source, {.color = size % 2 == 0});
  }
  auto expression = tolu::parse_expression_with_source_file(source, std::nullopt);
  if (expression) (void)tolu::ast::to_outline(expression.value());
  return 0;
}
