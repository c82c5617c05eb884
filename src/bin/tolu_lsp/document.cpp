#include "bin/tolu_lsp/document.h"

#include <algorithm>

#include "base/unicode.h"

namespace tolu::lsp {
namespace {

std::optional<std::uint32_t> map_forward(std::uint32_t offset, const Edit& e, bool after) {
  if (offset < e.start) return offset;
  if (offset == e.start) return after && e.start == e.old_end ? e.new_end : offset;
  if (offset >= e.old_end) return offset - e.old_end + e.new_end;
  return std::nullopt;
}

}  // namespace

void EditLog::record(Edit edit, std::uint32_t length_before) {
  const std::uint32_t length_after =
      length_before - (edit.old_end - edit.start) + (edit.new_end - edit.start);
  if (!recorded_) {
    recorded_ = true;
    first_length_ = length_before;
    unchanged_prefix_ = edit.start;
    unchanged_suffix_ = length_after - edit.new_end;
  } else {
    unchanged_prefix_ = std::min(unchanged_prefix_, edit.start);
    unchanged_suffix_ = std::min(unchanged_suffix_, length_after - edit.new_end);
  }
  length_ = length_after;
  edits_.push_back(edit);
  if (edits_.size() > kMaxEdits) {
    edits_.assign(
        1, Edit{unchanged_prefix_, first_length_ - unchanged_suffix_, length_ - unchanged_suffix_});
  }
}

void EditLog::clear() {
  edits_.clear();
  recorded_ = false;
}

std::optional<std::uint32_t> EditLog::forward(std::uint32_t offset, bool after) const {
  std::optional<std::uint32_t> mapped = offset;
  for (const Edit& e : edits_) {
    mapped = map_forward(*mapped, e, after);
    if (!mapped) break;
  }
  return mapped;
}

std::optional<std::uint32_t> EditLog::back(std::uint32_t offset) const {
  for (auto e = edits_.rbegin(); e != edits_.rend(); ++e) {
    if (offset <= e->start) continue;
    if (offset < e->new_end) return std::nullopt;
    offset = offset - e->new_end + e->old_end;
  }
  return offset;
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> EditLog::forward_span(
    std::uint32_t start, std::uint32_t end) const {
  for (const Edit& e : edits_) {
    const bool insertion = e.start == e.old_end;
    const bool touches_inside =
        insertion ? start < e.start && e.start < end : e.start < end && e.old_end > start;
    if (touches_inside) return std::nullopt;
    const auto new_start = map_forward(start, e, start != end);
    const auto new_end = map_forward(end, e, false);
    if (!new_start || !new_end) return std::nullopt;
    start = *new_start;
    end = *new_end;
  }
  return std::pair{start, end};
}

Document::Document(std::string text, std::int64_t version)
    : text_(std::make_unique<std::string>(std::move(text))), version_(version), lines_(*text_) {}

bool Document::apply(const std::vector<ContentChange>& changes, std::int64_t version,
                     Encoding encoding, EditLog& log) {
  if (changes.size() > 1 && (changes.size() - 1) * text_->size() > kMaxWork) return false;
  bool fresh = true;  // whether lines_ describes the text
  bool ok = true;
  for (const ContentChange& change : changes) {
    if (!fresh) lines_ = LineIndex(*text_);
    const std::uint32_t length = lines_.character_count();
    std::uint32_t start = 0;
    std::uint32_t end = length;
    if (change.range) {
      start = lines_.offset_of(change.range->start, encoding);
      end = lines_.offset_of(change.range->end, encoding);
      if (end < start) std::swap(start, end);
    }
    const std::size_t byte_start = lines_.byte_of(start);
    const std::size_t byte_end = lines_.byte_of(end);
    if (text_->size() - (byte_end - byte_start) + change.text.size() > kMaxBytes) {
      ok = false;
      break;
    }
    text_->replace(byte_start, byte_end - byte_start, change.text);
    const auto inserted = static_cast<std::uint32_t>(count_characters(change.text));
    log.record({start, end, start + inserted}, length);
    fresh = false;
  }
  if (!fresh) lines_ = LineIndex(*text_);
  version_ = version;
  return ok;
}

}  // namespace tolu::lsp
