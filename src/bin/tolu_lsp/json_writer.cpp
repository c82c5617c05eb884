#include "bin/tolu_lsp/json_writer.h"

#include <charconv>

#include "base/unicode.h"

namespace tolu::lsp {

void JsonWriter::key(std::string_view name) {
  separate();
  string(name);
  out_ += ':';
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

namespace {

bool needs_escape(unsigned char byte) {
  return byte < 0x20 || byte == '"' || byte == '\\';
}

}  // namespace

void JsonWriter::string(std::string_view text) {
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
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
