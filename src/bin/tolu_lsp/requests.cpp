#include "bin/tolu_lsp/requests.h"

#include <algorithm>
#include <array>
#include <utility>

#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/json_writer.h"
#include "bin/tolu_lsp/protocol.h"

namespace tolu::lsp {
namespace {

constexpr std::array kFeatureRequests = {
    std::string_view("textDocument/documentSymbol"),
    std::string_view("textDocument/foldingRange"),
    std::string_view("textDocument/selectionRange"),
    std::string_view("textDocument/hover"),
    std::string_view("textDocument/semanticTokens/full"),
    std::string_view("textDocument/inlayHint"),
    std::string_view("textDocument/definition"),
    std::string_view("textDocument/documentHighlight"),
    std::string_view("textDocument/references"),
    std::string_view("textDocument/prepareRename"),
    std::string_view("textDocument/rename"),
};

// Raised while reading parameters, and turned into an InvalidParams reply by answer_feature.
struct BadParams {
  std::string message;
};

// Conversions between the current text's positions and the analysed text's offsets.
class Mapper {
 public:
  explicit Mapper(const RequestContext& context) : c_(context) {}

  const Analysis& analysis() const { return c_.good->analysis; }
  const Snapshot& good() const { return *c_.good; }

  // The current text's offset at a position, and the analysed text's offset there.
  std::uint32_t cursor(Position position) const {
    return c_.current->offset_of(position, c_.encoding);
  }
  std::optional<std::uint32_t> offset(Position position) const {
    return c_.edits->back(cursor(position));
  }
  // A name or token of the analysed text, where it is now; nothing when it was edited.
  std::optional<Json> exact(ast::Span span) const {
    const auto mapped = c_.edits->forward_span(span.start, span.end);
    if (!mapped) return std::nullopt;
    return range_json(*c_.current, {mapped->first, mapped->second}, c_.encoding);
  }
  // A region of the analysed text (a declaration, a block), where it is now, edits inside it
  // included; nothing when one of its ends was edited.
  std::optional<OffsetSpan> enclosing(ast::Span span) const {
    const auto start = c_.edits->forward(span.start, /*after=*/true);
    const auto end = c_.edits->forward(span.end, /*after=*/false);
    if (!start || !end || *end < *start) return std::nullopt;
    return OffsetSpan{*start, *end};
  }
  Json range(OffsetSpan span) const { return range_json(*c_.current, span, c_.encoding); }
  Json location(const Json& range) const { return {{"uri", c_.uri}, {"range", range}}; }
  Position position(std::uint32_t offset) const {
    return c_.current->position_of(offset, c_.encoding);
  }
  Range positions(OffsetSpan span) const {
    return c_.current->range_of(span.start, span.end, c_.encoding);
  }
  const LineIndex& current() const { return *c_.current; }
  // A writer for a result written as text, reusing the context's buffer.
  JsonWriter writer() const {
    return JsonWriter(c_.buffer != nullptr ? std::move(*c_.buffer) : std::string());
  }
  const EditLog& edits() const { return *c_.edits; }

