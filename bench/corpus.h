// A deterministic generator of realistic, valid Tolu source for benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolu::bench {

// At least `bytes` bytes of Tolu (whole units, so a little more), the same for the same seed.
// Every unit declares its names with a unique suffix, so the whole text validates.
std::string generate_corpus(std::uint64_t seed, std::size_t bytes);

}  // namespace tolu::bench
