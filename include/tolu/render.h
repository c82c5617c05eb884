// Human-readable diagnostics, as compilers print them:
//
//   NAME:LINE:COLUMN: error: MESSAGE
//   the source line
//         ^
//   NAME:LINE:COLUMN: note: TEXT       one for each of the error's notes, with its own source
//   its source line                    line and caret, and under the caret the text that the
//         ^                            note suggests inserting, if any
//
// The source line is shown safely: control, invisible and bidirectional-formatting characters
// as <U+XXXX>, the caret placed by display width (East Asian wide characters take two cells,
// combining marks none), a long line as a window of about 100 cells around the caret, cut with
// "...". For a semantic error the caret line underlines the name that the message quotes where
// it stands in the line; the position printed stays the error's.
#pragma once

#include <string>
#include <string_view>

#include "tolu/export.h"

#include "tolu/error.h"

namespace tolu {

struct RenderOptions {
  // ANSI colours (bold position, red "error:", cyan "note:", green caret), for a terminal.
  bool color = false;
};

TOLU_API std::string render_diagnostic(const ToluError& error, std::string_view name,
                                       std::string_view source, const RenderOptions& options = {});

}  // namespace tolu