 private:
  const RequestContext& c_;
};

Position position_param(const Json& params) {
  const auto it = params.find("position");
  const auto position = it == params.end() ? std::nullopt : read_position(*it);
  if (!position) throw BadParams{"\"position\" must be a position"};
  return *position;
}

// Objects' members are written sorted by name, as serialise() orders them.

void write_symbols(JsonWriter& out, const std::vector<Symbol>& symbols, const Mapper& m) {
  out.begin_array();
  for (const Symbol& symbol : symbols) {
    const auto range = m.enclosing(symbol.range);
    if (!range) continue;
    const auto selection = m.enclosing(symbol.selection);
    const OffsetSpan chosen =
        selection && selection->start >= range->start && selection->end <= range->end
            ? *selection
            : OffsetSpan{range->start, range->start};
    out.begin_object();
    if (!symbol.children.empty()) {
      out.key("children");
      write_symbols(out, symbol.children, m);
    }
    if (!symbol.detail.empty()) {
      out.key("detail");
      out.value(symbol.detail);
    }
    out.key("kind");
    out.value(symbol.kind);
    out.key("name");
    out.value(symbol.name.empty() ? std::string_view("?") : std::string_view(symbol.name));
    out.key("range");
    out.range(m.positions(*range));
    out.key("selectionRange");
    out.range(m.positions(chosen));
    out.end_object();
  }
  out.end_array();
}

JsonText document_symbols_json(const Mapper& m) {
  JsonWriter out = m.writer();
  write_symbols(out, document_symbols(m.analysis()), m);
  return {out.take()};
}

Json folding_ranges_json(const Mapper& m) {
  Json list = Json::array();
  const LineIndex& lines = m.good().lines;
  for (const Fold& fold : folding_ranges(m.analysis(), *m.good().text)) {
    const auto span =
        m.enclosing({lines.line_start(fold.start_line), lines.line_end(fold.end_line)});
    if (!span) continue;
    const std::uint32_t start = m.current().line_of(span->start);
    const std::uint32_t end = m.current().line_of(span->end);
    if (end <= start) continue;
    Json item = {{"startLine", start}, {"endLine", end}};
    if (!fold.kind.empty()) item["kind"] = fold.kind;
    list.push_back(std::move(item));
  }
  return list;
}

// The chain of selection ranges at one position, innermost first: each contains the cursor and
// the one before it. An empty range at the cursor when the analysis has nothing there.
std::vector<OffsetSpan> selection_spans(Position position, const Mapper& m) {
  const std::uint32_t cursor = m.cursor(position);
  std::vector<OffsetSpan> chain;
  if (const auto offset = m.offset(position)) {
    for (const ast::Span& span : selection_chain(m.analysis(), *offset)) {
      const auto mapped = m.enclosing(span);
      if (!mapped || mapped->start > cursor || mapped->end < cursor) continue;
      if (!chain.empty() && (mapped->start > chain.back().start || mapped->end < chain.back().end ||
                             *mapped == chain.back())) {
        continue;
      }
      chain.push_back(*mapped);
    }
  }
  if (chain.empty()) chain.push_back({cursor, cursor});
  return chain;
}

// The "positions" of a selectionRange request.
std::vector<Position> read_positions(const Json& params) {
  const auto it = params.find("positions");
  if (it == params.end() || !it->is_array()) throw BadParams{"\"positions\" must be an array"};
  std::vector<Position> positions;
  for (const Json& value : *it) {
    const auto position = read_position(value);
    if (!position) throw BadParams{"\"positions\" must hold positions"};
    positions.push_back(*position);
  }
  return positions;
}

Json selection_ranges_json(const Json& params, const Mapper& m) {
  Json list = Json::array();
  for (const Position& position : read_positions(params)) {
    const std::vector<OffsetSpan> chain = selection_spans(position, m);
    Json range;
    for (auto span = chain.rbegin(); span != chain.rend(); ++span) {
      Json node = {{"range", m.range(*span)}};
      if (!range.is_null()) node["parent"] = std::move(range);
      range = std::move(node);
    }
    list.push_back(std::move(range));
  }
  return list;
}

Json hover_json(const Json& params, const Mapper& m) {
  const auto offset = m.offset(position_param(params));
  const auto found = offset ? hover(m.analysis(), *offset) : std::nullopt;
  if (!found) return nullptr;
  Json result = {{"contents", {{"kind", "markdown"}, {"value", found->markdown}}}};
  if (auto range = m.exact(found->range)) result["range"] = std::move(*range);
  return result;
}

// Appends one token to the protocol's relative encoding, one entry per line it spans.
class TokenEncoder {
 public:
  TokenEncoder(const Mapper& m, Encoding encoding) : m_(m), encoding_(encoding) {}

  void add(OffsetSpan span, std::uint32_t type, std::uint32_t modifiers) {
    const LineIndex& lines = m_.current();
    for (std::uint32_t line = lines.line_of(span.start); span.start < span.end; ++line) {
      const std::uint32_t end = std::min(span.end, lines.line_end(line));
      const Position from = lines.position_of(span.start, encoding_);
      const Position to = lines.position_of(end, encoding_);
      if (to.character > from.character) push(from, to.character - from.character, type, modifiers);
      if (line + 1 >= lines.line_count()) break;
      span.start = std::max(span.start, lines.line_start(line + 1));
    }
  }
  JsonText take() {
    JsonWriter out = m_.writer();
    out.begin_object();
    out.key("data");
    out.begin_array();
    for (const std::uint32_t n : data_) out.value(n);
    out.end_array();
    out.end_object();
    return {out.take()};
  }

 private:
  void push(Position at, std::uint32_t length, std::uint32_t type, std::uint32_t modifiers) {
    const std::uint32_t delta_line = at.line - previous_.line;
    const std::uint32_t delta_start =
        delta_line == 0 ? at.character - previous_.character : at.character;
    for (const std::uint32_t n : {delta_line, delta_start, length, type, modifiers}) {
      data_.push_back(n);
    }
    previous_ = at;
  }

