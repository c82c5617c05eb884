// The tree as a readable outline: one node a line, indented by depth. A line names the node
// (after the field that holds it), its scalar fields as name=value, and for an expression its
// inferred type. Absent optionals, empty lists and an absent source file are left out.
#include "tolu/fields.h"
#include "tolu/printers.h"

namespace tolu::ast {
namespace {

template <class T>
concept Record = requires {
  T::kName;
};

template <class T>
struct IsScalar : std::false_type {};
template <>
struct IsScalar<Name> : std::true_type {};
template <>
struct IsScalar<std::string_view> : std::true_type {};
template <>
struct IsScalar<CompactText> : std::true_type {};
template <>
struct IsScalar<bool> : std::true_type {};
template <>
struct IsScalar<std::uint32_t> : std::true_type {};
template <>
struct IsScalar<std::uint64_t> : std::true_type {};
template <>
struct IsScalar<TypeCheck> : std::true_type {};
template <>
struct IsScalar<List<Name>> : std::true_type {};
template <>
struct IsScalar<List<std::uint8_t>> : std::true_type {};
template <class T>
struct IsScalar<std::optional<T>> : IsScalar<T> {};
template <class T>
struct IsScalar<Optional<T>> : IsScalar<T> {};
template <class Packed>
struct IsScalar<CompactOptional<Packed>> : std::true_type {};

class Outline {
 public:
  std::string take() { return std::move(out_); }

  // The variant of a tagged union: Expression and Statement reach it through node().
  template <class T>
  static const auto& alternatives(const T& value) {
    if constexpr (requires { value.node(); }) {
      return value.node();
    } else {
      return value.node;
    }
  }

  template <class T>
  void node(const std::string& label, const T& value) {
    if constexpr (std::is_same_v<T, Expression>) {
      visit_node([&](const auto& alternative) { expression_line(label, alternative, value); },
                 value.node());
    } else if constexpr (std::is_same_v<T, Statement> || std::is_same_v<T, ClassMember>) {
      visit_node([&](const auto& alternative) { record(label, alternative, ""); },
                 alternatives(value));
    } else if constexpr (std::is_same_v<T, DictKey> || std::is_same_v<T, TemplatePart>) {
      visit_node([&](const auto& alternative) { record(label, alternative, positions(value)); },
                 value.node);
    } else if constexpr (std::is_same_v<T, CallArgument>) {
      visit_node(
          [&](const auto& alternative) {
            record(label, alternative, positions(value));
            ++depth_;
            node("value", value.value);
            --depth_;
          },
          value.node);
    } else {
      record(label, value, "");
    }
  }

 private:
  template <class T>
  static std::string positions(const T& value) {
    std::string text = " line=" + std::to_string(value.line);
    if (value.source_file) text += " source_file=\"" + std::string(*value.source_file) + "\"";
    return text;
  }

  template <class T>
  void expression_line(const std::string& label, const T& alternative, const Expression& e) {
    std::string suffix = " line=" + std::to_string(e.line());
    if (e.source_file()) suffix += " source_file=\"" + std::string(*e.source_file()) + "\"";
    if (e.inferred_type()) suffix += " : " + std::string(*e.inferred_type());
    record(label, alternative, suffix);
  }

  // One line for the node with its scalars, then its children one level deeper.
  template <class T>
  void record(const std::string& label, const T& value, const std::string& suffix) {
    out_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    if (!label.empty()) out_ += label + ": ";
    out_ += T::kName;
    describe(value, [&](const char* name, const auto& field) { scalar(name, field); });
    out_ += suffix + "\n";
    ++depth_;
    describe(value, [&](const char* name, const auto& field) { child(name, field); });
    --depth_;
  }

  template <class V>
  void scalar(const char* name, const V& value) {
    if constexpr (IsScalar<V>::value) {
      const std::string text = scalar_text(value);
      if (!text.empty()) out_ += std::string(" ") + name + "=" + text;
    }
  }

  static std::string scalar_text(std::string_view s) {
    std::string text = "\"";
    text.append(s);
    text.push_back('"');
    return text;
  }
  static std::string scalar_text(Name s) { return scalar_text(s.view()); }
  static std::string scalar_text(bool b) { return b ? "true" : "false"; }
  static std::string scalar_text(std::uint32_t n) { return std::to_string(n); }
  static std::string scalar_text(std::uint64_t n) { return std::to_string(n); }
  static std::string scalar_text(TypeCheck t) { return std::to_string(static_cast<int>(t)); }
  // "[a, b]" for a list of words (nothing for none), "[1 2]" for bytes.
  template <class Item>
  static std::string list_text(const List<Item>& items, std::string_view separator) {
    std::string text = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i > 0) text.append(separator);
      if constexpr (std::is_same_v<Item, Name>) {
        text.append(items[i].view());
      } else {
        text.append(std::to_string(items[i]));
      }
    }
    text.push_back(']');
    return text;
  }
  static std::string scalar_text(const List<Name>& words) {
    return words.empty() ? "" : list_text(words, ", ");
  }
  static std::string scalar_text(const List<std::uint8_t>& bytes) { return list_text(bytes, " "); }
  template <class T>
  static std::string scalar_text(const std::optional<T>& o) {
    return o ? scalar_text(*o) : "";
  }
  template <class T>
  static std::string scalar_text(const Optional<T>& o) {
    return o ? scalar_text(*o) : "";
  }
  template <class Packed>
  static std::string scalar_text(const CompactOptional<Packed>& number) {
    return number ? scalar_text(*number) : "";
  }

  template <class V>
  void child(const std::string& name, const V& value) {
    if constexpr (IsScalar<V>::value) {
      return;
    } else if constexpr (requires { value.has_value(); }) {
      if (value) child(name, *value);
    } else if constexpr (requires { value.begin(); }) {
      for (std::size_t i = 0; i < value.size(); ++i)
        child(name + "[" + std::to_string(i) + "]", value[i]);
    } else {
      node(name, value);
    }
  }

  std::string out_;
  int depth_ = 0;
};

}  // namespace

std::string to_outline(const Program& program) {
  Outline outline;
  outline.node("", program);
  return outline.take();
}

std::string to_outline(const Expression& expression) {
  Outline outline;
  outline.node("", expression);
  return outline.take();
}

}  // namespace tolu::ast
