#include "tolu/syntax_tree.h"

namespace tolu::ast {
namespace {

// Where a statement variant keeps its position: in a record it wraps, or in its own fields.
template <class T>
const auto& position_holder(const T& s) {
  if constexpr (std::is_same_v<T, Block>) {
    return s.block;
  } else if constexpr (std::is_same_v<T, Class> || std::is_same_v<T, Trait>) {
    return s.declaration;
  } else if constexpr (std::is_same_v<T, PostfixConditional>) {
    return s.statement;
  } else {
    return s;
  }
}

}  // namespace

Line Statement::line() const {
  return visit_node([](const auto& s) { return position_holder(s).line; }, node());
}

const SourceFile& Statement::source_file() const {
  return visit_node(
      [](const auto& s) -> const SourceFile& { return position_holder(s).source_file; }, node());
}

}  // namespace tolu::ast
