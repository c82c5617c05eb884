// Incremental changes against whole-text replacement, and the edit log's mapping of offsets.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "bin/tolu_lsp/document.h"

namespace tolu::lsp {
namespace {

// The characters of a UTF-8 text, one string each.
std::vector<std::string> characters(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = pos;
    decode_utf8(text, pos);
    out.push_back(text.substr(start, pos - start));
  }
  return out;
}

std::string join(const std::vector<std::string>& chars, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) out += chars[i];
  return out;
}

TEST(Document, RandomRangeEditsMatchWholeTextReplacement) {
  const std::vector<std::string> alphabet = {
      "a", "b", " ", "\n", "\r\n", "×", "≤", "\xF0\x9F\x98\x80", "⋀", "é", ";", "\r"};
  std::mt19937 random(1234);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n)(random);
  };
  for (const Encoding encoding : {Encoding::Utf16, Encoding::Utf32}) {
    Document document("let x = 1;\n", 0);
    EditLog log;
    std::string expected = document.text();
    for (int step = 0; step < 2000; ++step) {
      const std::vector<std::string> chars = characters(expected);
      // A position cannot stand between the "\r" and the "\n" of a line break.
      const auto inside_break = [&](std::size_t i) {
        return i > 0 && i < chars.size() && chars[i - 1] == "\r" && chars[i] == "\n";
      };
      std::size_t from = pick(chars.size());
      std::size_t to = std::min(chars.size(), from + pick(4));
      if (inside_break(from)) --from;
      if (inside_break(to)) ++to;
      std::string inserted;
      for (std::size_t n = pick(3); n > 0; --n) inserted += alphabet[pick(alphabet.size() - 1)];
      const std::string before = expected;
      expected = join(chars, 0, from) + inserted + join(chars, to, chars.size());
      // Half the ranges are given end first.
      Range range{document.lines().position_of(static_cast<std::uint32_t>(from), encoding),
                  document.lines().position_of(static_cast<std::uint32_t>(to), encoding)};
      if (step % 2 == 1) std::swap(range.start, range.end);
      ASSERT_TRUE(document.apply({{range, inserted}}, step + 1, encoding, log));
      ASSERT_EQ(document.text(), expected) << "step " << step;
      EXPECT_EQ(document.version(), step + 1);
      // The line index follows.
      Document whole(expected, 0);
      ASSERT_EQ(document.lines().line_count(), whole.lines().line_count());
    }
  }
}

TEST(Document, SeveralChangesApplyInOrderAndAWholeTextReplaces) {
  Document document("abc\ndef", 1);
  EditLog log;
  ASSERT_TRUE(document.apply({{Range{{0, 1}, {0, 2}}, "XY"},
                              {Range{{1, 0}, {1, 3}}, ""},
                              {std::nullopt, "fresh"},
                              {Range{{0, 5}, {0, 5}}, "!"}},
                             2, Encoding::Utf16, log));
  EXPECT_EQ(document.text(), "fresh!");
  EXPECT_EQ(log.forward(1), std::nullopt);  // the whole text was replaced
  EXPECT_EQ(log.forward_span(0, 1), std::nullopt);
}

TEST(Document, AChangeBeyondTheSizeLimitIsRefused) {
  Document document("", 1);
  EditLog log;
  const std::string big(Document::kMaxBytes / 2 + 1, 'a');
  EXPECT_TRUE(document.apply({{std::nullopt, big}}, 2, Encoding::Utf16, log));
  EXPECT_FALSE(document.apply({{Range{{0, 0}, {0, 0}}, big}}, 3, Encoding::Utf16, log));
  EXPECT_EQ(document.text().size(), big.size());
}

TEST(EditLog, OffsetsMapForwardAndBackAroundEdits) {
  EditLog log;
  // "0123456789" -> replace [2, 4) by "abc" -> "01abc456789" -> insert "zz" at 9 -> "01abc4567zz89"
  log.record({2, 4, 5}, 10);
  log.record({9, 9, 11}, 11);
  struct Case {
    std::uint32_t old_offset;
    std::optional<std::uint32_t> forward;
  };
  const std::vector<Case> cases = {{0, 0}, {2, 2}, {3, std::nullopt}, {4, 5},
                                   {7, 8}, {8, 9}, {9, 12},           {10, 13}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.old_offset);
    EXPECT_EQ(log.forward(c.old_offset), c.forward);
    if (c.forward) {
      EXPECT_EQ(log.back(*c.forward), c.old_offset);
    }
  }
  // Inside inserted or replaced text there is nothing to map back to.
  EXPECT_EQ(log.back(3), std::nullopt);
  EXPECT_EQ(log.back(10), std::nullopt);
  // At a pure insertion, the start of a name moves with the text after it.
  EXPECT_EQ(log.forward(8, /*after=*/true), 11u);
  EXPECT_EQ(log.forward(8), 9u);
  EXPECT_EQ(log.forward_span(7, 8), (std::pair<std::uint32_t, std::uint32_t>{8, 9}));
  EXPECT_EQ(log.forward_span(6, 8), (std::pair<std::uint32_t, std::uint32_t>{7, 9}))
      << "inserting right after a name leaves it whole";
  EXPECT_EQ(log.forward_span(8, 10), (std::pair<std::uint32_t, std::uint32_t>{11, 13}))
      << "inserting right before a name moves it";
  EXPECT_EQ(log.forward_span(9, 10), (std::pair<std::uint32_t, std::uint32_t>{12, 13}));
  EXPECT_EQ(log.forward_span(7, 10), std::nullopt) << "text was inserted inside the span";
  EXPECT_EQ(log.forward_span(1, 3), std::nullopt) << "part of the span was replaced";
  EXPECT_EQ(log.forward_span(0, 2), (std::pair<std::uint32_t, std::uint32_t>{0, 2}));
}

TEST(EditLog, ALongLogMergesIntoOneEditThatStillMapsTheUntouchedText) {
  EditLog log;
  std::uint32_t length = 1000;
  // Typing 2000 characters, one at a time, at 500.
  for (std::uint32_t i = 0; i < 2000; ++i, ++length)
    log.record({500 + i, 500 + i, 501 + i}, length);
  EXPECT_LE(log.edits().size(), EditLog::kMaxEdits);
  EXPECT_EQ(log.forward(100), 100u);
  EXPECT_EQ(log.forward(900), 2900u);
  EXPECT_EQ(log.back(2900), 900u);
  EXPECT_EQ(log.back(501), std::nullopt);
}

}  // namespace
}  // namespace tolu::lsp
