// The single error type of the front end, and the result type every stage returns.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "tolu/export.h"

namespace tolu {

// Kinds 0 to 3 are built by the front end; 4 to 7 exist so that embedders can carry their own
// failures through the same type (with_source_file passes them through unchanged).
enum class ErrorKind : std::uint8_t {
  Lexical = 0,
  Syntax = 1,
  UnexpectedEnd = 2,
  Semantic = 3,
  Module = 4,    // an optional module name and a message
  Runtime = 5,   // a message
  Internal = 6,  // a message
  Io = 7,        // an operating-system error
};

TOLU_API std::string_view error_kind_name(ErrorKind kind);

// What the front end knows beyond an error, at a place of its own in the same source: the
// bracket or block still open at the end of the input, the error found inside a template
// interpolation, where a statement lacking its ";" ends.
struct Note {
  std::size_t line = 1;
  std::size_t column = 1;  // in characters, as the error's
  std::string message;
  // Text that would mend the error if inserted before the column (";"), or empty.
  std::string insertion;
  bool operator==(const Note&) const = default;
};

// A stretch [start, end) of the source, in character offsets (Unicode scalar values).
struct TextSpan {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  bool operator==(const TextSpan&) const = default;
};

// An optional TextSpan that takes no part in the == of the error holding it: any two compare
// equal, so that errors compare by what they say, as before. Compared with a TextSpan or an
// std::optional<TextSpan>, it compares as the optional it is.
struct QuotedSpan : std::optional<TextSpan> {
  QuotedSpan() = default;
  QuotedSpan(std::optional<TextSpan> span)  // NOLINT(google-explicit-constructor): an optional
      : std::optional<TextSpan>(span) {}
  QuotedSpan(TextSpan span)
      : std::optional<TextSpan>(span) {}  // NOLINT(google-explicit-constructor)
  template <class T>
  requires std::is_same_v<T, QuotedSpan>
  friend bool operator==(const T&, const T&) { return true; }
};

// Payload of kinds 0 to 3.
struct LocatedError {
  std::size_t line = 1;
  std::size_t column = 1;
  std::optional<std::string> source_file;
  std::string message;
  std::vector<Note> notes;  // in the order they are shown, after the error
  // A semantic error that quotes a name (a redeclared, undeclared or constant one): where that
  // name is written. The line and column stay those of the error.
  QuotedSpan name_span;
  bool operator==(const LocatedError&) const = default;
};

struct ModuleError {
  std::optional<std::string> name;
  std::string message;
  bool operator==(const ModuleError&) const = default;
};

struct MessageError {
  std::string message;
  bool operator==(const MessageError&) const = default;
};

struct IoError {
  std::error_code code;
  bool operator==(const IoError&) const = default;
};

class TOLU_API ToluError {
 public:
  static ToluError located(ErrorKind kind, std::size_t line, std::size_t column,
                           std::string message);
  static ToluError semantic(std::string message, std::size_t line);
  // A semantic error quoting the name written at `name_span`.
  static ToluError semantic(std::string message, std::size_t line, TextSpan name_span);
  static ToluError module(std::optional<std::string> name, std::string message);
  static ToluError runtime(std::string message);
  static ToluError internal(std::string message);
  static ToluError io(std::error_code code);

  // Attaches a source file name to a located error that has none yet; other errors, and errors
  // that already name a file, are returned unchanged.
  static ToluError with_source_file(ToluError error, const std::optional<std::string>& file);
  // Adds a note to a located error; other errors take no notes and are returned unchanged.
  static ToluError with_note(ToluError error, Note note);

  ErrorKind kind() const { return kind_; }
  bool is_located() const { return std::holds_alternative<LocatedError>(payload_); }
  // Kinds 0 to 3 only.
  const LocatedError& location() const { return std::get<LocatedError>(payload_); }
  // The span of the name a located error quotes, if it has one.
  std::optional<TextSpan> name_span() const {
    return is_located() ? std::optional<TextSpan>(location().name_span) : std::nullopt;
  }
  std::size_t line() const { return is_located() ? location().line : 0; }
  std::size_t column() const { return is_located() ? location().column : 0; }
  const std::optional<std::string>& source_file() const;
  // The notes of a located error; none for the other kinds.
  const std::vector<Note>& notes() const;
  // The error's text for every kind (an I/O error gives the system's description).
  std::string message() const;

  bool operator==(const ToluError&) const = default;

 private:
  using Payload = std::variant<LocatedError, ModuleError, MessageError, IoError>;
  ToluError(ErrorKind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

  ErrorKind kind_;
  Payload payload_;
};

// A stage's product or its one error.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(ToluError error) : v_(std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // value() requires ok() and error() requires !ok(): check first. Debug builds assert it;
  // in a release build breaking it is undefined behaviour, as for std::optional's operator*.
  T& value() & { return *checked<0>(&v_); }
  const T& value() const& { return *checked<0>(&v_); }
  T&& value() && { return std::move(*checked<0>(&v_)); }
  ToluError& error() & { return *checked<1>(&v_); }
  const ToluError& error() const& { return *checked<1>(&v_); }
  ToluError&& error() && { return std::move(*checked<1>(&v_)); }

 private:
  template <std::size_t I, class Variant>
  static auto* checked(Variant* v) {
    assert(v->index() == I &&
           (I == 0 ? "Result::value() on an error" : "Result::error() on a value"));
    return std::get_if<I>(v);
  }

  std::variant<T, ToluError> v_;
};

}  // namespace tolu
