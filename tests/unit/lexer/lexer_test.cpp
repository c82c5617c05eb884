#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "base/unicode.h"
#include "lexer/lexer.h"
#include "support/tokens.h"

namespace tolu {
namespace {

using testing::lex_to_string;

struct LexCase {
  const char* source;
  const char* tokens;
};

class LexCore : public ::testing::TestWithParam<LexCase> {};

TEST_P(LexCore, Tokens) {
  EXPECT_EQ(lex_to_string(GetParam().source), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LexCore,
    ::testing::Values(
        LexCase{"let x := 1 + 2; say x", "K:let I:x O::= N:1 O:+ N:2 P:; K:say I:x"},
        // Longest operator first, in the documented order.
        LexCase{"a**=b", "I:a O:**= I:b"}, LexCase{"a <=> b", "I:a O:<=> I:b"},
        LexCase{"x<<<y", "I:x O:<<< I:y"}, LexCase{"x_=y", "I:x O:_= I:y"},
        LexCase{"x__=y x_y_", "I:x_ O:_= I:y I:x_y_"},
        LexCase{"a ?:= b ?: c", "I:a O:?:= I:b O:?: I:c"}, LexCase{"o.(m)", "I:o O:.( I:m P:)"},
        LexCase{"...xs", "O:... I:xs"}, LexCase{"a ⊂⊃ b ⊂ c", "I:a O:⊂⊃ I:b O:⊂ I:c"},
        LexCase{"a>>b<<c", "I:a O:>> I:b O:<< I:c"}, LexCase{"a -> b → c", "I:a O:-> I:b O:-> I:c"},
        LexCase{"a ▷ f ◁ g", "I:a O:▷ I:f O:◁ I:g"},
        LexCase{"¬a × b ÷ c", "O:¬ I:a O:× I:b O:÷ I:c"},
        LexCase{"a ≤ b ≠ c", "I:a O:≤ I:b O:≠ I:c"}, LexCase{"x\\y", "I:x O:\\ I:y"},
        LexCase{"⊤ ⊥", "K:true K:false"}, LexCase{"^^ + 1", "I:^^ O:+ N:1"},
        LexCase{"^ ^", "O:^ O:^"},
        // Underscores.
        LexCase{"_x __ _ _1", "I:_x I:__ O:_ I:_1"}, LexCase{"a_b", "I:a_b"},
        // Numbers: one optional fraction, nothing else.
        LexCase{"1.5 1. 1..2", "N:1.5 N:1 O:. N:1 O:. O:. N:2"}, LexCase{"1.2.3", "N:1.2 O:. N:3"},
        LexCase{"007 12abc", "N:007 N:12 I:abc"},
        // Words: Unicode letters and numbers continue an identifier; keywords are exact.
        LexCase{"héllo naïve x²", "I:héllo I:naïve I:x²"}, LexCase{"Let let", "I:Let K:let"},
        LexCase{"typeof equivalentof", "K:typeof K:equivalentof"},
        // Punctuation.
        LexCase{"( ) , ; [ ] { }", "P:( P:) P:, P:; P:[ P:] P:{ P:}"},
        // Comments, interpreter line and documentation blocks.
        LexCase{"a // c\nb", "I:a I:b"}, LexCase{"a /* x\ny */ b", "I:a I:b"},
        LexCase{"a /* never closed", "I:a"}, LexCase{"#!/bin/tolu\nx", "I:x"},
        LexCase{"=head1 Name\ntext\n=cut more\nx", "I:x"}, LexCase{"=pod\nnever cut", ""},
        LexCase{"=cut\nx", "I:x"}, LexCase{"x =y", "I:x O:= I:y"}, LexCase{"x\n=y", "I:x"},
        LexCase{"x\n= y", "I:x O:= I:y"},
        // A regex may start only where an operand is expected.
        LexCase{"a/b", "I:a O:/ I:b"}, LexCase{"(/b/)", "P:( R:/b/[] P:)"},
        LexCase{"x = /ab/", "I:x O:= R:/ab/[]"}, LexCase{"if /x/", "K:if R:/x/[]"},
        LexCase{"a) / b", "I:a P:) O:/ I:b"}, LexCase{"1 /2", "N:1 O:/ N:2"}, LexCase{"", ""},
        // Errors.
        LexCase{"#x", "error 1:1 unexpected character '#'"},
        LexCase{"x\n  #", "error 2:3 unexpected character '#'"},
        LexCase{"a $", "error 1:3 unexpected character '$'"},
        LexCase{"é %", "error 1:3 unexpected character '%'"},
        LexCase{"\t\t%", "error 1:3 unexpected character '%'"},
        LexCase{"a\xc2\xa0", "error 1:2 unexpected character '\xc2\xa0'"},
        LexCase{"#!x\n#", "error 2:1 unexpected character '#'"},
        // A byte-order mark is skipped at the very start, and only there; what follows it is
        // at the start of the file.
        LexCase{"\xEF\xBB\xBFsay x", "K:say I:x"}, LexCase{"\xEF\xBB\xBF#!/bin/tolu\nx", "I:x"},
        LexCase{"\xEF\xBB\xBF=pod\nx\n=cut\ny", "I:y"},
        LexCase{"\xEF\xBB\xBF#x", "error 1:1 unexpected character '#'"},
        LexCase{"\xEF\xBB\xBF\xEF\xBB\xBFx", "error 1:1 unexpected character '\xEF\xBB\xBF'"},
        LexCase{"x \xEF\xBB\xBF", "error 1:3 unexpected character '\xEF\xBB\xBF'"},
        LexCase{"x\n\xEF\xBB\xBFy", "error 2:1 unexpected character '\xEF\xBB\xBF'"},
        LexCase{"\" \xEF\xBB\xBF\"", "S:\" \xEF\xBB\xBF\""}));

TEST(LexPositions, TokensCarryCharacterIndexesLinesAndColumns) {
  auto result = lex("é := 1\n\tfoo");
  ASSERT_TRUE(result);
  const auto& t = result.value().tokens;
  ASSERT_EQ(t.size(), 5u);
  struct Expected {
    TokenKind kind;
    std::uint32_t start, end, line, column;
  };
  const Expected expected[] = {{TokenKind::Identifier, 0, 1, 1, 1},
                               {TokenKind::Operator, 2, 4, 1, 3},
                               {TokenKind::Number, 5, 6, 1, 6},
                               {TokenKind::Identifier, 8, 11, 2, 2},
                               {TokenKind::Eof, 11, 11, 2, 5}};
  for (std::size_t i = 0; i < t.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t[i].kind, expected[i].kind);
    EXPECT_EQ(t[i].start, expected[i].start);
    EXPECT_EQ(t[i].end, expected[i].end);
    EXPECT_EQ(t[i].line, expected[i].line);
    EXPECT_EQ(t[i].column, expected[i].column);
  }
}

// Strings, templates, comments, words and numbers are scanned in runs of bytes; the token after
// each must still land on the right character index and column when the run holds multi-byte
// characters.
TEST(LexPositions, CountCharactersAcrossScannedRuns) {
  struct Case {
    const char* source;
    std::uint32_t start, line, column;
  };
  const Case cases[] = {
      {"\"a\xc3\xa9 b\" x", 7, 1, 8},       {"\"a\\\"\xc3\xa9\" x", 7, 1, 8},
      {"`a \xc3\xa9 ${y} b` x", 13, 1, 14}, {"`${\"}\xc3\xa9\"} \xc3\xa9` x", 12, 1, 13},
      {"```a\n\xc3\xa9``` x", 10, 2, 6},    {"// a\xc3\xa9\n  x", 8, 2, 3},
      {"\xc3\xa9_x1\xc3\xa9 y", 6, 1, 7},   {"12.5\xc3\xa9", 4, 1, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    auto result = lex(c.source);
    ASSERT_TRUE(result);
    const auto& tokens = result.value().tokens;
    ASSERT_GE(tokens.size(), 2u);
    const Token& last = tokens[tokens.size() - 2];
    EXPECT_EQ(last.start, c.start);
    EXPECT_EQ(last.line, c.line);
    EXPECT_EQ(last.column, c.column);
  }
}

// The mark takes no column, yet character indexes count it.
TEST(LexPositions, ByteOrderMarkCountsInIndexesButNotInColumns) {
  for (const char* source : {"\xEF\xBB\xBFx", "\xEF\xBB\xBF"}) {
    SCOPED_TRACE(source);
    auto result = lex(source);
    ASSERT_TRUE(result);
    const Token& first = result.value().tokens.front();
    EXPECT_EQ(first.start, 1u);
    EXPECT_EQ(first.line, 1u);
    EXPECT_EQ(first.column, 1u);
    EXPECT_EQ(result.value().tokens.back().end, count_characters(source));
  }
}

// An interpolation's source carries the line and column where it begins, so that positions
// inside it can be given in the file.
TEST(LexPositions, InterpolationsKnowTheirLineAndColumn) {
  auto result = lex("x := `a${b}\u00e9 ${ c }`;\ny := ```\n  ${d}```; z := /é${e}/");
  ASSERT_TRUE(result);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
  for (const Token& t : result.value().tokens) {
    if (!has_literal_payload(t.kind)) continue;
    for (const auto& part : result.value().literal(t).parts) {
      if (part.kind == TokenTemplatePart::Interpolation)
        places.emplace_back(part.line, part.column);
    }
  }
  EXPECT_EQ(places, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                        {1, 10}, {1, 16}, {3, 5}, {3, 21}}));
}

TEST(LexPositions, EmptySourceGivesOneEofAtLineOneColumnOne) {
  auto result = lex("");
  ASSERT_TRUE(result);
  ASSERT_EQ(result.value().tokens.size(), 1u);
  const Token& eof = result.value().tokens[0];
  EXPECT_EQ(eof.kind, TokenKind::Eof);
  EXPECT_EQ(eof.line, 1u);
  EXPECT_EQ(eof.column, 1u);
}

TEST(LexPositions, LexicalErrorsHaveTheRightKindAndNoFile) {
  auto result = lex("x #");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), ErrorKind::Lexical);
  EXPECT_FALSE(result.error().source_file());
}

