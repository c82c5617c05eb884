// Optimizer pass identifiers and the set of them that compile options carry.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "tolu/export.h"

namespace tolu {

// Values run from 0 in the order of passes.def.
enum class OptimizerPass : std::uint8_t {
#define TOLU_OPTIMIZER_PASS(name) name,
#include "tolu/passes.def"
};

inline constexpr std::size_t kOptimizerPassCount = 0
#define TOLU_OPTIMIZER_PASS(name) +1
#include "tolu/passes.def"
    ;

TOLU_API std::string_view optimizer_pass_name(OptimizerPass pass);
TOLU_API std::optional<OptimizerPass> optimizer_pass_from_name(std::string_view name);

// A set of passes. Membership is all that matters, so a bitset serves: nothing depends on an
// iteration order.
class PassSet {
 public:
  PassSet() = default;
  static PassSet all() {
    PassSet set;
    set.bits_.set();
    return set;
  }
  void insert(OptimizerPass pass) { bits_.set(static_cast<std::size_t>(pass)); }
  void erase(OptimizerPass pass) { bits_.reset(static_cast<std::size_t>(pass)); }
  bool contains(OptimizerPass pass) const { return bits_.test(static_cast<std::size_t>(pass)); }
  bool empty() const { return bits_.none(); }
  bool operator==(const PassSet&) const = default;

 private:
  std::bitset<kOptimizerPassCount> bits_;
};

}  // namespace tolu
