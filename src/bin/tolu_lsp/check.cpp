#include "bin/tolu_lsp/check.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <tuple>

#include "base/unicode.h"
#include "bin/common/read_text.h"
#include "bin/tolu_lsp/protocol.h"
#include "bin/tolu_lsp/server.h"

namespace tolu::lsp {
namespace {

constexpr std::string_view kUri = "file:///check.tos";
constexpr std::size_t kMaxProblems = 20;

// A member of an object, or null.
const Json& field(const Json& object, const char* key) {
  static const Json none;
  if (!object.is_object()) return none;
  const auto it = object.find(key);
  return it == object.end() ? none : *it;
}

bool before_or_at(Position a, Position b) {
  return std::tie(a.line, a.character) <= std::tie(b.line, b.character);
}

// One in-process session over one text, and what its answers broke.
class Checker {
 public:
  Checker(std::string_view text, Encoding encoding)
      : text_(text),
        lines_(text_),
        encoding_(encoding),
        server_([this](std::string_view m) { messages_.push_back(Json::parse(m)); }, log_,
                {.background = false}) {}

  std::vector<std::string> run() {
    Json offered = Json::array({"utf-16"});
    if (encoding_ == Encoding::Utf32) offered.push_back("utf-32");
    request("initialize", {{"capabilities", {{"general", {{"positionEncodings", offered}}}}}});
    notify("initialized", Json::object());
    messages_.clear();
    notify("textDocument/didOpen",
           {{"textDocument",
             {{"uri", kUri}, {"languageId", "tolu"}, {"version", 1}, {"text", text_}}}});
    check_diagnostics();
    check_document_requests();
    for (std::uint32_t line = 0; line < lines_.line_count() && !full(); ++line) {
      const std::uint32_t units = lines_.position_of(lines_.line_end(line), encoding_).character;
      for (std::uint32_t character = 0; character <= units + 1 && !full(); ++character) {
        check_position({line, character});
      }
    }
    request("shutdown", nullptr);
    notify("exit", nullptr);
    if (server_.exit_status() != 0) fail("exit status " + std::to_string(server_.exit_status()));
    return problems_;
  }

 private:
  bool full() const { return problems_.size() >= kMaxProblems; }
  void fail(std::string what) {
    if (!full()) problems_.push_back(std::move(what));
  }

  void notify(std::string_view method, Json params) {
    server_.receive(
        serialise({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}));
  }

  // The result of a request, or null after recording an error reply as a problem (unless the
  // request may refuse with RequestFailed).
  Json request(std::string_view method, Json params, bool may_refuse = false) {
    const int id = next_id_++;
    messages_.clear();
    server_.receive(serialise(
        {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}}));
    for (Json& message : messages_) {
      if (!message.contains("id") || field(message, "id") != id) continue;
      if (message.contains("result")) return std::move(message["result"]);
      const Json& error = field(message, "error");
      if (!(may_refuse && field(error, "code") == error_code::kRequestFailed)) {
        fail(std::string(method) + ": error reply " + error.dump());
      }
      return nullptr;
    }
    fail(std::string(method) + ": no reply");
    return nullptr;
  }

  Json text_document() const { return {{"uri", kUri}}; }
  Json at(Position p) const {
    return {{"textDocument", text_document()}, {"position", position_json(p)}};
  }

  // The position as the server reads it: clamped into the text.
  Position clamped(Position p) const {
    return lines_.position_of(lines_.offset_of(p, encoding_), encoding_);
  }

  std::optional<Position> valid_position(const Json& value, std::string_view what) {
    const auto p = read_position(value);
    const bool inside =
        p && p->line < lines_.line_count() &&
        p->character <= lines_.position_of(lines_.line_end(p->line), encoding_).character &&
        clamped(*p) == *p;
    if (!inside) {
      fail(std::string(what) +
           ": position outside the text or inside a character: " + value.dump());
      return std::nullopt;
    }
    return p;
  }

