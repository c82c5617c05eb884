// tolu-ast: the tool's run() is called in this process for its output, diagnostics and exit
// status; the built binary is spawned where a process matters: arguments, standard input, exit
// status and output that must be flushed at exit.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bin/tolu_ast/tool.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tolu/version.h"

namespace tolu {
namespace {

using nlohmann::json;
using testing::ProcessResult;
using testing::run_process;
using testing::tool_path;

// Runs the tool in this process; `input` stands in for standard input.
ProcessResult tolu_ast(const std::vector<std::string>& args, const std::string& input = "",
                       const inspect::Environment& environment = {}) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  ProcessResult result;
  result.status = inspect::run(args, in, out, err, environment);
  result.out = out.str();
  result.err = err.str();
  return result;
}

ProcessResult tolu_ast_binary(const std::vector<std::string>& args, const std::string& input = "") {
  return run_process(tool_path("tolu-ast"), args, input);
}

TEST(ToluAstTokens, PrintsTheTokenVectorAsJson) {
  const auto result = tolu_ast({"--tokens", "--json"}, "x := /a${b}/g `t${c}` 'A' \"é\\n\"");
  ASSERT_EQ(result.status, 0) << result.err;
  const json expected = json::parse(R"([
    {"kind": "Identifier", "start": 0, "end": 1, "line": 1, "column": 1, "text": "x"},
    {"kind": "Operator", "start": 2, "end": 4, "line": 1, "column": 3, "text": ":="},
    {"kind": "Regex", "start": 5, "end": 13, "line": 1, "column": 6, "pattern": "a${b}", "flags": "g",
     "parts": [{"kind": 0, "line": 1, "text": "a"}, {"kind": 1, "line": 1, "text": "b"}]},
    {"kind": "Template", "start": 14, "end": 21, "line": 1, "column": 15,
     "parts": [{"kind": 0, "line": 1, "text": "t"}, {"kind": 1, "line": 1, "text": "c"}]},
    {"kind": "BinaryString", "start": 22, "end": 25, "line": 1, "column": 23, "bytes": [65]},
    {"kind": "String", "start": 26, "end": 31, "line": 1, "column": 27, "value": "é\n"},
    {"kind": "Eof", "start": 31, "end": 31, "line": 1, "column": 32}])");
  EXPECT_EQ(json::parse(result.out), expected);
}

TEST(ToluAstErrors, PrintsJsonAndACaretUnderTheColumn) {
  const auto result = tolu_ast({"--json", "--source-file=m.tos"}, "say 1;\n\tlet é := ) ;\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(json::parse(result.out),
            json::parse(R"({"error": {"kind": "Syntax", "line": 2, "column": 11,
      "source_file": "m.tos", "message": "Expected expression"}})"));
  EXPECT_EQ(result.err, "m.tos:2:11: error: Expected expression\n\tlet é := ) ;\n\t         ^\n");
}

TEST(ToluAstErrors, NamesTheFileOrStandardInput) {
  testing::TempDir dir;
  const auto file = dir.write("bad.tos", "x #");
  auto result = tolu_ast_binary({file.string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, file.string() + ":1:3: error: unexpected character '#'\nx #\n  ^\n");
  result = tolu_ast_binary({}, "{");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "<stdin>:1:2: error: Expected expression\n{\n ^\n"
            "<stdin>:1:1: note: to match this '{'\n{\n^\n");
}

TEST(ToluAstPrograms, EmptyProgramsAndUnclosedBlocks) {
  for (const char* source : {";;", "{}", "{ ; }"}) {
    SCOPED_TRACE(source);
    const auto result = tolu_ast({"--json"}, source);
    ASSERT_EQ(result.status, 0) << result.err;
    const json tree = json::parse(result.out);
    EXPECT_EQ(tree["type"], "Program");
    EXPECT_EQ(tree["line"], 1);
    EXPECT_TRUE(tree["source_file"].is_null());
  }
  const auto block = json::parse(tolu_ast({"--json"}, "{ ; }").out)["statements"][0];
  EXPECT_EQ(
      block,
      json::parse(R"({"type": "Block", "block": {"statements": [], "source_file": null, "line": 1,
      "needs_lexical_scope": true}})"));
  const auto unclosed = tolu_ast({"--json"}, "{\n  say 1;\n");
  EXPECT_EQ(unclosed.status, 1);
  EXPECT_EQ(json::parse(unclosed.out)["error"]["kind"], "UnexpectedEnd");
  EXPECT_EQ(json::parse(unclosed.out)["error"]["line"], 3);
}

