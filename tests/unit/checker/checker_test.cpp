// tolu-parse-files: the argument table calls the checker's run() in this process, naming files
// by absolute path; the tests that name files relative to a working directory spawn the built
// tool in a temporary directory. Both compare the exact bytes printed and the exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "bin/common/read_text.h"
#include "bin/parse_files/checker.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace tolu {
namespace {

using testing::ProcessResult;
using testing::run_process;
using testing::TempDir;
using testing::tool_path;

const std::string kUsage =
    "Usage: tolu-parse-files [options] <file-or-directory> [...]\n"
    "Options:\n"
    "  -d[=N]                 set debug level (accepted for CLI parity)\n"
    "  -I/path/to/lib         add module include directory (accepted for CLI parity)\n"
    "  --deny=CAP             deny runtime capability (accepted for CLI parity)\n"
    "  --denymodule=MODULE    deny a specific module (accepted for CLI parity)\n"
    "  -h, --help             show this help\n";

// Runs the checker in this process.
ProcessResult check(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  ProcessResult result;
  result.status = checker::run(args, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

// The checker spawned in `cwd`, for paths written relative to it.
ProcessResult check_in(const TempDir& cwd, const std::vector<std::string>& args) {
  return run_process(tool_path("tolu-parse-files"), args, "", cwd.path().string());
}

// Every "{dir}" replaced by `dir`.
std::string in_dir(std::string text, const std::string& dir) {
  for (std::size_t at = 0; (at = text.find("{dir}", at)) != std::string::npos; at += dir.size())
    text.replace(at, 5, dir);
  return text;
}

struct ArgumentCase {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

void PrintTo(const ArgumentCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << ' ';
}

class CheckerArguments : public ::testing::TestWithParam<ArgumentCase> {};

// Every case runs with a directory "{dir}" holding ok.tos and -weird.tos, both valid, and
// bad.tos, which does not compile.
TEST_P(CheckerArguments, PrintsAndExitsAsDocumented) {
  TempDir dir;
  dir.write("ok.tos", "say 1;\n");
  dir.write("-weird.tos", "");
  dir.write("bad.tos", "say #\n");
  const std::string root = dir.path().string();
  const auto& c = GetParam();
  std::vector<std::string> args;
  for (const std::string& arg : c.args) args.push_back(in_dir(arg, root));
  const auto result = check(args);
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.out, in_dir(c.out, root));
  EXPECT_EQ(result.err, in_dir(c.err, root));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckerArguments,
    ::testing::Values(
        ArgumentCase{{}, 2, "", "usage: tolu-parse-files [options] <file-or-directory> [...]\n"},
        ArgumentCase{{"x.tos", "-h"}, 0, kUsage, ""}, ArgumentCase{{"--help"}, 0, kUsage, ""},
        ArgumentCase{{"--", "--help"}, 0, kUsage, ""},
        ArgumentCase{
            {"-d=abc", "{dir}/ok.tos"}, 2, "", "debug level must be a non-negative integer\n"},
        ArgumentCase{
            {"-d=+", "{dir}/ok.tos"}, 2, "", "debug level must be a non-negative integer\n"},
        ArgumentCase{{"-d=4294967296", "{dir}/ok.tos"},
                     2,
                     "",
                     "debug level must be a non-negative integer\n"},
        ArgumentCase{{"-d=4294967295", "-d=+7", "-d=", "-d", "-d7", "{dir}/ok.tos"},
                     0,
                     "✅  {dir}/ok.tos\n",
                     ""},
        ArgumentCase{{"-dx", "{dir}/ok.tos"}, 2, "", "unsupported option: -dx\n"},
        ArgumentCase{{"-", "{dir}/ok.tos"}, 2, "", "unsupported option: -\n"},
        ArgumentCase{{"--deny"}, 2, "", "expected value after --deny\n"},
        ArgumentCase{{"{dir}/ok.tos", "-I"}, 2, "", "expected value after -I\n"},
        ArgumentCase{{"--denymodule"}, 2, "", "expected value after --denymodule\n"},
        ArgumentCase{{"-I", "-x", "--deny", "-y", "--denymodule", "a,b", "-Ilib", "--deny=net,fs",
                      "--denymodule=", "{dir}/ok.tos"},
                     0,
                     "✅  {dir}/ok.tos\n",
                     ""},
        ArgumentCase{{"--", "{dir}/-weird.tos"}, 0, "✅  {dir}/-weird.tos\n", ""},
        ArgumentCase{{"{dir}/missing.tos"},
                     2,
                     "",
                     "failed to stat {dir}/missing.tos: No such file or directory\n"},
        ArgumentCase{
            {"{dir}/ok.tos", "{dir}//ok.tos", "{dir}/./ok.tos"}, 0, "✅  {dir}/ok.tos\n", ""},
        // Files are checked while the walk goes on: an error found after some of them still
        // stops the run with nothing printed, and a file found twice is reported once.
        ArgumentCase{{"{dir}", "{dir}/ok.tos", "{dir}/missing.tos"},
                     2,
                     "",
                     "failed to stat {dir}/missing.tos: No such file or directory\n"},
        ArgumentCase{{"{dir}/ok.tos", "{dir}", "{dir}/bad.tos"},
                     1,
                     "✅  {dir}/-weird.tos\n❌  {dir}/bad.tos\n✅  {dir}/ok.tos\n"
                     "❌  total: 2 passed, 1 failed\n",
                     ""},
        ArgumentCase{{"{dir}/ok.tos", "{dir}/bad.tos"},
                     1,
                     "❌  {dir}/bad.tos\n✅  {dir}/ok.tos\n❌  total: 1 passed, 1 failed\n",
                     ""}));

// Names are shown as written: a name that starts with "-" after "--", and a leading "./",
// which keeps two spellings of one file apart.
// The size a file had when it was listed is only a hint: the file may have grown or shrunk since.
// From 2 MiB up the bytes go into memory aligned for huge pages, which a growing read may reach
// from a smaller buffer.
TEST(ReadAll, ReadsTheWholeInputWhateverSizeWasExpected) {
  struct Case {
    std::size_t actual;
    std::size_t expected;
  };
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  for (const Case c :
       {Case{0, 0}, Case{0, 10}, Case{1, 0}, Case{5000, 5000}, Case{5000, 4999}, Case{5000, 5001},
        Case{5000, 10}, Case{100000, 0}, Case{10, 100000}, Case{kHuge - 1, kHuge - 2},
        Case{kHuge, kHuge}, Case{kHuge + 1, 4096}, Case{3 * kHuge + 5, 0}, Case{100, 3 * kHuge}}) {
    SCOPED_TRACE(std::to_string(c.actual) + " bytes, " + std::to_string(c.expected) + " expected");
    std::string text(c.actual, 'x');
    for (std::size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('a' + i % 26);
    std::istringstream in(text);
    EXPECT_EQ(tools::read_all(in, c.expected), text);
    std::istringstream again(text);
    const auto bytes = tools::read_bytes(again, c.expected);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->view(), text);
  }
}

TEST(Checker, RelativeNamesAreShownAsWritten) {
  TempDir dir;
  dir.write("ok.tos", "say 1;\n");
  dir.write("-weird.tos", "");
  auto result = check_in(dir, {"--", "-weird.tos"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "✅  -weird.tos\n");
  EXPECT_EQ(result.err, "");
  result = check_in(dir, {"ok.tos", "ok.tos", "./ok.tos"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "✅  ./ok.tos\n✅  ok.tos\n✅  total: 2 passed, 0 failed\n");
  EXPECT_EQ(result.err, "");
}

TEST(Checker, WalksDirectoriesInComponentOrderAndSkipsOtherFiles) {
  TempDir dir;
  dir.write("d/b.tos", "say 1;");
  dir.write("d/a.tom", "say 2;");
  dir.write("d/a/c.tos", "");
  dir.write("d/notes.txt", "#");
  dir.write("d/.tos", "#");
  dir.write("d/upper.TOS", "#");
  const auto result = check_in(dir, {"d"});
  EXPECT_EQ(result.out, "✅  d/a/c.tos\n✅  d/a.tom\n✅  d/b.tos\n✅  total: 3 passed, 0 failed\n");
  EXPECT_EQ(result.status, 0);
}

TEST(Checker, FailuresAreCountedAndTheRunGoesOn) {
  TempDir dir;
  dir.write("a.tos", "say 1;");
  dir.write("b.tos", "say #;");
  dir.write("c.tos", std::string("say \"\xff\";"));
  const auto result = check_in(dir, {"."});
  EXPECT_EQ(result.out, "✅  ./a.tos\n❌  ./b.tos\n❌  ./c.tos\n❌  total: 1 passed, 2 failed\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "");
}

// Editors that save UTF-8 with a byte-order mark put U+FEFF first; it is no part of the program.
// Anywhere else it is still refused.
TEST(Checker, AByteOrderMarkStartsAFileAndNothingElse) {
  TempDir dir;
  dir.write("bom.tos", "\xEF\xBB\xBFsay 1;\n");
  dir.write("bom-interpreter.tos", "\xEF\xBB\xBF#!/usr/bin/env tolu\nsay 1;\n");
  dir.write("late-bom.tos", "say 1;\n\xEF\xBB\xBFsay 2;\n");
  const auto result = check_in(dir, {"."});
  EXPECT_EQ(result.out,
            "✅  ./bom-interpreter.tos\n✅  ./bom.tos\n❌  ./late-bom.tos\n"
            "❌  total: 2 passed, 1 failed\n");
  EXPECT_EQ(result.status, 1);
}

TEST(Checker, OtherFilesNamedDirectlyAreIgnoredSilently) {
  TempDir dir;
  dir.write("notes.txt", "#");
  const auto result = check_in(dir, {"notes.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

TEST(Checker, FollowsNamedLinksButNotLinksInsideDirectories) {
  TempDir dir;
  dir.write("real/x.tos", "say 1;");
  std::filesystem::create_directory_symlink("real", dir.path() / "linked");
  std::filesystem::create_directory(dir.path() / "top");
  std::filesystem::create_directory_symlink("../real", dir.path() / "top/inner");
  const auto result = check_in(dir, {"linked", "top"});
  EXPECT_EQ(result.out, "✅  linked/x.tos\n");
  EXPECT_EQ(result.status, 0);
}

TEST(Checker, UnreadableDirectoryIsADiscoveryError) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  TempDir dir;
  dir.write("locked/x.tos", "");
  chmod((dir.path() / "locked").c_str(), 0);
  const auto result = check_in(dir, {"locked"});
  chmod((dir.path() / "locked").c_str(), 0755);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "failed to read directory locked: Permission denied\n");
}

TEST(Checker, FileNamesThatAreNotUtf8AreShownWithReplacementCharacters) {
  TempDir dir;
  dir.write("bad\xff.tos", "");
  const auto result = check_in(dir, {"."});
  EXPECT_EQ(result.out, "✅  ./bad\xEF\xBF\xBD.tos\n");
}

TEST(Checker, ThousandsOfFilesAreCheckedAndReportedInPathOrder) {
  TempDir dir;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "d%02d/f%04d.tos", i % 7, i);
    const bool fails = i % 10 == 3;
    dir.write(name, i % 5 == 0 ? "" : fails ? "say #" : "say 1;");
  }
  std::size_t failed = 0;
  for (int d = 0; d < 7; ++d) {
    for (int i = d; i < 3000; i += 7) {
      char line[64];
      const bool fails = i % 10 == 3 && i % 5 != 0;
      failed += fails;
      std::snprintf(line, sizeof line, "%s  ./d%02d/f%04d.tos\n", fails ? "❌" : "✅", d, i);
      expected += line;
    }
  }
  expected += "❌  total: " + std::to_string(3000 - failed) + " passed, " + std::to_string(failed) +
              " failed\n";
  const auto result = check_in(dir, {"."});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, expected) << result.err;
}

TEST(Checker, ArgumentsThatAreNotUtf8StopTheRun) {
  const auto result = run_process(tool_path("tolu-parse-files"), {"x\xff.tos"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "tolu-parse-files: argument is not valid UTF-8: x\xEF\xBF\xBD.tos\n");
}

}  // namespace
}  // namespace tolu
