// describe(node, f) calls f(name, value) for each field of a node type, under the data model's
// field names, in the data model's order. The printers are written once against it; a node
// type without a describe() overload fails to compile wherever it is printed.
//
// The tagged unions (Expression, Statement, DictKey, CallArgument, TemplatePart, ClassMember)
// are not described here: the printers visit their alternatives and add the common fields.
#pragma once

#include "tolu/syntax_tree.h"

namespace tolu::ast {

// clang-format off
template <class F> void describe(const Program& n, F&& f) { f("statements", n.statements); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const BlockStatement& n, F&& f) { f("statements", n.statements); f("source_file", n.source_file); f("line", n.line); f("needs_lexical_scope", n.needs_lexical_scope); }
template <class F> void describe(const Parameter& n, F&& f) { f("name", n.name); f("type_annotation", n.type_annotation); f("default_value", n.default_value); f("is_optional", n.is_optional); f("is_variadic", n.is_variadic); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const CatchBinding& n, F&& f) { f("name", n.name); f("type_name", n.type_name); f("source_file", n.source_file); }
template <class F> void describe(const CatchClause& n, F&& f) { f("binding", n.binding); f("body", n.body); f("source_file", n.source_file); f("line", n.line); }

template <class F> void describe(const NameKey& n, F&& f) { f("name", n.name); }
template <class F> void describe(const StringKey& n, F&& f) { f("value", n.value); }
template <class F> void describe(const ExpressionKey& n, F&& f) { f("expression", n.expression); }
template <class F> void describe(const Text& n, F&& f) { f("text", n.text); }
template <class F> void describe(const Interpolation& n, F&& f) { f("expression", n.expression); }
template <class F> void describe(const Named& n, F&& f) { f("key", n.key); }
template <class F> void describe(const Positional&, F&&) {}
template <class F> void describe(const Spread&, F&&) {}
template <class F> void describe(const DictEntry& n, F&& f) { f("key", n.key); f("value", n.value); f("line", n.line); f("source_file", n.source_file); }

template <class F> void describe(const Identifier& n, F&& f) { f("name", n.name); f("resolved_depth", n.resolved_depth); }
template <class F> void describe(const NumberLiteral& n, F&& f) { f("text", n.text); }
template <class F> void describe(const StringLiteral& n, F&& f) { f("value", n.value); }
template <class F> void describe(const BinaryStringLiteral& n, F&& f) { f("bytes", n.bytes); }
template <class F> void describe(const RegexLiteral& n, F&& f) { f("pattern", n.pattern); f("parts", n.parts); f("flags", n.flags); f("cache_key", n.cache_key); }
template <class F> void describe(const BooleanLiteral& n, F&& f) { f("value", n.value); }
template <class F> void describe(const NullLiteral&, F&&) {}
template <class F> void describe(const ArrayLiteral& n, F&& f) { f("elements", n.elements); f("capacity_hint", n.capacity_hint); }
template <class F> void describe(const SetLiteral& n, F&& f) { f("elements", n.elements); f("capacity_hint", n.capacity_hint); }
template <class F> void describe(const BagLiteral& n, F&& f) { f("elements", n.elements); f("capacity_hint", n.capacity_hint); }
template <class F> void describe(const DictLiteral& n, F&& f) { f("entries", n.entries); f("capacity_hint", n.capacity_hint); }
template <class F> void describe(const PairListLiteral& n, F&& f) { f("entries", n.entries); f("capacity_hint", n.capacity_hint); }
template <class F> void describe(const TemplateLiteral& n, F&& f) { f("parts", n.parts); }
template <class F> void describe(const UnaryExpression& n, F&& f) { f("operator", n.op); f("traits", n.traits); f("operand", n.operand); }
template <class F> void describe(const BinaryExpression& n, F&& f) { f("operator", n.op); f("left", n.left); f("right", n.right); }
template <class F> void describe(const TernaryExpression& n, F&& f) { f("condition", n.condition); f("then_branch", n.then_branch); f("else_branch", n.else_branch); }
template <class F> void describe(const FallbackExpression& n, F&& f) { f("left", n.left); f("right", n.right); }
template <class F> void describe(const AssignmentExpression& n, F&& f) { f("operator", n.op); f("target", n.target); f("value", n.value); f("is_weak", n.is_weak); f("needs_type_check", n.needs_type_check); }
template <class F> void describe(const CallExpression& n, F&& f) { f("callee", n.callee); f("arguments", n.arguments); }
template <class F> void describe(const MemberExpression& n, F&& f) { f("object", n.object); f("name", n.name); }
template <class F> void describe(const DynamicMemberCall& n, F&& f) { f("object", n.object); f("member", n.member); f("arguments", n.arguments); }
template <class F> void describe(const IndexExpression& n, F&& f) { f("object", n.object); f("index", n.index); }
template <class F> void describe(const SliceExpression& n, F&& f) { f("object", n.object); f("start", n.start); f("end", n.end); }
template <class F> void describe(const DictAccessExpression& n, F&& f) { f("object", n.object); f("key", n.key); }
template <class F> void describe(const PostfixExpression& n, F&& f) { f("operator", n.op); f("operand", n.operand); }
template <class F> void describe(const LambdaExpression& n, F&& f) { f("parameters", n.parameters); f("body", n.body); f("is_async", n.is_async); }
template <class F> void describe(const FunctionExpression& n, F&& f) { f("parameters", n.parameters); f("return_type", n.return_type); f("body", n.body); f("is_async", n.is_async); }
template <class F> void describe(const DeclarationExpression& n, F&& f) { f("kind", n.kind); f("name", n.name); f("type_annotation", n.type_annotation); f("initializer", n.initializer); f("is_weak", n.is_weak); f("needs_type_check", n.needs_type_check); }
template <class F> void describe(const TryExpression& n, F&& f) { f("body", n.body); f("catches", n.catches); }
template <class F> void describe(const DoExpression& n, F&& f) { f("body", n.body); }
template <class F> void describe(const AwaitExpression& n, F&& f) { f("body", n.body); }
template <class F> void describe(const SpawnExpression& n, F&& f) { f("body", n.body); }
template <class F> void describe(const SuperCallExpression& n, F&& f) { f("arguments", n.arguments); }

template <class F> void describe(const FieldDeclaration& n, F&& f) { f("kind", n.kind); f("name", n.name); f("type_annotation", n.type_annotation); f("accessors", n.accessors); f("initializer", n.initializer); f("is_weak", n.is_weak); f("needs_type_check", n.needs_type_check); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const MethodDeclaration& n, F&& f) { f("name", n.name); f("parameters", n.parameters); f("return_type", n.return_type); f("body", n.body); f("is_static", n.is_static); f("is_async", n.is_async); f("is_forward", n.is_forward); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const ClassDeclaration& n, F&& f) { f("name", n.name); f("base_class", n.base_class); f("traits", n.traits); f("members", n.members); f("is_forward", n.is_forward); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const TraitDeclaration& n, F&& f) { f("name", n.name); f("members", n.members); f("is_forward", n.is_forward); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Field& n, F&& f) { f("declaration", n.declaration); }
template <class F> void describe(const Method& n, F&& f) { f("declaration", n.declaration); }
template <class F> void describe(const NestedClass& n, F&& f) { f("declaration", n.declaration); }
template <class F> void describe(const NestedTrait& n, F&& f) { f("declaration", n.declaration); }
template <class F> void describe(const SwitchCase& n, F&& f) { f("values", n.values); f("body", n.body); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const SwitchIndexEntry& n, F&& f) { f("key", n.key); f("case_index", n.case_index); }
template <class F> void describe(const DeclarationBindingEntry& n, F&& f) { f("key", n.key); f("name", n.name); f("type_annotation", n.type_annotation); f("default_value", n.default_value); f("is_weak", n.is_weak); f("needs_type_check", n.needs_type_check); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const DeclarationBindingPattern& n, F&& f) { f("entries", n.entries); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const ImportSpecifier& n, F&& f) { f("name", n.name); f("local_name", n.local_name); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const PostfixCondition& n, F&& f) { f("keyword", n.keyword); f("condition", n.condition); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const PostfixConditionalStatement& n, F&& f) { f("keyword", n.keyword); f("condition", n.condition); f("statement", n.statement); f("source_file", n.source_file); f("line", n.line); }

template <class F> void describe(const Block& n, F&& f) { f("block", n.block); }
template <class F> void describe(const VariableDeclaration& n, F&& f) { f("kind", n.kind); f("name", n.name); f("type_annotation", n.type_annotation); f("initializer", n.initializer); f("is_weak", n.is_weak); f("needs_type_check", n.needs_type_check); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const DestructuringDeclaration& n, F&& f) { f("kind", n.kind); f("pattern", n.pattern); f("initializer", n.initializer); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const FunctionDeclaration& n, F&& f) { f("name", n.name); f("parameters", n.parameters); f("return_type", n.return_type); f("body", n.body); f("is_async", n.is_async); f("is_forward", n.is_forward); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Class& n, F&& f) { f("declaration", n.declaration); }
template <class F> void describe(const Trait& n, F&& f) { f("declaration", n.declaration); }
template <class F> void describe(const Import& n, F&& f) { f("module_path", n.module_path); f("specifiers", n.specifiers); f("is_try", n.is_try); f("imports_all", n.imports_all); f("condition", n.condition); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const If& n, F&& f) { f("condition", n.condition); f("then_block", n.then_block); f("else_branch", n.else_branch); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const While& n, F&& f) { f("condition", n.condition); f("body", n.body); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const For& n, F&& f) { f("variable", n.variable); f("binding_kind", n.binding_kind); f("iterable", n.iterable); f("body", n.body); f("else_block", n.else_block); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Switch& n, F&& f) { f("discriminant", n.discriminant); f("comparator", n.comparator); f("cases", n.cases); f("default_body", n.default_body); f("case_index", n.case_index); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Try& n, F&& f) { f("body", n.body); f("catches", n.catches); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Return& n, F&& f) { f("value", n.value); f("needs_type_check", n.needs_type_check); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const LoopControl& n, F&& f) { f("keyword", n.keyword); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Throw& n, F&& f) { f("value", n.value); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const Die& n, F&& f) { f("value", n.value); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const PostfixConditional& n, F&& f) { f("statement", n.statement); }
template <class F> void describe(const Output& n, F&& f) { f("keyword", n.keyword); f("arguments", n.arguments); f("source_file", n.source_file); f("line", n.line); }
template <class F> void describe(const ExpressionStatement& n, F&& f) { f("expression", n.expression); f("source_file", n.source_file); f("line", n.line); }
// clang-format on

}  // namespace tolu::ast
