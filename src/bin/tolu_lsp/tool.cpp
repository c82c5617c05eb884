#include "bin/tolu_lsp/tool.h"

#include <algorithm>

#include "bin/tolu_lsp/check.h"
#include "bin/tolu_lsp/server.h"
#include "tolu/version.h"

namespace tolu::lsp {
namespace {

constexpr std::string_view kUsage =
    "Usage: tolu-lsp [--stdio]\n"
    "       tolu-lsp --check FILE...\n"
    "The Tolu language server. It speaks the Language Server Protocol on standard input and\n"
    "output, and logs to standard error.\n"
    "Options:\n"
    "  --stdio        serve on standard input and output (the default)\n"
    "  --check FILE   run every feature at every position of each FILE, in both position\n"
    "                 encodings, and fail on any error or broken invariant\n"
    "  --version      print the version\n"
    "  -h, --help     show this help\n";

}  // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err) {
  if (std::any_of(args.begin(), args.end(),
                  [](const std::string& a) { return a == "-h" || a == "--help"; })) {
    out << kUsage;
    return 0;
  }
  if (std::find(args.begin(), args.end(), "--version") != args.end()) {
    out << "tolu-lsp " << version() << "\n";
    return 0;
  }
  if (args.empty() || (args.size() == 1 && args[0] == "--stdio")) return serve(in, out, err);
  if (args[0] == "--check" && args.size() > 1) {
    int status = 0;
    for (auto file = args.begin() + 1; file != args.end(); ++file) {
      status = std::max(status, check_file(*file, out, err));
    }
    return status;
  }
  err << "tolu-lsp: "
      << (args[0] == "--check" ? "--check needs a FILE" : "unknown argument: " + args[0])
      << " (see tolu-lsp --help)\n";
  return 2;
}

}  // namespace tolu::lsp