TEST(LexPositions, SourceTooLongForItsPositionsFailsBeforeTheFirstToken) {
  // The limit is lowered so that the guard is exercised without a 4 GiB source.
  TokenStream fits("a bc", 1, 4);
  EXPECT_EQ(fits.drain(), std::nullopt);

  TokenStream too_long("a bcd", 1, 4);
  Token token;
  LiteralPayload literal;
  EXPECT_FALSE(too_long.next(token, literal));
  EXPECT_EQ(token.kind, TokenKind::Eof);
  const auto& error = too_long.drain();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), ErrorKind::Lexical);
  EXPECT_EQ(error->line(), 1u);
  EXPECT_EQ(error->column(), 1u);
  EXPECT_EQ(error->message(), "source too long: 5 characters, more than the 4 the front end reads");

  // A continuation starting on a late line counts the lines before it.
  TokenStream late("ab", 4, 4);
  ASSERT_TRUE(late.drain());
  EXPECT_EQ(late.drain()->line(), 4u);

  // Nothing can follow the last line there is: a line feed would wrap its number.
  TokenStream last_line("", UINT32_MAX);
  EXPECT_EQ(last_line.drain(), std::nullopt);
  TokenStream past_last_line("\n", UINT32_MAX);
  ASSERT_TRUE(past_last_line.drain());
  EXPECT_EQ(past_last_line.drain()->kind(), ErrorKind::Lexical);

  // One starting at a late character counts the characters before it.
  TokenStream shifted("a bc", 1, 6, 2);
  ASSERT_TRUE(shifted.next(token, literal));
  EXPECT_EQ(std::pair(token.start, token.end), std::pair(2u, 3u));
  ASSERT_TRUE(shifted.next(token, literal));
  EXPECT_EQ(std::pair(token.start, token.end), std::pair(4u, 6u));
  EXPECT_EQ(shifted.drain(), std::nullopt);
  TokenStream shifted_too_far("a bc", 1, 6, 3);
  ASSERT_TRUE(shifted_too_far.drain());
  EXPECT_EQ(shifted_too_far.drain()->message(),
            "source too long: 4 characters after character 3, more than the 6 the front end reads");
}

