#include "base/unicode.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tolu {

bool is_unicode_alphabetic(char32_t c) {
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC);
}

bool is_unicode_alphanumeric(char32_t c) {
  if (is_unicode_alphabetic(c)) return true;
  return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_N_MASK) != 0;
}

bool is_hidden_in_display(char32_t c) {
  if (c == '\t') return false;
  const auto code = static_cast<UChar32>(c);
  constexpr std::uint32_t kHidden = U_GC_CC_MASK | U_GC_CF_MASK | U_GC_ZL_MASK | U_GC_ZP_MASK;
  return (U_GET_GC_MASK(code) & kHidden) != 0 ||
         u_hasBinaryProperty(code, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

std::size_t display_width(char32_t c) {
  const auto code = static_cast<UChar32>(c);
  if ((U_GET_GC_MASK(code) & (U_GC_MN_MASK | U_GC_ME_MASK)) != 0) return 0;
  const auto width = u_getIntPropertyValue(code, UCHAR_EAST_ASIAN_WIDTH);
  return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

namespace {

// ICU's macros index with 32-bit integers, and a text may be longer than they count: each
// character is decoded within a window of at most four bytes from its own start, which holds
// any well-formed character and the longest ill-formed prefix ICU takes as one.
std::int32_t window_at(std::string_view text, std::size_t pos) {
  return static_cast<std::int32_t>(std::min<std::size_t>(text.size() - pos, U8_MAX_LENGTH));
}

// Whether the `Size` bytes of `text` from `pos` (which are there) are plain ASCII, read a word at
// a time: the fast path over the runs of ASCII that make up most of a source.
template <std::size_t Size>
bool ascii_at(std::string_view text, std::size_t pos) {
  std::uint64_t any = 0;
  for (std::size_t i = 0; i < Size; i += 8) {
    std::uint64_t word;  // one word at a time, so that no load becomes a call to memcpy
    std::memcpy(&word, text.data() + pos + i, sizeof word);
    any |= word;
  }
  return (any & 0x8080808080808080u) == 0;
}

}  // namespace

char32_t decode_utf8(std::string_view text, std::size_t& pos) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data()) + pos;
  std::int32_t i = 0;
  UChar32 c;
  U8_NEXT_OR_FFFD(bytes, i, window_at(text, pos), c);
  pos += static_cast<std::size_t>(i);
  return static_cast<char32_t>(c);
}

bool is_valid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t length = text.size();
  for (std::size_t i = 0; i < length;) {
    // Plain ASCII, sixty-four bytes at a time, then sixteen, then eight.
    if (length - i >= 64 && ascii_at<64>(text, i)) {
      i += 64;
      continue;
    }
    if (length - i >= 16 && ascii_at<16>(text, i)) {
      i += 16;
      continue;
    }
    if (length - i >= 8 && ascii_at<8>(text, i)) {
      i += 8;
      continue;
    }
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    std::int32_t k = 0;
    UChar32 c;
    U8_NEXT(bytes + i, k, window_at(text, i), c);
    if (c < 0) return false;
    i += static_cast<std::size_t>(k);
  }
  return true;
}

std::string to_valid_utf8(std::string_view text) {
  if (is_valid_utf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t pos = 0; pos < text.size();) append_utf8(out, decode_utf8(text, pos));
  return out;
}

std::size_t count_characters(std::string_view text) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Plain ASCII, eight bytes (and characters) at a time.
    if (text.size() - pos >= 8 && ascii_at<8>(text, pos)) {
      pos += 8;
      count += 8;
      continue;
    }
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
    } else {
      decode_utf8(text, pos);
    }
    ++count;
  }
  return count;
}

void append_utf8(std::string& out, char32_t c) {
  char buffer[U8_MAX_LENGTH];
  std::int32_t length = 0;
  U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));
  out.append(buffer, static_cast<std::size_t>(length));
}

namespace {

template <class Map>
std::optional<std::string> map_case(std::string_view text, Map map) {
  // ICU takes the text's length as a 32-bit integer.
  if (text.size() > static_cast<std::size_t>(INT32_MAX) || !is_valid_utf8(text))
    return std::nullopt;
  std::string out;
  out.reserve(text.size());
  icu::StringByteSink<std::string> sink(&out);
  UErrorCode status = U_ZERO_ERROR;
  // The root locale: no language's special rules.
  map("", 0, icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())), sink, nullptr,
      status);
  if (U_FAILURE(status)) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> to_upper_case(std::string_view text) {
  return map_case(text, [](auto&&... args) { icu::CaseMap::utf8ToUpper(args...); });
}

std::optional<std::string> to_lower_case(std::string_view text) {
  return map_case(text, [](auto&&... args) { icu::CaseMap::utf8ToLower(args...); });
}

}  // namespace tolu
