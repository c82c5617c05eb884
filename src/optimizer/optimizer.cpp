// The optimizer's driver: at most four steps over the whole program, each finished before the
// next starts: a first sweep with every pass, constant propagation and a second sweep that folds
// what propagation exposed but prunes nothing, and identifier resolution.
#include "optimizer/optimizer.h"

#include <array>
#include <string_view>

#include "base/predeclared.h"
#include "optimizer/optimizer_internal.h"

namespace tolu {
namespace {

using namespace optimizer;

void sweep(ast::Program& program, const PassSet& passes, const Builder& builder) {
  Optimizer(passes, builder).optimize_statements(program.statements);
}

void propagate_and_sweep_again(ast::Program& program, const PassSet& passes,
                               const Builder& builder) {
  {
    ConstantScopes scopes(program.storage->names.id_limit());
    propagate_constants_statements(program.statements, scopes, builder);
  }
  PassSet folding_only = passes;
  folding_only.erase(OptimizerPass::ConstantConditions);
  folding_only.erase(OptimizerPass::UnreachableCode);
  sweep(program, folding_only, builder);
}

void resolve_identifiers(ast::Program& program) {
  ResolutionScopes scopes(program.storage->names);
  for (const std::string_view name : kRuntimeNames) scopes.declare(name);
  annotate_statements(program.statements, scopes);
}

}  // namespace

void optimize_program(ast::Program& program, const PassSet& optimizations) {
  if (optimizations.empty()) return;
  const Builder builder(*program.storage);
  sweep(program, optimizations, builder);
  if (optimizations.contains(OptimizerPass::ConstantFolding)) {
    propagate_and_sweep_again(program, optimizations, builder);
  }
  if (optimizations.contains(OptimizerPass::ResolveIdentifiers)) resolve_identifiers(program);
}

}  // namespace tolu
