// Runs a tool as a child process and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace tolu::testing {

struct ProcessResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `args`; `input` goes to its standard input.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input = "", const std::string& cwd = "");

std::string tool_path(const std::string& name);

}  // namespace tolu::testing
