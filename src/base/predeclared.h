// The names the runtime binds before a program starts: its exception classes, its collection and
// value classes, and the three globals. The validator adds the names of the abstract types.
#pragma once

#include <array>
#include <string_view>

namespace tolu {

inline constexpr std::array<std::string_view, 21> kRuntimeNames = {"Exception",
                                                                   "AssertionException",
                                                                   "TypeException",
                                                                   "CancelledException",
                                                                   "TimeoutException",
                                                                   "ChannelClosedException",
                                                                   "Array",
                                                                   "Dict",
                                                                   "PairList",
                                                                   "Set",
                                                                   "Bag",
                                                                   "Pair",
                                                                   "String",
                                                                   "BinaryString",
                                                                   "Number",
                                                                   "Boolean",
                                                                   "Regexp",
                                                                   "Function",
                                                                   "__file__",
                                                                   "__global__",
                                                                   "__system__"};

}  // namespace tolu
