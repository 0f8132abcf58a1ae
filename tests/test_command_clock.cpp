// Command execution through the interpreter, and the stopwatch.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "runtime/clock.h"
#include "runtime/command.h"
#include "support.h"

using testsupport::TempDir;

namespace {

// An interpreter that records its arguments, one per line, and exits with 0.
class RecordingShell {
 public:
  RecordingShell() {
    path_ = dir_.file("shell");
    testsupport::write_file(
        path_, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + dir_.file("args") + "'\nexit 0\n");
    ::chmod(path_.c_str(), 0755);
    setenv("COMSPEC", path_.c_str(), 1);
  }
  ~RecordingShell() { unsetenv("COMSPEC"); }
  std::string args() const { return testsupport::read_file(dir_.file("args")); }
  const std::string& path() const { return path_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::string path_;
};

int run(const std::string& cmd) { return rt::system(cmd.data(), static_cast<int>(cmd.size())); }

}  // namespace

TEST(Command, InterpreterGetsTheSwitchAndTheCommandWithoutTrailingBlanks) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  RecordingShell sh;
  EXPECT_EQ(run("notepad entrada_geral.ent     "), 0);
  EXPECT_EQ(sh.args(), "-c\nnotepad entrada_geral.ent\n");
  EXPECT_EQ(run("  lead stays"), 0);
  EXPECT_EQ(sh.args(), "-c\n  lead stays\n");
}

TEST(Command, BlankCommandStillStartsTheInterpreter) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  RecordingShell sh;
  EXPECT_EQ(run("        "), 0);
  EXPECT_EQ(sh.args(), "-c\n\n");
}

TEST(Command, CommandLengthLimitIs1024AfterTrimming) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  RecordingShell sh;
  EXPECT_EQ(run(std::string(1024, 'x') + "   "), 0);
  EXPECT_EQ(sh.args().size(), 3 + 1024 + 1);
  errno = 0;
  EXPECT_EQ(run(std::string(1025, 'x')), -1);
  EXPECT_EQ(errno, 7);
}

TEST(Command, InterpreterPathLimitIs260) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  RecordingShell sh;
  // The same script, reached through a path padded with "./" to the length wanted.
  auto padded_to = [&](std::size_t len) {
    std::string dir = sh.dir().path();
    std::string pad;
    while (dir.size() + pad.size() + std::string("/shell").size() < len) pad += "/.";
    std::string p = dir + pad + "/shell";
    if (p.size() > len) p = dir + pad.substr(2) + "//shell";
    return p;
  };
  std::string p260 = padded_to(260);
  ASSERT_EQ(p260.size(), 260u);
  setenv("COMSPEC", p260.c_str(), 1);
  EXPECT_EQ(run("ok"), 0);
  EXPECT_EQ(sh.args(), "-c\nok\n");
  std::string p261 = p260.substr(0, p260.size() - 6) + "//shell";
  ASSERT_EQ(p261.size(), 261u);
  setenv("COMSPEC", p261.c_str(), 1);
  errno = 0;
  EXPECT_EQ(run("not started"), -1);
  EXPECT_EQ(errno, 2);
}

TEST(Command, ChildStatusIsReturnedUnchanged) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  unsetenv("COMSPEC");
  EXPECT_EQ(run("exit 3"), 3);
  EXPECT_EQ(run("true"), 0);
}

TEST(Command, MissingInterpreterReturnsMinusOneWithError2) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  setenv("COMSPEC", "/nonexistent/interpreter", 1);
  errno = 0;
  EXPECT_EQ(run("true"), -1);
  EXPECT_EQ(errno, 2);
  unsetenv("COMSPEC");
}

TEST(Command, NonExecutableInterpreterReturnsMinusOneWithError8) {
  if (testsupport::windows())
    GTEST_SKIP() << "POSIX interpreter (sh -c, errno); the Windows command line is tested in test_windows";
  TempDir dir;
  std::string p = dir.file("plain");
  testsupport::write_file(p, "not a program");
  ::chmod(p.c_str(), 0644);
  setenv("COMSPEC", p.c_str(), 1);
  errno = 0;
  EXPECT_EQ(run("true"), -1);
  EXPECT_EQ(errno, 8);
  unsetenv("COMSPEC");
}

// A name of plain characters that starts like an option must still be guarded:
// the end-to-end test's name also needs quoting, so it would not notice.
TEST(Command, EditorCommandQuotesWhatNeedsItAndGuardsOptionLikeNames) {
  const bool win = testsupport::windows();
  const struct {
    std::string file;
    bool built;
    std::string command;
  } cases[] = {
      {"saida.txt", true, "notepad saida.txt"},
      {"-r.txt", true, win ? "notepad \"-r.txt\"" : "notepad './-r.txt'"},
      {"+5", true, win ? "notepad \"+5\"" : "notepad './+5'"},
      {"a-b+c.txt", true, "notepad a-b+c.txt"},
      {"a b", true, win ? "notepad \"a b\"" : "notepad 'a b'"},
      {"it's", true, win ? "notepad \"it's\"" : "notepad 'it'\\''s'"},
      {"50%.txt", !win, "notepad '50%.txt'"},
  };
  for (const auto& c : cases) {
    std::string command;
    const bool built = rt::editor_command(c.file, command);
    EXPECT_EQ(built, c.built) << c.file;
    if (built && c.built) {
      EXPECT_EQ(command, c.command) << c.file;
    }
  }
}

TEST(Clock, HalvesArithmeticGivesTheTickDifference) {
  const unsigned long long t0 = 0x00000001FFFFD8F0ull;  // low half about to wrap
  EXPECT_EQ(rt::elapsed_seconds(t0, t0), 0.0);
  EXPECT_EQ(rt::elapsed_seconds(t0, t0 + 10000), 0.001);
  EXPECT_EQ(rt::elapsed_seconds(t0, t0 + 15000000), 1.5);
  EXPECT_EQ(rt::elapsed_seconds(t0, t0 + 36000000000ull), 3600.0);
}

TEST(Clock, FirstCallIsZeroAndLaterCallsCountSeconds) {
  using steady = std::chrono::steady_clock;
  auto before_zero = steady::now();
  EXPECT_EQ(rt::timef(), 0.0);
  auto after_zero = steady::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  auto before = steady::now();
  double t = rt::timef();
  auto after = steady::now();
  // Bracketed by a clock of its own: the interval lies between these two, to the millisecond.
  auto seconds = [](steady::duration d) { return std::chrono::duration<double>(d).count(); };
  EXPECT_GE(t, seconds(before - after_zero) - 0.001);
  EXPECT_LE(t, seconds(after - before_zero) + 0.001);
  double again = rt::timef();
  EXPECT_GE(again, t);
}
