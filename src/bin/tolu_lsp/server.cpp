#include "bin/tolu_lsp/server.h"

#include <algorithm>
#include <utility>

#include "bin/tolu_lsp/diagnostics.h"
#include "bin/tolu_lsp/framing.h"
#include "bin/tolu_lsp/protocol.h"
#include "bin/tolu_lsp/requests.h"
#include "tolu/version.h"

namespace tolu::lsp {
namespace {

// Requests that wait for a document's analysis, at most; more are answered at once.
constexpr std::size_t kMaxWaiting = 64;
// Reply buffers larger than this are freed once sent rather than kept for the next reply.
constexpr std::size_t kMaxKeptBuffer = std::size_t{16} << 20;

Encoding negotiated_encoding(const Json& params) {
  const Json* encodings = nullptr;
  if (params.is_object()) {
    const auto capabilities = params.find("capabilities");
    if (capabilities != params.end() && capabilities->is_object()) {
      const auto general = capabilities->find("general");
      if (general != capabilities->end() && general->is_object()) {
        const auto found = general->find("positionEncodings");
        if (found != general->end()) encodings = &*found;
      }
    }
  }
  if (encodings == nullptr || !encodings->is_array()) return Encoding::Utf16;
  const bool offered = std::any_of(encodings->begin(), encodings->end(),
                                   [](const Json& e) { return e == "utf-32"; });
  return offered ? Encoding::Utf32 : Encoding::Utf16;
}

const Json* member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<std::int64_t> version_of(const Json& text_document) {
  const Json* version = member(text_document, "version");
  if (version == nullptr || !version->is_number_integer()) return std::nullopt;
  return version->get<std::int64_t>();
}

// The contentChanges of a didChange, or nothing when one is malformed.
std::optional<std::vector<ContentChange>> read_changes(const Json& params) {
  const Json* list = member(params, "contentChanges");
  if (list == nullptr || !list->is_array()) return std::nullopt;
  std::vector<ContentChange> changes;
  for (const Json& item : *list) {
    const Json* text = member(item, "text");
    if (text == nullptr || !text->is_string()) return std::nullopt;
    ContentChange change{std::nullopt, text->get<std::string>()};
    if (const Json* range = member(item, "range")) {
      change.range = read_range(*range);
      if (!change.range) return std::nullopt;
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

}  // namespace

Server::Server(Sink sink, std::ostream& log, ServerOptions options)
    : sink_(std::move(sink)), log_(log), options_(options) {
  if (options_.background) {
    worker_ = std::jthread([this](std::stop_token stop) { work(std::move(stop)); });
  }
}

Server::~Server() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
}

void Server::receive(std::string_view body) {
  Incoming incoming = classify(body);
  std::unique_lock lock(mutex_);
  if (auto* malformed = std::get_if<Malformed>(&incoming)) {
    log_ << "tolu-lsp: " << malformed->reply["error"]["message"].get<std::string>() << "\n";
    send(malformed->reply);
    return;
  }
  if (std::holds_alternative<Reply>(incoming)) return;  // the server sends no requests
  Call& call = std::get<Call>(incoming);
  try {
    if (call.is_request) {
      handle_request(call);
    } else {
      handle_notification(call);
    }
  } catch (const std::exception& e) {
    log_ << "tolu-lsp: " << call.method << " failed: " << e.what() << "\n";
    if (call.is_request) reply_error(call.id, error_code::kInternalError, e.what());
  }
}

void Server::log_problem(std::string_view problem) {
  std::lock_guard lock(mutex_);
  log_ << "tolu-lsp: " << problem << "\n";
}

void Server::handle_request(Call& call) {
  if (!initialized_ && call.method != "initialize") {
    return reply_error(call.id, error_code::kServerNotInitialized, "the server is not initialized");
  }
  if (shutdown_)
    return reply_error(call.id, error_code::kInvalidRequest, "the server is shut down");
  if (call.method == "initialize") {
    if (initialized_)
      return reply_error(call.id, error_code::kInvalidRequest, "already initialized");
    return initialize(call);
  }
  if (call.method == "shutdown") {
    shutdown_ = true;
    // Requests still waiting for an analysis are answered from what there is.
    for (auto& [uri, doc] : documents_) {
      std::vector<Pending> waiting = std::move(doc.waiting);
      doc.waiting.clear();
      for (const Pending& p : waiting) answer(p.id, p.method, p.params, doc);
    }
    return send(result_reply(call.id, nullptr));
  }
  if (!is_feature_request(call.method)) {
    return reply_error(call.id, error_code::kMethodNotFound, "unknown method: " + call.method);
  }
  const auto uri = document_uri(call.params);
  if (!uri)
    return reply_error(call.id, error_code::kInvalidParams, "\"textDocument.uri\" is missing");
  const auto it = documents_.find(*uri);
  if (it == documents_.end()) {
    return reply_error(call.id, error_code::kInvalidParams, "the document is not open: " + *uri);
  }
  if (const auto bad = check_params(call.method, call.params)) {
    return reply_error(call.id, bad->code, bad->message);
  }
  OpenDocument& doc = it->second;
  const bool analysed = !doc.dirty && doc.analysed_revision == doc.revision;
  if (analysed || !options_.background || doc.waiting.size() >= kMaxWaiting) {
    return answer(call.id, call.method, call.params, doc);
  }
  doc.waiting.push_back({std::move(call.id), std::move(call.method), std::move(call.params)});
}

void Server::initialize(const Call& call) {
  initialized_ = true;
  encoding_ = negotiated_encoding(call.params);
  send(result_reply(call.id, {{"capabilities", server_capabilities(encoding_)},
                              {"serverInfo", {{"name", "tolu-lsp"}, {"version", version()}}}}));
}

void Server::handle_notification(Call& call) {
  if (call.method == "exit") {
    exited_ = true;
    return;
  }
  if (!initialized_ || shutdown_) return;
  if (call.method == "textDocument/didOpen") return did_open(call.params);
  if (call.method == "textDocument/didChange") return did_change(call.params);
  if (call.method == "textDocument/didClose") return did_close(call.params);
  if (call.method == "$/cancelRequest") return cancel(call.params);
  if (call.method == "initialized" || call.method.starts_with("$/")) return;
  log_ << "tolu-lsp: ignored notification " << call.method << "\n";
}

void Server::did_open(const Json& params) {
  const Json* document = member(params, "textDocument");
  const auto uri = document_uri(params);
  const Json* text = document ? member(*document, "text") : nullptr;
  const auto version = document ? version_of(*document) : std::nullopt;
  if (!uri || text == nullptr || !text->is_string() || !version) {
    log_ << "tolu-lsp: didOpen without a textDocument's uri, version and text\n";
    return;
  }
  if (text->get_ref<const std::string&>().size() > Document::kMaxBytes) {
    log_ << "tolu-lsp: " << *uri << " is too large to open\n";
    return;
  }
  if (!documents_.contains(*uri) && documents_.size() >= options_.max_documents) {
    log_ << "tolu-lsp: too many open documents; " << *uri << " is not analysed\n";
    return;
  }
  if (auto old = documents_.find(*uri); old != documents_.end()) {
    answer_waiting(old->second, error_code::kContentModified, "the document was reopened");
    documents_.erase(old);
  }
  const auto it = documents_.try_emplace(*uri, Document(text->get<std::string>(), *version)).first;
  changed(it->second);
  if (!options_.background) analyse(it->first, nullptr);
}

void Server::did_change(const Json& params) {
  const auto uri = document_uri(params);
  const auto changes = read_changes(params);
  const Json* document = member(params, "textDocument");
  const auto version = document ? version_of(*document) : std::nullopt;
  if (!uri || !changes || !version) {
    log_ << "tolu-lsp: didChange with malformed parameters\n";
    return;
  }
  const auto it = documents_.find(*uri);
  if (it == documents_.end()) {
    log_ << "tolu-lsp: didChange of a document that is not open: " << *uri << "\n";
    return;
  }
  OpenDocument& doc = it->second;
  answer_waiting(doc, error_code::kContentModified, "the document changed");
  if (!doc.document.apply(*changes, *version, encoding_, doc.edits)) {
    log_ << "tolu-lsp: " << *uri << " grew past the size limit, or its changes were too many; "
         << "it is no longer analysed\n";
    documents_.erase(it);
    send(notification("textDocument/publishDiagnostics",
                      {{"uri", *uri}, {"diagnostics", Json::array()}}));
    return;
  }
  changed(doc);
  if (!options_.background) analyse(it->first, nullptr);
}

void Server::did_close(const Json& params) {
  const auto uri = document_uri(params);
  const auto it = uri ? documents_.find(*uri) : documents_.end();
  if (it == documents_.end()) return;
  answer_waiting(it->second, error_code::kContentModified, "the document was closed");
  documents_.erase(it);
  send(notification("textDocument/publishDiagnostics",
                    {{"uri", *uri}, {"diagnostics", Json::array()}}));
}

void Server::cancel(const Json& params) {
  const Json* id = member(params, "id");
  if (id == nullptr) return;
  for (auto& [uri, doc] : documents_) {
    const auto it = std::find_if(doc.waiting.begin(), doc.waiting.end(),
                                 [&](const Pending& p) { return p.id == *id; });
    if (it == doc.waiting.end()) continue;
    reply_error(it->id, error_code::kRequestCancelled, "cancelled");
    doc.waiting.erase(it);
    return;
  }
}

void Server::changed(OpenDocument& doc) {
  ++doc.revision;
  doc.dirty = true;
  doc.changed_at = std::chrono::steady_clock::now();
  ++changes_;
  wake_.notify_all();
}

void Server::answer(const Json& id, std::string_view method, const Json& params,
                    OpenDocument& doc) {
  const std::string uri = document_uri(params).value_or("");
  const RequestContext context{uri,       doc.good.get(), &doc.edits, &doc.document.lines(),
                               encoding_, &result_buffer_};
  Outcome outcome = answer_feature(method, params, context);
  if (auto* error = std::get_if<RequestError>(&outcome)) {
    return reply_error(id, error->code, error->message);
  }
  if (auto* text = std::get_if<JsonText>(&outcome)) {
    // Both buffers are kept for the next large reply: fresh memory for each would cost a page
    // fault every few kilobytes.
    result_reply_text(id, text->text, reply_buffer_);
    send_text(reply_buffer_);
    result_buffer_ = std::move(text->text);
    if (reply_buffer_.capacity() > kMaxKeptBuffer) {
      reply_buffer_ = std::string();
      result_buffer_ = std::string();
    }
    return;
  }
  send(result_reply(id, std::move(std::get<Json>(outcome))));
}

void Server::answer_waiting(OpenDocument& doc, int code, std::string_view why) {
  for (const Pending& pending : doc.waiting) reply_error(pending.id, code, why);
  doc.waiting.clear();
}

void Server::work(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    const auto now = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> next;
    const std::string* due = nullptr;
    for (const auto& [uri, doc] : documents_) {
      if (!doc.dirty) continue;
      const auto at = doc.changed_at + options_.debounce;
      if (at <= now) {
        due = &uri;
        break;
      }
      next = next ? std::min(*next, at) : at;
    }
    if (due != nullptr) {
      analyse(*due, &lock);
      continue;
    }
    const std::uint64_t seen = changes_;
    const auto changed = [&] { return changes_ != seen; };
    if (next) {
      wake_.wait_until(lock, stop, *next, changed);
    } else {
      wake_.wait(lock, stop, changed);
    }
  }
}

void Server::analyse(const std::string& key, std::unique_lock<std::mutex>* lock) {
  const std::string uri = key;  // the map entry may go while the lock is released
  OpenDocument& doc = documents_.at(uri);
  doc.dirty = false;
  const std::uint64_t revision = doc.revision;
  std::string text = doc.document.text();
  const std::int64_t version = doc.document.version();
  if (lock != nullptr) lock->unlock();
  std::shared_ptr<Snapshot> snapshot;
  std::string failure;
  try {
    snapshot = std::make_shared<Snapshot>(std::move(text), version);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (lock != nullptr) lock->lock();
  const auto it = documents_.find(uri);
  if (it == documents_.end() || it->second.revision != revision) return;  // changed meanwhile
  if (!snapshot) {
    log_ << "tolu-lsp: the analysis of " << uri << " failed: " << failure << "\n";
    answer_waiting(it->second, error_code::kRequestFailed, "the analysis failed");
    return;
  }
  install(uri, it->second, std::move(snapshot));
}

void Server::install(const std::string& uri, OpenDocument& doc,
                     std::shared_ptr<const Snapshot> snapshot) {
  doc.analysed_revision = doc.revision;
  send(notification("textDocument/publishDiagnostics",
                    diagnostics_params(snapshot->analysis, *snapshot->text, snapshot->lines,
                                       encoding_, uri, snapshot->version)));
  if (snapshot->ok()) {
    doc.good = std::move(snapshot);
    doc.edits.clear();
  }
  std::vector<Pending> waiting = std::move(doc.waiting);
  doc.waiting.clear();
  for (const Pending& pending : waiting) answer(pending.id, pending.method, pending.params, doc);
}

void Server::send(const Json& message) {
  sink_(serialise(message));
}

void Server::send_text(std::string_view message) {
  sink_(message);
}

void Server::reply_error(const Json& id, int code, std::string_view message) {
  send(error_reply(id, code, message));
}

void deliver_frames(FrameReader& reader, Server& server) {
  while (!server.exited()) {
    auto event = reader.next();
    if (!event) return;
    if (event->kind == FrameEvent::Kind::Problem) {
      server.log_problem(event->text);
    } else {
      server.receive(event->text);
    }
  }
}

int serve(std::istream& in, std::ostream& out, std::ostream& log, ServerOptions options) {
  Server server(
      [&](std::string_view message) {
        const std::string header = "Content-Length: " + std::to_string(message.size()) + "\r\n\r\n";
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        out.write(message.data(), static_cast<std::streamsize>(message.size()));
        out.flush();
      },
      log, options);
  // Reading from a stream tied to `out` would flush `out` outside the server's lock, racing with
  // the worker's messages: every message is flushed whole anyway.
  in.tie(nullptr);
  FrameReader reader;
  std::string buffer(65536, '\0');
  while (!server.exited() && in.peek() != std::istream::traits_type::eof()) {
    std::streamsize n = in.readsome(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (n <= 0) {  // a stream that cannot tell what it holds: one byte at a time
      buffer[0] = static_cast<char>(in.get());
      n = 1;
    }
    reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    deliver_frames(reader, server);
  }
  return server.exit_status();
}

}  // namespace tolu::lsp
