// The language server: the lifecycle, the open documents, the analysis worker that publishes
// diagnostics, and the dispatch of requests to the features.
//
// Messages come in through receive(), one body at a time, on one thread; everything the server
// sends goes to the sink, from that thread or from the worker's (never both at once). A change
// to a document schedules its analysis `debounce` later, so that a burst of changes is analysed
// once. A feature request on a document whose newest text is not yet analysed waits for that
// analysis; a change of the document meanwhile answers it with ContentModified (-32801), and
// $/cancelRequest with RequestCancelled (-32800). Requests are answered from the newest analysis
// without error, with positions mapped through the edits made since.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bin/tolu_lsp/document.h"
#include "bin/tolu_lsp/framing.h"
#include "bin/tolu_lsp/json_rpc.h"
#include "bin/tolu_lsp/positions.h"
#include "bin/tolu_lsp/snapshot.h"

namespace tolu::lsp {

struct ServerOptions {
  std::chrono::milliseconds debounce{50};
  // Analyse on a worker thread. Without it every change is analysed at once, on the thread that
  // delivered it, and no request ever waits (for --check, the fuzzer and some tests).
  bool background = true;
  // Most documents open at once; more are refused.
  std::size_t max_documents = 4096;
};

// Receives the text of each message the server sends, whole (as serialise() writes it).
using Sink = std::function<void(std::string_view)>;

class Server {
 public:
  Server(Sink sink, std::ostream& log, ServerOptions options = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Handles one message body.
  void receive(std::string_view body);
  // Logs a problem of the transport (a bad frame).
  void log_problem(std::string_view problem);

  bool exited() const { return exited_; }
  // The process's status: 0 once shutdown was requested, 1 otherwise.
  int exit_status() const { return shutdown_ ? 0 : 1; }

 private:
  struct Pending {
    Json id;
    std::string method;
    Json params;
  };
  struct OpenDocument {
    explicit OpenDocument(Document text) : document(std::move(text)) {}
    Document document;
    EditLog edits;  // since good's text
    std::shared_ptr<const Snapshot> good;
    std::uint64_t revision = 0;           // counts the changes
    std::uint64_t analysed_revision = 0;  // of the newest analysis installed
    bool dirty = true;                    // changed since its last analysis began
    std::chrono::steady_clock::time_point changed_at;
    std::vector<Pending> waiting;
  };

  void dispatch(Call call);
  void handle_request(Call& call);
  void handle_notification(Call& call);
  void initialize(const Call& call);
  void did_open(const Json& params);
  void did_change(const Json& params);
  void did_close(const Json& params);
  void cancel(const Json& params);
  void answer(const Json& id, std::string_view method, const Json& params, OpenDocument& doc);
  void answer_waiting(OpenDocument& doc, int code, std::string_view why);
  void changed(OpenDocument& doc);

  // The analysis worker, and one analysis of a document.
  // `lock` (null when there is no worker) is released while the analysis runs.
  void work(std::stop_token stop);
  void analyse(const std::string& uri, std::unique_lock<std::mutex>* lock);
  void install(const std::string& uri, OpenDocument& doc, std::shared_ptr<const Snapshot> snapshot);

  void send(const Json& message);
  void send_text(std::string_view message);
  void reply_error(const Json& id, int code, std::string_view message);

  Sink sink_;
  std::ostream& log_;
  ServerOptions options_;
  Encoding encoding_ = Encoding::Utf16;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;

  std::mutex mutex_;  // guards documents_ and the sink
  std::condition_variable_any wake_;
  std::map<std::string, OpenDocument, std::less<>> documents_;
  std::string result_buffer_;  // reused by the results written as text
  std::string reply_buffer_;   // and by their replies
  std::uint64_t changes_ = 0;  // counts the changes of every document, to wake the worker
  std::jthread worker_;        // last: stopped and joined first
};

// Serves `in` until "exit" or the end of input, writing framed messages to `out` and logs to
// `log`; returns the exit status.
// Hands `server` every message and problem `reader` holds, until the server exits.
void deliver_frames(FrameReader& reader, Server& server);

int serve(std::istream& in, std::ostream& out, std::ostream& log, ServerOptions options = {});

}  // namespace tolu::lsp
