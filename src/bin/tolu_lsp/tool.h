// tolu-lsp: the Tolu language server, and its self-check of the features on a file.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tolu::lsp {

// Runs the tool over `args` (without the program name). With no arguments it serves the
// protocol on `in` and `out` and returns 0 after a shutdown request, 1 otherwise. --check
// returns 0 when every file passed, 1 when one failed and 2 for unreadable input; a usage error
// returns 2.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err);

}  // namespace tolu::lsp
