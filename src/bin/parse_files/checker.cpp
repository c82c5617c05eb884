#include "bin/parse_files/checker.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <thread>

#include "base/unicode.h"
#include "bin/common/read_text.h"
#include "tolu/front_end.h"

namespace tolu::checker {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsageText =
    "Usage: tolu-parse-files [options] <file-or-directory> [...]\n"
    "Options:\n"
    "  -d[=N]                 set debug level (accepted for CLI parity)\n"
    "  -I/path/to/lib         add module include directory (accepted for CLI parity)\n"
    "  --deny=CAP             deny runtime capability (accepted for CLI parity)\n"
    "  --denymodule=MODULE    deny a specific module (accepted for CLI parity)\n"
    "  -h, --help             show this help\n";

constexpr std::string_view kPassMark = "✅  ";
constexpr std::string_view kFailMark = "❌  ";

// A usage or discovery error: the message that goes to standard error before exit status 2.
struct UsageError {
  std::string message;
};

std::optional<std::uint32_t> parse_debug_level(std::string_view text) {
  if (text.empty()) return 1;
  if (text.front() == '+') text.remove_prefix(1);
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::uint32_t level = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), level);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return level;
}

bool all_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads the options; returns the paths, or the usage error. Option values are checked for form
// and otherwise ignored: they exist so that the checker takes the runner's command lines.
std::variant<std::vector<std::string>, UsageError> parse_arguments(
    const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      paths.insert(paths.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg == "-I" || arg == "--deny" || arg == "--denymodule") {
      if (i + 1 >= args.size()) return UsageError{"expected value after " + std::string(arg)};
      ++i;
      continue;
    }
    if (arg == "-d") continue;
    if (arg.starts_with("-I")) continue;
    if (arg.starts_with("-d=") || (arg.starts_with("-d") && all_digits(arg.substr(2)))) {
      const std::string_view value = arg[2] == '=' ? arg.substr(3) : arg.substr(2);
      if (!parse_debug_level(value))
        return UsageError{"debug level must be a non-negative integer"};
      continue;
    }
    if (arg.starts_with("--deny=") || arg.starts_with("--denymodule=")) continue;
    if (!arg.empty() && arg.front() == '-')
      return UsageError{"unsupported option: " + std::string(arg)};
    paths.emplace_back(arg);
  }
  if (paths.empty())
    return UsageError{"usage: tolu-parse-files [options] <file-or-directory> [...]"};
  return paths;
}

// The extension is the text after the last "." of the file name, when some text precedes it.
bool has_source_extension(const fs::path& path) {
  const std::string name = path.filename().string();
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string_view extension = std::string_view(name).substr(dot + 1);
  return extension == "tos" || extension == "tom";
}

std::string display(const fs::path& path) {
  return to_valid_utf8(path.string());
}

UsageError stat_error(const std::string& shown, const std::error_code& ec) {
  return UsageError{"failed to stat " + shown + ": " + ec.message()};
}

std::optional<tools::Bytes> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  return tools::read_bytes(in, ec ? 0 : static_cast<std::size_t>(size));
}

// True when the file is readable UTF-8 and the front end accepts it. `storage` is the worker's
// own, kept from file to file.
bool check_file(const fs::path& path, std::unique_ptr<ast::Storage>& storage) {
  const std::optional<tools::Bytes> text = read_file(path);
  if (!text || !is_valid_utf8(text->view())) return false;
  auto program = parse_program_with_compile_options_and_source_file(text->view(), CompileOptions{},
                                                                    std::nullopt, &storage);
  if (!program) return false;
  storage = std::move(program.value().storage);
  return true;
}

// The cores this process may run on.
std::size_t core_count() {
  std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
    cores = static_cast<std::size_t>(CPU_COUNT(&allowed));
  return std::max<std::size_t>(1, cores);
}

// The files found so far, each with whether it passed. The walk of the named paths appends to
// it while workers check what it has found, so that checking starts with the first file rather
// than after the last: the walk of a large tree is as long as checking a few dozen files.
// Workers take files in the order found; a found file never moves, so a worker keeps its record
// while the walk goes on appending.
class Worklist {
 public:
  struct Found {
    fs::path path;
    bool passed = false;
  };

  explicit Worklist(std::size_t helpers) : helpers_wanted_(helpers) {}
  Worklist(const Worklist&) = delete;
  Worklist& operator=(const Worklist&) = delete;
  ~Worklist() { finish(); }

  // Called by the walk. Helpers start with the second file: one file needs no threads.
  void add(fs::path path) {
    bool second = false;
    {
      const std::lock_guard lock(mutex_);
      found_.push_back(Found{std::move(path), false});
      second = found_.size() == 2;
    }
    ready_.notify_one();
    if (second) start_helpers();
  }
  // The walk is over; `failed` when it stopped on an error, so that nothing more is checked.
  void finish(bool failed = false) {
    {
      const std::lock_guard lock(mutex_);
      finished_ = true;
      if (failed) next_ = found_.size();
    }
    ready_.notify_all();
  }
  // Checks files until none is left, then waits for the helpers: the caller's share of the work.
  void check_rest() {
    check_until_done();
    helpers_.clear();
  }
  // Every file found, once all are checked.
  std::deque<Found>& found() { return found_; }

