#include "unit/lsp_features/fixture.h"

#include <algorithm>
#include <sstream>

#include "base/unicode.h"

namespace tolu::lsp::testing {
namespace {

// Splits on blanks; a double-quoted word may hold blanks and loses its quotes.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (text[i] == '"') {
      const std::size_t close = text.find('"', i + 1);
      out.push_back(text.substr(i + 1, close - i - 1));
      i = close == std::string::npos ? text.size() : close + 1;
      continue;
    }
    const std::size_t end = std::min(text.find(' ', i), text.size());
    out.push_back(text.substr(i, end - i));
    i = end;
  }
  return out;
}

void read_directives(Fixture& fixture) {
  std::istringstream lines(fixture.text);
  std::string line;
  for (std::uint32_t number = 1; std::getline(lines, line); ++number) {
    const std::size_t at = line.find("//! ");
    if (at == std::string::npos) continue;
    const std::vector<std::string> all = words(line.substr(at + 4));
    if (all.empty()) continue;
    Directive directive{number, all.front(), {}, {}};
    auto arrow = std::find(all.begin(), all.end(), "=>");
    directive.arguments.assign(all.begin() + 1, arrow);
    if (arrow != all.end()) directive.expectation.assign(arrow + 1, all.end());
    fixture.directives.push_back(std::move(directive));
  }
}

}  // namespace

std::vector<Range> Fixture::group(const std::string& name) const {
  std::vector<Range> out;
  for (const Range& r : ranges) {
    if (r.group() == name) out.push_back(r);
  }
  return out;
}

std::vector<tolu::ast::Span> Fixture::labelled(const std::string& label) const {
  std::vector<tolu::ast::Span> out;
  for (const Range& r : ranges) {
    if (r.label == label) out.push_back(r.span);
  }
  return out;
}

std::string Fixture::text_of(tolu::ast::Span span) const {
  std::string out;
  std::uint32_t offset = 0;
  for (std::size_t pos = 0; pos < text.size() && offset < span.end; ++offset) {
    const std::size_t from = pos;
    decode_utf8(text, pos);
    if (offset >= span.start) out.append(text, from, pos - from);
  }
  return out;
}

Fixture read_fixture(const std::string& name, const std::string& marked) {
  Fixture fixture;
  fixture.name = name;
  std::vector<Range> open;
  std::uint32_t offset = 0;  // characters of the stripped text so far
  for (std::size_t pos = 0; pos < marked.size();) {
    if (marked.compare(pos, 2, "/*") == 0 && pos + 2 < marked.size() &&
        std::string_view("^[]").find(marked[pos + 2]) != std::string_view::npos) {
      const std::size_t close = marked.find("*/", pos);
      const std::string label = marked.substr(pos + 3, close - pos - 3);
      const char kind = marked[pos + 2];
      if (kind == '^') {
        fixture.cursors[label] = offset;
      } else if (kind == '[') {
        open.push_back(Range{label, {offset, offset}});
      } else if (open.empty()) {
        fixture.error = "a range closes that was not opened";
      } else {
        open.back().span.end = offset;
        fixture.ranges.push_back(open.back());
        open.pop_back();
      }
      pos = close + 2;
      continue;
    }
    const std::size_t from = pos;
    decode_utf8(marked, pos);
    fixture.text.append(marked, from, pos - from);
    ++offset;
  }
  if (!open.empty()) fixture.error = "range '" + open.back().label + "' is not closed";
  std::stable_sort(fixture.ranges.begin(), fixture.ranges.end(),
                   [](const Range& a, const Range& b) { return a.span.start < b.span.start; });
  read_directives(fixture);
  return fixture;
}

}  // namespace tolu::lsp::testing