// Each keyword's token names it, whatever the order of the enumeration and of the spelling
// table; words that merely look like keywords name none.
TEST(LexKeywords, EveryKeywordTokenNamesItsKeyword) {
  struct Case {
    std::string_view source;
    KeywordId keyword;
  };
  const Case cases[] = {
      {"as", KeywordId::As},
      {"assert", KeywordId::Assert},
      {"async", KeywordId::Async},
      {"await", KeywordId::Await},
      {"but", KeywordId::But},
      {"case", KeywordId::Case},
      {"catch", KeywordId::Catch},
      {"class", KeywordId::Class},
      {"const", KeywordId::Const},
      {"continue", KeywordId::Continue},
      {"debug", KeywordId::Debug},
      {"die", KeywordId::Die},
      {"do", KeywordId::Do},
      {"else", KeywordId::Else},
      {"extends", KeywordId::Extends},
      {"false", KeywordId::False},
      {"fn", KeywordId::Fn},
      {"for", KeywordId::For},
      {"from", KeywordId::From},
      {"function", KeywordId::Function},
      {"if", KeywordId::If},
      {"import", KeywordId::Import},
      {"last", KeywordId::Last},
      {"let", KeywordId::Let},
      {"method", KeywordId::Method},
      {"next", KeywordId::Next},
      {"null", KeywordId::Null},
      {"print", KeywordId::Print},
      {"return", KeywordId::Return},
      {"say", KeywordId::Say},
      {"spawn", KeywordId::Spawn},
      {"static", KeywordId::Static},
      {"super", KeywordId::Super},
      {"switch", KeywordId::Switch},
      {"throw", KeywordId::Throw},
      {"trait", KeywordId::Trait},
      {"true", KeywordId::True},
      {"try", KeywordId::Try},
      {"unless", KeywordId::Unless},
      {"warn", KeywordId::Warn},
      {"while", KeywordId::While},
      {"with", KeywordId::With},
      // Written as symbols, still keywords.
      {"⊤", KeywordId::True},
      {"⊥", KeywordId::False},
      // Operator keywords carry their operator instead.
      {"and", KeywordId::None},
      {"new", KeywordId::None},
      {"default", KeywordId::None},
      // Near misses are identifiers.
      {"If", KeywordId::None},
      {"iff", KeywordId::None},
      {"lets", KeywordId::None},
      {"a", KeywordId::None},
      {"withs", KeywordId::None},
      {"_if", KeywordId::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source));
    auto lexed = lex(c.source);
    ASSERT_TRUE(lexed);
    const Token& t = lexed.value().tokens.front();
    EXPECT_EQ(t.keyword, c.keyword);
    if (c.keyword == KeywordId::None) continue;
    EXPECT_EQ(t.kind, TokenKind::Keyword);
    EXPECT_EQ(t.op, OperatorId::None);
    EXPECT_EQ(t.text, keyword_spelling(c.keyword));
    EXPECT_EQ(lexed.value().tokens.back().keyword, KeywordId::None);  // the Eof
  }
}

