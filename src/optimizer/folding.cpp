// Constant folding: an operator expression, a template or a ternary whose operands are literals
// becomes the literal it evaluates to. Folding looks at one node and its direct operands; the
// walkers fold children before their parents, so nested constants collapse bottom-up. Whatever
// lacks a rule, or an operand of the kind a rule needs, stays as it is.
#include <cmath>
#include <string>

#include "base/operators.h"
#include "base/unicode.h"
#include "optimizer/optimizer_internal.h"
#include "tolu/children.h"
#include "tolu/clone.h"

namespace tolu::optimizer {
namespace {

using namespace ast;

using Folded = std::optional<Expression>;

// Makes the literals that replace one expression; each takes the expression's line, source file
// and inferred type.
class Replacement {
 public:
  Replacement(const Expression& replaced, const Builder& builder)
      : replaced_(replaced), builder_(builder) {}

  Expression number(double value) const {
    return number_literal(replaced_.line(), replaced_.source_file(), replaced_.inferred_type(),
                          value, builder_);
  }
  Expression boolean(bool value) const { return make(BooleanLiteral{value}); }
  Expression string(std::string_view value) const {
    return make(StringLiteral{builder_.text(value)});
  }

 private:
  template <class Literal>
  Expression make(Literal literal) const {
    return builder_.expression(std::move(literal), replaced_.line(), replaced_.source_file(),
                               replaced_.inferred_type());
  }

