#include "support/spans.h"

#include <gtest/gtest.h>

#include <string>

#include "base/unicode.h"
#include "syntax_tree/json.h"

namespace tolu::testing {
namespace {

std::size_t check_nested(const ast::Json& value, std::uint32_t start, std::uint32_t end,
                         const std::string& path) {
  std::size_t nodes = 0;
  if (value.is_object()) {
    if (!value.contains("span")) {
      ADD_FAILURE() << path << " has no span";
      return 0;
    }
    const auto inner_start = value["span"][0].get<std::uint32_t>();
    const auto inner_end = value["span"][1].get<std::uint32_t>();
    EXPECT_LE(start, inner_start) << path;
    EXPECT_LE(inner_start, inner_end) << path;
    EXPECT_LE(inner_end, end) << path;
    if (inner_start == inner_end && path != "") {
      EXPECT_TRUE(value.contains("needs_lexical_scope") && value["statements"].empty()) << path;
    }
    start = inner_start;
    end = inner_end;
    ++nodes;
  }
  if (value.is_structured()) {
    for (const auto& [key, child] : value.items()) {
      nodes += check_nested(child, start, end, path + "/" + key);
    }
  }
  return nodes;
}

}  // namespace

std::size_t check_spans(const ast::Program& program, std::string_view source) {
  const auto characters = static_cast<std::uint32_t>(count_characters(source));
  return check_nested(ast::to_json(program, true), 0, characters, "");
}

}  // namespace tolu::testing