  std::optional<Range> valid_range(const Json& value, std::string_view what) {
    if (!value.is_object() || !value.contains("start") || !value.contains("end")) {
      fail(std::string(what) + ": not a range: " + value.dump());
      return std::nullopt;
    }
    const auto start = valid_position(field(value, "start"), what);
    const auto end = valid_position(field(value, "end"), what);
    if (!start || !end) return std::nullopt;
    if (!before_or_at(*start, *end)) {
      fail(std::string(what) + ": range ends before it starts: " + value.dump());
      return std::nullopt;
    }
    return Range{*start, *end};
  }

  bool contains(const Range& outer, const Range& inner) const {
    return before_or_at(outer.start, inner.start) && before_or_at(inner.end, outer.end);
  }

  void check_diagnostics() {
    const auto published = std::find_if(messages_.begin(), messages_.end(), [](const Json& m) {
      return m.value("method", "") == "textDocument/publishDiagnostics";
    });
    if (published == messages_.end()) return fail("no diagnostics published");
    const Json params = (*published)["params"];
    if (params.value("version", -1) != 1) fail("diagnostics without the document's version");
    for (const Json& diagnostic : field(params, "diagnostics")) {
      valid_range(field(diagnostic, "range"), "diagnostic");
      for (const Json& related : diagnostic.value("relatedInformation", Json::array())) {
        valid_range(field(field(related, "location"), "range"), "diagnostic's related information");
      }
    }
  }

  void check_document_requests() {
    const Json document = {{"textDocument", text_document()}};
    check_symbols(request("textDocument/documentSymbol", document), std::nullopt);
    for (const Json& fold : request("textDocument/foldingRange", document)) {
      const auto start = field(fold, "startLine").get<std::uint32_t>();
      const auto end = field(fold, "endLine").get<std::uint32_t>();
      if (start > end || end >= lines_.line_count()) fail("folding range: " + fold.dump());
    }
    check_semantic_tokens(request("textDocument/semanticTokens/full", document));
    const Position end = lines_.position_of(lines_.character_count(), encoding_);
    Json hints_params = document;
    hints_params["range"] = {{"start", position_json({0, 0})}, {"end", position_json(end)}};
    for (const Json& hint : request("textDocument/inlayHint", hints_params)) {
      valid_position(field(hint, "position"), "inlay hint");
    }
  }

  void check_symbols(const Json& symbols, std::optional<Range> parent) {
    for (const Json& symbol : symbols) {
      const auto range = valid_range(field(symbol, "range"), "document symbol");
      const auto selection =
          valid_range(field(symbol, "selectionRange"), "document symbol's selection");
      if (range && selection && !contains(*range, *selection)) {
        fail("document symbol's selection outside its range: " + field(symbol, "name").dump());
      }
      if (range && parent && !contains(*parent, *range)) {
        fail("document symbol outside its parent: " + field(symbol, "name").dump());
      }
      if (symbol.contains("children")) check_symbols(field(symbol, "children"), range);
    }
  }

  void check_semantic_tokens(const Json& result) {
    const Json data = result.is_object() ? result.value("data", Json::array()) : Json::array();
    if (data.size() % 5 != 0) return fail("semantic tokens: data is not in fives");
    Position previous;
    std::uint32_t previous_end = 0;
    for (std::size_t i = 0; i < data.size(); i += 5) {
      const auto delta_line = data[i].get<std::uint32_t>();
      const auto delta_start = data[i + 1].get<std::uint32_t>();
      const auto length = data[i + 2].get<std::uint32_t>();
      const Position start{previous.line + delta_line,
                           delta_line == 0 ? previous.character + delta_start : delta_start};
      if (i > 0 && delta_line == 0 && start.character < previous_end) {
        fail("semantic tokens overlap at line " + std::to_string(start.line));
      }
      const Position end{start.line, start.character + length};
      if (length == 0 || !valid_position(position_json(start), "semantic token") ||
          !valid_position(position_json(end), "semantic token's end")) {
        fail("semantic token at line " + std::to_string(start.line));
      }
      previous = start;
      previous_end = end.character;
    }
  }

