// The server in-process: the lifecycle and its exit statuses, the error replies, the
// negotiation of the position encoding, and requests that wait for an analysis.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bin/tolu_lsp/framing.h"
#include "bin/tolu_lsp/server.h"
#include "unit/lsp/session.h"

namespace tolu::lsp {
namespace {

using testing::at;
using testing::range;
using testing::Session;

std::string call(int id, std::string_view method, Json params = Json::object()) {
  return frame(serialise({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}));
}
std::string note(std::string_view method) {
  return frame(serialise({{"jsonrpc", "2.0"}, {"method", method}}));
}

struct Served {
  int status;
  std::vector<Json> messages;
  std::string log;
};

Served serve_stream(const std::string& stream) {
  std::istringstream in(stream);
  std::ostringstream out;
  std::ostringstream log;
  Served served;
  served.status = serve(in, out, log, {.background = false});
  FrameReader reader;
  reader.feed(out.str());
  while (auto event = reader.next()) served.messages.push_back(Json::parse(event->text));
  served.log = log.str();
  return served;
}

TEST(Lifecycle, ExitStatusIsZeroOnlyAfterShutdown) {
  const std::string init = call(1, "initialize");
  struct Case {
    const char* name;
    std::string stream;
    int status;
  };
  const std::vector<Case> cases = {
      {"shutdown then exit", init + call(2, "shutdown") + note("exit"), 0},
      {"exit without shutdown", init + note("exit"), 1},
      {"end of input after shutdown", init + call(2, "shutdown"), 0},
      {"end of input without shutdown", init, 1},
      {"nothing at all", "", 1},
      {"exit stops reading", init + note("exit") + call(2, "shutdown"), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serve_stream(c.stream).status, c.status);
  }
}

TEST(Lifecycle, BadFramesAreLoggedAndTheStreamGoesOn) {
  const Served served =
      serve_stream("Content-Length: x\r\n\r\n" + call(1, "initialize") + call(2, "shutdown"));
  EXPECT_EQ(served.status, 0);
  EXPECT_EQ(served.messages.size(), 2u);
  EXPECT_NE(served.log.find("bad header"), std::string::npos);
}

TEST(Lifecycle, InitializeAnnouncesEveryProviderAndTheEncoding) {
  for (const bool utf32 : {true, false}) {
    Session session;
    const int id = session.post("initialize",
                                {{"capabilities",
                                  {{"general",
                                    {{"positionEncodings", utf32 ? Json::array({"utf-16", "utf-32"})
                                                                 : Json::array({"utf-8"})}}}}}});
    const Json result = session.reply(id)["result"];
    const Json& capabilities = result["capabilities"];
    EXPECT_EQ(capabilities["positionEncoding"], utf32 ? "utf-32" : "utf-16");
    EXPECT_EQ(capabilities["textDocumentSync"]["change"], 2);
    for (const char* provider :
         {"documentSymbolProvider", "foldingRangeProvider", "selectionRangeProvider",
          "hoverProvider", "inlayHintProvider", "definitionProvider", "documentHighlightProvider",
          "referencesProvider"}) {
      EXPECT_EQ(capabilities[provider], true) << provider;
    }
    EXPECT_EQ(capabilities["renameProvider"]["prepareProvider"], true);
    EXPECT_EQ(capabilities["semanticTokensProvider"]["full"], true);
    EXPECT_FALSE(capabilities["semanticTokensProvider"]["legend"]["tokenTypes"].empty());
    EXPECT_EQ(result["serverInfo"]["name"], "tolu-lsp");
  }
}

TEST(ErrorReplies, EachMisuseGetsItsCode) {
  Session session;
  EXPECT_EQ(session.request("textDocument/hover", at(0, 0))["error"]["code"],
            error_code::kServerNotInitialized);
  session.initialize();
  EXPECT_EQ(session.request("initialize", Json::object())["error"]["code"],
            error_code::kInvalidRequest);
  session.open("let x := 1;\n");
  struct Case {
    const char* method;
    Json params;
    int code;
  };
  const std::vector<Case> cases = {
      {"no/such/method", Json::object(), error_code::kMethodNotFound},
      {"textDocument/hover",
       {{"textDocument", {{"uri", "file:///t.tos"}}}},
       error_code::kInvalidParams},
      {"textDocument/hover", at(0, 0, "file:///other.tos"), error_code::kInvalidParams},
      {"textDocument/hover",
       {{"position", {{"line", 0}, {"character", 0}}}},
       error_code::kInvalidParams},
      {"textDocument/definition",
       {{"textDocument", {{"uri", "file:///t.tos"}}},
        {"position", {{"line", -1}, {"character", 0}}}},
       error_code::kInvalidParams},
      {"textDocument/rename", at(0, 4), error_code::kInvalidParams},
      {"textDocument/inlayHint",
       {{"textDocument", {{"uri", "file:///t.tos"}}}, {"range", 3}},
       error_code::kInvalidParams},
      {"textDocument/selectionRange",
       {{"textDocument", {{"uri", "file:///t.tos"}}}, {"positions", {1}}},
       error_code::kInvalidParams},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.params.dump());
    const Json reply = session.request(c.method, c.params);
    EXPECT_EQ(reply["error"]["code"], c.code);
  }
  // Malformed JSON: -32700 with a null id.
  const std::size_t before = session.messages().size();
  session.server().receive("{\"jsonrpc\":");
  const Json parse_error = session.messages().at(before);
  EXPECT_EQ(parse_error["error"]["code"], error_code::kParseError);
  EXPECT_TRUE(parse_error["id"].is_null());
  // Unknown notifications, "$/" ones included, get no reply.
  session.notify("$/setTrace", {{"value", "off"}});
  session.notify("workspace/didChangeConfiguration", Json::object());
  EXPECT_EQ(session.messages().size(), before + 1);
  EXPECT_EQ(session.request("shutdown", nullptr)["result"], nullptr);
  EXPECT_EQ(session.request("textDocument/hover", at(0, 0))["error"]["code"],
            error_code::kInvalidRequest);
}

TEST(Diagnostics, AFixIsPublishedAsAnEmptyListAndSoIsAClose) {
  Session session;
  session.initialize();
  session.open("let x := ;\n");
  EXPECT_EQ(session.diagnostics_for(1)["diagnostics"].size(), 1u);
  session.change({{{"range", range(0, 9, 0, 9)}, {"text", "2"}}}, 2);
  EXPECT_TRUE(session.diagnostics_for(2)["diagnostics"].empty());
  session.notify("textDocument/didClose", {{"textDocument", {{"uri", "file:///t.tos"}}}});
  const Json closed = session.published().back();
  EXPECT_TRUE(closed["diagnostics"].empty());
  EXPECT_FALSE(closed.contains("version"));
}

TEST(Diagnostics, ABurstOfChangesIsAnalysedOnceForItsLastVersion) {
  Session session({.debounce = std::chrono::milliseconds(50)});
  session.initialize();
  session.open("let x := 1;\n");
  session.diagnostics_for(1);
  for (int version = 2; version <= 301; ++version) {
    const std::string text = version % 2 == 0 ? "let x := ;\n" : "let x := 1;\n";
    session.change({{{"text", text}}}, version);
  }
  const Json last = session.diagnostics_for(301);
  EXPECT_TRUE(last["diagnostics"].empty());
  // A stall of the test longer than the pause may let a version in between be analysed; it is
  // then published while still the newest. Older versions never are.
  const std::vector<Json> published = session.published();
  EXPECT_LT(published.size(), 10u);
  for (std::size_t i = 1; i < published.size(); ++i) {
    EXPECT_GT(published[i]["version"], published[i - 1]["version"]);
  }
  session.change({{{"text", "let x := ;\n"}}}, 302);
  EXPECT_EQ(session.diagnostics_for(302)["diagnostics"].size(), 1u);
}

TEST(Waiting, ARequestOvertakenByAChangeGetsContentModified) {
  // A long pause: the request waits for an analysis that does not come before the next change.
  Session session({.debounce = std::chrono::milliseconds(60000)});
  session.initialize();
  session.open("let x := 1;\n");
  const int id = session.post("textDocument/hover", at(0, 4));
  session.change({{{"range", range(0, 9, 0, 10)}, {"text", "2"}}}, 2);
  EXPECT_EQ(session.reply(id)["error"]["code"], error_code::kContentModified);
  const int cancelled = session.post("textDocument/definition", at(0, 4));
  session.notify("$/cancelRequest", {{"id", cancelled}});
  EXPECT_EQ(session.reply(cancelled)["error"]["code"], error_code::kRequestCancelled);
  const int closed =
      session.post("textDocument/documentSymbol", {{"textDocument", {{"uri", "file:///t.tos"}}}});
  session.notify("textDocument/didClose", {{"textDocument", {{"uri", "file:///t.tos"}}}});
  EXPECT_EQ(session.reply(closed)["error"]["code"], error_code::kContentModified);
}

TEST(Waiting, ARequestIsAnsweredOnceTheNewestTextIsAnalysed) {
  Session session({.debounce = std::chrono::milliseconds(20)});
  session.initialize();
  session.open("let x := 1;\n");
  const Json reply = session.request("textDocument/documentSymbol",
                                     {{"textDocument", {{"uri", "file:///t.tos"}}}});
  EXPECT_TRUE(reply.contains("result"));
  EXPECT_FALSE(session.diagnostics_for(1).is_null()) << "the diagnostics come first";
}

}  // namespace
}  // namespace tolu::lsp

