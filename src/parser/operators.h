// The binary operator table: precedence level and associativity by spelling.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolu::parsing {

struct BinaryOperator {
  std::uint8_t level;  // 2 (chains) and 4 to 16; higher binds tighter
  bool right_associative;
};

// Looks a spelling up; Unicode spellings share their ASCII twins' rows.
std::optional<BinaryOperator> binary_operator(std::string_view spelling);

bool is_assignment_operator(std::string_view spelling);

// Pipeline direction: +1 for "|>" and "▷", -1 for "<|" and "◁", 0 for any other operator.
int chain_direction(std::string_view spelling);

}  // namespace tolu::parsing
