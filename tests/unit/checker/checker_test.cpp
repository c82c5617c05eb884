// tolu-parse-files end to end: spawned as a process over temporary directories, comparing the
// exact bytes it prints and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/process.h"
#include "support/temp_dir.h"

namespace tolu {
namespace {

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

struct ArgumentCase {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

class CheckerArguments : public ::testing::TestWithParam<ArgumentCase> {};

// Every case runs in a directory holding ok.tos and -weird.tos, both valid.
TEST_P(CheckerArguments, PrintsAndExitsAsDocumented) {
  TempDir dir;
  dir.write("ok.tos", "say 1;\n");
  dir.write("-weird.tos", "");
  const auto& c = GetParam();
  const auto result = run_process(tool_path("tolu-parse-files"), c.args, "", dir.path().string());
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckerArguments,
    ::testing::Values(
        ArgumentCase{{}, 2, "", "usage: tolu-parse-files [options] <file-or-directory> [...]\n"},
        ArgumentCase{{"x.tos", "-h"}, 0, kUsage, ""}, ArgumentCase{{"--help"}, 0, kUsage, ""},
        ArgumentCase{{"--", "--help"}, 0, kUsage, ""},
        ArgumentCase{{"-d=abc", "ok.tos"}, 2, "", "debug level must be a non-negative integer\n"},
        ArgumentCase{{"-d=+", "ok.tos"}, 2, "", "debug level must be a non-negative integer\n"},
        ArgumentCase{
            {"-d=4294967296", "ok.tos"}, 2, "", "debug level must be a non-negative integer\n"},
        ArgumentCase{
            {"-d=4294967295", "-d=+7", "-d=", "-d", "-d7", "ok.tos"}, 0, "✅  ok.tos\n", ""},
        ArgumentCase{{"-dx", "ok.tos"}, 2, "", "unsupported option: -dx\n"},
        ArgumentCase{{"-", "ok.tos"}, 2, "", "unsupported option: -\n"},
        ArgumentCase{{"--deny"}, 2, "", "expected value after --deny\n"},
        ArgumentCase{{"ok.tos", "-I"}, 2, "", "expected value after -I\n"},
        ArgumentCase{{"--denymodule"}, 2, "", "expected value after --denymodule\n"},
        ArgumentCase{{"-I", "-x", "--deny", "-y", "--denymodule", "a,b", "-Ilib", "--deny=net,fs",
                      "--denymodule=", "ok.tos"},
                     0,
                     "✅  ok.tos\n",
                     ""},
        ArgumentCase{{"--", "-weird.tos"}, 0, "✅  -weird.tos\n", ""},
        ArgumentCase{
            {"missing.tos"}, 2, "", "failed to stat missing.tos: No such file or directory\n"},
        ArgumentCase{{"ok.tos", "ok.tos", "./ok.tos"},
                     0,
                     "✅  ./ok.tos\n✅  ok.tos\n✅  total: 2 passed, 0 failed\n",
                     ""}));

TEST(Checker, WalksDirectoriesInComponentOrderAndSkipsOtherFiles) {
  TempDir dir;
  dir.write("d/b.tos", "say 1;");
  dir.write("d/a.tom", "say 2;");
  dir.write("d/a/c.tos", "");
  dir.write("d/notes.txt", "#");
  dir.write("d/.tos", "#");
  dir.write("d/upper.TOS", "#");
  const auto result = run_process(tool_path("tolu-parse-files"), {"d"}, "", dir.path().string());
  EXPECT_EQ(result.out, "✅  d/a/c.tos\n✅  d/a.tom\n✅  d/b.tos\n✅  total: 3 passed, 0 failed\n");
  EXPECT_EQ(result.status, 0);
}

TEST(Checker, FailuresAreCountedAndTheRunGoesOn) {
  TempDir dir;
  dir.write("a.tos", "say 1;");
  dir.write("b.tos", "say #;");
  dir.write("c.tos", std::string("say \"\xff\";"));
  const auto result = run_process(tool_path("tolu-parse-files"), {"."}, "", dir.path().string());
  EXPECT_EQ(result.out, "✅  ./a.tos\n❌  ./b.tos\n❌  ./c.tos\n❌  total: 1 passed, 2 failed\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "");
}

TEST(Checker, OtherFilesNamedDirectlyAreIgnoredSilently) {
  TempDir dir;
  dir.write("notes.txt", "#");
  const auto result =
      run_process(tool_path("tolu-parse-files"), {"notes.txt"}, "", dir.path().string());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

TEST(Checker, FollowsNamedLinksButNotLinksInsideDirectories) {
  TempDir dir;
  dir.write("real/x.tos", "say 1;");
  std::filesystem::create_directory_symlink("real", dir.path() / "linked");
  std::filesystem::create_directory(dir.path() / "top");
  std::filesystem::create_directory_symlink("../real", dir.path() / "top/inner");
  const auto result =
      run_process(tool_path("tolu-parse-files"), {"linked", "top"}, "", dir.path().string());
  EXPECT_EQ(result.out, "✅  linked/x.tos\n");
  EXPECT_EQ(result.status, 0);
}

TEST(Checker, UnreadableDirectoryIsADiscoveryError) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  TempDir dir;
  dir.write("locked/x.tos", "");
  chmod((dir.path() / "locked").c_str(), 0);
  const auto result =
      run_process(tool_path("tolu-parse-files"), {"locked"}, "", dir.path().string());
  chmod((dir.path() / "locked").c_str(), 0755);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "failed to read directory locked: Permission denied\n");
}

TEST(Checker, FileNamesThatAreNotUtf8AreShownWithReplacementCharacters) {
  TempDir dir;
  dir.write("bad\xff.tos", "");
  const auto result = run_process(tool_path("tolu-parse-files"), {"."}, "", dir.path().string());
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
  const auto result = run_process(tool_path("tolu-parse-files"), {"."}, "", dir.path().string());
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
