// Human-readable diagnostics: "NAME:LINE:COLUMN: error: MESSAGE", the source line, and a caret
// under the column.
#pragma once

#include <string>
#include <string_view>

#include "tolu/export.h"

#include "tolu/error.h"

namespace tolu {

TOLU_API std::string render_diagnostic(const ToluError& error, std::string_view name,
                                       std::string_view source);

}  // namespace tolu
