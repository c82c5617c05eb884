// Content-Length framing of the language-server byte streams: a reader that is fed bytes as they
// arrive and yields whole message bodies, and the writer's frame.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace tolu::lsp {

// What the reader took out of the stream: a whole body, or a problem worth logging (a bad
// header, a frame too large to keep). After a problem the reader has already resynchronised.
struct FrameEvent {
  enum class Kind { Body, Problem };
  Kind kind = Kind::Body;
  std::string text;
};

// Cuts a byte stream into frames of the form
//   Content-Length: N\r\n (other headers)\r\n \r\n <N bytes>
// Header lines may also end in a bare "\n"; header names are matched without regard to case.
// A header block without a valid Content-Length is reported, and reading starts again at the
// next "Content-Length:" in the stream after the offending header line. A body longer than
// `max_body` bytes is reported and skipped as it streams past, never buffered whole.
class FrameReader {
 public:
  static constexpr std::size_t kDefaultMaxBody = std::size_t{64} << 20;
  static constexpr std::size_t kMaxHeader = 8192;

  explicit FrameReader(std::size_t max_body = kDefaultMaxBody) : max_body_(max_body) {}

  void feed(std::string_view bytes);
  // The next body or problem, oldest first; nothing when the stream has no whole frame yet.
  std::optional<FrameEvent> next();
  // Bytes held for a frame not yet complete (a header or a body being read).
  std::size_t buffered() const { return pending_.size() + body_.size(); }

 private:
  // Header: reading a header block. Body: reading remaining_ bytes into body_. Skip: dropping
  // remaining_ bytes of an oversized body. Seek: dropping bytes up to the next "Content-Length:".
  enum class State { Header, Body, Skip, Seek };

  // Interprets pending_ as far as it goes; returns how many of its bytes were used.
  std::size_t process();
  // The steps of process(), from pending_[pos]; each returns false when it needs more bytes.
  bool read_body(std::size_t& pos);
  bool skip_body(std::size_t& pos);
  bool seek_header(std::size_t& pos);
  bool read_header(std::size_t& pos);
  // Starts the frame that the header block `block` announces, or reports why it can't; returns
  // how many of the block's bytes are used up.
  std::size_t start_frame(std::string_view block);
  void problem(std::string text);

  std::size_t max_body_;
  State state_ = State::Header;
  std::string pending_;             // received, not yet interpreted (a header block in part)
  std::size_t header_scanned_ = 0;  // bytes of the current header block holding no blank line
  std::string body_;
  std::size_t remaining_ = 0;  // bytes still to read into body_ or to skip
  std::deque<FrameEvent> events_;
};

// The frame that carries `body`.
std::string frame(std::string_view body);

}  // namespace tolu::lsp
