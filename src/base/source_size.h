// The longest source the front end reads. Positions (character offsets, lines, columns) are
// 32-bit in tokens and in the tree, so a longer source is refused before lexing starts rather
// than read with positions that wrap. Every list in a tree and every interned name count is
// bounded by the character count as well, so this one guard covers them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/unicode.h"

namespace tolu {

// One less than the largest 32-bit value, so that a one-past-the-end offset and the column after
// the last character still fit.
inline constexpr std::uint64_t kMaxSourceCharacters = UINT32_MAX - 1;

// Why `source`, starting on line `first_line`, is too long for 32-bit positions, or nothing when
// it fits: its characters, and the lines before it, must stay within `limit` (a parameter so
// that tests can use a small one). Characters are only counted when the byte length is over the
// limit, so the check costs nothing for an ordinary source.
inline std::optional<std::string> source_size_error(std::string_view source,
                                                    std::uint64_t first_line = 1,
                                                    std::uint64_t limit = kMaxSourceCharacters) {
  const std::uint64_t lines_before = first_line == 0 ? 0 : first_line - 1;
  if (lines_before > limit) {
    return "source too long: it starts after line " + std::to_string(limit) +
           ", the last line the front end numbers";
  }
  if (source.size() <= limit - lines_before) return std::nullopt;
  const std::uint64_t characters = count_characters(source);
  if (characters <= limit - lines_before) return std::nullopt;
  return "source too long: " + std::to_string(characters) + " characters" +
         (lines_before ? " after line " + std::to_string(lines_before) : std::string()) +
         ", more than the " + std::to_string(limit) + " the front end reads";
}

}  // namespace tolu
