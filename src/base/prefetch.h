// Warming the cache ahead of a walk over a tree.
//
// The arena lays nodes out in the order the parser finishes them, so the nodes of a statement
// (its expressions, its lists, its nested statements) lie in one stretch that ends with the
// statement's own node: the nodes of statement i + 1 of a list lie between the node of
// statement i and its own. A walk that asks for that stretch while it works on an earlier
// statement finds it in the cache instead of chasing its pointers through memory one miss at a
// time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolu {

// Asks for the cache line that holds `p`. GCC takes a loop whose body is only __builtin_prefetch
// for one without effect and drops it; the instruction itself, where there is one, stays.
inline void prefetch_line(const void* p) {
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
  __builtin_prefetch(p);
#endif
}

// The longest stretch asked for at once. A longer one spans two chunks of the arena, or is a
// statement so long that its start would leave the cache before the walk reached it.
constexpr std::uintptr_t kMaxPrefetch = std::uintptr_t{256} << 10;

// Asks for the cache lines of the addresses [from, to), four at a time: up to three lines past
// `to` too, which is harmless for a hint. Nothing when the stretch is empty, runs backwards or is
// longer than kMaxPrefetch.
inline void prefetch_stretch(std::uintptr_t from, std::uintptr_t to) {
  constexpr std::uintptr_t kLine = 64;
  std::uintptr_t at = from & ~(kLine - 1);
  if (to <= at || to - at > kMaxPrefetch) return;
  for (; at < to; at += 4 * kLine) {
    for (std::uintptr_t line = 0; line < 4; ++line)
      prefetch_line(reinterpret_cast<const void*>(at + line * kLine));
  }
}

// How far ahead a walk asks. A statement at the top level is often a few hundred instructions of
// work, and a miss that goes to memory costs more: the lines must be asked for that far ahead to
// arrive before the walk needs them.
constexpr std::size_t kStatementsAhead = 4;

// The addresses of the nodes of statements[i], for 0 < i < statements.size(): from the node of
// the statement before through its own.
struct Stretch {
  std::uintptr_t from;
  std::uintptr_t to;
};
template <class Statements>
Stretch stretch_of(const Statements& statements, std::size_t i) {
  const auto* node = statements[i].data();
  return {reinterpret_cast<std::uintptr_t>(statements[i - 1].data()),
          reinterpret_cast<std::uintptr_t>(node) + sizeof *node};
}

// While a walk works on statements[i]: the nodes of statements[i + kStatementsAhead].
template <class Statements>
void prefetch_statement_ahead(const Statements& statements, std::size_t i) {
  if (i + kStatementsAhead >= statements.size()) return;
  const Stretch stretch = stretch_of(statements, i + kStatementsAhead);
  prefetch_stretch(stretch.from, stretch.to);
}

// What a walk over the statements of a program asks for ahead of itself. At the top level it asks
// for the whole stretch of each statement. Inside a statement whose stretch it did not ask for
// (one too long, or one of the first few, which nothing came before to ask for), the walks over
// the nested lists of statements ask in turn.
class StatementPrefetch {
 public:
  // Before the walk works on statements[i] of the top level.
  template <class Statements>
  void top_level(const Statements& statements, std::size_t i) {
    prefetch_statement_ahead(statements, i);
    nested_ = !was_asked_for(statements, i);
  }
  // Before the walk works on statements[i] of a list inside a statement of the top level.
  template <class Statements>
  void nested(const Statements& statements, std::size_t i) const {
    if (nested_) prefetch_statement_ahead(statements, i);
  }

 private:
  template <class Statements>
  static bool was_asked_for(const Statements& statements, std::size_t i) {
    if (i < kStatementsAhead) return false;
    const Stretch stretch = stretch_of(statements, i);
    return stretch.from < stretch.to && stretch.to - stretch.from <= kMaxPrefetch;
  }

  bool nested_ = false;
};

// For a walk that reads little more than the statements' own nodes, and so spends only a few
// instructions on each: their nodes, further ahead.
template <class Statements>
void prefetch_statement_node_ahead(const Statements& statements, std::size_t i) {
  constexpr std::size_t kNodesAhead = 16;
  if (i + kNodesAhead < statements.size()) prefetch_line(statements[i + kNodesAhead].data());
}

}  // namespace tolu