namespace tolu::lsp {
namespace {

TEST(Mapping, WhileTheTextHasAnErrorAnswersComeFromTheLastGoodAnalysis) {
  for (const bool utf32 : {true, false}) {
    SCOPED_TRACE(utf32);
    Session session;
    session.initialize(utf32);
    session.open("let s := \"\U0001F600\"; let alpha := 1;\nsay alpha;\n");
    ASSERT_TRUE(session.diagnostics_for(1)["diagnostics"].empty());
    // A broken line above: positions below it move down one line, and the name's column on its
    // own line does not change.
    session.change({{{"range", range(0, 0, 0, 0)}, {"text", "let broken := ;\n"}}}, 2);
    ASSERT_EQ(session.diagnostics_for(2)["diagnostics"].size(), 1u);
    const std::uint32_t name = utf32 ? 18 : 19;
    const Json definition = session.request("textDocument/definition", at(2, 5))["result"];
    EXPECT_EQ(definition["range"], range(1, name, 1, name + 5));
    // Inside the new text there is nothing to answer from.
    EXPECT_TRUE(session.request("textDocument/definition", at(0, 5))["result"].is_null());
    // Renaming is refused while a use was edited, and works around edits elsewhere.
    session.change({{{"range", range(2, 4, 2, 5)}, {"text", "A"}}}, 3);
    const Json refused = session.request("textDocument/rename", [&] {
      Json params = at(1, name);
      params["newName"] = "beta";
      return params;
    }());
    EXPECT_EQ(refused["error"]["code"], error_code::kRequestFailed);
  }
}

}  // namespace
}  // namespace tolu::lsp
