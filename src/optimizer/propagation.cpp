// Constant propagation: uses of variables that hold literals are replaced by the literals.
// Not written yet: every entry point leaves the tree as it is.
#include "optimizer/optimizer_internal.h"

namespace tolu::optimizer {

void propagate_constants_statements(List<Statement>&, ConstantScopes&, const Builder&) {}
void propagate_constants_statement(Statement&, ConstantScopes&, const Builder&) {}
void propagate_constants_block(BlockStatement&, ConstantScopes&, const Builder&) {}
void propagate_constants_expression(Expression&, ConstantScopes&, bool, const Builder&) {}
void propagate_constants_class_member(ClassMember&, const Builder&) {}
void propagate_regex_replacement_pattern(Expression&, ConstantScopes&, const Builder&) {}

}  // namespace tolu::optimizer
