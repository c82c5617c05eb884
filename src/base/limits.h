// Limits shared by the stages.
#pragma once

namespace tolu {

// The deepest nesting the front end accepts. Deeper input is refused with "nesting too deep" by
// the lexer (templates inside template interpolations) or the parser (statements, expressions,
// class bodies, and the operator and suffix chains that build a tree as deep as they are long),
// so that no stage, printer, copy or destruction of the tree can run out of stack. An input
// nested 1,000 levels deep in any one construct stays within it.
inline constexpr unsigned kMaxNesting = 1024;

inline constexpr const char* kNestingTooDeep = "nesting too deep";

}  // namespace tolu
