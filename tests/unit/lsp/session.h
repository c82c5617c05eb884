// An in-process language-server session for the tests: messages in as JSON, everything the
// server sends collected.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bin/tolu_lsp/server.h"

namespace tolu::lsp::testing {

class Session {
 public:
  explicit Session(ServerOptions options = {.background = false})
      : server_([this](std::string_view m) { collect(Json::parse(m)); }, log_, options) {}

  void send(const Json& message) { server_.receive(serialise(message)); }
  void notify(std::string_view method, Json params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
  }
  // Sends a request and returns its id.
  int post(std::string_view method, Json params) {
    const int id = next_id_++;
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
    return id;
  }
  // The reply to a request, waiting up to five seconds for it.
  Json reply(int id) {
    std::optional<Json> found;
    wait_for([&] {
      for (const Json& m : messages_) {
        if (m.contains("id") && m["id"] == id && !m.contains("method")) found = m;
      }
      return found.has_value();
    });
    return found.value_or(Json());
  }
  Json request(std::string_view method, Json params) {
    return reply(post(method, std::move(params)));
  }

  void initialize(bool utf32 = true) {
    Json encodings = Json::array({"utf-16"});
    if (utf32) encodings.push_back("utf-32");
    request("initialize", {{"capabilities", {{"general", {{"positionEncodings", encodings}}}}}});
    notify("initialized", Json::object());
  }
  void open(const std::string& text, const std::string& uri = "file:///t.tos", int version = 1) {
    notify("textDocument/didOpen",
           {{"textDocument",
             {{"uri", uri}, {"languageId", "tolu"}, {"version", version}, {"text", text}}}});
  }
  void change(Json changes, int version, const std::string& uri = "file:///t.tos") {
    notify("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", version}}},
                                      {"contentChanges", std::move(changes)}});
  }

  // The publishDiagnostics parameters sent so far, oldest first.
  std::vector<Json> published() {
    std::lock_guard lock(mutex_);
    std::vector<Json> out;
    for (const Json& m : messages_) {
      if (m.value("method", "") == "textDocument/publishDiagnostics") out.push_back(m["params"]);
    }
    return out;
  }
  // Waits up to five seconds for a publication for `version`, and returns the last one.
  Json diagnostics_for(int version) {
    std::optional<Json> found;
    wait_for([&] {
      for (const Json& m : messages_) {
        if (m.value("method", "") == "textDocument/publishDiagnostics" &&
            m["params"].value("version", -1) == version) {
          found = m["params"];
        }
      }
      return found.has_value();
    });
    return found.value_or(Json());
  }
  std::vector<Json> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

  Server& server() { return server_; }
  std::string log() const { return log_.str(); }

 private:
  void collect(const Json& message) {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    }
    arrived_.notify_all();
  }
  void wait_for(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::seconds(5), done);
  }

  std::ostringstream log_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Json> messages_;
  int next_id_ = 1;
  Server server_;  // last: its worker stops before the rest goes
};

inline Json position(std::uint32_t line, std::uint32_t character) {
  return {{"line", line}, {"character", character}};
}
inline Json at(std::uint32_t line, std::uint32_t character,
               const std::string& uri = "file:///t.tos") {
  return {{"textDocument", {{"uri", uri}}}, {"position", position(line, character)}};
}
inline Json range(std::uint32_t l1, std::uint32_t c1, std::uint32_t l2, std::uint32_t c2) {
  return {{"start", position(l1, c1)}, {"end", position(l2, c2)}};
}

}  // namespace tolu::lsp::testing
