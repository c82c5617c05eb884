// Classifying message bodies, and the error replies of the ones that are not calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bin/tolu_lsp/json_rpc.h"

namespace tolu::lsp {
namespace {

TEST(JsonRpc, CallsAndRepliesAreRecognised) {
  const Incoming request = classify(R"({"jsonrpc":"2.0","id":7,"method":"m","params":{"a":1}})");
  ASSERT_TRUE(std::holds_alternative<Call>(request));
  EXPECT_TRUE(std::get<Call>(request).is_request);
  EXPECT_EQ(std::get<Call>(request).id, 7);
  EXPECT_EQ(std::get<Call>(request).params["a"], 1);
  const Incoming note = classify(R"({"jsonrpc":"2.0","method":"n"})");
  ASSERT_TRUE(std::holds_alternative<Call>(note));
  EXPECT_FALSE(std::get<Call>(note).is_request);
  EXPECT_TRUE(std::get<Call>(note).params.is_null());
  EXPECT_TRUE(std::holds_alternative<Call>(classify(R"({"jsonrpc":"2.0","id":"x","method":"m"})")));
  EXPECT_TRUE(std::holds_alternative<Reply>(classify(R"({"jsonrpc":"2.0","id":1,"result":null})")));
}

TEST(JsonRpc, BodiesThatAreNotCallsGetTheirErrorReply) {
  struct Case {
    const char* body;
    int code;
    Json id;
  };
  const std::vector<Case> cases = {
      {"", error_code::kParseError, nullptr},
      {R"({"jsonrpc":"2.0","id":1,"method":"m")", error_code::kParseError, nullptr},
      {"\xFF", error_code::kParseError, nullptr},
      {"[1,2]", error_code::kInvalidRequest, nullptr},
      {"42", error_code::kInvalidRequest, nullptr},
      {R"({"jsonrpc":"2.0","id":3})", error_code::kInvalidRequest, 3},
      {R"({"jsonrpc":"1.0","id":3,"method":"m"})", error_code::kInvalidRequest, 3},
      {R"({"id":3,"method":"m"})", error_code::kInvalidRequest, 3},
      {R"({"jsonrpc":"2.0","id":4,"method":5})", error_code::kInvalidRequest, 4},
      {R"({"jsonrpc":"2.0","id":"s","method":"m","params":3})", error_code::kInvalidRequest, "s"},
      {R"({"jsonrpc":"2.0","id":1.5,"method":"m"})", error_code::kInvalidRequest, nullptr},
      {R"({"jsonrpc":"2.0","id":null,"method":"m"})", error_code::kInvalidRequest, nullptr},
      {R"({"jsonrpc":"2.0","id":[1],"method":"m"})", error_code::kInvalidRequest, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const Incoming incoming = classify(c.body);
    ASSERT_TRUE(std::holds_alternative<Malformed>(incoming));
    const Json& reply = std::get<Malformed>(incoming).reply;
    EXPECT_EQ(reply["jsonrpc"], "2.0");
    EXPECT_EQ(reply["id"], c.id);
    EXPECT_EQ(reply["error"]["code"], c.code);
    EXPECT_TRUE(reply["error"]["message"].is_string());
  }
}

TEST(JsonRpc, DeeplyNestedJsonIsHandledWithoutRecursion) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  EXPECT_TRUE(std::holds_alternative<Malformed>(classify(deep)));
  const std::string params = R"({"jsonrpc":"2.0","method":"m","params":)" + deep + "}";
  EXPECT_TRUE(std::holds_alternative<Call>(classify(params)));
}

TEST(JsonRpc, SerialisingReplacesInvalidUtf8) {
  EXPECT_EQ(serialise(result_reply(1, std::string("a\xFF"))),
            "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":\"a\xEF\xBF\xBD\"}");
}

}  // namespace
}  // namespace tolu::lsp
