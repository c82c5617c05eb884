#include "bin/tolu_lsp/framing.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

namespace tolu::lsp {
namespace {

constexpr std::string_view kLengthHeader = "Content-Length:";
// Bytes taken from the input at a time: pending_ never holds more than this and a header.
constexpr std::size_t kChunk = 65536;

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::size_t find_ignoring_case(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (equal_ignoring_case(text.substr(i, word.size()), word)) return i;
  }
  return std::string_view::npos;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// The value of a Content-Length header: decimal digits only.
std::optional<std::size_t> parse_length(std::string_view value) {
  std::size_t length = 0;
  if (value.empty() ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
  if (ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
  return length;
}

// What a header block announces: the body's length, or why it announces none and where in the
// block to look for the next header (just past the offending line).
struct Announced {
  std::optional<std::size_t> length;
  std::string why;
  std::size_t resume = 0;
};

Announced announced_length(std::string_view block) {
  std::optional<std::size_t> length;
  std::size_t pos = 0;
  while (pos < block.size()) {
    const std::size_t newline = block.find('\n', pos);
    const std::size_t next = newline == std::string_view::npos ? block.size() : newline + 1;
    const std::string_view line =
        trim(block.substr(pos, next - pos - (newline != std::string_view::npos)));
    pos = next;
    if (line.empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return {std::nullopt, "malformed header line", pos};
    if (!equal_ignoring_case(trim(line.substr(0, colon)), "Content-Length")) continue;
    const auto value = parse_length(trim(line.substr(colon + 1)));
    if (!value) return {std::nullopt, "invalid Content-Length value", pos};
    if (length && *length != *value)
      return {std::nullopt, "conflicting Content-Length headers", pos};
    length = value;
  }
  // A "Content-Length:" may still start inside a line: look again from the second byte.
  if (!length) return {std::nullopt, "header without Content-Length", 1};
  return {length, "", block.size()};
}

}  // namespace

void FrameReader::feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t take = std::min(bytes.size(), kChunk);
    pending_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    pending_.erase(0, process());
  }
}

std::optional<FrameEvent> FrameReader::next() {
  if (events_.empty()) return std::nullopt;
  FrameEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

std::size_t FrameReader::process() {
  std::size_t pos = 0;
  for (bool more = true; more;) {
    switch (state_) {
      case State::Body:
        more = read_body(pos);
        break;
      case State::Skip:
        more = skip_body(pos);
        break;
      case State::Seek:
        more = seek_header(pos);
        break;
      case State::Header:
        more = read_header(pos);
        break;
    }
  }
  return pos;
}

bool FrameReader::read_body(std::size_t& pos) {
  const std::size_t n = std::min(remaining_, pending_.size() - pos);
  body_.append(pending_, pos, n);
  pos += n;
  remaining_ -= n;
  if (remaining_ > 0) return false;
  events_.push_back({FrameEvent::Kind::Body, std::move(body_)});
  body_.clear();
  state_ = State::Header;
  return true;
}

bool FrameReader::skip_body(std::size_t& pos) {
  const std::size_t n = std::min(remaining_, pending_.size() - pos);
  pos += n;
  remaining_ -= n;
  if (remaining_ > 0) return false;
  state_ = State::Header;
  return true;
}

bool FrameReader::seek_header(std::size_t& pos) {
  const std::string_view rest = std::string_view(pending_).substr(pos);
  const std::size_t found = find_ignoring_case(rest, kLengthHeader);
  if (found == std::string_view::npos) {
    // Keep what could be the start of the header, cut by the end of the input.
    if (rest.size() >= kLengthHeader.size()) pos = pending_.size() - (kLengthHeader.size() - 1);
    return false;
  }
  pos += found;
  state_ = State::Header;
  header_scanned_ = 0;
  return true;
}

bool FrameReader::read_header(std::size_t& pos) {
  // Blank lines between frames are tolerated.
  while (header_scanned_ == 0 && pos < pending_.size() &&
         (pending_[pos] == '\r' || pending_[pos] == '\n')) {
    ++pos;
  }
  const std::string_view rest = std::string_view(pending_).substr(pos);
  // The block ends at the first blank line: "\n\n" or "\n\r\n".
  for (std::size_t i = header_scanned_; i < rest.size(); ++i) {
    if (rest[i] != '\n') continue;
    std::size_t end = std::string_view::npos;
    if (i + 1 < rest.size() && rest[i + 1] == '\n') end = i + 2;
    if (i + 2 < rest.size() && rest[i + 1] == '\r' && rest[i + 2] == '\n') end = i + 3;
    if (end == std::string_view::npos) {
      if (i + 2 >= rest.size()) break;  // the blank line may still come
      continue;
    }
    header_scanned_ = 0;
    pos += start_frame(rest.substr(0, end));
    return true;
  }
  header_scanned_ = rest.size() >= 2 ? rest.size() - 2 : 0;
  if (rest.size() <= kMaxHeader) return false;
  problem("header longer than " + std::to_string(kMaxHeader) + " bytes");
  header_scanned_ = 0;
  state_ = State::Seek;
  pos += 1;
  return true;
}

std::size_t FrameReader::start_frame(std::string_view block) {
  const Announced announced = announced_length(block);
  if (!announced.length) {
    problem("bad header (" + announced.why + "); skipping to the next " +
            std::string(kLengthHeader));
    state_ = State::Seek;
    return announced.resume;
  }
  remaining_ = *announced.length;
  if (remaining_ > max_body_) {
    problem("frame of " + std::to_string(remaining_) + " bytes is over the limit of " +
            std::to_string(max_body_) + "; skipped");
    state_ = State::Skip;
    return block.size();
  }
  body_.reserve(remaining_);
  state_ = State::Body;
  return block.size();
}

void FrameReader::problem(std::string text) {
  events_.push_back({FrameEvent::Kind::Problem, std::move(text)});
}

std::string frame(std::string_view body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out.append(body);
  return out;
}

}  // namespace tolu::lsp
