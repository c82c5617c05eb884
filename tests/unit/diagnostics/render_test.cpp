// Diagnostics as the renderer prints them, in full: the error line, the source line shown safely,
// the caret placed by display width, and the notes the front end adds.
#include <gtest/gtest.h>

#include "tolu/front_end.h"
#include "tolu/render.h"

namespace tolu {
namespace {

// The diagnostic for the error that the default pipeline gives `source`, named "t.tos".
std::string diagnostic(std::string_view source, RenderOptions options = {}) {
  auto result = parse_program(source);
  if (result) return "accepted";
  return render_diagnostic(result.error(), "t.tos", source, options);
}

struct RenderCase {
  const char* name;
  const char* source;
  const char* diagnostic;
};

void PrintTo(const RenderCase& c, std::ostream* os) {
  *os << c.name;
}

class Diagnostic : public ::testing::TestWithParam<RenderCase> {};

TEST_P(Diagnostic, IsPrintedInFull) {
  EXPECT_EQ(diagnostic(GetParam().source), GetParam().diagnostic);
}

// Each kind of note.
INSTANTIATE_TEST_SUITE_P(
    Notes, Diagnostic,
    ::testing::Values(
        RenderCase{"unexpected end names the innermost open block",
                   "class A {\n  method m() {\n    say 1;\n",
                   "t.tos:4:1: error: Expected expression\n"
                   "\n"
                   "^\n"
                   "t.tos:2:14: note: to match this '{'\n"
                   "  method m() {\n"
                   "             ^\n"},
        RenderCase{"closed brackets are not named", "say [1,\n  (2 + 3),\n  4\n",
                   "t.tos:4:1: error: Expected ']' after array literal\n"
                   "\n"
                   "^\n"
                   "t.tos:1:5: note: to match this '['\n"
                   "say [1,\n"
                   "    ^\n"},
        RenderCase{"operator brackets are named as written", "say << 1, f(2) ",
                   "t.tos:1:16: error: Expected collection literal terminator\n"
                   "say << 1, f(2) \n"
                   "               ^\n"
                   "t.tos:1:5: note: to match this '<<'\n"
                   "say << 1, f(2) \n"
                   "    ^\n"},
        RenderCase{"the brackets of an import path open nothing", "{ from a} import b;\n",
                   "t.tos:2:1: error: Expected expression\n"
                   "\n"
                   "^\n"
                   "t.tos:1:1: note: to match this '{'\n"
                   "{ from a} import b;\n"
                   "^\n"},
        RenderCase{"no note when nothing is open", "say 1 +",
                   "t.tos:1:8: error: Expected expression\n"
                   "say 1 +\n"
                   "       ^\n"},
        RenderCase{"the error inside an interpolation", "say `total: ${a +}`;",
                   "t.tos:1:1: error: invalid template interpolation\n"
                   "say `total: ${a +}`;\n"
                   "^\n"
                   "t.tos:1:18: note: Expected expression\n"
                   "say `total: ${a +}`;\n"
                   "                 ^\n"},
        RenderCase{"an interpolation's own open bracket", "say `${ f(1, 2 }`;",
                   "t.tos:1:1: error: invalid template interpolation\n"
                   "say `${ f(1, 2 }`;\n"
                   "^\n"
                   "t.tos:1:16: note: Expected ')' after arguments\n"
                   "say `${ f(1, 2 }`;\n"
                   "               ^\n"
                   "t.tos:1:10: note: to match this '('\n"
                   "say `${ f(1, 2 }`;\n"
                   "         ^\n"},
        RenderCase{"the innermost of nested interpolations", "say `a ${ `b ${ c d } e` } f`;",
                   "t.tos:1:1: error: invalid template interpolation\n"
                   "say `a ${ `b ${ c d } e` } f`;\n"
                   "^\n"
                   "t.tos:1:19: note: Unexpected token after expression\n"
                   "say `a ${ `b ${ c d } e` } f`;\n"
                   "                  ^\n"},
        RenderCase{"a lexical error inside an interpolation on a later line",
                   "let s := ```\n  ${ x\n  # }```;",
                   "t.tos:2:1: error: invalid template interpolation\n"
                   "  ${ x\n"
                   "^\n"
                   "t.tos:3:3: note: unexpected character '#'\n"
                   "  # }```;\n"
                   "  ^\n"},
        RenderCase{"the error inside a regex interpolation", "x := /a${b +}/;",
                   "t.tos:1:1: error: invalid template interpolation\n"
                   "x := /a${b +}/;\n"
                   "^\n"
                   "t.tos:1:13: note: Expected expression\n"
                   "x := /a${b +}/;\n"
                   "            ^\n"},
        RenderCase{"an interpolation's own notes follow its error",
                   "say `${ do {\n  say 1\n  say 2 } }`;",
                   "t.tos:1:1: error: invalid template interpolation\n"
                   "say `${ do {\n"
                   "^\n"
                   "t.tos:3:3: note: Expected ; after simple statement\n"
                   "  say 2 } }`;\n"
                   "  ^\n"
                   "t.tos:2:8: note: the statement ends here: add ';'\n"
                   "  say 1\n"
                   "       ^\n"
                   "       ;\n"},
        RenderCase{"a missing ';' before the next line", "let x := 1\nsay x;",
                   "t.tos:2:1: error: Expected ; after simple statement\n"
                   "say x;\n"
                   "^\n"
                   "t.tos:1:11: note: the statement ends here: add ';'\n"
                   "let x := 1\n"
                   "          ^\n"
                   "          ;\n"},
        RenderCase{"a statement that ends in a multi-line string", "say \"\"\"a\nbc\"\"\"\nsay 2;",
                   "t.tos:3:1: error: Expected ; after simple statement\n"
                   "say 2;\n"
                   "^\n"
                   "t.tos:2:6: note: the statement ends here: add ';'\n"
                   "bc\"\"\"\n"
                   "     ^\n"
                   "     ;\n"},
        RenderCase{"no note for a missing ';' on the same line", "say 1 say 2;",
                   "t.tos:1:7: error: Expected ; after simple statement\n"
                   "say 1 say 2;\n"
                   "      ^\n"},
        RenderCase{"a semantic error underlines the name it quotes",
                   "let subtotal := 1;\nsay subtotal + total;",
                   "t.tos:2:1: error: Use of undeclared identifier 'total' (compile-time)\n"
                   "say subtotal + total;\n"
                   "               ^~~~~\n"},
        RenderCase{"a quoted name that is not on the line leaves the caret at column 1",
                   "let y := 1;\nlet\n  y := 2;",
                   "t.tos:2:1: error: Redeclaration of 'y' in the same scope\n"
                   "let\n"
                   "^\n"}));

// Characters that would hide or reorder text are shown by their code; the caret follows the
// width of what is shown.
INSTANTIATE_TEST_SUITE_P(
    ShownCharacters, Diagnostic,
    ::testing::Values(
        RenderCase{"a control character",
                   "say \"a\x07"
                   "b\" + );",
                   "t.tos:1:13: error: Expected expression\n"
                   "say \"a<U+0007>b\" + );\n"
                   "                   ^\n"},
        RenderCase{"an invisible character, in the message too", "let a\u200b := 1;",
                   "t.tos:1:6: error: unexpected character '<U+200B>'\n"
                   "let a<U+200B> := 1;\n"
                   "     ^\n"},
        RenderCase{"bidirectional formatting",
                   "say \"\u202e"
                   "abc\u202c\", );",
                   "t.tos:1:14: error: Expected expression\n"
                   "say \"<U+202E>abc<U+202C>\", );\n"
                   "                           ^\n"},
        RenderCase{"a character outside the basic plane", "say \"\U000E0041\" + );",
                   "t.tos:1:11: error: Expected expression\n"
                   "say \"<U+E0041>\" + );\n"
                   "                  ^\n"},
        RenderCase{"tabs stay tabs under themselves", "\tsay\t1 1;",
                   "t.tos:1:8: error: Expected ; after simple statement\n"
                   "\tsay\t1 1;\n"
                   "\t   \t  ^\n"},
        RenderCase{"wide characters take two cells", "say \"漢字テキスト\" + );",
                   "t.tos:1:16: error: Expected expression\n"
                   "say \"漢字テキスト\" + );\n"
                   "                     ^\n"},
        RenderCase{"combining marks take none", "say \"e\u0301e\u0301\" + );",
                   "t.tos:1:14: error: Expected expression\n"
                   "say \"e\u0301e\u0301\" + );\n"
                   "           ^\n"},
        RenderCase{"a byte-order mark at the start takes no column", "\xEF\xBB\xBFsay 1 2;",
                   "t.tos:1:7: error: Expected ; after simple statement\n"
                   "say 1 2;\n"
                   "      ^\n"},
        RenderCase{"a byte-order mark anywhere else is shown", "say 1;\xEF\xBB\xBF",
                   "t.tos:1:7: error: unexpected character '<U+FEFF>'\n"
                   "say 1;<U+FEFF>\n"
                   "      ^\n"},
        RenderCase{"an escape sequence quoted by a message", "let x but \"\\x1b[2J\";",
                   "t.tos:1:11: error: Unknown but modifier '<U+001B>[2J' in declaration; "
                   "expected 'but weak'\n"
                   "let x but \"\\x1b[2J\";\n"
                   "          ^\n"}));

// A long line is shown as a window of about 100 cells around the caret, cut with "...".
TEST(LongLines, AreShownAsAWindowAroundTheCaret) {
  std::string middle = "let x := a0";
  for (int i = 1; i < 40; ++i) middle += " + a" + std::to_string(i);
  middle += " )  + b0";
  for (int i = 1; i < 40; ++i) middle += " + b" + std::to_string(i);
  EXPECT_EQ(
      diagnostic(middle + ";"),
      "t.tos:1:238: error: Expected ; after simple statement\n"
      "...1 + a32 + a33 + a34 + a35 + a36 + a37 + a38 + a39 )  + b0 + b1 + b2 + b3 + b4 + b5 + "
      "b6 + b7 + b8 + ...\n" +
          std::string(3 + 50, ' ') + "^\n");

  // Near an end the window is full on the side that has text.
  std::string at_end = "say 1";
  for (int i = 0; i < 60; ++i) at_end += " + 1";
  at_end += " +";
  EXPECT_EQ(diagnostic(at_end), "t.tos:1:248: error: Expected expression\n..." +
                                    at_end.substr(148) + "\n" + std::string(3 + 99, ' ') + "^\n");

  std::string at_start = "say ) ";
  for (int i = 0; i < 60; ++i) at_start += " + 1";
  EXPECT_EQ(diagnostic(at_start),
            "t.tos:1:5: error: Expected expression\n" + at_start.substr(0, 100) + "...\n    ^\n");
}

// The window counts cells, so a line of wide characters is cut after about half as many
// characters, and never inside one.
TEST(LongLines, WideCharactersCountTwoCellsInTheWindow) {
  std::string wide;
  for (int i = 0; i < 80; ++i) wide += "字";
  std::string kept;
  for (int i = 0; i < 46; ++i) kept += "字";
  EXPECT_EQ(diagnostic("say \"" + wide + "\" + );"), "t.tos:1:90: error: Expected expression\n..." +
                                                         kept + "\" + );\n" +
                                                         std::string(3 + 46 * 2 + 4, ' ') + "^\n");
}

TEST(Colour, MarksThePositionTheLabelAndTheCaret) {
  EXPECT_EQ(diagnostic("let x := 1\nsay x;", {.color = true}),
            "\x1b[1mt.tos:2:1:\x1b[0m \x1b[1;31merror:\x1b[0m Expected ; after simple statement\n"
            "say x;\n"
            "\x1b[1;32m^\x1b[0m\n"
            "\x1b[1mt.tos:1:11:\x1b[0m \x1b[1;36mnote:\x1b[0m the statement ends here: add ';'\n"
            "let x := 1\n"
            "          \x1b[1;32m^\x1b[0m\n"
            "          \x1b[32m;\x1b[0m\n");
}

// Errors built by an embedder: the kinds without a position, and positions the source does not
// reach.
TEST(Embedders, ErrorsWithoutAPositionOrOutsideTheSource) {
  EXPECT_EQ(render_diagnostic(ToluError::runtime("stopped"), "job", ""), "job: error: stopped\n");
  const ToluError past_the_end = ToluError::located(ErrorKind::Syntax, 1, 4000000000, "late");
  EXPECT_EQ(render_diagnostic(past_the_end, "t.tos", "ab\ncd"),
            "t.tos:1:4000000000: error: late\nab\n  ^\n");
  const ToluError column_zero = ToluError::located(ErrorKind::Syntax, 2, 0, "early");
  EXPECT_EQ(render_diagnostic(column_zero, "t.tos", "ab\ncd"), "t.tos:2:0: error: early\ncd\n^\n");
  const ToluError past_the_last_line = ToluError::with_note(
      ToluError::located(ErrorKind::Syntax, 7, 1, "gone"), {8, 2, "also gone", ";"});
  EXPECT_EQ(render_diagnostic(past_the_last_line, "t.tos", "ab"),
            "t.tos:7:1: error: gone\n\n^\nt.tos:8:2: note: also gone\n\n^\n;\n");
}

}  // namespace
}  // namespace tolu
