#include "bin/tolu_lsp/json_rpc.h"

#include <utility>

namespace tolu::lsp {
namespace {

bool is_valid_id(const Json& id) {
  return id.is_string() || id.is_number_integer();
}

Malformed invalid_request(const Json& id, std::string_view why) {
  return {error_reply(is_valid_id(id) ? id : Json(), error_code::kInvalidRequest, why)};
}

Incoming classify_value(Json& value) {
  if (!value.is_object()) return invalid_request(nullptr, "a message must be a JSON object");
  const auto id_it = value.find("id");
  const Json id = id_it == value.end() ? Json() : *id_it;
  const auto version = value.find("jsonrpc");
  if (version == value.end() || *version != "2.0") {
    return invalid_request(id, "\"jsonrpc\" must be \"2.0\"");
  }
  const auto method = value.find("method");
  if (method == value.end()) {
    if (is_valid_id(id) && (value.contains("result") || value.contains("error"))) {
      return Reply{id};
    }
    return invalid_request(id, "a message needs a \"method\"");
  }
  if (!method->is_string()) return invalid_request(id, "\"method\" must be a string");
  if (id_it != value.end() && !is_valid_id(id)) {
    return invalid_request(nullptr, "\"id\" must be a string or an integer");
  }
  Call call{id_it != value.end(), id, method->get<std::string>(), nullptr};
  // A null "params" is taken for none: clients send it for requests without parameters.
  if (const auto params = value.find("params"); params != value.end() && !params->is_null()) {
    if (!params->is_object() && !params->is_array()) {
      return invalid_request(id, "\"params\" must be an object or an array");
    }
    call.params = std::move(*params);
  }
  return call;
}

}  // namespace

Incoming classify(std::string_view body) {
  Json value = Json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) {
    return Malformed{error_reply(nullptr, error_code::kParseError, "malformed JSON")};
  }
  return classify_value(value);
}

Json result_reply(const Json& id, Json result) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

void result_reply_text(const Json& id, std::string_view result, std::string& out) {
  // The members in the order serialise() writes them: sorted by name.
  out = "{\"id\":";
  out += serialise(id);
  out += ",\"jsonrpc\":\"2.0\",\"result\":";
  out += result;
  out += '}';
}

Json error_reply(const Json& id, int code, std::string_view message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Json notification(std::string_view method, Json params) {
  return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

std::string serialise(const Json& message) {
  return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tolu::lsp