// A word of a keyword's length, first and last bytes lands on the keyword's slot and is told
// apart by its bytes: a difference in any byte between makes it a name.
TEST(LexKeywords, WordsThatDifferFromAKeywordInOneByteAreNames) {
  for (const std::string_view keyword : kKeywordSpellings) {
    for (std::size_t i = 1; i + 1 < keyword.size(); ++i) {
      std::string word(keyword);
      word[i] = 'Q';
      SCOPED_TRACE(word);
      auto lexed = lex(word);
      ASSERT_TRUE(lexed);
      const Token& t = lexed.value().tokens.front();
      EXPECT_EQ(t.kind, TokenKind::Identifier);
      EXPECT_EQ(t.text, word);
    }
  }
}

}  // namespace

// Words are scanned sixteen or eight bytes at a time while that many remain, and a short word in
// a single look when seventeen bytes are left: at every length, a word ends exactly where its
// bytes do, whatever follows it (the bytes just outside the ranges of letters and digits among
// them), the end of the input included, and with blanks enough after it for the single look.
TEST(LexWords, EndWhereTheirBytesEnd) {
  struct Ending {
    std::string_view text;
    std::string_view tokens;  // after the word's own token; "+" joins a continuation to the word
  };
  const Ending endings[] = {
      {"", ""},
      {" y", " I:y"},
      {"_=1", " O:_= N:1"},
      {"__x", "+__x"},
      {"__=1", "+_ O:_= N:1"},
      {"_\xc3\xa9_=", "+_\xc3\xa9 O:_="},
      {"+1", " O:+ N:1"},
      {"(", " P:("},
      {"\n", ""},
      {"\xc3\xa9", "+\xc3\xa9"},
      {"\xc2\xb2!", "+\xc2\xb2 O:!"},
      {"-", " O:-"},
      {"[", " P:["},
      {"{", " P:{"},
      {"/2", " O:/ N:2"},
      {":", " O::"},
  };
  const std::string_view alphabet = "aZ09zA9bQ_";
  for (std::size_t size = 1; size <= 40; ++size) {
    std::string word = "x";
    while (word.size() < size) word += alphabet[word.size() % alphabet.size()];
    for (const Ending& ending : endings) {
      for (const std::string_view padding : {"", "\n                        "}) {
        const std::string source = word + std::string(ending.text) + std::string(padding);
        SCOPED_TRACE(source);
        std::string expected = "I:" + word;
        if (ending.tokens.starts_with('+')) {
          expected += ending.tokens.substr(1);
        } else {
          expected += ending.tokens;
        }
        EXPECT_EQ(lex_to_string(source), expected);
      }
    }
  }
}

}  // namespace tolu

