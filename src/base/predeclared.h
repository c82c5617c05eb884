// The names a program may use without declaring them.
#pragma once

#include <array>
#include <string_view>

namespace tolu {

// The names the runtime binds before a program starts: its exception classes, its collection and
// value classes, and the three globals.
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

// The names of the abstract types, bound beside the runtime's names.
inline constexpr std::array<std::string_view, 5> kTypeNames = {"Any", "Class", "Null", "Object",
                                                               "Collection"};

// Names known everywhere without any binding: no declaration can hide them.
inline constexpr std::array<std::string_view, 10> kAlwaysKnownNames = {
    "ref_id",    "setprop",   "getprop",    "__argc__",     "ansi_esc",
    "to_binary", "to_string", "class_name", "object_slots", "make_instance"};

}  // namespace tolu
