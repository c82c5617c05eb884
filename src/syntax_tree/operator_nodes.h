// Operator nodes keep the operator as written and the operator it names; a pass that rewrites
// an operator sets both.
#pragma once

#include <string>
#include <string_view>

#include "base/operators.h"
#include "tolu/syntax_tree.h"

namespace tolu::ast {

// Sets an operator node's spelling, interned in the tree's storage, and the operator that
// spelling names.
template <class OperatorNode>
void set_operator(OperatorNode& node, std::string_view spelling, Storage& storage) {
  const OperatorSpelling* found = find_operator(spelling);
  node.op = storage.names.intern(spelling);
  node.op_id = found ? found->id : OperatorId::None;
}

}  // namespace tolu::ast
