// Unit files: open with status UNKNOWN, the cut at the first write, buffering, and open failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif
#include <unistd.h>

#include <string>

#include "runtime/errors.h"
#include "runtime/invariant.h"
#include "runtime/list_input.h"
#include "runtime/unit_os.h"
#include "runtime/units.h"
#include "support.h"

using testsupport::read_file;
using testsupport::starts_with;
using testsupport::TempDir;
using testsupport::write_file;

namespace {

void open_path(int unit, const std::string& path) { rt::open_unit(unit, path.data(), static_cast<int>(path.size())); }

void write_text(int unit, const std::string& text) {
  rt::unit_record& u = rt::statement_unit(unit, rt::Statement::write);
  rt::enter_write_mode(u);
  rt::put_bytes(u, text.data(), text.size());
}

std::string error_head(int number, const char* statement, const std::string& name) {
  return testsupport::io_error_text('F', number, statement, name);
}

}  // namespace

TEST(Units, OpenCreatesAMissingFileEmptyAndLeavesIt) {
  TempDir dir;
  std::string path = dir.file("novo.txt");
  open_path(3, path);
  rt::close_unit(3);
  ASSERT_TRUE(testsupport::file_exists(path));
  EXPECT_EQ(read_file(path), "");
}

TEST(Units, OpenKeepsAnExistingFileAndTheFirstWriteCutsIt) {
  TempDir dir;
  std::string path = dir.file("velho.txt");
  write_file(path, std::string(5000, 'v'));
  open_path(3, path);
  rt::close_unit(3);
  EXPECT_EQ(read_file(path), std::string(5000, 'v'));

  open_path(3, path);
  write_text(3, "novo\r\n");
  rt::close_unit(3);
  EXPECT_EQ(read_file(path), "novo\r\n");
}

TEST(Units, NameIsTrimmedAndEndsAtNul) {
  TempDir dir;
  std::string path = dir.file("a.txt");
  std::string padded = "   " + path + std::string(40, ' ');
  rt::open_unit(3, padded.data(), static_cast<int>(padded.size()));
  EXPECT_EQ(rt::find_unit(3)->name, path);
  rt::close_unit(3);
  std::string with_nul = path + std::string("\0junk", 5);
  rt::open_unit(3, with_nul.data(), static_cast<int>(with_nul.size()));
  EXPECT_EQ(rt::find_unit(3)->name, path);
  rt::close_unit(3);
}

TEST(Units, WritesReachTheFileWholeAcrossManyBuffers) {
  TempDir dir;
  std::string path = dir.file("grande.txt");
  std::string text;
  for (int i = 0; i < 500; ++i) text += std::to_string(i) + std::string(static_cast<std::size_t>(i % 37), '.') + "\r\n";
  text += std::string(3000, 'L') + "\r\n";  // one record longer than the buffer
  open_path(4, path);
  write_text(4, text);
  rt::close_unit(4);
  EXPECT_EQ(read_file(path), text);
}

TEST(Units, ReadAfterWriteFlushesAndLeavesWriteMode) {
  TempDir dir;
  std::string path = dir.file("rw.txt");
  open_path(4, path);
  write_text(4, "12\n");
  rt::unit_record& u = *rt::find_unit(4);
  EXPECT_TRUE(u.write_mode);
  rt::leave_write_mode(u);
  EXPECT_FALSE(u.write_mode);
  EXPECT_EQ(read_file(path), "12\n");
  rt::close_unit(4);
}

TEST(Units, UnitNumberOutsideRangeIsReturnedWithoutReport) {
  EXPECT_EQ(rt::open_unit(40000, "x", 1), 6314);
  EXPECT_EQ(rt::find_unit(40000), nullptr);
}

