// The tree as JSON. A tagged union is an object whose "type" names the alternative, with the
// alternative's fields beside it; a record is an object with one key per field. With spans,
// every such object also carries "span": [start, end].
#include "syntax_tree/json.h"

#include "tolu/fields.h"
#include "tolu/printers.h"

namespace tolu::ast {
namespace {

template <class T>
concept Record = requires {
  T::kName;
};

class JsonPrinter {
 public:
  explicit JsonPrinter(bool with_spans) : with_spans_(with_spans) {}

  Json of(std::string_view text) const { return std::string(text); }
  Json of(CompactText text) const { return text.str(); }
  Json of(Name name) const { return name.str(); }
  Json of(bool value) const { return value; }
  Json of(std::uint32_t number) const { return number; }
  Json of(std::uint64_t number) const { return number; }
  Json of(std::uint8_t byte) const { return byte; }
  Json of(TypeCheck check) const { return static_cast<int>(check); }
  Json of(const SourceFile& file) const { return file ? Json(std::string(*file)) : Json(nullptr); }

  template <class T>
  Json of(const std::optional<T>& optional) const {
    return optional ? of(*optional) : Json(nullptr);
  }
  template <class T>
  Json of(const Optional<T>& optional) const {
    return optional ? of(*optional) : Json(nullptr);
  }
  template <class Packed>
  Json of(const CompactOptional<Packed>& number) const {
    return number ? Json(*number) : Json(nullptr);
  }

  template <class T>
  Json of(const List<T>& items) const {
    Json array = Json::array();
    for (const T& item : items) array.push_back(of(item));
    return array;
  }

  Json of(const Expression& expression) const {
    Json object = tagged(expression.node());
    object["line"] = expression.line();
    object["source_file"] = of(expression.source_file());
    object["inferred_type"] = of(expression.inferred_type());
    add_span(object, expression.span());
    return object;
  }

  Json of(const Statement& statement) const {
    Json object = tagged(statement.node());
    add_span(object, statement.span());
    return object;
  }

  Json of(const DictKey& key) const {
    Json object = tagged(key.node);
    add_position(object, key);
    return object;
  }

  Json of(const CallArgument& argument) const {
    Json object = tagged(argument.node);
    object["value"] = of(argument.value);
    add_position(object, argument);
    return object;
  }

  Json of(const TemplatePart& part) const {
    Json object = tagged(part.node);
    add_position(object, part);
    return object;
  }

  Json of(const ClassMember& member) const {
    Json object = tagged(member.node);
    add_span(object, member.span());
    return object;
  }

  template <Record T>
  Json of(const T& record) const {
    static_assert(
        requires { record.span; }, "every record printed as an object has a span");
    Json object = Json::object();
    if constexpr (std::is_same_v<T, Program>) object["type"] = "Program";
    describe(record, Fields{*this, object});
    add_span(object, record.span);
    return object;
  }

 private:
  // Adds each described field to an object.
  struct Fields {
    const JsonPrinter& printer;
    Json& object;
    template <class V>
    void operator()(const char* name, const V& value) const {
      object[name] = printer.of(value);
    }
  };

  // An object for one alternative of a tagged union: "type" first, then its fields.
  template <class Variant>
  Json tagged(const Variant& node) const {
    Json object = Json::object();
    visit_node(
        [&](const auto& alternative) {
          object["type"] = alternative.kName;
          describe(alternative, Fields{*this, object});
        },
        node);
    return object;
  }

  void add_span(Json& object, Span span) const {
    if (with_spans_) object["span"] = {span.start, span.end};
  }

  // The line, file and span of a tagged union that records where it stands.
  template <class Positioned>
  void add_position(Json& object, const Positioned& node) const {
    object["line"] = node.line;
    object["source_file"] = of(node.source_file);
    add_span(object, node.span);
  }

  bool with_spans_;
};

}  // namespace

Json to_json(const Program& program, bool with_spans) {
  return JsonPrinter(with_spans).of(program);
}
Json to_json(const Expression& expression, bool with_spans) {
  return JsonPrinter(with_spans).of(expression);
}

std::string to_json_text(const Program& program, int indent, bool with_spans) {
  return to_json(program, with_spans).dump(indent, ' ', false, Json::error_handler_t::replace);
}
std::string to_json_text(const Expression& expression, int indent, bool with_spans) {
  return to_json(expression, with_spans).dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tolu::ast