TEST(ToluAstPrograms, JsonHasEveryFieldUnderItsName) {
  const auto result = tolu_ast({"--json", "--no-validate", "--no-infer"}, "let x := 1 + 2;");
  ASSERT_EQ(result.status, 0) << result.err;
  const json expected = json::parse(R"({"type": "Program", "statements": [
    {"type": "VariableDeclaration", "kind": "let", "name": "x", "type_annotation": null,
     "initializer": {"type": "BinaryExpression", "operator": "+",
       "left": {"type": "NumberLiteral", "text": "1", "line": 1, "source_file": null, "inferred_type": null},
       "right": {"type": "NumberLiteral", "text": "2", "line": 1, "source_file": null, "inferred_type": null},
       "line": 1, "source_file": null, "inferred_type": null},
     "is_weak": false, "needs_type_check": 2, "source_file": null, "line": 1}],
    "source_file": null, "line": 1})");
  EXPECT_EQ(json::parse(result.out), expected);
}

TEST(ToluAstPrograms, ExpressionsCallArgumentsAndKeys) {
  const auto result = tolu_ast({"--expr", "--json", "--source-file=e.tos"}, "f(x: 1)");
  ASSERT_EQ(result.status, 0) << result.err;
  const json argument = json::parse(result.out)["arguments"][0];
  EXPECT_EQ(argument, json::parse(R"({"type": "Named",
    "key": {"type": "NameKey", "name": "x", "line": 1, "source_file": "e.tos"},
    "value": {"type": "NumberLiteral", "text": "1", "line": 1, "source_file": "e.tos", "inferred_type": null},
    "line": 1, "source_file": "e.tos"})"));
}

TEST(ToluAstPrograms, PassesShowTheOptimizedTree) {
  const std::string source = "if (1 < 2) { say 1 + 2 }\nsay 2 * 3 _ \"\"";
  auto result = tolu_ast({"--json", "--passes=ConstantFolding,ConstantConditions"}, source);
  ASSERT_EQ(result.status, 0) << result.err;
  json statements = json::parse(result.out)["statements"];
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0]["type"], "Output");
  EXPECT_EQ(statements[0]["arguments"][0],
            json::parse(R"({"type": "NumberLiteral", "text": "3", "line": 1,
                            "source_file": null, "inferred_type": "Number"})"));
  EXPECT_EQ(statements[1]["arguments"][0]["value"], "6");

  result = tolu_ast({"--json"}, source);
  ASSERT_EQ(result.status, 0) << result.err;
  statements = json::parse(result.out)["statements"];
  EXPECT_EQ(statements[0]["type"], "If");
  EXPECT_EQ(statements[1]["arguments"][0]["type"], "BinaryExpression");
}

TEST(ToluAstPrograms, EveryExampleCompilesWithEveryPass) {
  for (const char* name :
       {"hello.tos", "inventory.tos", "pipelines.tos", "async_jobs.tos", "lib/text.tom"}) {
    SCOPED_TRACE(name);
    const auto result =
        tolu_ast({"--json", "--passes=all", std::string(TOLU_SOURCE_DIR "/examples/") + name});
    EXPECT_EQ(result.status, 0) << result.err;
  }
}

