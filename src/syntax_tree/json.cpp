// The tree as JSON. A tagged union is an object whose "type" names the alternative, with the
// alternative's fields beside it; a record is an object with one key per field.
#include "syntax_tree/json.h"

#include "tolu/fields.h"
#include "tolu/printers.h"

namespace tolu::ast {
namespace {

template <class T>
concept Record = requires {
  T::kName;
};

Json json_of(std::string_view text);
Json json_of(Name name);
Json json_of(bool value);
Json json_of(std::uint64_t number);
Json json_of(std::uint8_t byte);
Json json_of(TypeCheck check);
template <class T>
Json json_of(const std::optional<T>& optional);
template <class T>
Json json_of(const List<T>& items);
Json json_of(const Expression& expression);
Json json_of(const Statement& statement);
Json json_of(const DictKey& key);
Json json_of(const CallArgument& argument);
Json json_of(const TemplatePart& part);
Json json_of(const ClassMember& member);
template <Record T>
Json json_of(const T& record);
Json json_of(const SourceFile& file);

// Adds each described field to an object.
struct Fields {
  Json& object;
  template <class V>
  void operator()(const char* name, const V& value) const {
    object[name] = json_of(value);
  }
};

// An object for one alternative of a tagged union: "type" first, then its fields.
template <class Variant>
Json tagged(const Variant& node) {
  Json object = Json::object();
  visit_node(
      [&](const auto& alternative) {
        object["type"] = alternative.kName;
        describe(alternative, Fields{object});
      },
      node);
  return object;
}

Json json_of(std::string_view text) {
  return std::string(text);
}
Json json_of(Name name) {
  return name.str();
}
Json json_of(bool value) {
  return value;
}
Json json_of(std::uint64_t number) {
  return number;
}
Json json_of(std::uint8_t byte) {
  return byte;
}
Json json_of(TypeCheck check) {
  return static_cast<int>(check);
}

Json json_of(const SourceFile& file) {
  return file ? Json(std::string(*file)) : Json(nullptr);
}

template <class T>
Json json_of(const std::optional<T>& optional) {
  return optional ? json_of(*optional) : Json(nullptr);
}

template <class T>
Json json_of(const List<T>& items) {
  Json array = Json::array();
  for (const T& item : items) array.push_back(json_of(item));
  return array;
}

Json json_of(const Expression& expression) {
  Json object = tagged(expression.node());
  object["line"] = expression.line();
  object["source_file"] = json_of(expression.source_file());
  object["inferred_type"] = json_of(expression.inferred_type());
  return object;
}

Json json_of(const Statement& statement) {
  return tagged(statement.node());
}

Json json_of(const DictKey& key) {
  Json object = tagged(key.node);
  object["line"] = key.line;
  object["source_file"] = json_of(key.source_file);
  return object;
}

Json json_of(const CallArgument& argument) {
  Json object = tagged(argument.node);
  object["value"] = json_of(argument.value);
  object["line"] = argument.line;
  object["source_file"] = json_of(argument.source_file);
  return object;
}

Json json_of(const TemplatePart& part) {
  Json object = tagged(part.node);
  object["line"] = part.line;
  object["source_file"] = json_of(part.source_file);
  return object;
}

Json json_of(const ClassMember& member) {
  return tagged(member.node);
}

template <Record T>
Json json_of(const T& record) {
  Json object = Json::object();
  if constexpr (std::is_same_v<T, Program>) object["type"] = "Program";
  describe(record, Fields{object});
  return object;
}

}  // namespace

Json to_json(const Program& program) {
  return json_of(program);
}
Json to_json(const Expression& expression) {
  return json_of(expression);
}

std::string to_json_text(const Program& program, int indent) {
  return to_json(program).dump(indent, ' ', false, Json::error_handler_t::replace);
}
std::string to_json_text(const Expression& expression, int indent) {
  return to_json(expression).dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tolu::ast
