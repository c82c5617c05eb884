#include <csignal>
#include <iostream>

#include "bin/tolu_lsp/tool.h"

int main(int argc, char** argv) {
  // A client that goes away makes writes fail; the end of its input then ends the server.
  std::signal(SIGPIPE, SIG_IGN);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = tolu::lsp::run(args, std::cin, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