std::string read_source_file(const std::string& path) {
  std::ifstream in(std::string(TOLU_SOURCE_DIR "/") + path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A script that every pass changes, as tolu-ast --json --passes=all prints it. After a change
// to what the optimizer makes of it, write the golden anew with (one line)
//   build/tolu-ast --json --passes=all < examples/optimizations.tos
//     > tests/e2e/golden/optimizations.json
TEST(ToluAstGolden, EveryPassOverTheOptimizationsExample) {
  const std::string golden = read_source_file("tests/e2e/golden/optimizations.json");
  ASSERT_FALSE(golden.empty());
  const auto result =
      tolu_ast({"--json", "--passes=all"}, read_source_file("examples/optimizations.tos"));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(json::parse(result.out), json::parse(golden)) << result.out;
}

// With --spans every node object also carries its character offsets, counted in characters
// (the "é" is one) and in the whole file (inside the interpolation too).
TEST(ToluAstPrograms, SpansGiveEveryNodeItsCharacterOffsets) {
  const auto result = tolu_ast_binary({"--json", "--spans", "--no-validate", "--no-infer"},
                                      "let é := f(1, k: `${x}`);");
  ASSERT_EQ(result.status, 0) << result.err;
  const json expected = json::parse(R"({"type": "Program", "statements": [
    {"type": "VariableDeclaration", "kind": "let", "name": "é", "type_annotation": null,
     "initializer": {"type": "CallExpression",
       "callee": {"type": "Identifier", "name": "f", "resolved_depth": null, "line": 1,
                  "source_file": null, "inferred_type": null, "span": [9, 10]},
       "arguments": [
         {"type": "Positional",
          "value": {"type": "NumberLiteral", "text": "1", "line": 1, "source_file": null,
                    "inferred_type": null, "span": [11, 12]},
          "line": 1, "source_file": null, "span": [11, 12]},
         {"type": "Named",
          "key": {"type": "NameKey", "name": "k", "line": 1, "source_file": null, "span": [14, 15]},
          "value": {"type": "TemplateLiteral", "parts": [
            {"type": "Interpolation",
             "expression": {"type": "Identifier", "name": "x", "resolved_depth": null, "line": 1,
                            "source_file": null, "inferred_type": null, "span": [20, 21]},
             "line": 1, "source_file": null, "span": [18, 22]}],
            "line": 1, "source_file": null, "inferred_type": null, "span": [17, 23]},
          "line": 1, "source_file": null, "span": [14, 23]}],
       "line": 1, "source_file": null, "inferred_type": null, "span": [9, 24]},
     "is_weak": false, "needs_type_check": 2, "source_file": null, "line": 1, "span": [0, 24]}],
    "source_file": null, "line": 1, "span": [0, 25]})");
  EXPECT_EQ(json::parse(result.out), expected);
  EXPECT_EQ(result.err, "");
  // Only the JSON of a tree shows spans: the outline and the tokens ignore the option.
  EXPECT_EQ(tolu_ast({"--expr", "--spans"}, "a + 1").out, tolu_ast({"--expr"}, "a + 1").out);
  EXPECT_EQ(tolu_ast({"--tokens", "--json", "--spans"}, "`${a}`").out,
            tolu_ast({"--tokens", "--json"}, "`${a}`").out);
  EXPECT_EQ(json::parse(tolu_ast({"--expr", "--json", "--spans"}, "a + 1").out)["span"],
            json::parse("[0, 5]"));
}

TEST(ToluAstPrograms, OutlineShowsOneNodeALine) {
  const auto result = tolu_ast({"--expr"}, "a + 1");
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "BinaryExpression operator=\"+\" line=1\n"
            "  left: Identifier name=\"a\" line=1\n"
            "  right: NumberLiteral text=\"1\" line=1\n");
}

// "@usage@" in an expected stream stands for the help text, "@see@" for the pointer to it that
// ends the one line of a usage error.
struct UsageCase {
  std::vector<std::string> args;
  std::string input;
  int status;
  std::string out;
  std::string err;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << ' ';
}

std::string with_usage(std::string text, const std::string& usage) {
  for (const auto& [marker, replacement] :
       {std::pair<std::string, std::string>{"@usage@", usage},
        std::pair<std::string, std::string>{"@see@", " (see tolu-ast --help)\n"}}) {
    if (const auto at = text.find(marker); at != std::string::npos)
      text.replace(at, marker.size(), replacement);
  }
  return text;
}

const std::string kSayOneOutline =
    "Program line=1\n"
    "  statements[0]: Output keyword=\"say\" line=1\n"
    "    arguments[0]: NumberLiteral text=\"1\" line=1 : Number\n";

class ToluAstUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ToluAstUsage, PrintsAndExitsWithStatus) {
  const std::string usage = tolu_ast({"--help"}).out;
  ASSERT_TRUE(usage.starts_with("Usage: tolu-ast [OPTIONS] [FILE]\n")) << usage;
  const UsageCase& c = GetParam();
  const auto result = tolu_ast(c.args, c.input);
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.out, with_usage(c.out, usage));
  EXPECT_EQ(result.err, with_usage(c.err, usage));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToluAstUsage,
    ::testing::Values(
        UsageCase{{"--bogus"}, "", 2, "", "tolu-ast: unknown option: --bogus@see@"},
        UsageCase{{"--passes=Nope"}, "", 2, "", "tolu-ast: unknown pass: Nope@see@"},
        UsageCase{{"--passes=ConstantFolding,all"}, "say 1", 0, kSayOneOutline, ""},
        UsageCase{{"a.tos", "b.tos"}, "", 2, "", "tolu-ast: more than one FILE: b.tos@see@"},
        UsageCase{{"--tokens", "--expr"},
                  "",
                  2,
                  "",
                  "tolu-ast: --tokens and --expr cannot be combined@see@"},
        UsageCase{{"--compact"}, "", 2, "", "tolu-ast: --compact needs --json@see@"},
        UsageCase{{"--color=sometimes"},
                  "",
                  2,
                  "",
                  "tolu-ast: --color takes auto, always or never, not sometimes@see@"},
        UsageCase{{"/nonexistent/x.tos"},
                  "",
                  2,
                  "",
                  "tolu-ast: cannot read /nonexistent/x.tos: No such file or directory\n"},
        UsageCase{{"/"}, "", 2, "", "tolu-ast: cannot read /: Is a directory\n"},
        UsageCase{{}, "say \xff", 2, "", "tolu-ast: <stdin> is not valid UTF-8\n"},
        UsageCase{{"-"}, "say 1", 0, kSayOneOutline, ""},
        UsageCase{{"--help"}, "", 0, "@usage@", ""},
        UsageCase{{"--version"}, "", 0, "tolu-ast " TOLU_VERSION_STRING "\n", ""},
        UsageCase{{"--json", "--version", "missing.tos"},
                  "",
                  0,
                  "tolu-ast " TOLU_VERSION_STRING "\n",
                  ""},
        UsageCase{{"--bogus", "-h", "a.tos", "b.tos"}, "", 0, "@usage@", ""},
        // After "--" every argument is FILE, even one that looks like an option.
        UsageCase{{"--", "--help"},
                  "",
                  2,
                  "",
                  "tolu-ast: cannot read --help: No such file or directory\n"},
        UsageCase{{"--", "--version"},
                  "",
                  2,
                  "",
                  "tolu-ast: cannot read --version: No such file or directory\n"},
        UsageCase{{"--", "-"}, "say 1", 0, kSayOneOutline, ""},
        UsageCase{{"--", "a.tos", "b.tos"}, "", 2, "", "tolu-ast: more than one FILE: b.tos@see@"},
        UsageCase{{"a.tos", "--", "b.tos"}, "", 2, "", "tolu-ast: more than one FILE: b.tos@see@"},
        UsageCase{{"--", "-h", "--"}, "", 2, "", "tolu-ast: more than one FILE: --@see@"}));

