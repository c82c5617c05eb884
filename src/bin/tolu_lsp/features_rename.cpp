// Rename: the declaration of a name and all its uses, checked by analysing the renamed text
// again: it must still be a valid program in which every name means what it meant before.
#include <tuple>

#include "base/predeclared.h"
#include "base/unicode.h"
#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"
#include "lexer/lexer.h"

namespace tolu::lsp {
namespace {

using sema::DeclarationKind;

std::string quoted(std::string_view name) {
  std::string text;
  text.reserve(name.size() + 2);
  text.append(1, '\'').append(name).append(1, '\'');
  return text;
}

// The validator accepts these names anywhere without a declaration, so the index records no
// use of a declaration spelled like one.
bool is_always_known(std::string_view name) {
  return std::find(kAlwaysKnownNames.begin(), kAlwaysKnownNames.end(), name) !=
         kAlwaysKnownNames.end();
}

// A class or trait declared in a class's or trait's body, not in one of its methods: it is
// reached as a member (Outer.Inner), which the index does not record.
bool is_member_type(const sema::BindingIndex& bindings, const sema::Declaration& d) {
  if (d.kind != DeclarationKind::Class && d.kind != DeclarationKind::Trait) return false;
  const sema::Declaration* innermost = nullptr;
  for (const sema::Declaration& outer : bindings.declarations) {
    if (&outer == &d || !detail::encloses(outer.node_span, d.node_span) ||
        outer.node_span == d.node_span)
      continue;
    if (outer.kind != DeclarationKind::Class && outer.kind != DeclarationKind::Trait &&
        outer.kind != DeclarationKind::Method)
      continue;
    if (!innermost || detail::encloses(innermost->node_span, outer.node_span)) innermost = &outer;
  }
  return innermost && innermost->kind != DeclarationKind::Method;
}

// Why the name's declaration can't be renamed here, if it can't.
std::optional<std::string> refusal(const Analysis& analysis, const sema::Declaration& d) {
  switch (d.kind) {
    case DeclarationKind::Predeclared:
      return quoted(d.name) + " is predeclared and cannot be renamed";
    case DeclarationKind::Method:
    case DeclarationKind::Field:
      return quoted(d.name) + " is a class member, looked up by name when the program runs";
    default:
      break;
  }
  if (detail::is_empty(d.name_span)) return quoted(d.name) + " is bound by the language";
  if (is_always_known(d.name))
    return quoted(d.name) + " is a name the runtime always knows: its uses are not told apart";
  if (is_member_type(analysis.bindings, d))
    return quoted(d.name) + " is a class member, looked up by name when the program runs";
  if (d.kind == DeclarationKind::Import) {
    // Only an alias ("name as alias") is the file's own: the imported name is the module's.
    const std::size_t at = detail::first_token_from(analysis.tokens, d.name_span.start);
    const auto& tokens = analysis.tokens.tokens;
    if (at == 0 || at >= tokens.size() || tokens[at - 1].text != "as")
      return quoted(d.name) + " is the module's name; import it with 'as' to name it here";
  }
  return std::nullopt;
}

struct Target {
  std::uint32_t declaration;
  ast::Span span;
};

std::variant<Target, std::string> rename_target(const Analysis& analysis, std::uint32_t offset) {
  if (!analysis.program) return std::string("the document has no valid analysis");
  if (const Token* token = detail::token_at(analysis.tokens, offset)) {
    if (token->kind == TokenKind::Keyword)
      return quoted(token->text) + " is a keyword and cannot be renamed";
    if (token->kind == TokenKind::Identifier && token->text == "^^")
      return std::string("the placeholder '^^' cannot be renamed");
  }
  const auto at = detail::name_at(analysis.bindings, offset);
  if (!at) return std::string("there is no name declared in this file here");
  const sema::Declaration& d = analysis.bindings.declarations[at->declaration];
  if (auto why = refusal(analysis, d)) return *why;
  return Target{at->declaration, at->span};
}

// Why `name` can't name anything, if it can't: it must lex as exactly one identifier.
std::optional<std::string> invalid_name(std::string_view name) {
  const std::string why = quoted(name) + " is not a valid name";
  if (name.empty() || !is_valid_utf8(name)) return why;
  auto lexed = lex(name);
  if (!lexed) return why;
  const auto& tokens = lexed.value().tokens;
  if (tokens.size() != 2) return why;
  const Token& t = tokens.front();
  if (t.kind == TokenKind::Keyword) return quoted(name) + " is a keyword";
  if (t.kind != TokenKind::Identifier || t.start != 0 || t.end != count_characters(name) ||
      t.text == "^^")
    return why;
  return std::nullopt;
}

// Offsets of the old text in the renamed one.
class OffsetMap {
 public:
  OffsetMap(std::vector<ast::Span> replaced, std::uint32_t new_length)
      : replaced_(std::move(replaced)), new_length_(new_length) {}