  const Expression& replaced_;
  const Builder& builder_;
};

Folded fold_template(const TemplateLiteral& node, const Replacement& make) {
  std::string joined;
  for (const TemplatePart& part : node.parts) {
    if (const auto* text = std::get_if<Text>(&part.node)) {
      joined += text->text;
    } else if (auto rendered = literal_render(std::get<Interpolation>(part.node).expression)) {
      joined += *rendered;
    } else {
      return std::nullopt;
    }
  }
  return make.string(joined);
}

// The numeric prefix operators.
std::optional<double> apply_numeric(OperatorId op, double x) {
  switch (op) {
    case OperatorId::Minus:
      return -x;
    case OperatorId::Plus:
      return x;
    case OperatorId::Sqrt:
      return std::sqrt(x);
    case OperatorId::Abs:
      return std::fabs(x);
    case OperatorId::Int:
      return std::trunc(x);
    case OperatorId::Ceil:
      return std::ceil(x);
    case OperatorId::Floor:
      return std::floor(x);
    case OperatorId::Round:
      return std::round(x);  // halves away from zero
    default:
      return std::nullopt;
  }
}

Folded fold_text_unary(OperatorId op, std::string_view text, const Replacement& make) {
  if (op == OperatorId::Length) {
    if (!is_valid_utf8(text)) return std::nullopt;
    return make.number(static_cast<double>(count_characters(text)));
  }
  const std::optional<std::string> mapped =
      op == OperatorId::Uc ? to_upper_case(text) : to_lower_case(text);
  if (!mapped) return std::nullopt;
  return make.string(*mapped);
}

Folded fold_unary(const UnaryExpression& node, const Replacement& make) {
  const Expression& x = node.operand;
  switch (node.op_id) {
    case OperatorId::Not:
      if (const Truth truth = literal_truth(x)) return make.boolean(!*truth);
      return std::nullopt;
    case OperatorId::Uc:
    case OperatorId::Lc:
    case OperatorId::Length:
      if (const auto* string = x.as<StringLiteral>()) {
        return fold_text_unary(node.op_id, string->value, make);
      }
      return std::nullopt;
    default:
      break;
  }
  const std::optional<double> value = literal_number(x);
  if (!value) return std::nullopt;
  const std::optional<double> result = apply_numeric(node.op_id, *value);
  if (!result) return std::nullopt;
  return make.number(*result);
}

std::optional<double> apply_arithmetic(OperatorId op, double a, double b) {
  switch (op) {
    case OperatorId::Plus:
      return a + b;
    case OperatorId::Minus:
      return a - b;
    case OperatorId::Multiply:
      return a * b;
    case OperatorId::Divide:
      return a / b;
    case OperatorId::Power:
      return std::pow(a, b);
    case OperatorId::Mod:
      return std::fmod(a, b);  // truncating division: the sign of a
    default:
      return std::nullopt;
  }
}

Truth apply_numeric_comparison(OperatorId op, double a, double b) {
  switch (op) {
    case OperatorId::Less:
      return a < b;
    case OperatorId::Greater:
      return a > b;
    case OperatorId::Equals:
      return a == b;
    case OperatorId::NotEquals:
      return a != b;
    case OperatorId::LessEqual:
      return a <= b;
    case OperatorId::GreaterEqual:
      return a >= b;
    default:
      return std::nullopt;
  }
}

// `order` is the sign of a three-way byte-wise comparison.
bool string_comparison_holds(OperatorId op, int order) {
  switch (op) {
    case OperatorId::Eq:
    case OperatorId::Eqi:
      return order == 0;
    case OperatorId::Ne:
    case OperatorId::Nei:
      return order != 0;
    case OperatorId::Lt:
    case OperatorId::Lti:
      return order < 0;
    case OperatorId::Gt:
    case OperatorId::Gti:
      return order > 0;
    case OperatorId::Le:
    case OperatorId::Lei:
      return order <= 0;
    default:  // Ge, Gei
      return order >= 0;
  }
}

Folded fold_numbers(const BinaryExpression& node, const Replacement& make) {
  const std::optional<double> a = literal_number(node.left);
  const std::optional<double> b = literal_number(node.right);
  if (!a || !b) return std::nullopt;
  if (const std::optional<double> result = apply_arithmetic(node.op_id, *a, *b)) {
    return make.number(*result);
  }
  if (const Truth result = apply_numeric_comparison(node.op_id, *a, *b)) {
    return make.boolean(*result);
  }
  return std::nullopt;
}

Folded fold_texts(const BinaryExpression& node, const Replacement& make) {
  const std::optional<std::string_view> a = literal_render(node.left);
  const std::optional<std::string_view> b = literal_render(node.right);
  if (!a || !b) return std::nullopt;
  const OperatorCategory category = operator_info(node.op_id).category;
  if (node.op_id == OperatorId::Concat) return make.string(std::string(*a).append(*b));
  if (category == OperatorCategory::StringComparison) {
    // string_view compares char as unsigned char: byte-wise, a proper prefix first.
    return make.boolean(string_comparison_holds(node.op_id, a->compare(*b)));
  }
  const std::optional<std::string> lower_a = to_lower_case(*a);
  const std::optional<std::string> lower_b = to_lower_case(*b);
  if (!lower_a || !lower_b) return std::nullopt;
  return make.boolean(string_comparison_holds(node.op_id, lower_a->compare(*lower_b)));
}

// The logical operators decide on the left operand alone where they can, so the right one
// need not be a literal then. They always give a boolean, never an operand.
Folded fold_logical(const BinaryExpression& node, const Replacement& make) {
  const Truth a = literal_truth(node.left);
  if (!a) return std::nullopt;
  const OperatorId op = node.op_id;
  if (op == OperatorId::And && !*a) return make.boolean(false);
  if (op == OperatorId::Or && *a) return make.boolean(true);
  if (op == OperatorId::Nand && !*a) return make.boolean(true);
  const Truth b = literal_truth(node.right);
  if (!b) return std::nullopt;
  switch (op) {
    case OperatorId::And:
    case OperatorId::Or:
      return make.boolean(*b);
    case OperatorId::Nand:
      return make.boolean(!*b);
    default:  // Xor
      return make.boolean(*a != *b);
  }
}

Folded fold_binary(const BinaryExpression& node, const Replacement& make) {
  switch (node.op_id) {
    case OperatorId::And:
    case OperatorId::Or:
    case OperatorId::Nand:
    case OperatorId::Xor:
      return fold_logical(node, make);
    case OperatorId::Identical:
    case OperatorId::NotIdentical:
      if (const Truth equal = literal_eq(node.left, node.right)) {
        return make.boolean(node.op_id == OperatorId::Identical ? *equal : !*equal);
      }
      return std::nullopt;
    default:
      break;
  }
  switch (operator_info(node.op_id).category) {
    case OperatorCategory::Arithmetic:
    case OperatorCategory::NumericComparison:
      return fold_numbers(node, make);
    case OperatorCategory::StringComparison:
    case OperatorCategory::CaseFoldedComparison:
      return fold_texts(node, make);
    case OperatorCategory::Text:
      return node.op_id == OperatorId::Concat ? fold_texts(node, make) : std::nullopt;
    default:
      return std::nullopt;
  }
}

Folded fold_ternary(const TernaryExpression& node, const Builder& builder) {
  const Truth condition = literal_truth(node.condition);
  if (!condition) return std::nullopt;
  return clone(*condition ? node.then_branch : node.else_branch, builder);
}

}  // namespace

// The literal stands where the folded expression stood, and takes its span.
std::optional<Expression> fold_expression(const Expression& expression, const Builder& builder) {
  const Replacement make(expression, builder);
  std::optional<Expression> folded = visit_node(
      Overloads{[&](const TemplateLiteral& node) { return fold_template(node, make); },
                [&](const UnaryExpression& node) { return fold_unary(node, make); },
                [&](const BinaryExpression& node) { return fold_binary(node, make); },
                [&](const TernaryExpression& node) { return fold_ternary(node, builder); },
                [](const auto&) { return Folded(); }},
      expression.node());
  if (folded) folded->set_span(expression.span());
  return folded;
}

}  // namespace tolu::optimizer
