#include "bin/tolu_lsp/json_writer.h"

#include <algorithm>
#include <charconv>

#include "base/unicode.h"

namespace tolu::lsp {

void JsonWriter::key(std::string_view name) {
  separate();
  out_ += '"';
  out_.append(name);
  out_.append("\":", 2);
  comma_ = false;
}

void JsonWriter::value(std::string_view text) {
  separate();
  string(text);
  comma_ = true;
}

void JsonWriter::value(std::int64_t number) {
  separate();
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  out_.append(digits, end);
  comma_ = true;
}

void JsonWriter::range(const Range& range) {
  separate();
  // Written in place: room for the punctuation and four numbers of up to ten digits, then cut.
  constexpr std::size_t kMost = 64 + 4 * 10;
  const std::size_t at = out_.size();
  out_.resize(at + kMost);
  char* out = out_.data() + at;
  char* const limit = out + kMost;
  const auto put = [&](std::string_view piece) {
    out = std::copy(piece.begin(), piece.end(), out);
  };
  const auto number = [&](std::uint32_t n) { out = std::to_chars(out, limit, n).ptr; };
  put("{\"end\":{\"character\":");
  number(range.end.character);
  put(",\"line\":");
  number(range.end.line);
  put("},\"start\":{\"character\":");
  number(range.start.character);
  put(",\"line\":");
  number(range.start.line);
  put("}}");
  out_.resize(static_cast<std::size_t>(out - out_.data()));
  comma_ = true;
}

namespace {

bool needs_escape(unsigned char byte) {
  return byte < 0x20 || byte == '"' || byte == '\\';
}

}  // namespace

void JsonWriter::string(std::string_view text) {
  bool plain = true;  // printable ASCII without quotes or backslashes, the usual case
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    plain = plain && byte < 0x80 && !needs_escape(byte);
  }
  if (plain) {
    out_ += '"';
    out_.append(text);
    out_ += '"';
    return;
  }
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  // Invalid UTF-8 is replaced as serialise() replaces it.
  if (!ascii && !is_valid_utf8(text)) {
    out_ += serialise(Json(std::string(text)));
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  out_ += '"';
  std::size_t run = 0;  // start of the characters not yet written
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!needs_escape(byte)) continue;
    out_.append(text.substr(run, i - run));
    run = i + 1;
    switch (byte) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\b':
        out_ += "\\b";
        break;
      case '\f':
        out_ += "\\f";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        out_ += "\\u00";
        out_ += kHex[byte >> 4];
        out_ += kHex[byte & 0xF];
    }
  }
  out_.append(text.substr(run));
  out_ += '"';
}

}  // namespace tolu::lsp
