#include "tolu/render.h"

#include "base/unicode.h"

namespace tolu {
namespace {

// The text of 1-based line `line`, without its line feed; empty past the end.
std::string_view source_line(std::string_view source, std::size_t line) {
  std::size_t start = 0;
  for (std::size_t current = 1; current < line; ++current) {
    const std::size_t feed = source.find('\n', start);
    if (feed == std::string_view::npos) return {};
    start = feed + 1;
  }
  const std::size_t end = source.find('\n', start);
  std::string_view text =
      source.substr(start, end == std::string_view::npos ? source.size() - start : end - start);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// Blanks that put a caret under 1-based character column `column` of `text`: a tab for a tab,
// a space for any other character, so the caret lines up however the terminal shows tabs.
std::string caret_indent(std::string_view text, std::size_t column) {
  std::string indent;
  std::size_t pos = 0;
  for (std::size_t i = 1; i < column; ++i) {
    if (pos < text.size() && text[pos] == '\t') {
      indent += '\t';
    } else {
      indent += ' ';
    }
    if (pos < text.size()) decode_utf8(text, pos);
  }
  return indent;
}

}  // namespace

std::string render_diagnostic(const ToluError& error, std::string_view name,
                              std::string_view source) {
  const std::string message = to_valid_utf8(error.message());
  if (!error.is_located()) return std::string(name) + ": error: " + message + "\n";
  const std::size_t line = error.line();
  const std::size_t column = error.column();
  const std::string_view text = source_line(source, line);
  std::string out = std::string(name) + ":" + std::to_string(line) + ":" + std::to_string(column) +
                    ": error: " + message + "\n";
  out += std::string(text) + "\n";
  out += caret_indent(text, column) + "^\n";
  return out;
}

}  // namespace tolu