// An error here would end the process with a report, so the close runs in a child.
TEST(Units, ClosingAnUnconnectedUnitIsNoError) {
  testsupport::RunResult r = testsupport::run_forked([] {
    rt::close_unit(99);
    if (rt::find_unit(99) != nullptr) rt::write_stderr("unit 99 connected");
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
}

TEST(Units, ReopeningTheSameNameKeepsTheConnection) {
  TempDir dir;
  std::string path = dir.file("x.txt");
  open_path(5, path);
  rt::unit_record* first = rt::find_unit(5);
  open_path(5, path);
  EXPECT_EQ(rt::find_unit(5), first);
  rt::close_unit(5);
}

TEST(Units, BlankNameTakesTheNextCommandLineArgument) {
  TempDir dir;
  std::string a1 = dir.file("um.txt"), a2 = "  " + dir.file("dois.txt") + "  ";
  char p0[] = "calor2d";
  std::string s1 = a1, s2 = a2;
  char* argv[] = {p0, s1.data(), s2.data(), nullptr};
  rt::set_arguments(3, argv);
  rt::open_unit(6, "     ", 5);
  EXPECT_EQ(rt::find_unit(6)->name, a1);
  rt::close_unit(6);
  rt::open_unit(6, "", 0);
  EXPECT_EQ(rt::find_unit(6)->name, dir.file("dois.txt"));
  rt::close_unit(6);
  rt::set_arguments(0, nullptr);
}

TEST(Units, BlankNameWithoutArgumentsPromptsAndEndsAtEndOfInput) {
  testsupport::RunResult r = testsupport::run_forked([] {
    rt::set_arguments(0, nullptr);
    rt::open_unit(1, "   ", 3);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "File name missing or blank - please enter file name\r\nUNIT 1? ");
  EXPECT_TRUE(starts_with(r.err, error_head(6501, "OPEN", ""))) << r.err;
}

TEST(Units, OpenFailuresCarryTheirNumbers) {
  TempDir dir;
  std::string sub = dir.file("pasta");
  ::mkdir(sub.c_str(), 0755);
  struct Case {
    std::string name;
    int number;
  } cases[] = {
      {sub, 6414},                            // a directory
      {dir.file("falta/arquivo.txt"), 6416},  // a missing folder
      {dir.file("a.txt/b.txt"), 6416},        // a file used as a folder
  };
  write_file(dir.file("a.txt"), "x");
  for (const Case& c : cases) {
    testsupport::RunResult r = testsupport::run_forked([&] { open_path(2, c.name); });
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_TRUE(starts_with(r.err, error_head(c.number, "OPEN", c.name))) << r.err;
  }
}

TEST(Units, OneFileCannotBeConnectedToTwoUnits) {
  TempDir dir;
  std::string path = dir.file("um.txt");
  testsupport::RunResult r = testsupport::run_forked([&] {
    open_path(2, path);
    std::string other = dir.path() + "/./um.txt";
    open_path(3, other);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, error_head(6413, "OPEN", dir.path() + "/./um.txt"))) << r.err;
}

TEST(Units, SixtySecondConnectionFails) {
  TempDir dir;
  testsupport::RunResult r = testsupport::run_forked([&] {
    for (int u = 10; u < 10 + rt::unit_slots; ++u) open_path(u, dir.file("f" + std::to_string(u)));
    open_path(200, dir.file("extra"));
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, error_head(6418, "OPEN", dir.file("extra")))) << r.err;
}

TEST(Units, FullDeviceEndsTheRunAtTheFlushWithItsName) {
  if (testsupport::windows()) GTEST_SKIP() << "/dev/full is a Linux device";
  testsupport::RunResult r = testsupport::run_forked([] {
    open_path(1, "/dev/full");
    write_text(1, "x\r\n");
    rt::close_unit(1);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, error_head(6422, "CLOSE", "/dev/full"))) << r.err;
}

TEST(Units, EveryFailedWriteEndsTheRunWithItsNumber) {
  if (testsupport::windows()) GTEST_SKIP() << "/dev/full and descriptor swaps are POSIX facilities";
  // Left open: the normal end of the run still writes the bytes, and reports that it could not.
  testsupport::RunResult at_exit = testsupport::run_forked([] {
    open_path(1, "/dev/full");
    write_text(1, "x\r\n");
  });
  EXPECT_EQ(at_exit.status, 1);
  EXPECT_TRUE(starts_with(at_exit.err, error_head(6422, "CLOSE", "/dev/full"))) << at_exit.err;

  // Neither a full disk nor a refusal: the write fails for a reason of its own.
  TempDir dir;
  std::string out = dir.file("r.txt");
  testsupport::RunResult other = testsupport::run_forked([&] {
    open_path(1, out);
    write_text(1, "x\r\n");
    ::dup2(::open("/dev/null", O_RDONLY), static_cast<int>(rt::find_unit(1)->os->handle.h));
    write_text(1, std::string(1500, 'y'));
  });
  EXPECT_EQ(other.status, 1);
  EXPECT_EQ(other.err, error_head(6423, "WRITE", out) + "system write error\r\n");
}

TEST(Units, SystemFailuresOfReadAndOpenHaveTheirNumbers) {
#if defined(_WIN32)
  GTEST_SKIP() << "/proc and descriptor limits are POSIX facilities";
#else
  // The process's own memory at offset 0 is unmapped: the read itself fails.
  testsupport::RunResult read = testsupport::run_forked([] {
    open_path(1, "/proc/self/mem");
    std::int32_t v;
    rt::list_read_begin(1);
    rt::list_read_int4(&v);
  });
  EXPECT_EQ(read.status, 1);
  EXPECT_EQ(read.err, error_head(6500, "READ", "/proc/self/mem") + "system read error\r\n");

  TempDir dir;
  std::string name = dir.file("a.txt");
  testsupport::RunResult open = testsupport::run_forked([&] {
    rlimit none{3, 3};  // the standard streams only
    ::setrlimit(RLIMIT_NOFILE, &none);
    open_path(1, name);
  });
  EXPECT_EQ(open.status, 1);
  EXPECT_EQ(open.err, error_head(6417, "OPEN", name) + "too many open files\r\n");
#endif
}

TEST(Units, PendingBytesAreWrittenWhenAnErrorEndsTheRun) {
  TempDir dir;
  std::string out = dir.file("parcial.txt"), in = dir.file("vazio.txt");
  write_file(in, "");
  testsupport::RunResult r = testsupport::run_forked([&] {
    open_path(1, out);
    write_text(1, "antes\r\n");
    open_path(2, in);
    std::int32_t v;
    rt::list_read_begin(2);
    rt::list_read_int4(&v);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, error_head(6501, "READ", in))) << r.err;
  EXPECT_EQ(read_file(out), "antes\r\n");
}

TEST(Units, DeviceNamesGoToDevicesUnlessTheExtensionMakesThemFiles) {
  TempDir dir;
  testsupport::RunResult r = testsupport::run_forked([&] {
    if (::chdir(dir.path().c_str()) != 0) return;
    rt::open_unit(1, "nul.txt", 7);
    write_text(1, "kept only where NUL is no device\r\n");
    rt::close_unit(1);
    rt::open_unit(2, "ERR", 3);
    write_text(2, "to stderr\r\n");
    rt::close_unit(2);
    rt::open_unit(3, "err.txt", 7);
    write_text(3, "a file\r\n");
    rt::close_unit(3);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "to stderr\r\n");
  EXPECT_EQ(testsupport::file_exists(dir.file("nul.txt")), !testsupport::windows());
  EXPECT_EQ(read_file(dir.file("err.txt")), "a file\r\n");
}

// The invariants guard the unit lookups; a check compiled away with -DNDEBUG
// (every optimised build) would let them dereference null unnoticed.
TEST(InvariantDeathTest, FailedCheckNamesThePlaceAndAbortsInEveryBuild) {
  int evaluated = 0;
  CALOR2D_ASSERT(++evaluated == 1);
  EXPECT_EQ(evaluated, 1);
  EXPECT_DEATH(CALOR2D_ASSERT(rt::find_unit(-5) != nullptr),
               "calor2d: internal error at .*test_units\\.cpp:.+: rt::find_unit\\(-5\\) != nullptr");
}
