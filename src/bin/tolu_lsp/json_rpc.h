// JSON-RPC 2.0 as the language server speaks it: what a received body is, and the replies.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

namespace tolu::lsp {

using Json = nlohmann::json;

// Error codes of JSON-RPC and of the protocol.
namespace error_code {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
inline constexpr int kServerNotInitialized = -32002;
inline constexpr int kRequestFailed = -32803;
inline constexpr int kServerCancelled = -32802;
inline constexpr int kContentModified = -32801;
inline constexpr int kRequestCancelled = -32800;
}  // namespace error_code

// A request (it has an id and wants a reply) or a notification (no id).
struct Call {
  bool is_request = false;
  Json id;  // a string or an integer; null for a notification
  std::string method;
  Json params;  // an object or an array; null when absent
};

// A reply to a request of ours; the server sends none, so these are only recognised.
struct Reply {
  Json id;
};

// A body that is not a call or a reply, with the error reply it gets.
struct Malformed {
  Json reply;
};

using Incoming = std::variant<Call, Reply, Malformed>;

// Parses and classifies one message body: malformed JSON gets a -32700 reply with a null id; a
// value that is neither a call nor a reply gets -32600, with its id when that id is valid.
Incoming classify(std::string_view body);

Json result_reply(const Json& id, Json result);
// The text of a result reply whose result is already JSON text, in `out` (replaced).
void result_reply_text(const Json& id, std::string_view result, std::string& out);
Json error_reply(const Json& id, int code, std::string_view message);
Json notification(std::string_view method, Json params);

// The text of a message to send: compact, invalid UTF-8 replaced.
std::string serialise(const Json& message);

}  // namespace tolu::lsp
