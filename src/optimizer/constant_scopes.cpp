// The constant scopes, and the literals that constants come from and go back into.
#include "optimizer/constant_scopes.h"

#include <cassert>

namespace tolu::optimizer {

using namespace ast;

std::optional<Constant> constant_of(const Expression& expression) {
  if (const auto* number = expression.as<NumberLiteral>()) {
    return Constant{Constant::Kind::Number, number->text, false};
  }
  if (const auto* string = expression.as<StringLiteral>()) {
    return Constant{Constant::Kind::String, string->value, false};
  }
  if (const auto* boolean = expression.as<BooleanLiteral>()) {
    return Constant{Constant::Kind::Boolean, {}, boolean->value};
  }
  if (expression.is<NullLiteral>()) return Constant{Constant::Kind::Null, {}, false};
  return std::nullopt;
}

Expression constant_for_use(const Constant& constant, const Expression& identifier,
                            const Builder& builder) {
  const auto make = [&](auto literal) {
    return builder.expression(std::move(literal), identifier.line(), identifier.span(),
                              identifier.source_file(), identifier.inferred_type());
  };
  // The text stays where the literal that made the constant put it: the arena keeps it.
  switch (constant.kind) {
    case Constant::Kind::Number:
      return make(NumberLiteral{constant.text});
    case Constant::Kind::String:
      return make(StringLiteral{constant.text});
    case Constant::Kind::Boolean:
      return make(BooleanLiteral{constant.truth});
    case Constant::Kind::Null:
      break;
  }
  return make(NullLiteral{});
}

ConstantScopes::ConstantScopes(std::size_t name_limit) : latest_(name_limit, kNone) {
  push_scope();
}

void ConstantScopes::push_scope() {
  scope_starts_.push_back(static_cast<std::uint32_t>(bindings_.size()));
}

void ConstantScopes::pop_scope() {
  const std::uint32_t start = scope_starts_.back();
  scope_starts_.pop_back();
  // Newest first, so that a name's older entries in the map are restored after its newer ones.
  for (std::size_t i = bindings_.size(); i > start; --i) {
    const Binding& binding = bindings_[i - 1];
    // A name forgotten since it was recorded stays forgotten.
    if (latest(binding.name) == i - 1) set_latest(binding.name, binding.shadowed);
  }
  bindings_.resize(start);
  // What remains below the floor stays emptied; what comes next counts again.
  if (floor_ > start) floor_ = start;
}

const Constant* ConstantScopes::lookup_constant(Name name) const {
  const std::uint32_t index = latest(name.id());
  // An entry shadows only older ones, so when the newest is emptied all of them are.
  if (index == kNone || index < floor_) return nullptr;
  return &bindings_[index].constant;
}

void ConstantScopes::record_constant(Name name, const Constant& constant) {
  if (scope_starts_.empty()) return;
  const std::uint32_t id = name.id();
  const auto index = static_cast<std::uint32_t>(bindings_.size());
  // An entry of the name in the innermost map is shadowed rather than replaced; both go when
  // the map is popped.
  bindings_.push_back(Binding{constant, id, latest(id)});
  set_latest(id, index);
}

void ConstantScopes::forget_constant(Name name) {
  if (latest(name.id()) != kNone) set_latest(name.id(), kNone);
}

void ConstantScopes::forget_all_constants() {
  floor_ = static_cast<std::uint32_t>(bindings_.size());
}

void ConstantScopes::forget_assigned(const AssignedNames& assigned) {
  if (assigned.everything) {
    forget_all_constants();
    return;
  }
  for (Name name : assigned.names) forget_constant(name);
}

void ConstantScopes::set_latest(std::uint32_t name, std::uint32_t binding) {
  if (name >= latest_.size()) latest_.resize(std::size_t{name} + 1, kNone);
  if (open_copies_ > 0) changes_.push_back(Change{name, latest_[name]});
  latest_[name] = binding;
}

ConstantScopes::Copy::Copy(ConstantScopes& scopes, Start start)
    : scopes_(scopes),
      changes_(scopes.changes_.size()),
      bindings_(scopes.bindings_.size()),
      depth_(scopes.depth()),
      floor_(scopes.floor_) {
  ++scopes_.open_copies_;
  if (start == OwnStack) {
    // Empty maps hide what the stack held, and lookups, recordings and forgettings then act
    // on them as on a stack of one map.
    scopes_.forget_all_constants();
    scopes_.push_scope();
  }
}

ConstantScopes::Copy::~Copy() {
  auto& changes = scopes_.changes_;
  while (changes.size() > changes_) {
    scopes_.latest_[changes.back().name] = changes.back().latest;
    changes.pop_back();
  }
  // Maps pushed on the copy go with it; the ones below were never popped.
  assert(scopes_.depth() >= depth_ && scopes_.bindings_.size() >= bindings_);
  scopes_.scope_starts_.resize(depth_);
  scopes_.bindings_.resize(bindings_);
  scopes_.floor_ = floor_;
  --scopes_.open_copies_;
}

}  // namespace tolu::optimizer
