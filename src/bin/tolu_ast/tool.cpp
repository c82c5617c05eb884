#include "bin/tolu_ast/tool.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "base/unicode.h"
#include "bin/common/read_text.h"
#include "lexer/lexer.h"
#include "syntax_tree/json.h"
#include "tolu/front_end.h"
#include "tolu/printers.h"
#include "tolu/render.h"
#include "tolu/version.h"

namespace tolu::inspect {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kUsage =
    "Usage: tolu-ast [OPTIONS] [FILE]\n"
    "Shows what the Tolu front end makes of FILE (standard input when FILE is - or absent).\n"
    "Options:\n"
    "  --tokens              run the lexer only and print the tokens\n"
    "  --expr                parse the whole input as one expression\n"
    "  --no-validate         skip semantic validation\n"
    "  --no-infer            skip type inference\n"
    "  --passes=LIST         optimizer passes, comma-separated, or all (default: none)\n"
    "  --source-file=NAME    the source file name handed to the front end\n"
    "  --json                print JSON instead of the readable outline\n"
    "  --compact             with --json: one line, no indentation\n"
    "  --spans               with --json: every node also carries \"span\": [start, end]\n"
    "  --color=WHEN          colour in diagnostics: auto (default), always or never\n"
    "  --version             print the version\n"
    "  -h, --help            show this help\n"
    "  --                    end of options: what follows is FILE\n";

enum class ColorChoice { Auto, Always, Never };

struct Options {
  bool tokens = false;
  bool expr = false;
  bool json = false;
  bool compact = false;
  bool spans = false;  // only the JSON of a tree shows them; ignored otherwise
  ColorChoice color = ColorChoice::Auto;
  CompileOptions compile;
  std::optional<std::string> source_file;
  std::optional<std::string> file;
};

struct UsageError {
  std::string message;
};

std::optional<UsageError> parse_passes(std::string_view list, PassSet& passes) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    if (name == "all") {
      passes = PassSet::all();
    } else if (auto pass = optimizer_pass_from_name(name)) {
      passes.insert(*pass);
    } else {
      return UsageError{"unknown pass: " + std::string(name)};
    }
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return std::nullopt;
}

std::optional<ColorChoice> color_choice(std::string_view when) {
  if (when == "auto") return ColorChoice::Auto;
  if (when == "always") return ColorChoice::Always;
  if (when == "never") return ColorChoice::Never;
  return std::nullopt;
}

// The options before "--"; everything from "--" on is not an option.
std::vector<std::string>::const_iterator end_of_options(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--");
}

std::optional<UsageError> take_file(Options& options, const std::string& arg) {
  if (options.file) return UsageError{"more than one FILE: " + arg};
  options.file = arg;
  return std::nullopt;
}

std::variant<Options, UsageError> parse_arguments(const std::vector<std::string>& args) {
  Options options;
  const auto options_end = end_of_options(args);
  for (auto it = args.begin(); it != options_end; ++it) {
    const std::string& arg = *it;
    const std::string_view a = arg;
    if (a == "--tokens") {
      options.tokens = true;
    } else if (a == "--expr") {
      options.expr = true;
    } else if (a == "--json") {
      options.json = true;
    } else if (a == "--compact") {
      options.compact = true;
    } else if (a == "--spans") {
      options.spans = true;
    } else if (a == "--no-validate") {
      options.compile.validate = false;
    } else if (a == "--no-infer") {
      options.compile.infer_types = false;
    } else if (a.starts_with("--passes=")) {
      if (auto error = parse_passes(a.substr(9), options.compile.optimizations)) return *error;
    } else if (a.starts_with("--source-file=")) {
      options.source_file = std::string(a.substr(14));
    } else if (a.starts_with("--color=")) {
      const auto choice = color_choice(a.substr(8));
      if (!choice) return UsageError{"--color takes auto, always or never, not " + arg.substr(8)};
      options.color = *choice;
    } else if (a != "-" && a.starts_with("-")) {
      return UsageError{"unknown option: " + arg};
    } else if (auto error = take_file(options, arg)) {
      return *error;
    }
  }
  if (options_end != args.end()) {
    for (auto it = options_end + 1; it != args.end(); ++it) {
      if (auto error = take_file(options, *it)) return *error;
    }
  }
  if (options.tokens && options.expr) return UsageError{"--tokens and --expr cannot be combined"};
  if (options.compact && !options.json) return UsageError{"--compact needs --json"};
  return options;
}

bool use_color(ColorChoice choice, const Environment& environment) {
  switch (choice) {
    case ColorChoice::Always:
      return true;
    case ColorChoice::Never:
      return false;
    case ColorChoice::Auto:
      break;
  }
  const bool no_color = environment.no_color && *environment.no_color != '\0';
  return environment.error_is_terminal && !no_color;
}

