// Programs run through the front end with a chosen pass set, for the optimizer's tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "support/shape.h"
#include "tolu/front_end.h"

namespace tolu::testing {

inline PassSet pass_set(std::initializer_list<OptimizerPass> passes) {
  PassSet set;
  for (OptimizerPass pass : passes) set.insert(pass);
  return set;
}

// The program after the front end with `passes`; validation is off unless asked for, so that
// the sources need not declare their names. A failure gives an empty program.
inline ast::Program optimized(std::string_view source, const PassSet& passes,
                              bool validate = false) {
  CompileOptions options;
  options.optimizations = passes;
  options.validate = validate;
  auto result = parse_program_with_compile_options_and_source_file(source, options, std::nullopt);
  if (!result) {
    ADD_FAILURE() << source << ": " << describe_error(result.error());
    return ast::Program{{}, {}, 1, {}, std::make_unique<ast::Storage>()};
  }
  return std::move(result).value();
}

inline std::string optimized_shape(std::string_view source, const PassSet& passes) {
  return shape(optimized(source, passes));
}

}  // namespace tolu::testing
