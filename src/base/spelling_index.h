// A first-byte index over a table of spellings sorted by spelling, shared by the keyword and
// operator tables of the lexer and the parser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tolu {

// For each first byte, the range [from, to) of the table's entries whose spelling starts with
// it; sorting keeps them together. `spelling_of` reads an entry's spelling.
using FirstByteIndex = std::array<std::pair<std::uint8_t, std::uint8_t>, 256>;

template <class Table, class SpellingOf>
constexpr FirstByteIndex index_by_first_byte(const Table& table, SpellingOf spelling_of) {
  FirstByteIndex ranges{};
  for (std::size_t i = table.size(); i-- > 0;) {
    auto& [from, to] = ranges[static_cast<unsigned char>(spelling_of(table[i])[0])];
    if (to == 0) to = static_cast<std::uint8_t>(i + 1);
    from = static_cast<std::uint8_t>(i);
  }
  return ranges;
}

// The entries of `table` that `spelling` may be, by its first byte.
inline std::pair<std::size_t, std::size_t> candidates(const FirstByteIndex& index,
                                                      std::string_view spelling) {
  if (spelling.empty()) return {0, 0};
  return index[static_cast<unsigned char>(spelling[0])];
}

}  // namespace tolu