 private:
  void start_helpers() {
    for (std::size_t k = 0; k < helpers_wanted_; ++k)
      helpers_.emplace_back([this] { check_until_done(); });
  }

  // The next file to check, or null when the walk is over and every file was taken.
  Found* take() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return next_ < found_.size() || finished_; });
    return next_ < found_.size() ? &found_[next_++] : nullptr;
  }

  // Each worker keeps one tree storage for all its files, so that it touches its memory once.
  void check_until_done() {
    std::unique_ptr<ast::Storage> storage;
    while (Found* file = take()) file->passed = check_file(file->path, storage);
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Found> found_;
  std::size_t next_ = 0;
  bool finished_ = false;
  std::size_t helpers_wanted_;
  std::vector<std::jthread> helpers_;  // declared last: joined before the rest goes
};

// Appends every source file below `directory`, depth first, in the order the system lists
// entries. Symbolic links inside directories are not followed. The listing gives each entry's
// type on most file systems, so that an entry costs no stat of its own there.
std::optional<UsageError> collect_dir(const fs::path& directory, Worklist& files) {
  std::error_code ec;
  fs::directory_iterator it(directory, ec);
  if (ec) return UsageError{"failed to read directory " + display(directory) + ": " + ec.message()};
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const fs::directory_entry& entry = *it;
    if (entry.is_symlink(ec)) continue;
    const bool regular = !ec && entry.is_regular_file(ec);
    const bool subdirectory = !ec && !regular && entry.is_directory(ec);
    if (ec) return stat_error(display(entry.path()), ec);
    if (regular) {
      if (has_source_extension(entry.path())) files.add(entry.path());
    } else if (subdirectory) {
      if (auto error = collect_dir(entry.path(), files)) return error;
    }
  }
  if (ec)
    return UsageError{"failed to read directory entry in " + display(directory) + ": " +
                      ec.message()};
  return std::nullopt;
}

std::optional<UsageError> discover(const std::vector<std::string>& paths, Worklist& files) {
  for (const std::string& written : paths) {
    const fs::path path(written);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) return stat_error(to_valid_utf8(written), ec);
    if (fs::is_directory(status)) {
      if (auto error = collect_dir(path, files)) return error;
    } else if (fs::is_regular_file(status) && has_source_extension(path)) {
      files.add(path);
    }
  }
  return std::nullopt;
}

// Components of a path: separators collapse and "." components inside the path are dropped;
// a leading "/" and a leading "." are components of their own.
std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.starts_with('/')) parts.push_back("/");
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    const std::size_t start = i;
    while (i < path.size() && path[i] != '/') ++i;
    if (i == start) break;
    const std::string_view part = path.substr(start, i - start);
    if (part == "." && !(start == 0)) continue;
    parts.push_back(part);
  }
  return parts;
}

// The files in the order of their paths' components, each once.
void sort_and_deduplicate(std::deque<Worklist::Found>& files) {
  std::vector<std::pair<std::vector<std::string_view>, std::size_t>> keyed;
  keyed.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i)
    keyed.emplace_back(components(files[i].path.native()), i);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  keyed.erase(std::unique(keyed.begin(), keyed.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              keyed.end());
  std::deque<Worklist::Found> sorted;
  for (const auto& entry : keyed) sorted.push_back(std::move(files[entry.second]));
  files = std::move(sorted);
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (std::any_of(args.begin(), args.end(),
                  [](const std::string& a) { return a == "-h" || a == "--help"; })) {
    out << kUsageText;
    return 0;
  }
  for (const std::string& arg : args) {
    if (!is_valid_utf8(arg)) {
      err << "tolu-parse-files: argument is not valid UTF-8: " << to_valid_utf8(arg) << '\n';
      return 2;
    }
  }
  auto paths = parse_arguments(args);
  if (auto* error = std::get_if<UsageError>(&paths)) {
    err << error->message << '\n';
    return 2;
  }
  // The files are checked while the walk finds them, one worker per core; the walk's thread
  // joins in when the walk is over. Nothing is printed before every file is checked.
  Worklist work(core_count() - 1);
  const std::optional<UsageError> error = discover(std::get<std::vector<std::string>>(paths), work);
  work.finish(error.has_value());
  work.check_rest();
  if (error) {
    err << error->message << '\n';
    return 2;
  }
  std::deque<Worklist::Found>& files = work.found();
  if (files.size() >= 2) sort_and_deduplicate(files);

  std::size_t passed = 0;
  std::size_t failed = 0;
  for (const Worklist::Found& file : files) {
    (file.passed ? passed : failed) += 1;
    out << (file.passed ? kPassMark : kFailMark) << display(file.path) << '\n';
  }
  if (passed + failed >= 2) {
    out << (failed == 0 ? kPassMark : kFailMark) << "total: " << passed << " passed, " << failed
        << " failed\n";
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace tolu::checker
