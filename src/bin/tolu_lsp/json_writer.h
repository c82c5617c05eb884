// Writes JSON text directly, for the large replies (outlines, semantic tokens, folds, references)
// where building a tree of values first would cost more than the feature itself. The text is
// what serialise() would make of the same values: compact, object members in the order the
// caller writes them (write them sorted by key to match), strings escaped the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "bin/tolu_lsp/json_rpc.h"
#include "bin/tolu_lsp/positions.h"

namespace tolu::lsp {

class JsonWriter {
 public:
  // Writes into `buffer`, cleared: pass a spent one to reuse its memory.
  explicit JsonWriter(std::string buffer = {}) : out_(std::move(buffer)) { out_.clear(); }

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  // An object's member name; its value follows. Names are the protocol's own: plain ASCII that
  // needs no escaping, written as they are.
  void key(std::string_view name);
  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(std::int64_t number);
  void value(std::uint32_t number) { value(static_cast<std::int64_t>(number)); }
  void value(int number) { value(static_cast<std::int64_t>(number)); }
  // A range, {"end":{"character":C,"line":L},"start":{...}}, in one step: the most frequent
  // object of the replies.
  void range(const Range& range);

  const std::string& text() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void separate() {
    if (comma_) out_ += ',';
  }
  void open(char bracket) {
    separate();
    out_ += bracket;
    comma_ = false;
  }
  void close(char bracket) {
    out_ += bracket;
    comma_ = true;
  }
  void string(std::string_view text);

  std::string out_;
  bool comma_ = false;  // a value was written at this level and the next needs a comma
};

}  // namespace tolu::lsp
