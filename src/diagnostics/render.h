// Human-readable diagnostics: "NAME:LINE:COLUMN: error: MESSAGE", the source line, and a caret
// under the column.
#pragma once

#include <string>
#include <string_view>

#include "diagnostics/tolu_error.h"

namespace tolu {

std::string render_diagnostic(const ToluError& error, std::string_view name,
                              std::string_view source);

}  // namespace tolu
