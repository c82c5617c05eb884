// Folding ranges: multi-line blocks, class and trait bodies, collection literals, runs of
// comment lines and runs of imports.
#include <map>

#include "base/unicode.h"
#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"

namespace tolu::lsp {
namespace {

using namespace ast;

// The comments in the gaps between tokens, as runs of lines.
struct Comment {
  std::uint32_t first_line;
  std::uint32_t last_line;
  bool owns_first_line;  // nothing but blanks before it on its first line
};

// Reads the text between tokens: blanks, comments, documentation blocks (from a line starting
// "=" and a letter through the line starting "=cut") and a first-line interpreter line.
class CommentScanner {
 public:
  explicit CommentScanner(std::string_view text) : text_(text) {}

  std::vector<Comment> scan(const TokenVector& tokens) {
    std::size_t next = 0;  // the first token not yet passed
    const auto& all = tokens.tokens;
    while (pos_ < text_.size()) {
      while (next < all.size() && all[next].end <= offset_ && all[next].kind != TokenKind::Eof)
        ++next;
      if (next < all.size() && all[next].start <= offset_ && offset_ < all[next].end) {
        skip_to(all[next].end);
        continue;
      }
      scan_gap();
    }
    return std::move(comments_);
  }

 private:
  char32_t peek(std::size_t ahead = 0) const {
    std::size_t p = pos_;
    char32_t c = kEndOfInput;
    for (std::size_t i = 0; i <= ahead; ++i) {
      if (p >= text_.size()) return kEndOfInput;
      c = decode_utf8(text_, p);
    }
    return c;
  }

  void advance() {
    const char32_t c = decode_utf8(text_, pos_);
    ++offset_;
    if (c == U'\n') {
      ++line_;
      line_has_text_ = false;
    }
  }

  void skip_to(std::uint32_t offset) {
    line_has_text_ = true;
    while (pos_ < text_.size() && offset_ < offset) advance();
  }

  static bool is_ascii_letter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
  }

  bool at_line_start() const { return pos_ == 0 || text_[pos_ - 1] == '\n'; }

  void scan_gap() {
    const char32_t c = peek();
    if (c == U'/' && peek(1) == U'/') return comment([&] { return peek() != U'\n'; });
    if (c == U'/' && peek(1) == U'*') return block_comment();
    if (c == U'#' && pos_ == 0) return comment([&] { return peek() != U'\n'; });
    if (c == U'=' && at_line_start() && is_ascii_letter(peek(1))) return documentation();
    if (c != U' ' && c != U'\t' && c != U'\r' && c != U'\n') line_has_text_ = true;
    advance();
  }

  template <class Inside>
  void comment(Inside inside) {
    Comment comment{line_, line_, !line_has_text_};
    while (pos_ < text_.size() && inside()) advance();
    comment.last_line = line_;
    comments_.push_back(comment);
    line_has_text_ = true;
  }

  void block_comment() {
    Comment comment{line_, line_, !line_has_text_};
    advance();
    advance();
    while (pos_ < text_.size() && !(peek() == U'*' && peek(1) == U'/')) advance();
    if (pos_ < text_.size()) {
      advance();
      advance();
    }
    comment.last_line = line_;
    comments_.push_back(comment);
    line_has_text_ = true;
  }

  void documentation() {
    Comment comment{line_, line_, true};
    std::uint32_t last = line_;
    while (pos_ < text_.size()) {
      if (at_line_start() && text_.substr(pos_).starts_with("=cut") &&
          line_ != comment.first_line) {
        last = line_;
        while (pos_ < text_.size() && peek() != U'\n') advance();
        break;
      }
      last = line_;
      advance();
    }
    comment.last_line = last;
    comments_.push_back(comment);
    line_has_text_ = true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::uint32_t offset_ = 0;
  std::uint32_t line_ = 0;
  bool line_has_text_ = false;
  std::vector<Comment> comments_;
};

// Folds of the tree, keyed by first line: the largest fold starting on a line wins.
class TreeFolds {
 public:
  explicit TreeFolds(const detail::LineIndex& lines) : lines_(lines) {}

