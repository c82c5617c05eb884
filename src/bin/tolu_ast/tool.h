// tolu-ast: shows the tokens, the annotated tree or the error the front end makes of a file.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tolu::inspect {

// What the tool knows of its surroundings, for --color=auto: colour when standard error is a
// terminal and NO_COLOR is unset or empty.
struct Environment {
  bool error_is_terminal = false;
  const char* no_color = nullptr;  // the value of NO_COLOR, null when it is unset
};

// Runs the tool over `args` (without the program name); `in` is read when no FILE is named.
// Returns the exit status: 0 for a tree or tokens, 1 for a front-end error, 2 for a usage error
// or unreadable input.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const Environment& environment = {});

}  // namespace tolu::inspect
