// UTF-8 and character-class helpers shared by the lexer and the tools.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tolu {

// Marks the end of the input where a character is expected; no real character has this value.
inline constexpr char32_t kEndOfInput = 0x110000;

// Unicode Alphabetic property.
bool is_unicode_alphabetic(char32_t c);
// Alphabetic, or general category Nd, Nl or No.
bool is_unicode_alphanumeric(char32_t c);

// Whether a diagnostic shows `c` by its code (<U+XXXX>) rather than as itself: control
// characters other than the tab, format characters (bidirectional controls, zero-width
// characters, the byte-order mark), line and paragraph separators, and every other character
// that is default-ignorable (invisible) in display.
bool is_hidden_in_display(char32_t c);
// Terminal cells that `c` takes: 2 for East Asian wide and fullwidth characters, 0 for
// combining marks (nonspacing and enclosing), 1 for the rest.
std::size_t display_width(char32_t c);

bool is_valid_utf8(std::string_view text);
// The text with every ill-formed sequence replaced by U+FFFD.
std::string to_valid_utf8(std::string_view text);
// Number of characters; each ill-formed sequence counts as one.
std::size_t count_characters(std::string_view text);
void append_utf8(std::string& out, char32_t c);

// The full, language-independent Unicode case mappings ("ß" upper-cases to "SS"); nothing for
// text that is not valid UTF-8, or longer than ICU counts (2 GiB).
std::optional<std::string> to_upper_case(std::string_view text);
std::optional<std::string> to_lower_case(std::string_view text);

// Decodes the character starting at byte `pos` (an ill-formed sequence gives U+FFFD) and moves
// `pos` past it. `pos` must be inside the text.
char32_t decode_utf8(std::string_view text, std::size_t& pos);

}  // namespace tolu
