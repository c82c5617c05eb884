// The longest source the front end reads. Positions (character offsets, lines, columns) are
// 32-bit in tokens and in the tree, so a longer source is refused before lexing starts rather
// than read with positions that wrap. Every list in a tree and every interned name count is
// bounded by the character count as well, so this one guard covers them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/unicode.h"

namespace tolu {

// One less than the largest 32-bit value, so that a one-past-the-end offset and the column after
// the last character still fit.
inline constexpr std::uint64_t kMaxSourceCharacters = UINT32_MAX - 1;

// Why `source`, starting on line `first_line` at character index `first_index` of its file, is
// too long for 32-bit positions, or nothing when it fits: its characters, and the lines or
// characters before it, must stay within `limit` (a parameter so that tests can use a small
// one). Characters are only counted when the byte length is over the limit, so the check costs
// nothing for an ordinary source.
inline std::optional<std::string> source_size_error(std::string_view source,
                                                    std::uint64_t first_line = 1,
                                                    std::uint64_t limit = kMaxSourceCharacters,
                                                    std::uint64_t first_index = 0) {
  const std::uint64_t lines_before = first_line == 0 ? 0 : first_line - 1;
  if (lines_before > limit) {
    return "source too long: it starts after line " + std::to_string(limit) +
           ", the last line the front end numbers";
  }
  if (first_index > limit) {
    return "source too long: it starts after character " + std::to_string(limit) +
           ", the last one the front end numbers";
  }
  const std::uint64_t before = std::max(lines_before, first_index);
  if (source.size() <= limit - before) return std::nullopt;
  const std::uint64_t characters = count_characters(source);
  if (characters <= limit - before) return std::nullopt;
  std::string where;
  if (first_index > lines_before) {
    where = " after character " + std::to_string(first_index);
  } else if (lines_before) {
    where = " after line " + std::to_string(lines_before);
  }
  return "source too long: " + std::to_string(characters) + " characters" + where +
         ", more than the " + std::to_string(limit) + " the front end reads";
}

}  // namespace tolu
