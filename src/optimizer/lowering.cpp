// Range-array loops lowered to counting loops, and pipeline chains to nested calls through the
// placeholder "^^". Not written yet: nothing is lowered.
#include "optimizer/optimizer_internal.h"
#include "tolu/clone.h"

namespace tolu::optimizer {

std::optional<Statement> lower_range_array_loop(const Statement&, const Builder&) {
  return std::nullopt;
}

Statement variable_statement(Line line, const SourceFile& source_file, std::string_view kind,
                             std::string_view name, std::optional<Expression> initializer,
                             const Builder& builder) {
  ast::VariableDeclaration node;
  node.kind = builder.name(kind);
  node.name = builder.name(name);
  node.initializer = std::move(initializer);
  node.source_file = source_file;
  node.line = line;
  return builder.statement(std::move(node));
}

void collect_statement_identifiers(const Statement&, NameSet&) {}
void collect_expression_identifiers(const Expression&, NameSet&) {}
void collect_class_member_identifiers(const ClassMember&, NameSet&) {}

bool collect_chain_parts(const Expression&, ChainDirection, std::optional<Expression>&,
                         std::vector<Expression>&, const Builder&) {
  return false;
}

void collect_here_usage(const Expression&, bool, HereUsage& usage) {
  usage.unsupported = true;
}

bool statement_contains_here(const Statement&) {
  return false;
}

Expression substitute_here(const Expression& expression, const Expression&,
                           const Builder& builder) {
  return clone(expression, builder);
}

CallArgument substitute_call_argument(const CallArgument& argument, const Expression&,
                                      const Builder& builder) {
  return clone(argument, builder);
}

}  // namespace tolu::optimizer
