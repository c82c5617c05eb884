#include "tolu/passes.h"

#include <array>

namespace tolu {
namespace {

constexpr std::array<std::string_view, kOptimizerPassCount> kPassNames = {
#define TOLU_OPTIMIZER_PASS(name) #name,
#include "tolu/passes.def"
};

}  // namespace

std::string_view optimizer_pass_name(OptimizerPass pass) {
  return kPassNames[static_cast<std::size_t>(pass)];
}

std::optional<OptimizerPass> optimizer_pass_from_name(std::string_view name) {
  for (std::size_t i = 0; i < kPassNames.size(); ++i) {
    if (kPassNames[i] == name) return static_cast<OptimizerPass>(i);
  }
  return std::nullopt;
}

}  // namespace tolu