  std::uint32_t operator()(std::uint32_t offset) const {
    std::int64_t shifted = offset;
    for (const ast::Span& span : replaced_) {
      if (span.end > offset) break;
      shifted += std::int64_t(new_length_) - std::int64_t(span.end - span.start);
    }
    return static_cast<std::uint32_t>(shifted);
  }
  ast::Span operator()(ast::Span span) const { return {(*this)(span.start), (*this)(span.end)}; }

 private:
  std::vector<ast::Span> replaced_;
  std::uint32_t new_length_;
};

std::string replaced_text(std::string_view text, const std::vector<ast::Span>& spans,
                          std::string_view new_name) {
  const std::vector<std::size_t> bytes = detail::byte_positions(text);
  std::string out;
  std::size_t from = 0;
  for (const ast::Span& span : spans) {
    out.append(text.substr(from, bytes[span.start] - from));
    out.append(new_name);
    from = bytes[span.end];
  }
  out.append(text.substr(from));
  return out;
}

// What a declaration is, in the renamed text's offsets, beyond its (possibly new) name.
auto identity(const sema::Declaration& d, const OffsetMap& map, std::string_view name) {
  return std::make_tuple(d.kind, map(d.name_span).start, map(d.name_span).end,
                         map(d.node_span).start, std::string(name));
}

// Whether every declaration and use of `before` is found unchanged in `after`, but for the
// renamed declaration's name.
bool same_meaning(const sema::BindingIndex& before, const sema::BindingIndex& after,
                  std::uint32_t renamed, std::string_view new_name, const OffsetMap& map) {
  if (before.declarations.size() != after.declarations.size() ||
      before.uses.size() != after.uses.size())
    return false;
  const OffsetMap same({}, 0);  // the renamed text's own offsets
  auto old_identity = [&](std::uint32_t i) {
    const sema::Declaration& d = before.declarations[i];
    return identity(d, map, i == renamed ? new_name : std::string_view(d.name));
  };
  for (std::uint32_t i = 0; i < before.declarations.size(); ++i) {
    const sema::Declaration& d = after.declarations[i];
    if (old_identity(i) != identity(d, same, d.name)) return false;
  }
  for (std::size_t i = 0; i < before.uses.size(); ++i) {
    const sema::Use& old_use = before.uses[i];
    const sema::Use& new_use = after.uses[i];
    if (map(old_use.span) != new_use.span || old_use.declaration != new_use.declaration)
      return false;
  }
  return true;
}

// Whether `name` is written as a type, a base class or a trait where no use records what it
// names: a variable holding a class, a nested class, a name not yet declared, or the return
// type of a forward declaration. Rename can neither follow such a name nor see whether a new
// declaration would hide what it names.
bool written_as_unrecorded_type(const Analysis& analysis, std::string_view name) {
  const ast::Span whole{0, analysis.tokens.tokens.back().end};
  for (const detail::WrittenType& type : detail::written_types(analysis, whole)) {
    if (type.name == name && (!type.span || !detail::use_at(analysis.bindings, *type.span)))
      return true;
  }
  return false;
}

}  // namespace

std::variant<ast::Span, std::string> prepare_rename(const Analysis& analysis,
                                                    std::uint32_t offset) {
  auto target = rename_target(analysis, offset);
  if (auto* why = std::get_if<std::string>(&target)) return std::move(*why);
  return std::get<Target>(target).span;
}

std::variant<std::vector<ast::Span>, std::string> rename(const Analysis& analysis,
                                                         std::string_view text,
                                                         std::uint32_t offset,
                                                         std::string_view new_name) {
  auto target = rename_target(analysis, offset);
  if (auto* why = std::get_if<std::string>(&target)) return std::move(*why);
  if (auto why = invalid_name(new_name)) return *why;
  const std::uint32_t renamed = std::get<Target>(target).declaration;
  const sema::Declaration& d = analysis.bindings.declarations[renamed];
  if (written_as_unrecorded_type(analysis, d.name))
    return quoted(d.name) + " is also written as a type where rename cannot follow it";

  std::vector<ast::Span> spans{d.name_span};
  for (const sema::Use* use : analysis.bindings.uses_of(renamed)) spans.push_back(use->span);
  std::sort(spans.begin(), spans.end(), [](ast::Span a, ast::Span b) { return a.start < b.start; });
  if (text.size() < analysis.tokens.tokens.back().start ||
      count_characters(text) != analysis.tokens.tokens.back().start)
    return std::string("the text does not match its analysis");
  if (new_name == d.name) return spans;
  if (written_as_unrecorded_type(analysis, new_name))
    return quoted(new_name) + " is written as a type where rename cannot tell what it names";

  const std::string renamed_text = replaced_text(text, spans, new_name);
  const Analysis after = analyze_program(renamed_text, CompileOptions{}, std::nullopt);
  if (!after.program) {
    return quoted(new_name) + " cannot be used here: " + after.program.error().message();
  }
  const OffsetMap map(spans, static_cast<std::uint32_t>(count_characters(new_name)));
  if (!same_meaning(analysis.bindings, after.bindings, renamed, new_name, map))
    return quoted(new_name) + " would change what a name in the program refers to";
  return spans;
}

}  // namespace tolu::lsp
