// Large and deep input through the server: a 10 MB document, a line of a million characters,
// nesting past the front end's limit, and every feature asked at the end of each.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "bin/tolu_lsp/check.h"
#include "unit/lsp/session.h"

namespace tolu::lsp {
namespace {

using testing::at;
using testing::Session;

// Asks every feature once at `line`:`character` and expects a reply of each.
void ask_everything(Session& session, std::uint32_t line, std::uint32_t character) {
  const Json document = {{"textDocument", {{"uri", "file:///t.tos"}}}};
  Json hints = document;
  hints["range"] = testing::range(0, 0, line + 1, 0);
  Json selection = document;
  selection["positions"] = {testing::position(line, character)};
  Json rename = at(line, character);
  rename["newName"] = "fresh";
  Json references = at(line, character);
  references["context"] = {{"includeDeclaration", true}};
  const std::vector<std::pair<const char*, Json>> requests = {
      {"textDocument/documentSymbol", document},
      {"textDocument/foldingRange", document},
      {"textDocument/semanticTokens/full", document},
      {"textDocument/inlayHint", hints},
      {"textDocument/selectionRange", selection},
      {"textDocument/hover", at(line, character)},
      {"textDocument/definition", at(line, character)},
      {"textDocument/documentHighlight", at(line, character)},
      {"textDocument/references", references},
      {"textDocument/prepareRename", at(line, character)},
      {"textDocument/rename", rename},
  };
  for (const auto& [method, params] : requests) {
    const Json reply = session.request(method, params);
    EXPECT_TRUE(reply.contains("result") || reply["error"]["code"] == error_code::kRequestFailed)
        << method << ": " << reply.dump().substr(0, 200);
  }
}

TEST(Robustness, ATenMegabyteDocument) {
  std::string text;
  for (int i = 0; text.size() < 10'000'000; ++i) {
    text += "let v" + std::to_string(i) + " := v" + std::to_string(i > 0 ? i - 1 : 0) +
            " + 1;  // padding padding padding padding padding\n";
    if (i == 0) text = "let v0 := 0;\n";
  }
  Session session;
  session.initialize(false);
  session.open(text);
  EXPECT_TRUE(session.diagnostics_for(1)["diagnostics"].empty());
  ask_everything(session, 1000, 5);
  // An edit at the very end, then a request at the start.
  session.change({{{"range", testing::range(999999, 0, 999999, 0)}, {"text", "say v1;\n"}}}, 2);
  EXPECT_TRUE(session.diagnostics_for(2)["diagnostics"].empty());
  EXPECT_FALSE(session.request("textDocument/definition", at(1, 11))["result"].is_null());
}

TEST(Robustness, ALineOfAMillionCharacters) {
  std::string text = "let s := \"";
  for (int i = 0; i < 1'000'000; ++i) text += i % 2 == 0 ? "\U0001F600" : "x";
  text += "\"; let t := s;";
  for (const bool utf32 : {true, false}) {
    Session session;
    session.initialize(utf32);
    session.open(text);
    EXPECT_TRUE(session.diagnostics_for(1)["diagnostics"].empty());
    const std::uint32_t end = utf32 ? 1'000'010 : 1'500'010;
    ask_everything(session, 0, end + 12);
    const Json definition = session.request("textDocument/definition", at(0, end + 12));
    EXPECT_EQ(definition["result"]["range"]["start"]["character"], 4);
  }
}

TEST(Robustness, NestingDeeperThanTheFrontEndAccepts) {
  for (const std::size_t depth : {1024u, 1025u, 5000u}) {
    SCOPED_TRACE(depth);
    const std::string text = "let x := " + std::string(depth, '[') + std::string(depth, ']') +
                             ";\n" + "let y := " + std::string(depth, '(') + "1" +
                             std::string(depth, ')') + ";";
    Session session;
    session.initialize();
    session.open(text);
    EXPECT_FALSE(session.diagnostics_for(1).is_null());
    ask_everything(session, 0, static_cast<std::uint32_t>(9 + depth));
    ask_everything(session, 1, static_cast<std::uint32_t>(9 + depth));
  }
}

TEST(Robustness, TheExamplesPassTheSelfCheck) {
  for (const char* name : {"hello.tos", "tour.tos"}) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(check_file(std::string(TOLU_SOURCE_DIR) + "/examples/" + name, out, err), 0)
        << err.str();
  }
}

TEST(Robustness, TheSelfCheckPassesOnTextWithAnErrorAndOnAwkwardText) {
  for (const char* text : {"let x := (1 +", "", "\n\r\n\r", "let \U0001F600 := 1;",
                           "say 1 \u22C0 2; // \U0001F600\r\nlet y := \"\U0001F600\";"}) {
    for (const Encoding encoding : {Encoding::Utf16, Encoding::Utf32}) {
      const std::vector<std::string> problems = check_text(text, encoding);
      EXPECT_TRUE(problems.empty()) << text << ": " << problems.front();
    }
  }
}

}  // namespace
}  // namespace tolu::lsp