// The binary passes its arguments and standard input to run(), flushes what it prints and
// exits with run()'s status.
TEST(ToluAstBinary, ExitStatusAndOutputOfTheBuiltTool) {
  const std::string usage = tolu_ast({"--help"}).out;
  auto result = tolu_ast_binary({"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, usage);
  EXPECT_EQ(result.err, "");
  result = tolu_ast_binary({"--no-infer", "-"}, "say 1");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "Program line=1\n"
            "  statements[0]: Output keyword=\"say\" line=1\n"
            "    arguments[0]: NumberLiteral text=\"1\" line=1\n");
  EXPECT_EQ(result.err, "");
  result = tolu_ast_binary({"--bogus"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "tolu-ast: unknown option: --bogus (see tolu-ast --help)\n");
}

// A file whose name starts with "-" is read after "--".
TEST(ToluAstBinary, ReadsAFileNamedLikeAnOptionAfterTheEndOfOptions) {
  testing::TempDir dir;
  dir.write("-x.tos", "say 1 1;");
  const auto result =
      testing::run_process(tool_path("tolu-ast"), {"--", "-x.tos"}, "", dir.path().string());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "-x.tos:1:7: error: Expected ; after simple statement\nsay 1 1;\n      ^\n");
}

// --compact prints the same JSON document on one line.
TEST(ToluAstCompact, IsTheSameJsonOnOneLine) {
  const struct {
    std::vector<std::string> args;
    const char* input;
  } cases[] = {{{"--json"}, "let x := [1, {a: `t${y}`}];"},
               {{"--json", "--tokens"}, "x := /a${b}/g 'A' \"\u00e9\";"},
               {{"--json", "--expr"}, "f(x: 1) + 2"},
               {{"--json"}, "say (1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const auto indented = tolu_ast(c.args, c.input);
    auto compact_args = c.args;
    compact_args.push_back("--compact");
    const auto compact = tolu_ast(compact_args, c.input);
    EXPECT_EQ(compact.status, indented.status);
    EXPECT_EQ(compact.err, indented.err);
    EXPECT_EQ(json::parse(compact.out), json::parse(indented.out));
    EXPECT_EQ(std::count(compact.out.begin(), compact.out.end(), '\n'), 1) << compact.out;
    EXPECT_TRUE(compact.out.ends_with("\n"));
    EXPECT_EQ(compact.out.find("  "), std::string::npos) << compact.out;
  }
}

// Colour as compilers choose it: --color=auto colours when standard error is a terminal and
// NO_COLOR is unset or empty.
TEST(ToluAstColour, FollowsTheOptionTheTerminalAndNoColor) {
  const struct {
    const char* option;
    bool terminal;
    const char* no_color;
    bool colored;
  } cases[] = {
      {nullptr, true, nullptr, true},        {nullptr, true, "", true},
      {nullptr, true, "1", false},           {nullptr, false, nullptr, false},
      {"--color=auto", true, nullptr, true}, {"--color=auto", false, nullptr, false},
      {"--color=always", false, "1", true},  {"--color=never", true, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.option ? c.option : "(none)") + (c.terminal ? " terminal" : "") +
                 (c.no_color ? std::string(" NO_COLOR=") + c.no_color : std::string()));
    std::vector<std::string> args;
    if (c.option) args.push_back(c.option);
    const auto result = tolu_ast(args, "say 1 1;", {c.terminal, c.no_color});
    EXPECT_EQ(result.status, 1);
    const std::string plain = "<stdin>:1:7: error: Expected ; after simple statement\n";
    EXPECT_EQ(result.err.starts_with(plain), !c.colored) << result.err;
    EXPECT_EQ(result.err.find('\x1b') != std::string::npos, c.colored) << result.err;
  }
  // Only the diagnostic is coloured, never the JSON.
  const auto json_error = tolu_ast({"--json", "--color=always"}, "say 1 1;");
  EXPECT_EQ(json_error.out.find('\x1b'), std::string::npos);
}

// The readable token listing: one token a line, with its payload.
TEST(ToluAstTokens, ListsOneTokenALine) {
  const auto result = tolu_ast({"--tokens"}, "x := 'A' \"\u00e9\"\ny := /a${b}/g `t`");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(
      result.out,
      "1:1 Identifier text=\"x\"\n"
      "1:3 Operator text=\":=\"\n"
      "1:6 BinaryString bytes=[65]\n"
      "1:10 String value=\"\u00e9\"\n"
      "2:1 Identifier text=\"y\"\n"
      "2:3 Operator text=\":=\"\n"
      "2:6 Regex pattern=\"a${b}\" flags=\"g\" "
      "parts=[{\"kind\":0,\"line\":2,\"text\":\"a\"},{\"kind\":1,\"line\":2,\"text\":\"b\"}]\n"
      "2:15 Template parts=[{\"kind\":0,\"line\":2,\"text\":\"t\"}]\n"
      "2:18 Eof\n");
}

// A byte-order mark starts the file and takes no column.
TEST(ToluAstTokens, AByteOrderMarkIsNoToken) {
  const auto result = tolu_ast({"--tokens", "--json"}, "\xEF\xBB\xBFsay 1;");
  ASSERT_EQ(result.status, 0) << result.err;
  const json tokens = json::parse(result.out);
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[0], json::parse(R"({"kind": "Keyword", "start": 1, "end": 4, "line": 1,
                                      "column": 1, "text": "say"})"));
  EXPECT_EQ(tolu_ast({}, "\xEF\xBB\xBFsay 1;").status, 0);
}

}  // namespace
}  // namespace tolu
