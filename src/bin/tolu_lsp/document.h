// An open document: its text and version, the protocol's edits applied to it, and the log that
// maps character offsets of an earlier text (the last one analysed without error) to the current
// text and back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bin/tolu_lsp/positions.h"

namespace tolu::lsp {

// One entry of a didChange's contentChanges: the text replacing `range`, or the whole text.
struct ContentChange {
  std::optional<Range> range;
  std::string text;
};

// An edit in character offsets: [start, old_end) of the text before it became [start, new_end).
struct Edit {
  std::uint32_t start = 0;
  std::uint32_t old_end = 0;
  std::uint32_t new_end = 0;
};

// The edits made since some earlier text, in order. Offsets map forward (earlier text to current)
// and back; an offset strictly inside a replaced region maps to nothing. The log keeps at most
// kMaxEdits entries: beyond that it merges them into one edit covering every change, which maps
// less but stays small.
class EditLog {
 public:
  static constexpr std::size_t kMaxEdits = 1024;

  // `edit` applies to a text of `length_before` characters.
  void record(Edit edit, std::uint32_t length_before);
  void clear();
  bool empty() const { return edits_.empty(); }
  const std::vector<Edit>& edits() const { return edits_; }

  // The offset in the current text of `offset` in the earlier one. At a pure insertion, an offset
  // that `after` is true for lands after the inserted text, otherwise before it.
  std::optional<std::uint32_t> forward(std::uint32_t offset, bool after = false) const;
  std::optional<std::uint32_t> back(std::uint32_t offset) const;
  // A span [start, end) of the earlier text in the current one; nothing when an edit changed
  // text inside it.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> forward_span(std::uint32_t start,
                                                                      std::uint32_t end) const;

 private:
  std::vector<Edit> edits_;
  // Characters of the earlier text kept unchanged at its start and at its end, and its length.
  bool recorded_ = false;
  std::uint32_t unchanged_prefix_ = 0;
  std::uint32_t unchanged_suffix_ = 0;
  std::uint32_t first_length_ = 0;
  std::uint32_t length_ = 0;  // of the current text
};

class Document {
 public:
  // Documents longer than this are refused: positions are 32-bit and memory is bounded.
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;
  // Each change of a list but the last rereads the whole text; a list whose changes times the
  // text's length pass this is refused rather than let one message take minutes.
  static constexpr std::size_t kMaxWork = std::size_t{1} << 31;

  Document(std::string text, std::int64_t version);

  const std::string& text() const { return *text_; }
  std::int64_t version() const { return version_; }
  const LineIndex& lines() const { return lines_; }

  // Applies the changes in order (a range in `encoding`, clamped, its ends in either order) and
  // adds their edits to `log`. False when a change would make the text longer than kMaxBytes
  // or the list is too much work (kMaxWork): the document is then no longer the client's.
  bool apply(const std::vector<ContentChange>& changes, std::int64_t version, Encoding encoding,
             EditLog& log);

 private:
  // The text lives on the heap so that a LineIndex viewing it survives moves of the Document.
  std::unique_ptr<std::string> text_;
  std::int64_t version_;
  LineIndex lines_;
};

}  // namespace tolu::lsp