  void check_position(Position p) {
    const Position cursor = clamped(p);
    const Range here{cursor, cursor};
    const Json hover = request("textDocument/hover", at(p));
    if (hover.is_object() && hover.contains("range")) {
      const auto range = valid_range(field(hover, "range"), "hover");
      if (range && !contains(*range, here))
        fail("hover range away from the cursor: " + hover.dump());
    }
    const Json definition = request("textDocument/definition", at(p));
    if (!definition.is_null()) {
      if (definition.value("uri", "") != kUri) fail("definition in another document");
      valid_range(field(definition, "range"), "definition");
    }
    for (const Json& highlight : request("textDocument/documentHighlight", at(p))) {
      valid_range(field(highlight, "range"), "document highlight");
    }
    check_references(p);
    check_rename(p, here);
    Json selection_params = {{"textDocument", text_document()}, {"positions", {position_json(p)}}};
    const Json selections = request("textDocument/selectionRange", selection_params);
    if (selections.size() != 1) return fail("selection ranges: one per position expected");
    std::optional<Range> inner = here;
    for (const Json* node = &selections[0]; node != nullptr;
         node = node->contains("parent") ? &field((*node), "parent") : nullptr) {
      const auto range = valid_range(field((*node), "range"), "selection range");
      if (range && inner && !contains(*range, *inner)) {
        fail("selection range does not contain the one inside it");
      }
      inner = range;
    }
  }

  void check_references(Position p) {
    Json params = at(p);
    params["context"] = {{"includeDeclaration", false}};
    const Json uses = request("textDocument/references", params);
    params["context"]["includeDeclaration"] = true;
    const Json all = request("textDocument/references", params);
    for (const Json& location : all) valid_range(field(location, "range"), "reference");
    for (const Json& use : uses) {
      if (std::find(all.begin(), all.end(), use) == all.end()) {
        fail("a reference disappears with the declaration included");
      }
    }
  }

  void check_rename(Position p, const Range& here) {
    const Json prepared = request("textDocument/prepareRename", at(p), true);
    if (prepared.is_object()) {
      const auto range = valid_range(field(prepared, "range"), "prepareRename");
      if (range && !contains(*range, here)) fail("prepareRename range away from the cursor");
    }
    Json params = at(p);
    params["newName"] = "renamed_name";
    const Json edit = request("textDocument/rename", params, true);
    if (!edit.is_object()) return;
    std::vector<Range> ranges;
    for (const Json& change : field(field(edit, "changes"), kUri.data())) {
      if (auto range = valid_range(field(change, "range"), "rename")) ranges.push_back(*range);
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
      return std::tie(a.start.line, a.start.character) < std::tie(b.start.line, b.start.character);
    });
    for (std::size_t i = 1; i < ranges.size(); ++i) {
      if (!before_or_at(ranges[i - 1].end, ranges[i].start)) fail("rename edits overlap");
    }
  }

  std::string_view text_;
  LineIndex lines_;
  Encoding encoding_;
  std::ostringstream log_;
  std::vector<Json> messages_;
  Server server_;
  int next_id_ = 1;
  std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> check_text(std::string_view text, Encoding encoding) {
  try {
    return Checker(text, encoding).run();
  } catch (const std::exception& e) {
    return {std::string("malformed answer: ") + e.what()};
  }
}

int check_file(const std::string& path, std::ostream& out, std::ostream& err) {
  std::ifstream file(path, std::ios::binary);
  const auto text = file ? tools::read_all(file) : std::nullopt;
  if (!text) {
    err << "tolu-lsp: cannot read " << path << "\n";
    return 2;
  }
  if (!is_valid_utf8(*text)) {
    err << "tolu-lsp: " << path << " is not valid UTF-8\n";
    return 2;
  }
  bool ok = true;
  for (const Encoding encoding : {Encoding::Utf32, Encoding::Utf16}) {
    const char* name = encoding == Encoding::Utf32 ? "utf-32" : "utf-16";
    for (const std::string& problem : check_text(*text, encoding)) {
      err << path << " (" << name << "): " << problem << "\n";
      ok = false;
    }
  }
  if (ok) out << path << ": ok\n";
  return ok ? 0 : 1;
}

}  // namespace tolu::lsp