namespace tolu {

// Plain text in strings and templates is scanned sixteen bytes at a time while sixteen remain:
// at every length, the run ends at the byte that ends it (an escape, a multi-byte character, an
// interpolation, the closing quote), and the token after the literal keeps its column.
TEST(LexLiterals, PlainRunsOfEveryLengthEndAtTheirSpecialByte) {
  struct Stop {
    std::string_view written, decoded;
  };
  const Stop stops[] = {
      {"", ""}, {"\\n", "\n"}, {"\\\"", "\""}, {"\xc3\xa9", "\xc3\xa9"}, {"$", "$"}};
  for (std::size_t size = 0; size <= 40; ++size) {
    const std::string plain(size, 'a');
    for (const Stop& stop : stops) {
      const std::string body = plain + std::string(stop.written) + "b";
      const std::string source = "\"" + body + "\" `" + body + "${y}" + plain + "` z";
      SCOPED_TRACE(source);
      auto result = lex(source);
      ASSERT_TRUE(result);
      const TokenVector& tokens = result.value();
      ASSERT_EQ(tokens.tokens.size(), 4u);
      const std::string decoded = plain + std::string(stop.decoded) + "b";
      EXPECT_EQ(tokens.literal(tokens.tokens[0]).value, decoded);
      const auto& parts = tokens.literal(tokens.tokens[1]).parts;
      ASSERT_EQ(parts.size(), size == 0 ? 2u : 3u);
      EXPECT_EQ(parts[0].text, decoded);
      EXPECT_EQ(parts[1].text, "y");
      if (size != 0) {
        EXPECT_EQ(parts[2].text, plain);
      }
      const auto characters = static_cast<std::uint32_t>(count_characters(source));
      EXPECT_EQ(tokens.tokens[2].column, characters);  // z, the last character
    }
  }
}

// Runs of spaces are read a word at a time while eight bytes remain, and a lone space takes a
// short path: after a run of every length, with and without a line feed, a tab or a carriage
// return inside, and at the end of the input, the next token has the right index, line and
// column.
TEST(LexBlanks, RunsOfEveryLengthLeaveTheCursorRight) {
  struct Mix {
    std::string_view before;  // blanks before the run of spaces
    std::uint32_t lines;      // line feeds in `before`
  };
  const Mix mixes[] = {{"", 0}, {"\n", 1}, {"\t", 0}, {"\r\n", 1}, {"\n\n \n", 3}};
  for (const Mix& mix : mixes) {
    for (std::size_t spaces = 0; spaces <= 20; ++spaces) {
      for (const std::string_view after : {"y", "y ", "y\n", ""}) {
        const std::string blanks = std::string(mix.before) + std::string(spaces, ' ');
        const std::string source = ";" + blanks + std::string(after);
        SCOPED_TRACE(::testing::PrintToString(source));
        auto result = lex(source);
        ASSERT_TRUE(result);
        const auto& tokens = result.value().tokens;
        ASSERT_EQ(tokens.size(), after.empty() ? 2u : 3u);
        const Token& next = tokens[1];
        const auto blank_count = static_cast<std::uint32_t>(blanks.size());
        const std::uint32_t last_line_feed =
            mix.lines == 0 ? 0 : static_cast<std::uint32_t>(blanks.rfind('\n')) + 1;
        EXPECT_EQ(next.start, 1 + blank_count);
        EXPECT_EQ(next.line, 1 + mix.lines);
        EXPECT_EQ(next.column, mix.lines == 0 ? 2 + blank_count : 1 + blank_count - last_line_feed);
      }
    }
  }
}

}  // namespace tolu
