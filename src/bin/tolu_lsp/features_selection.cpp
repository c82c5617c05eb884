// Selection ranges: the nodes around a cursor, from the innermost out to the whole text.
#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"

namespace tolu::lsp {
namespace {

using namespace ast;

// How well a span holds a cursor: 2 when the cursor stands inside it, 1 when just after it.
int grip(Span span, std::uint32_t offset) {
  if (detail::is_empty(span)) return 0;
  if (span.start <= offset && offset < span.end) return 2;
  return offset == span.end ? 1 : 0;
}

// The path of spans from the root down to the innermost node that holds the cursor. At each
// level the child the cursor stands inside wins over one it stands just after.
class PathFinder {
 public:
  explicit PathFinder(std::uint32_t offset) : offset_(offset) {}

  template <class Node>
  bool operator()(const Node&, Span span) {
    if (detail::is_empty(span)) return true;  // built by a pass: look through it
    const int g = grip(span, offset_);
    if (g == 0 || g < best_at(span)) return false;
    // A deeper node replaces whatever was chosen below the enclosing one.
    while (!path_.empty() && !detail::encloses(path_.back().span, span)) path_.pop_back();
    path_.push_back({span, g});
    return true;
  }

  std::vector<Span> chain() const {
    std::vector<Span> spans;
    for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
      if (spans.empty() || (detail::encloses(it->span, spans.back()) && it->span != spans.back()))
        spans.push_back(it->span);
    }
    return spans;
  }

 private:
  struct Step {
    Span span;
    int grip;
  };

  // The grip of a sibling already chosen at the level of `span`, if it is one.
  int best_at(Span span) const {
    if (path_.empty()) return 0;
    const Step& last = path_.back();
    if (detail::encloses(last.span, span)) return 0;
    return last.grip;
  }

  std::uint32_t offset_;
  std::vector<Step> path_;
};

}  // namespace

std::vector<Span> selection_chain(const Analysis& analysis, std::uint32_t offset) {
  const Span whole{0, analysis.tokens.tokens.empty() ? 0 : analysis.tokens.tokens.back().start};
  std::vector<Span> chain;
  if (analysis.program) {
    PathFinder finder(offset);
    detail::walk_spans(analysis.program.value(), finder);
    chain = finder.chain();
  }
  if (chain.empty() || (detail::encloses(whole, chain.back()) && whole != chain.back()))
    chain.push_back(whole);
  return chain;
}

}  // namespace tolu::lsp
