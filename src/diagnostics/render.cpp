#include "tolu/render.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/unicode.h"

namespace tolu {
namespace {

// About this many cells of a long source line are shown around the caret.
constexpr std::size_t kWindowCells = 100;
constexpr std::string_view kCut = "...";

// Escape sequences of the parts of a diagnostic; all empty without colour.
struct Palette {
  std::string_view locus, error, note, caret, insertion, reset;
};
constexpr Palette kPlain{};
constexpr Palette kColored{"\x1b[1m",    "\x1b[1;31m", "\x1b[1;36m",
                           "\x1b[1;32m", "\x1b[32m",   "\x1b[0m"};

// "<U+XXXX>", at least four hexadecimal digits.
std::string code_of(char32_t c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  for (auto rest = static_cast<std::uint32_t>(c); rest != 0 || digits.size() < 4; rest >>= 4)
    digits.insert(digits.begin(), kDigits[rest & 0xF]);
  return "<U+" + digits + ">";
}

// `text` with every hidden character (see is_hidden_in_display) shown by its code.
std::string shown(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t from = pos;
    const char32_t c = decode_utf8(text, pos);
    if (is_hidden_in_display(c)) {
      out += code_of(c);
    } else if (c == 0xFFFD) {
      append_utf8(out, c);  // an ill-formed sequence is shown as the replacement character
    } else {
      out.append(text.substr(from, pos - from));
    }
  }
  return out;
}

// The text of 1-based line `line`, without its line feed; empty past the end. A byte-order mark
// that starts the source takes no column, so it is left out.
std::string_view source_line(std::string_view source, std::size_t line) {
  std::size_t start = source.starts_with("\xEF\xBB\xBF") ? 3 : 0;
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

// One character of a source line as it is shown.
struct Cell {
  std::string text;   // the character itself, or its code
  std::size_t width;  // terminal cells; a tab counts one and is repeated under itself
  bool is_tab;
};

std::vector<Cell> cells_of(std::string_view line) {
  std::vector<Cell> cells;
  for (std::size_t pos = 0; pos < line.size();) {
    const std::size_t from = pos;
    const char32_t c = decode_utf8(line, pos);
    if (c == '\t') {
      cells.push_back({"\t", 1, true});
    } else if (is_hidden_in_display(c)) {
      std::string code = code_of(c);
      const std::size_t width = code.size();
      cells.push_back({std::move(code), width, false});
    } else if (c == 0xFFFD) {
      cells.push_back({"\xEF\xBF\xBD", 1, false});
    } else {
      cells.push_back({std::string(line.substr(from, pos - from)), display_width(c), false});
    }
  }
  return cells;
}

// What to mark under a source line: `length` characters from 1-based `column` (at least the
// caret), and the text suggested for insertion there.
struct Mark {
  std::size_t column = 1;
  std::size_t length = 1;
  std::string_view insertion;
};

// The characters [from, to) of a line that fit a window of about kWindowCells around the caret
// at character `caret`; `offsets[i]` is the first cell of character i.
std::pair<std::size_t, std::size_t> window_around(const std::vector<std::size_t>& offsets,
                                                  std::size_t caret) {
  const std::size_t count = offsets.size() - 1;
  const std::size_t total = offsets.back() + 1;  // a caret past the end takes one more cell
  if (total <= kWindowCells) return {0, count};
  std::size_t first_cell =
      offsets[caret] > kWindowCells / 2 ? offsets[caret] - kWindowCells / 2 : 0;
  first_cell = std::min(first_cell, total - kWindowCells);
  const auto first = static_cast<std::size_t>(
      std::lower_bound(offsets.begin(), offsets.end() - 1, first_cell) - offsets.begin());
  const std::size_t last_cell = offsets[first] + kWindowCells;
  const auto past = static_cast<std::size_t>(
      std::upper_bound(offsets.begin(), offsets.end(), last_cell) - offsets.begin());
  return {first, std::max(past - 1, std::min(caret + 1, count))};
}

// The source line, then the caret line under it (and the insertion line, if any).
void render_excerpt(std::string& out, std::string_view line, const Mark& mark,
                    const Palette& palette) {
  const std::vector<Cell> cells = cells_of(line);
  std::vector<std::size_t> offsets{0};
  for (const Cell& cell : cells) offsets.push_back(offsets.back() + cell.width);
  // The caret stands under character `caret`, or just after the line for a column past its end
  // (an error at the end of the input, or a position an embedder made up).
  const std::size_t caret = std::min(std::max<std::size_t>(mark.column, 1) - 1, cells.size());
  const auto [first, past] = window_around(offsets, caret);

  const std::string_view lead = first > 0 ? kCut : std::string_view();
  out += lead;
  for (std::size_t i = first; i < past; ++i) out += cells[i].text;
  if (past < cells.size()) out += kCut;
  out += '\n';

  std::string indent(lead.size(), ' ');
  for (std::size_t i = first; i < caret; ++i) {
    if (cells[i].is_tab) {
      indent += '\t';
    } else {
      indent.append(cells[i].width, ' ');
    }
  }
  // A name is underlined over the cells it takes (as far as the window shows it); a caret alone
  // is one "^" whatever the width of the character under it.
  const std::size_t end = std::min(caret + mark.length, past);
  const std::size_t underline = mark.length > 1 && end > caret ? offsets[end] - offsets[caret] : 1;
  out += indent;
  out += palette.caret;
  out += '^';
  out.append(std::max<std::size_t>(underline, 1) - 1, '~');
  out += palette.reset;
  out += '\n';
  if (!mark.insertion.empty()) {
    out += indent;
    out += palette.insertion;
    out += mark.insertion;
    out += palette.reset;
    out += '\n';
  }
}

// "NAME:LINE:COLUMN: LABEL: MESSAGE".
void render_header(std::string& out, std::string_view name, std::size_t line, std::size_t column,
                   std::string_view label, std::string_view label_color, std::string_view message,
                   const Palette& palette) {
  out += palette.locus;
  out += shown(name);
  out += ':' + std::to_string(line) + ':' + std::to_string(column) + ':';
  out += palette.reset;
  out += ' ';
  out += label_color;
  out += label;
  out += ':';
  out += palette.reset;
  out += ' ';
  out += shown(message);
  out += '\n';
}

bool is_word_byte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x80 || b == '_' || (b >= '0' && b <= '9') ||
         ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
}

// The name that a semantic message quotes ('x' in "Redeclaration of 'x' in the same scope"),
// marked where it first stands in `line` as a whole word; nothing when it is not there.
std::optional<Mark> quoted_name_in(std::string_view message, std::string_view line) {
  const std::size_t open = message.find('\'');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = message.find('\'', open + 1);
  if (close == std::string_view::npos || close == open + 1) return std::nullopt;
  const std::string_view name = message.substr(open + 1, close - open - 1);
  for (std::size_t at = line.find(name); at != std::string_view::npos;
       at = line.find(name, at + 1)) {
    const std::size_t after = at + name.size();
    const bool starts_word = !is_word_byte(name.front()) || at == 0 || !is_word_byte(line[at - 1]);
    const bool ends_word =
        !is_word_byte(name.back()) || after == line.size() || !is_word_byte(line[after]);
    if (starts_word && ends_word)
      return Mark{count_characters(line.substr(0, at)) + 1, count_characters(name), {}};
  }
  return std::nullopt;
}

}  // namespace

std::string render_diagnostic(const ToluError& error, std::string_view name,
                              std::string_view source, const RenderOptions& options) {
  const Palette& palette = options.color ? kColored : kPlain;
  const std::string message = to_valid_utf8(error.message());
  std::string out;
  if (!error.is_located()) {
    out += palette.locus;
    out += shown(name);
    out += ':';
    out += palette.reset;
    out += ' ';
    out += palette.error;
    out += "error:";
    out += palette.reset;
    out += ' ' + shown(message) + '\n';
    return out;
  }
  const std::string_view line = source_line(source, error.line());
  render_header(out, name, error.line(), error.column(), "error", palette.error, message, palette);
  Mark mark{error.column(), 1, {}};
  if (error.kind() == ErrorKind::Semantic) mark = quoted_name_in(message, line).value_or(mark);
  render_excerpt(out, line, mark, palette);
  for (const Note& note : error.notes()) {
    render_header(out, name, note.line, note.column, "note", palette.note,
                  to_valid_utf8(note.message), palette);
    render_excerpt(out, source_line(source, note.line), {note.column, 1, note.insertion}, palette);
  }
  return out;
}

}  // namespace tolu
