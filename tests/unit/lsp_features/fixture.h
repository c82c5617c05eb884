// Marker fixtures for the language features: Tolu sources annotated with markers that are
// stripped before analysis, and with directives in line comments that state what to expect.
//
//   /*^name*/      a cursor, at the offset where the marker stood
//   /*[label*/ .. /*]*/   an expected range; markers nest, and a label may repeat. The label's
//                  last character says what the range is: "=" a declaration, "!" a use that
//                  writes, anything else a use that reads. Its group is the label without it.
//   //! verb arguments... => expectation...    one check, run by the test for that verb
//
// Offsets count characters of the stripped text, as the front end does.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tolu/syntax_tree.h"

namespace tolu::lsp::testing {

struct Range {
  std::string label;
  tolu::ast::Span span;
  bool is_declaration() const { return label.ends_with('='); }
  bool is_write() const { return label.ends_with('=') || label.ends_with('!'); }
  std::string group() const {
    return label.ends_with('=') || label.ends_with('!') ? label.substr(0, label.size() - 1) : label;
  }
};

struct Directive {
  std::uint32_t line = 0;  // 1-based, for messages
  std::string verb;
  std::vector<std::string> arguments;    // before "=>"
  std::vector<std::string> expectation;  // after "=>"; quoted words lose their quotes
};

struct Fixture {
  std::string name;
  std::string text;  // without markers
  std::map<std::string, std::uint32_t> cursors;
  std::vector<Range> ranges;  // in order of their start
  std::vector<Directive> directives;
  std::string error;  // a malformed fixture

  // The ranges of a group, in source order.
  std::vector<Range> group(const std::string& name) const;
  // The ranges written with exactly this label.
  std::vector<tolu::ast::Span> labelled(const std::string& label) const;
  // The text of a span.
  std::string text_of(tolu::ast::Span span) const;
};

Fixture read_fixture(const std::string& name, const std::string& marked_text);

}  // namespace tolu::lsp::testing