std::optional<std::string> read_input(const Options& options, std::istream& in,
                                      std::string& problem) {
  if (!options.file || *options.file == "-") return tools::read_all(in).value_or("");
  std::ifstream file(*options.file, std::ios::binary);
  if (!file) {
    problem = "cannot read " + *options.file + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(*options.file, ec);
  auto text = tools::read_all(file, ec ? 0 : static_cast<std::size_t>(size));
  if (!text) problem = "cannot read " + *options.file + ": " + std::strerror(errno);
  return text;
}

Json json_of_parts(const std::vector<TokenTemplatePart>& parts) {
  Json array = Json::array();
  for (const auto& part : parts) {
    array.push_back(
        {{"kind", static_cast<int>(part.kind)}, {"line", part.line}, {"text", part.text}});
  }
  return array;
}

Json token_json(const TokenVector& tokens, const Token& t) {
  Json object = {{"kind", token_kind_name(t.kind)},
                 {"start", t.start},
                 {"end", t.end},
                 {"line", t.line},
                 {"column", t.column}};
  switch (t.kind) {
    case TokenKind::Keyword:
    case TokenKind::Identifier:
    case TokenKind::Number:
    case TokenKind::Operator:
    case TokenKind::Punct:
      object["text"] = std::string(t.text);
      break;
    case TokenKind::String:
      object["value"] = tokens.literal(t).value;
      break;
    case TokenKind::BinaryString:
      object["bytes"] = tokens.literal(t).bytes;
      break;
    case TokenKind::Regex:
      object["pattern"] = tokens.literal(t).value;
      object["flags"] = tokens.literal(t).flags;
      object["parts"] = json_of_parts(tokens.literal(t).parts);
      break;
    case TokenKind::Template:
      object["parts"] = json_of_parts(tokens.literal(t).parts);
      break;
    case TokenKind::Eof:
      break;
  }
  return object;
}

Json tokens_json(const TokenVector& tokens) {
  Json array = Json::array();
  for (const Token& t : tokens.tokens) array.push_back(token_json(tokens, t));
  return array;
}

// One line per token: position, kind and payload. Each token's payload is read on its own,
// so the listing takes time in proportion to the tokens.
std::string tokens_outline(const TokenVector& tokens) {
  std::string out;
  for (const Token& t : tokens.tokens) {
    out += std::to_string(t.line) + ":" + std::to_string(t.column) + " " +
           std::string(token_kind_name(t.kind));
    const Json payload = token_json(tokens, t);
    for (const char* key : {"text", "value", "bytes", "pattern", "flags", "parts"}) {
      if (payload.contains(key)) out += std::string(" ") + key + "=" + payload[key].dump();
    }
    out += "\n";
  }
  return out;
}

Json error_json(const ToluError& error) {
  Json body = {{"kind", error_kind_name(error.kind())},
               {"line", error.line()},
               {"column", error.column()},
               {"source_file", error.source_file() ? Json(*error.source_file()) : Json(nullptr)},
               {"message", error.message()}};
  return {{"error", std::move(body)}};
}

void print_json(std::ostream& out, const Json& json, const Options& options) {
  out << json.dump(options.compact ? -1 : 2, ' ', false, Json::error_handler_t::replace) << '\n';
}

// Prints a front-end result: the product on success, else the error (JSON on standard output
// with --json) and always the caret diagnostic on standard error.
template <class T, class Print>
int report(const Result<T>& result, const Options& options, const Environment& environment,
           std::string_view source, std::ostream& out, std::ostream& err, Print print) {
  if (result) {
    print(result.value());
    return 0;
  }
  if (options.json) print_json(out, error_json(result.error()), options);
  const std::string name = options.source_file ? *options.source_file
                           : options.file      ? *options.file
                                               : "<stdin>";
  err << render_diagnostic(result.error(), name, source,
                           {.color = use_color(options.color, environment)});
  return 1;
}

}  // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const Environment& environment) {
  // Help and the version come before any other option is judged.
  const auto options_end = end_of_options(args);
  for (auto it = args.begin(); it != options_end; ++it) {
    if (*it == "-h" || *it == "--help") {
      out << kUsage;
      return 0;
    }
  }
  if (std::find(args.begin(), options_end, "--version") != options_end) {
    out << "tolu-ast " << version() << "\n";
    return 0;
  }
  auto parsed = parse_arguments(args);
  if (auto* usage = std::get_if<UsageError>(&parsed)) {
    err << "tolu-ast: " << usage->message << " (see tolu-ast --help)\n";
    return 2;
  }
  const Options& options = std::get<Options>(parsed);
  std::string problem;
  const std::optional<std::string> source = read_input(options, in, problem);
  if (!source) {
    err << "tolu-ast: " << problem << "\n";
    return 2;
  }
  if (!is_valid_utf8(*source)) {
    err << "tolu-ast: " << (options.file ? *options.file : "<stdin>") << " is not valid UTF-8\n";
    return 2;
  }

  if (options.tokens) {
    auto tokens = lex(*source);
    return report(tokens, options, environment, *source, out, err, [&](const TokenVector& t) {
      if (options.json) {
        print_json(out, tokens_json(t), options);
      } else {
        out << tokens_outline(t);
      }
    });
  }
  if (options.expr) {
    auto expression = parse_expression_with_source_file(*source, options.source_file);
    return report(expression, options, environment, *source, out, err,
                  [&](const ast::Expression& e) {
                    if (options.json) {
                      print_json(out, ast::to_json(e, options.spans), options);
                    } else {
                      out << ast::to_outline(e);
                    }
                  });
  }
  auto program = parse_program_with_compile_options_and_source_file(*source, options.compile,
                                                                    options.source_file);
  return report(program, options, environment, *source, out, err, [&](const ast::Program& p) {
    if (options.json) {
      print_json(out, ast::to_json(p, options.spans), options);
    } else {
      out << ast::to_outline(p);
    }
  });
}

}  // namespace tolu::inspect
