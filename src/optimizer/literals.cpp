// Reasoning about literal values: reading and writing number texts, truth, equality and the
// rendering of literals in string operations, and the constructors the rewrites share.
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "base/operators.h"
#include "optimizer/optimizer_internal.h"
#include "syntax_tree/operator_nodes.h"

namespace tolu::optimizer {
namespace {

using namespace ast;

// Room for every digit of the largest double and for the fixed form of the smallest.
constexpr std::size_t kNumberTextCapacity = 400;

// A text that reads as a number too large or too small to hold: its nearest value is an
// infinity or a zero, depending on whether a digit other than 0 comes before the fraction.
double out_of_range_value(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  bool large = false;
  for (char c : text.substr(negative ? 1 : 0)) {
    if (c < '0' || c > '9') break;
    if (c != '0') large = true;
  }
  const double magnitude = large ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
}

// Every digit of an integral value.
std::string integral_text(double value) {
  char buffer[kNumberTextCapacity];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
  return std::string(buffer, result.ptr);
}

// Scientific text ("-1.25e-07") in positional notation ("-0.000000125").
std::string positional(std::string_view scientific) {
  const std::size_t e = scientific.find('e');
  std::string_view mantissa = scientific.substr(0, e);
  int exponent = 0;
  std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'),
                  scientific.data() + scientific.size(), exponent);
  std::string sign;
  if (mantissa.front() == '-') {
    sign = "-";
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits += c;
  }
  // The decimal point goes after this many digits.
  const long point = 1L + exponent;
  const long count = static_cast<long>(digits.size());
  if (point <= 0) return sign + "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  if (point >= count)
    return sign + digits + std::string(static_cast<std::size_t>(point - count), '0');
  return sign + digits.substr(0, static_cast<std::size_t>(point)) + "." +
         digits.substr(static_cast<std::size_t>(point));
}

std::optional<std::string> special_number_text(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  return std::nullopt;
}

}  // namespace

std::optional<double> read_number(std::string_view text) {
  double value = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (end != last || text.empty()) return std::nullopt;
  if (error == std::errc::result_out_of_range) return out_of_range_value(text);
  if (error != std::errc()) return std::nullopt;
  return value;
}

std::string number_text(double value) {
  if (auto special = special_number_text(value)) return *special;
  // Integral values with every digit of the exact value, fractions in their shortest form.
  if (value - std::trunc(value) == 0) return integral_text(value);
  return shortest_number_text(value);
}

std::string shortest_number_text(double value) {
  if (auto special = special_number_text(value)) return *special;
  // The fewest significant digits that read back, then without the exponent.
  char buffer[kNumberTextCapacity];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  return positional(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

std::optional<double> literal_number(const Expression& expression) {
  const auto* number = expression.as<NumberLiteral>();
  return number ? read_number(number->text) : std::nullopt;
}

Truth literal_truth(const Expression& expression) {
  if (expression.is<NumberLiteral>()) {
    const std::optional<double> value = literal_number(expression);
    if (!value) return std::nullopt;
    return *value != 0;  // a NaN is true
  }
  if (const auto* string = expression.as<StringLiteral>()) return !string->value.empty();
  if (const auto* boolean = expression.as<BooleanLiteral>()) return boolean->value;
  if (expression.is<NullLiteral>()) return false;
  return std::nullopt;
}

Truth literal_eq(const Expression& left, const Expression& right) {
  if (left.is<NumberLiteral>() && right.is<NumberLiteral>()) {
    const std::optional<double> a = literal_number(left);
    const std::optional<double> b = literal_number(right);
    if (!a || !b) return std::nullopt;
    return *a == *b;
  }
  if (const auto* a = left.as<StringLiteral>()) {
    if (const auto* b = right.as<StringLiteral>()) return a->value == b->value;
  }
  if (const auto* a = left.as<BooleanLiteral>()) {
    if (const auto* b = right.as<BooleanLiteral>()) return a->value == b->value;
  }
  if (left.is<NullLiteral>() && right.is<NullLiteral>()) return true;
  return std::nullopt;
}

std::optional<std::string_view> literal_render(const Expression& expression) {
  if (const auto* number = expression.as<NumberLiteral>()) return number->text;
  if (const auto* string = expression.as<StringLiteral>()) return string->value;
  if (const auto* boolean = expression.as<BooleanLiteral>()) {
    return boolean->value ? "true" : "false";
  }
  if (expression.is<NullLiteral>()) return std::string_view();
  return std::nullopt;
}

Expression number_literal(Line line, const SourceFile& source_file, const TypeName& inferred_type,
                          double value, const Builder& builder) {
  return builder.expression(NumberLiteral{builder.text(number_text(value))}, line, source_file,
                            inferred_type);
}

Expression binary_expression(Line line, const SourceFile& source_file, std::string_view op,
                             Expression left, Expression right, const Builder& builder) {
  BinaryExpression node;
  set_operator(node, op, builder.storage());
  node.left = std::move(left);
  node.right = std::move(right);
  return builder.expression(std::move(node), line, source_file);
}

std::string_view preferred_operator(std::string_view op) {
  return canonical_operator(op);
}

}  // namespace tolu::optimizer
