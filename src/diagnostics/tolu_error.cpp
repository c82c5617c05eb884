#include "tolu/error.h"

namespace tolu {

std::string_view error_kind_name(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Lexical:
      return "Lexical";
    case ErrorKind::Syntax:
      return "Syntax";
    case ErrorKind::UnexpectedEnd:
      return "UnexpectedEnd";
    case ErrorKind::Semantic:
      return "Semantic";
    case ErrorKind::Module:
      return "Module";
    case ErrorKind::Runtime:
      return "Runtime";
    case ErrorKind::Internal:
      return "Internal";
    case ErrorKind::Io:
      return "Io";
  }
  return "Unknown";
}

ToluError ToluError::located(ErrorKind kind, std::size_t line, std::size_t column,
                             std::string message) {
  return ToluError(kind, LocatedError{line, column, std::nullopt, std::move(message), {}, {}});
}

ToluError ToluError::semantic(std::string message, std::size_t line) {
  return located(ErrorKind::Semantic, line, 1, std::move(message));
}

ToluError ToluError::semantic(std::string message, std::size_t line, TextSpan name_span) {
  ToluError error = semantic(std::move(message), line);
  std::get<LocatedError>(error.payload_).name_span = name_span;
  return error;
}

ToluError ToluError::module(std::optional<std::string> name, std::string message) {
  return ToluError(ErrorKind::Module, ModuleError{std::move(name), std::move(message)});
}

ToluError ToluError::runtime(std::string message) {
  return ToluError(ErrorKind::Runtime, MessageError{std::move(message)});
}

ToluError ToluError::internal(std::string message) {
  return ToluError(ErrorKind::Internal, MessageError{std::move(message)});
}

ToluError ToluError::io(std::error_code code) {
  return ToluError(ErrorKind::Io, IoError{code});
}

ToluError ToluError::with_source_file(ToluError error, const std::optional<std::string>& file) {
  if (!file) return error;
  if (auto* located = std::get_if<LocatedError>(&error.payload_)) {
    if (!located->source_file) located->source_file = *file;
  }
  return error;
}

ToluError ToluError::with_note(ToluError error, Note note) {
  if (auto* located = std::get_if<LocatedError>(&error.payload_))
    located->notes.push_back(std::move(note));
  return error;
}

const std::vector<Note>& ToluError::notes() const {
  static const std::vector<Note> none;
  return is_located() ? location().notes : none;
}

const std::optional<std::string>& ToluError::source_file() const {
  static const std::optional<std::string> none;
  return is_located() ? location().source_file : none;
}

std::string ToluError::message() const {
  return std::visit(
      [](const auto& p) -> std::string {
        using P = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<P, IoError>) {
          return p.code.message();
        } else {
          return p.message;
        }
      },
      payload_);
}

}  // namespace tolu
