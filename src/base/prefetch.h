// Warming the cache ahead of a walk over a tree.
//
// The arena lays nodes out in the order the parser finishes them, so the nodes of a statement
// (its expressions, its lists, its nested statements) lie in one stretch that ends with the
// statement's own node: the nodes of statement i + 1 of a list lie between the node of
// statement i and its own. A walk that asks for that stretch while it works on statement i finds
// the next one in the cache instead of chasing its pointers through memory one miss at a time.
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

// Asks for the cache lines of the addresses [from, to), four at a time: up to three lines past
// `to` too, which is harmless for a hint. Nothing when the stretch is empty, runs backwards or is
// longer than `kMaxPrefetch` (the nodes then span two chunks of the arena, or the statement is so
// long that its start would leave the cache before the walk reaches it).
inline void prefetch_stretch(std::uintptr_t from, std::uintptr_t to) {
  constexpr std::uintptr_t kLine = 64;
  constexpr std::uintptr_t kMaxPrefetch = std::uintptr_t{256} << 10;
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

// While a walk works on statements[i]: the nodes of statements[i + kStatementsAhead], its own
// node included.
template <class Statements>
void prefetch_statement_ahead(const Statements& statements, std::size_t i) {
  const std::size_t ahead = i + kStatementsAhead;
  if (ahead >= statements.size()) return;
  const auto* node = statements[ahead].data();
  prefetch_stretch(reinterpret_cast<std::uintptr_t>(statements[ahead - 1].data()),
                   reinterpret_cast<std::uintptr_t>(node) + sizeof *node);
}

// For a walk that reads little more than the statements' own nodes, and so spends only a few
// instructions on each: their nodes, further ahead.
template <class Statements>
void prefetch_statement_node_ahead(const Statements& statements, std::size_t i) {
  constexpr std::size_t kNodesAhead = 16;
  if (i + kNodesAhead < statements.size()) prefetch_line(statements[i + kNodesAhead].data());
}

}  // namespace tolu
