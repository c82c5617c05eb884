#include <iostream>

#include "bin/tolu_ast/tool.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = tolu::inspect::run(args, std::cin, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
