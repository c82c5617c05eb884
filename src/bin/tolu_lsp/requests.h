// The feature requests of the protocol: their parameters read, the features run on the newest
// analysis without error, and the results turned into the protocol's objects, with positions
// mapped through the edits made since that analysis.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "bin/tolu_lsp/document.h"
#include "bin/tolu_lsp/json_rpc.h"
#include "bin/tolu_lsp/positions.h"
#include "bin/tolu_lsp/snapshot.h"

namespace tolu::lsp {

// What a feature request is answered from.
struct RequestContext {
  std::string_view uri;
  const Snapshot* good = nullptr;  // the newest analysis without error, if any
  const EditLog* edits = nullptr;  // from good's text to the current one
  const LineIndex* current = nullptr;
  Encoding encoding = Encoding::Utf16;
  // Memory to reuse for a result written as text (a JsonText's, once sent); may be null.
  std::string* buffer = nullptr;
};

struct RequestError {
  int code = error_code::kInvalidParams;
  std::string message;
};

// A result written directly as JSON text, for the large ones.
struct JsonText {
  std::string text;
};

using Outcome = std::variant<Json, RequestError, JsonText>;

bool is_feature_request(std::string_view method);
// The textDocument.uri of a request's parameters.
std::optional<std::string> document_uri(const Json& params);
// Why the parameters of a feature request are malformed, if they are.
std::optional<RequestError> check_params(std::string_view method, const Json& params);
Outcome answer_feature(std::string_view method, const Json& params, const RequestContext& context);

// The capabilities the server announces, with the position encoding it chose.
Json server_capabilities(Encoding encoding);

}  // namespace tolu::lsp
