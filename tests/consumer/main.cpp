// A program that embeds the installed front end: it parses a valid and an invalid program and
// prints what it gets, the error through the diagnostic renderer.
#include <tolu/tolu.h>

#include <iostream>
#include <string_view>

int main() {
  std::cout << "tolu " << tolu::version() << "\n";

  constexpr std::string_view valid = "let x := 1 + 2;\nsay x;\n";
  auto program = tolu::parse_program(valid);
  if (!program) return 1;
  std::cout << "valid: " << program.value().statements.size() << " statements\n";
  std::cout << tolu::ast::to_outline(program.value());

  constexpr std::string_view invalid = "say (1 + ;\n";
  auto failed = tolu::parse_program(invalid);
  if (failed) return 1;
  std::cout << tolu::render_diagnostic(failed.error(), "invalid.tos", invalid);
  return 0;
}
