// tolu-parse-files: checks that Tolu source files compile.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tolu::checker {

// Runs the checker over `args` (the process arguments without the program name) and returns
// the exit status: 0 when every file passed, 1 when any failed, 2 on a usage or discovery error.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tolu::checker
