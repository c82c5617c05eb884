#include "bin/tolu_lsp/positions.h"

#include <algorithm>

#include "base/unicode.h"

namespace tolu::lsp {

LineIndex::LineIndex(std::string_view text) : text_(text) {
  Line line;
  std::uint32_t offset = 0;
  std::size_t i = 0;
  const auto close_line = [&](std::size_t end) {
    line.bytes = static_cast<std::uint32_t>(end - line.byte);
    line.length = offset - line.offset;
    lines_.push_back(line);
  };
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == '\n' || b == '\r') {
      close_line(i);
      std::size_t next = i + 1;
      if (b == '\r' && next < text.size() && text[next] == '\n') ++next;
      offset += static_cast<std::uint32_t>(next - i);
      line = Line{static_cast<std::uint32_t>(next), offset, 0, 0};
      i = next;
    } else {
      if (b < 0x80) {
        ++i;
      } else {
        decode_utf8(text, i);
      }
      ++offset;
    }
  }
  close_line(text.size());
  lines_.shrink_to_fit();
  characters_ = offset;
}

const LineIndex::Line& LineIndex::line_at(std::uint32_t offset) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                      [](std::uint32_t o, const Line& l) { return o < l.offset; });
  return *(after - 1);
}

const LineIndex::Line& LineIndex::line_at_byte(std::size_t byte) const {
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), byte,
                                      [](std::size_t b, const Line& l) { return b < l.byte; });
  return *(after - 1);
}

std::size_t LineIndex::bytes_of_prefix(const Line& line, std::uint32_t count) const {
  std::size_t pos = line.byte;
  for (std::uint32_t i = 0; i < count; ++i) decode_utf8(text_, pos);
  return pos - line.byte;
}

std::uint32_t LineIndex::units_of_prefix(const Line& line, std::uint32_t count) const {
  std::size_t pos = line.byte;
  std::uint32_t units = 0;
  for (std::uint32_t i = 0; i < count; ++i) units += utf16_units(decode_utf8(text_, pos));
  return units;
}

std::uint32_t LineIndex::offset_of(Position position, Encoding encoding) const {
  if (position.line >= lines_.size()) return characters_;
  const Line& line = lines_[position.line];
  if (encoding == Encoding::Utf32 || line.ascii()) {
    return line.offset + std::min(position.character, line.length);
  }
  std::size_t pos = line.byte;
  std::uint32_t units = 0;
  std::uint32_t count = 0;
  while (count < line.length) {
    const std::uint32_t width = utf16_units(decode_utf8(text_, pos));
    if (units + width > position.character) break;
    units += width;
    ++count;
  }
  return line.offset + count;
}

const LineIndex::Line& LineIndex::line_at(std::uint32_t offset, const Line& from) const {
  // A few steps forward first: most spans end a few lines after they start.
  const Line* line = &from;
  const Line* const last = lines_.data() + lines_.size() - 1;
  for (int step = 0; step < 8; ++step) {
    if (line == last || line[1].offset > offset) return *line;
    ++line;
  }
  const auto after = std::upper_bound(lines_.begin() + (line - lines_.data()), lines_.end(), offset,
                                      [](std::uint32_t o, const Line& l) { return o < l.offset; });
  return *(after - 1);
}

Position LineIndex::position_on(const Line& line, std::uint32_t offset, Encoding encoding) const {
  const std::uint32_t column = std::min(offset - line.offset, line.length);
  const auto number = static_cast<std::uint32_t>(&line - lines_.data());
  if (encoding == Encoding::Utf32 || line.ascii()) return {number, column};
  return {number, units_of_prefix(line, column)};
}

Position LineIndex::position_of(std::uint32_t offset, Encoding encoding) const {
  offset = std::min(offset, characters_);
  return position_on(line_at(offset), offset, encoding);
}

Range LineIndex::range_of(std::uint32_t start, std::uint32_t end, Encoding encoding) const {
  start = std::min(start, characters_);
  end = std::clamp(end, start, characters_);
  const Line& first = line_at(start);
  return {position_on(first, start, encoding), position_on(line_at(end, first), end, encoding)};
}

std::uint32_t LineIndex::line_of(std::uint32_t offset) const {
  return static_cast<std::uint32_t>(&line_at(std::min(offset, characters_)) - lines_.data());
}

std::uint32_t LineIndex::line_start(std::uint32_t line) const {
  return line < lines_.size() ? lines_[line].offset : characters_;
}

std::uint32_t LineIndex::line_end(std::uint32_t line) const {
  return line < lines_.size() ? lines_[line].offset + lines_[line].length : characters_;
}

std::size_t LineIndex::byte_of(std::uint32_t offset) const {
  offset = std::min(offset, characters_);
  const Line& line = line_at(offset);
  const std::uint32_t column = offset - line.offset;
  if (line.ascii()) return line.byte + column;
  if (column >= line.length) return line.byte + line.bytes + (column - line.length);
  return line.byte + bytes_of_prefix(line, column);
}

std::uint32_t LineIndex::offset_of_byte(std::size_t byte) const {
  byte = std::min(byte, text_.size());
  const Line& line = line_at_byte(byte);
  const std::size_t column_bytes = byte - line.byte;
  if (line.ascii()) return line.offset + static_cast<std::uint32_t>(column_bytes);
  if (column_bytes >= line.bytes) {
    return line.offset + line.length + static_cast<std::uint32_t>(column_bytes - line.bytes);
  }
  std::size_t pos = line.byte;
  std::uint32_t count = 0;
  while (pos < byte) {
    std::size_t next = pos;
    decode_utf8(text_, next);
    if (next > byte) break;  // `byte` is inside this character
    pos = next;
    ++count;
  }
  return line.offset + count;
}

}  // namespace tolu::lsp
