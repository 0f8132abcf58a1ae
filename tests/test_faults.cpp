// Faults a user can meet on POSIX systems: report files that cannot be opened or
// written, odd case files, and the history quotient that divides by zero.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "principal.h"
#include "runtime/memory.h"
#include "support.h"

using testsupport::case_file;
using testsupport::read_file;
using testsupport::run_calor2d;
using testsupport::small_case;
using testsupport::starts_with;
using testsupport::TempDir;
using testsupport::write_file;

TEST(ReportFaults, FullDeviceEndsWithDiskFullAndTheReportName) {
  if (testsupport::windows()) GTEST_SKIP() << "/dev/full is a Linux device";
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), small_case("/dev/full"));
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::io_error_text('F', 6422, "WRITE", "/dev/full") + "no space left on device\r\n");
}

TEST(ReportFaults, FileSizeLimitEndsLikeAFullDiskWithEveryByteThatFitted) {
  if (testsupport::windows()) GTEST_SKIP() << "a file-size limit is a POSIX resource limit";
  TempDir whole, limited;
  std::string text = case_file("r.txt", "1.0", "1.0", 9, 9, 20, "1e-8", 1, 5);
  write_file(whole.file("entrada_geral.ent"), text);
  write_file(limited.file("entrada_geral.ent"), text);
  ASSERT_EQ(run_calor2d(whole.path()).status, 0);
  // Not a whole number of buffers: the last write is cut short by the limit.
  testsupport::RunResult r = testsupport::run_with_file_size_limit(limited.path(), 4600);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, testsupport::io_error_text('F', 6422, "WRITE", "r.txt"))) << r.err;
  EXPECT_EQ(read_file(limited.file("r.txt")), read_file(whole.file("r.txt")).substr(0, 4600));
}

TEST(ReportFaults, UnopenableReportNamesEndWithTheOpenError) {
  TempDir dir;
  ::mkdir(dir.file("pasta").c_str(), 0755);
  const std::string folder = "the name designates a folder, not a file";
  struct Case {
    std::string name;
    int number;
    std::string message;
  } cases[] = {{"pasta", 6414, folder},
               {"falta/r.txt", 6416, "file not found"},
               {"entrada_geral.ent/r.txt", 6416, "file not found"},
               {"pasta/", 6414, folder},
               {"falta/", 6414, folder}};
  for (const Case& c : cases) {
    write_file(dir.file("entrada_geral.ent"), small_case(c.name));
    testsupport::RunResult r = run_calor2d(dir.path());
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.err, testsupport::io_error_text('F', c.number, "OPEN", c.name) + c.message + "\r\n");
    EXPECT_FALSE(testsupport::file_exists(dir.file("falta")));
  }
}

TEST(ReportFaults, ReadOnlyReportIsOpenedThenRefusedAtTheFirstWrite) {
  if (!testsupport::read_only_files_hold()) GTEST_SKIP() << "a read-only file is writable here (root under Wine)";
  TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  write_file(dir.file("entrada_geral.ent"), small_case("r.txt"));
  write_file(dir.file("r.txt"), "older report\r\n");
  ::chmod(dir.file("r.txt").c_str(), 0444);
  ::chmod(dir.file("entrada_geral.ent").c_str(), 0644);
  // Root ignores permission bits: run as nobody then.
  testsupport::RunResult r = geteuid() == 0 ? testsupport::run_as_nobody(dir.path()) : run_calor2d(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, testsupport::io_error_text('F', 6421, "WRITE", "r.txt"))) << r.err;
  EXPECT_EQ(read_file(dir.file("r.txt")), "older report\r\n");
}

TEST(ReportFaults, ReportThroughALinkToAMissingFileCreatesTheTarget) {
#if defined(_WIN32)
  GTEST_SKIP() << "symbolic links are a POSIX test here";
#else
  TempDir dir;
  ::mkdir(dir.file("saida").c_str(), 0755);
  ASSERT_EQ(::symlink("saida/novo.txt", dir.file("r.txt").c_str()), 0);
  write_file(dir.file("entrada_geral.ent"), small_case("r.txt"));
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(starts_with(read_file(dir.file("saida/novo.txt")), "Difus\xE3o de"));
  struct stat st;
  ASSERT_EQ(::lstat(dir.file("r.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
}

TEST(ReportFaults, OlderLongerReportLeavesNoTrace) {
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), small_case("r.txt"));
  write_file(dir.file("r.txt"), std::string(1 << 20, 'X'));
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  std::string report = read_file(dir.file("r.txt"));
  EXPECT_EQ(report.find('X'), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
}

TEST(ReportFaults, HistoryQuotientFaultKeepsTheRecordsWrittenBeforeIt) {
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 2, 5, 1, "1e-8", 2, 1));
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::math_error_text(6101, "floating-point error: invalid"));
  std::string report = read_file(dir.file("r.txt"));
  // Title, parameters, initial norms and the history heading: 27 records, then nothing.
  std::string heading = "  itera\xE7\xE3o    L1(it)/L1(0)";
  ASSERT_NE(report.find(heading), std::string::npos) << report;
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
  std::size_t records = 0;
  for (char c : report) records += c == '\n';
  EXPECT_EQ(records, 27u);
}

