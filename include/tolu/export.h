// TOLU_API marks the functions and classes that a shared tolu_front_end exports; the library
// is built with every other symbol hidden.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define TOLU_API __attribute__((visibility("default")))
#else
#define TOLU_API
#endif