  template <class Node>
  bool operator()(const Node& node, Span span) {
    if constexpr (std::is_same_v<Node, BlockStatement> || std::is_same_v<Node, ClassDeclaration> ||
                  std::is_same_v<Node, TraitDeclaration> || std::is_same_v<Node, SwitchCase>) {
      bracketed(span);
    } else if constexpr (std::is_same_v<Node, Expression>) {
      if (node.template is<ArrayLiteral>() || node.template is<SetLiteral>() ||
          node.template is<BagLiteral>() || node.template is<DictLiteral>() ||
          node.template is<PairListLiteral>() || node.template is<CallExpression>() ||
          node.template is<TemplateLiteral>())
        bracketed(span);
    } else if constexpr (std::is_same_v<Node, Statement>) {
      if (node.template is<Switch>()) bracketed(span);
    }
    return true;
  }

  void add(std::uint32_t first, std::uint32_t last, std::string kind) {
    if (last <= first) return;
    auto [it, inserted] = folds_.try_emplace(first, Fold{first, last, kind});
    if (!inserted && it->second.end_line < last) it->second = Fold{first, last, std::move(kind)};
  }

  std::vector<Fold> folds() const {
    std::vector<Fold> out;
    for (const auto& [line, fold] : folds_) out.push_back(fold);
    return out;
  }

 private:
  // A node that ends with its closing bracket: the fold keeps the bracket's line in sight.
  void bracketed(Span span) {
    if (detail::is_empty(span)) return;
    const std::uint32_t closing = lines_.line_of(span.end - 1);
    if (closing > 0) add(lines_.line_of(span.start), closing - 1, "");
  }

  const detail::LineIndex& lines_;
  std::map<std::uint32_t, Fold> folds_;
};

void add_comment_folds(const std::vector<Comment>& comments, TreeFolds& folds) {
  for (std::size_t i = 0; i < comments.size();) {
    Comment run = comments[i++];
    // Line comments on consecutive lines of their own make one run.
    while (run.owns_first_line && i < comments.size() && comments[i].owns_first_line &&
           comments[i].first_line == run.last_line + 1) {
      run.last_line = comments[i++].last_line;
    }
    folds.add(run.first_line, run.last_line, "comment");
  }
}

// Runs of import statements, in any statement list.
class ImportRuns {
 public:
  ImportRuns(const detail::LineIndex& lines, TreeFolds& folds) : lines_(lines), folds_(folds) {}

  template <class Node>
  bool operator()(const Node& node, Span) {
    if constexpr (std::is_same_v<Node, BlockStatement>) statements(node.statements);
    return true;
  }

  void statements(const List<Statement>& list) {
    std::optional<Span> run;
    for (const Statement& s : list) {
      if (s.is<Import>() && !detail::is_empty(s.span())) {
        run = run ? Span{run->start, s.span().end} : s.span();
        continue;
      }
      close(run);
    }
    close(run);
  }

 private:
  void close(std::optional<Span>& run) {
    if (run) folds_.add(lines_.line_of(run->start), lines_.line_of(run->end - 1), "imports");
    run.reset();
  }

  const detail::LineIndex& lines_;
  TreeFolds& folds_;
};

}  // namespace

std::vector<Fold> folding_ranges(const Analysis& analysis, std::string_view text) {
  const detail::LineIndex lines(text);
  TreeFolds folds(lines);
  if (analysis.program) {
    const Program& program = analysis.program.value();
    detail::walk_spans(program, folds);
    ImportRuns imports(lines, folds);
    imports.statements(program.statements);
    detail::walk_spans(program, imports);
  }
  add_comment_folds(CommentScanner(text).scan(analysis.tokens), folds);
  return folds.folds();
}

}  // namespace tolu::lsp
