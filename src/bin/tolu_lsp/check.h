// tolu-lsp --check: every feature at every position of a file, through the server, with the
// invariants of the protocol's answers checked.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "bin/tolu_lsp/positions.h"

namespace tolu::lsp {

// The problems found with the server's answers on `text` in one encoding: error replies, and
// ranges outside the text, reversed or misplaced.
std::vector<std::string> check_text(std::string_view text, Encoding encoding);

// Checks a file in both encodings; 0 when it passed, 1 when it failed (the problems go to
// `err`), 2 when it could not be read.
int check_file(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace tolu::lsp
