#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "bin/tolu_ast/tool.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const tolu::inspect::Environment environment{isatty(STDERR_FILENO) == 1, std::getenv("NO_COLOR")};
  const int status = tolu::inspect::run(args, std::cin, std::cout, std::cerr, environment);
  std::cout.flush();
  return status;
}
