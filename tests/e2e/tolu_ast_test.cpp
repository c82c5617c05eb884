// tolu-ast end to end: the tool is spawned and its output, diagnostics and exit status checked.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/process.h"
#include "support/temp_dir.h"

namespace tolu {
namespace {

using nlohmann::json;
using testing::run_process;
using testing::tool_path;

testing::ProcessResult tolu_ast(const std::vector<std::string>& args,
                                const std::string& input = "") {
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
  auto result = tolu_ast({file.string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, file.string() + ":1:3: error: unexpected character '#'\nx #\n  ^\n");
  result = tolu_ast({}, "{");
  EXPECT_EQ(result.err, "<stdin>:1:2: error: Expected expression\n{\n ^\n");
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

TEST(ToluAstPrograms, OutlineShowsOneNodeALine) {
  const auto result = tolu_ast({"--expr"}, "a + 1");
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "BinaryExpression operator=\"+\" line=1\n"
            "  left: Identifier name=\"a\" line=1\n"
            "  right: NumberLiteral text=\"1\" line=1\n");
}

struct UsageCase {
  std::vector<std::string> args;
  std::string input;
  int status;
  std::string err_start;
};

class ToluAstUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ToluAstUsage, ExitsWithStatus) {
  const auto result = tolu_ast(GetParam().args, GetParam().input);
  EXPECT_EQ(result.status, GetParam().status);
  EXPECT_EQ(result.err.substr(0, GetParam().err_start.size()), GetParam().err_start);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToluAstUsage,
    ::testing::Values(
        UsageCase{{"--bogus"}, "", 2, "tolu-ast: unknown option: --bogus\n"},
        UsageCase{{"--passes=Nope"}, "", 2, "tolu-ast: unknown pass: Nope\n"},
        UsageCase{{"--passes=ConstantFolding,all"}, "1", 0, ""},
        UsageCase{{"a.tos", "b.tos"}, "", 2, "tolu-ast: more than one FILE: b.tos\n"},
        UsageCase{{"/nonexistent/x.tos"}, "", 2, "tolu-ast: cannot read /nonexistent/x.tos: "},
        UsageCase{{}, "say \xff", 2, "tolu-ast: <stdin> is not valid UTF-8\n"},
        UsageCase{{"-"}, "say 1", 0, ""}, UsageCase{{"--help"}, "", 0, ""}));

}  // namespace
}  // namespace tolu
