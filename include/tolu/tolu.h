// The Tolu front end: source text in, an annotated syntax tree or exactly one error out.
//
//   tolu/front_end.h   the three entry points and CompileOptions
//   tolu/passes.h      the optimizer pass identifiers that CompileOptions carries
//   tolu/error.h       ToluError, the one error type, and Result<T>
//   tolu/render.h      an error as compilers print it, with the source line and a caret
//   tolu/syntax_tree.h the node types; tolu/fields.h lists their fields, tolu/children.h walks
//                      them, tolu/printers.h prints a tree as JSON or as an outline
//   tolu/version.h     the version
#pragma once

#include "tolu/children.h"
#include "tolu/error.h"
#include "tolu/fields.h"
#include "tolu/front_end.h"
#include "tolu/passes.h"
#include "tolu/printers.h"
#include "tolu/render.h"
#include "tolu/syntax_tree.h"
#include "tolu/version.h"