TEST(CaseFaults, CaseFileThatIsAFolderCannotBeOpened) {
  TempDir dir;
  ::mkdir(dir.file("entrada_geral.ent").c_str(), 0755);
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(starts_with(r.err, testsupport::io_error_text('F', 6414, "OPEN", "entrada_geral.ent"))) << r.err;
}

TEST(CaseFaults, TruncatedAfterAnyValueEndsAtEndOfFile) {
  const std::string full = small_case("r.txt");
  std::size_t end = 0;
  for (int values = 0; values < 9; ++values) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), full.substr(0, end));
    testsupport::RunResult r = run_calor2d(dir.path());
    EXPECT_EQ(r.status, 1) << values;
    EXPECT_TRUE(starts_with(r.err, testsupport::io_error_text('F', 6501, "READ", "entrada_geral.ent"))) << values;
    EXPECT_FALSE(testsupport::file_exists(dir.file("r.txt")));
    end = full.find('\n', end) + 1;
  }
}

TEST(CaseFaults, LastLineWithoutLineFeedReadsAtEverySizeAroundTheBuffer) {
  // Sizes around multiples of the 1024-byte buffer, lines ending in LF or CR LF,
  // the last value ending the file with no terminator or with a lone CR; without
  // the ninth value the read after the eighth still meets the end of the file.
  for (int size : {1023, 1024, 1025, 2048, 3072}) {
    for (const char* eol : {"\n", "\r\n"}) {
      for (const char* end : {"", "\r"}) {
        for (bool ninth : {true, false}) {
          SCOPED_TRACE(testing::Message() << size << (eol[0] == '\r' ? " CR LF" : " LF") << (*end ? ", last CR" : "")
                                          << (ninth ? "" : ", eight values"));
          std::string head;
          for (const char* v : {"'r.txt'", "1.0", "1.0", "5", "5", "20", "1e-8"}) head = head + v + eol;
          std::string tail = ninth ? std::string("2") + eol + "5" : "2";
          tail += end;
          std::string text = head + std::string(static_cast<std::size_t>(size) - head.size() - tail.size(), ' ') + tail;
          ASSERT_EQ(text.size(), static_cast<std::size_t>(size));
          TempDir dir;
          write_file(dir.file("entrada_geral.ent"), text);
          testsupport::RunResult r = run_calor2d(dir.path());
          EXPECT_EQ(r.status, ninth ? 0 : 1) << r.err;
          if (ninth) {
            EXPECT_TRUE(testsupport::file_exists(dir.file("r.txt")));
          } else {
            EXPECT_EQ(r.err, testsupport::io_error_text('F', 6501, "READ", "entrada_geral.ent") +
                                 "end of file encountered\r\n");
          }
        }
      }
    }
  }
}

TEST(CaseFaults, CaseFileLargerThanManyBuffersIsReadToItsNinthValue) {
  TempDir dir;
  std::string text;
  for (const char* v : {"'r.txt'", "1.0", "1.0", "5", "5", "20", "1e-8", "2", "5"}) {
    text += std::string(700, ' ') + "\n\n" + v + " " + std::string(1500, '#') + "\n";
  }
  text += std::string(100000, 'z');
  write_file(dir.file("entrada_geral.ent"), text);
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(testsupport::file_exists(dir.file("r.txt")));
}

TEST(MemoryFaults, AllocationFailureEndsWithTheRunTimeReport) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
  if (testsupport::windows()) GTEST_SKIP() << "Wine does not hold a job to its memory limit";
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 20000, 20000, 10, "1e-8", 2, 5));
  testsupport::RunResult r = testsupport::run_with_memory_limit(dir.path(), 512ull << 20);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "\r\nrun-time error F6700\r\n- insufficient memory\r\n");
  EXPECT_FALSE(testsupport::file_exists(dir.file("r.txt")));
#endif
}

TEST(MemoryFaults, HugeIterationLimitTakesOnlyTheMemoryTheIterationsUse) {
  if (testsupport::windows()) GTEST_SKIP() << "Windows commits the histories whole (see README)";
  // Three histories of 16 GB each, of which the run writes a few elements.
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 5, 5, 2000000000, "1", 2, 5));
  testsupport::RunOptions o;
  o.deadline_seconds = 20;
  testsupport::RunResult r = testsupport::run_calor2d_bounded(dir.path(), o);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_LT(r.peak_kb, 256 * 1024);
}

TEST(MemoryFaults, FieldsThatCannotFitEndWithF6700BeforeAnyIsTouched) {
  // 300 x 300 nodes: the fields take about 1.4 MB.
  const struct {
    unsigned long long limit;
    int status;
    const char* err;
  } cases[] = {{1u << 20, 1, "\r\nrun-time error F6700\r\n- insufficient memory\r\n"}, {2u << 20, 0, ""}};
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 300, 300, 1, "1e-8", 2, 5));
    testsupport::RunResult r = testsupport::run_forked([&] {
      if (::chdir(dir.path().c_str()) != 0) return;
      rt::set_memory_limit(c.limit);
      principal::run();
    });
    EXPECT_EQ(r.status, c.status) << c.limit;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(testsupport::file_exists(dir.file("r.txt")), c.status == 0);
  }
}
