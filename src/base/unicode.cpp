#include "base/unicode.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <bit>
#include <cstdint>

#include "base/bytes.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The number of ASCII bytes that `bytes[0, size)` starts with: the fast path over the long runs
// of ASCII that make up most of a source. Sixty-four bytes at a time while they are all ASCII,
// then sixteen or eight at a time to the first byte that is not.
std::size_t ascii_prefix(const std::uint8_t* bytes, std::size_t size) {
  std::size_t i = 0;
#ifdef __SSE2__
  const auto load = [&](std::size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
  };
  for (; size - i >= 64; i += 64) {
    const __m128i any =
        _mm_or_si128(_mm_or_si128(load(i), load(i + 16)), _mm_or_si128(load(i + 32), load(i + 48)));
    if (_mm_movemask_epi8(any) != 0) break;
  }
  for (; size - i >= 16; i += 16) {
    const int high = _mm_movemask_epi8(load(i));
    if (high != 0)
      return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(high)));
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    for (; size - i >= 8; i += 8) {
      const std::uint64_t high =
          load8(reinterpret_cast<const char*>(bytes + i)) & 0x8080808080808080u;
      if (high != 0) return i + static_cast<std::size_t>(std::countr_zero(high) / 8);
    }
  }
  while (i < size && bytes[i] < 0x80) ++i;
  return i;
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
  for (std::size_t i = 0;;) {
    i += ascii_prefix(bytes + i, length - i);
    if (i == length) return true;
    std::int32_t k = 0;
    UChar32 c;
    U8_NEXT(bytes + i, k, window_at(text, i), c);
    if (c < 0) return false;
    i += static_cast<std::size_t>(k);
  }
}

std::string to_valid_utf8(std::string_view text) {
  if (is_valid_utf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t pos = 0; pos < text.size();) append_utf8(out, decode_utf8(text, pos));
  return out;
}

std::size_t count_characters(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  std::size_t count = 0;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t ascii = ascii_prefix(bytes + pos, text.size() - pos);
    pos += ascii;
    count += ascii;
    if (pos == text.size()) return count;
    decode_utf8(text, pos);
    ++count;
  }
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