  const Mapper& m_;
  Encoding encoding_;
  Position previous_;
  std::vector<std::uint32_t> data_;
};

JsonText semantic_tokens_json(const Mapper& m, Encoding encoding) {
  TokenEncoder encoder(m, encoding);
  std::uint32_t last_end = 0;
  for (const SemanticToken& token : semantic_tokens(m.analysis())) {
    const auto mapped = m.edits().forward_span(token.span.start, token.span.end);
    if (!mapped || mapped->first < last_end) continue;
    encoder.add({mapped->first, mapped->second}, token.type, token.modifiers);
    last_end = mapped->second;
  }
  return encoder.take();
}

Json inlay_hints_json(const Json& params, const Mapper& m) {
  const auto it = params.find("range");
  const auto range = it == params.end() ? std::nullopt : read_range(*it);
  if (!range) throw BadParams{"\"range\" must be a range"};
  std::uint32_t from = m.cursor(range->start);
  std::uint32_t to = m.cursor(range->end);
  if (to < from) std::swap(from, to);
  const std::uint32_t analysed_end = m.good().lines.character_count();
  const ast::Span asked{m.edits().back(from).value_or(0),
                        m.edits().back(to).value_or(analysed_end)};
  Json list = Json::array();
  if (asked.end < asked.start) return list;
  for (const InlayHint& hint : inlay_hints(m.analysis(), asked)) {
    const auto at = m.edits().forward_span(hint.offset, hint.offset);
    if (!at || at->first < from || at->first > to) continue;
    list.push_back(
        {{"position", position_json(m.position(at->first))}, {"label", hint.label}, {"kind", 1}});
  }
  return list;
}

Json definition_json(const Json& params, const Mapper& m) {
  const auto offset = m.offset(position_param(params));
  const auto found = offset ? definition(m.analysis(), *offset) : std::nullopt;
  const auto range = found ? m.exact(*found) : std::nullopt;
  if (!range) return nullptr;
  return m.location(*range);
}

Json highlights_json(const Json& params, const Mapper& m) {
  Json list = Json::array();
  const auto offset = m.offset(position_param(params));
  if (!offset) return list;
  for (const Highlight& highlight : document_highlights(m.analysis(), *offset)) {
    if (auto range = m.exact(highlight.span)) {
      list.push_back({{"range", std::move(*range)}, {"kind", highlight.is_write ? 3 : 2}});
    }
  }
  return list;
}

Json references_json(const Json& params, const Mapper& m) {
  bool include_declaration = false;
  if (const auto context = params.find("context"); context != params.end()) {
    const auto flag = context->is_object() ? context->find("includeDeclaration") : context->end();
    if (context->is_object() && flag != context->end()) {
      if (!flag->is_boolean()) throw BadParams{"\"includeDeclaration\" must be a boolean"};
      include_declaration = flag->get<bool>();
    }
  }
  Json list = Json::array();
  const auto offset = m.offset(position_param(params));
  if (!offset) return list;
  for (const ast::Span& span : references(m.analysis(), *offset, include_declaration)) {
    if (auto range = m.exact(span)) list.push_back(m.location(*range));
  }
  return list;
}

Outcome prepare_rename_json(const Json& params, const Mapper& m) {
  const auto offset = m.offset(position_param(params));
  if (!offset)
    return RequestError{error_code::kRequestFailed,
                        "this text was edited since the last analysis without errors"};
  const auto found = prepare_rename(m.analysis(), *offset);
  if (const auto* why = std::get_if<std::string>(&found)) {
    return RequestError{error_code::kRequestFailed, *why};
  }
  const ast::Span span = std::get<ast::Span>(found);
  auto range = m.exact(span);
  if (!range)
    return RequestError{error_code::kRequestFailed,
                        "this name was edited since the last analysis without errors"};
  const std::string& text = *m.good().text;
  const LineIndex& lines = m.good().lines;
  const std::size_t from = lines.byte_of(span.start);
  std::string placeholder = text.substr(from, lines.byte_of(span.end) - from);
  return Json{{"range", std::move(*range)}, {"placeholder", std::move(placeholder)}};
}

Outcome rename_json(const Json& params, const Mapper& m, std::string_view uri) {
  const auto name = params.find("newName");
  if (name == params.end() || !name->is_string()) throw BadParams{"\"newName\" must be a string"};
  const auto offset = m.offset(position_param(params));
  if (!offset)
    return RequestError{error_code::kRequestFailed,
                        "this text was edited since the last analysis without errors"};
  const auto found = rename(m.analysis(), *m.good().text, *offset, name->get<std::string>());
  if (const auto* why = std::get_if<std::string>(&found)) {
    return RequestError{error_code::kRequestFailed, *why};
  }
  Json edits = Json::array();
  for (const ast::Span& span : std::get<std::vector<ast::Span>>(found)) {
    auto range = m.exact(span);
    if (!range)
      return RequestError{error_code::kRequestFailed,
                          "a use of this name was edited since the last analysis without errors"};
    edits.push_back({{"range", std::move(*range)}, {"newText", *name}});
  }
  return Json{{"changes", {{std::string(uri), std::move(edits)}}}};
}

// The answer when the document was never analysed without error.
Outcome without_analysis(std::string_view method, const Json& params, const RequestContext& c) {
  if (method == "textDocument/semanticTokens/full") return Json{{"data", Json::array()}};
  if (method == "textDocument/hover" || method == "textDocument/definition") return Json(nullptr);
  if (method == "textDocument/prepareRename" || method == "textDocument/rename") {
    return RequestError{error_code::kRequestFailed,
                        "the document has not been analysed without errors yet"};
  }
  if (method == "textDocument/selectionRange") {
    Json list = Json::array();
    for (const Position& position : read_positions(params)) {
      const std::uint32_t at = c.current->offset_of(position, c.encoding);
      list.push_back({{"range", range_json(*c.current, {at, at}, c.encoding)}});
    }
    return list;
  }
  return Json::array();
}

Outcome dispatch(std::string_view method, const Json& params, const RequestContext& c) {
  if (c.good == nullptr) return without_analysis(method, params, c);
  const Mapper m(c);
  if (method == "textDocument/documentSymbol") return document_symbols_json(m);
  if (method == "textDocument/foldingRange") return folding_ranges_json(m);
  if (method == "textDocument/selectionRange") return selection_ranges_json(params, m);
  if (method == "textDocument/hover") return hover_json(params, m);
  if (method == "textDocument/semanticTokens/full") return semantic_tokens_json(m, c.encoding);
  if (method == "textDocument/inlayHint") return inlay_hints_json(params, m);
  if (method == "textDocument/definition") return definition_json(params, m);
  if (method == "textDocument/documentHighlight") return highlights_json(params, m);
  if (method == "textDocument/references") return references_json(params, m);
  if (method == "textDocument/prepareRename") return prepare_rename_json(params, m);
  if (method == "textDocument/rename") return rename_json(params, m, c.uri);
  return RequestError{error_code::kMethodNotFound, "unknown method"};
}

Json legend() {
  Json types = Json::array();
  for (const std::string_view type : semantic_token_types()) types.push_back(type);
  Json modifiers = Json::array();
  for (const std::string_view modifier : semantic_token_modifiers()) modifiers.push_back(modifier);
  return {{"tokenTypes", std::move(types)}, {"tokenModifiers", std::move(modifiers)}};
}

// Reads the parameters each feature request needs, so that malformed ones are refused before
// the request waits for an analysis.
void read_params(std::string_view method, const Json& params) {
  if (method == "textDocument/documentSymbol" || method == "textDocument/foldingRange" ||
      method == "textDocument/semanticTokens/full") {
    return;
  }
  if (method == "textDocument/selectionRange") {
    read_positions(params);
    return;
  }
  if (method == "textDocument/inlayHint") {
    const auto it = params.find("range");
    if (it == params.end() || !read_range(*it)) throw BadParams{"\"range\" must be a range"};
    return;
  }
  position_param(params);
  if (method == "textDocument/rename") {
    const auto name = params.find("newName");
    if (name == params.end() || !name->is_string()) throw BadParams{"\"newName\" must be a string"};
  }
}

}  // namespace

std::optional<RequestError> check_params(std::string_view method, const Json& params) {
  try {
    read_params(method, params);
    return std::nullopt;
  } catch (const BadParams& bad) {
    return RequestError{error_code::kInvalidParams, bad.message};
  }
}

bool is_feature_request(std::string_view method) {
  return std::find(kFeatureRequests.begin(), kFeatureRequests.end(), method) !=
         kFeatureRequests.end();
}

std::optional<std::string> document_uri(const Json& params) {
  if (!params.is_object()) return std::nullopt;
  const auto document = params.find("textDocument");
  if (document == params.end() || !document->is_object()) return std::nullopt;
  const auto uri = document->find("uri");
  if (uri == document->end() || !uri->is_string()) return std::nullopt;
  return uri->get<std::string>();
}

Outcome answer_feature(std::string_view method, const Json& params, const RequestContext& context) {
  try {
    return dispatch(method, params, context);
  } catch (const BadParams& bad) {
    return RequestError{error_code::kInvalidParams, bad.message};
  } catch (const Json::exception& e) {
    return RequestError{error_code::kInvalidParams, e.what()};
  }
}

Json server_capabilities(Encoding encoding) {
  return {{"positionEncoding", encoding == Encoding::Utf32 ? "utf-32" : "utf-16"},
          {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
          {"documentSymbolProvider", true},
          {"foldingRangeProvider", true},
          {"selectionRangeProvider", true},
          {"hoverProvider", true},
          {"semanticTokensProvider", {{"legend", legend()}, {"full", true}}},
          {"inlayHintProvider", true},
          {"definitionProvider", true},
          {"documentHighlightProvider", true},
          {"referencesProvider", true},
          {"renameProvider", {{"prepareProvider", true}}}};
}

}  // namespace tolu::lsp
