// The program on pipes, FIFOs and devices, interrupted by signals, and closing a
// report that the system refuses only at close: POSIX runs as a user makes them.
// Every run has a deadline, so a program that hangs fails the test, not the suite.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "support.h"

using testsupport::before_time;
using testsupport::case_file;
using testsupport::read_file;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::small_case;
using testsupport::TempDir;
using testsupport::write_file;

namespace {

// 900 listed nodes: about 114 kB, more than a pipe holds.
std::string listing_case(const std::string& out) { return case_file(out, "1.0", "1.0", 30, 30, 20, "1e-8", 1, 5); }

RunOptions within(int seconds) {
  RunOptions o;
  o.deadline_seconds = seconds;
  return o;
}

long file_size(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

using Clock = std::chrono::steady_clock;

// Reads a FIFO to its end as a separate program would; it is open for reading
// before the run starts, and gives up at the deadline.
class FifoReader {
 public:
  explicit FifoReader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)) {
    thread_ = std::thread([this] {
      const auto deadline = Clock::now() + std::chrono::seconds(20);
      char buf[65536];
      while (Clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) got_.append(buf, static_cast<std::size_t>(n));
        if (n == 0 || (p.revents & POLLHUP)) break;
        if (n < 0 && errno != EAGAIN) break;
      }
      ::close(fd_);
    });
  }
  ~FifoReader() {
    if (thread_.joinable()) thread_.join();
  }
  const std::string& bytes() {
    thread_.join();
    return got_;
  }

 private:
  int fd_;
  std::string got_;
  std::thread thread_;
};

}  // namespace

TEST(Streams, ReportOnAPipeWhoseReaderLeavesEndsWithTheWriteError) {
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), listing_case("/dev/stdout"));
  RunOptions o = within(10);
  o.stdout_limit = 10;  // calor2d | head -c 10
  RunResult r = testsupport::run_calor2d_bounded(dir.path(), o);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            testsupport::io_error_text('F', 6423, "WRITE", "/dev/stdout") + "the reader of the pipe has gone\r\n");
  EXPECT_EQ(r.out, "Difus\xE3o de");
}

TEST(Streams, FifoThatNoProcessReadsIsAnOpenErrorWhateverTheReportSize) {
  for (bool listing : {false, true}) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("r.fifo").c_str(), 0644), 0);
    write_file(dir.file("entrada_geral.ent"), listing ? listing_case("r.fifo") : small_case("r.fifo"));
    RunResult r = testsupport::run_calor2d_bounded(dir.path(), within(10));
    EXPECT_EQ(r.status, 1) << listing;
    EXPECT_EQ(r.err, testsupport::io_error_text('F', 6412, "OPEN", "r.fifo") + "no process is reading the FIFO\r\n");
  }
}

TEST(Streams, FifoWithAReaderGetsTheWholeReport) {
  TempDir file_run, fifo_run;
  write_file(file_run.file("entrada_geral.ent"), listing_case("r.txt"));
  ASSERT_EQ(testsupport::run_calor2d_bounded(file_run.path(), within(20)).status, 0);
  ASSERT_EQ(::mkfifo(fifo_run.file("r.fifo").c_str(), 0644), 0);
  write_file(fifo_run.file("entrada_geral.ent"), listing_case("r.fifo"));
  FifoReader reader(fifo_run.file("r.fifo"));
  RunResult r = testsupport::run_calor2d_bounded(fifo_run.path(), within(20));
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string& got = reader.bytes();
  EXPECT_EQ(before_time(got), before_time(read_file(file_run.file("r.txt"))));
  EXPECT_EQ(got.substr(got.size() - 2), "\r\n");
}

TEST(Streams, FifoCaseFileIsReadFromItsWriterUpToAnUnterminatedLastLine) {
  TempDir dir;
  const std::string fifo = dir.file("entrada_geral.ent");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::string text = small_case("r.txt");
  text.pop_back();
  std::thread writer([&] {
    // Waits for the run to open its end (a write-only open fails until then).
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int fd = -1;
    while (fd < 0 && Clock::now() < deadline) {
      fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, 0);
    // A byte at a time: a short read is no end of a record.
    for (char c : text) {
      if (::write(fd, &c, 1) != 1) break;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    ::close(fd);
  });
  RunResult r = testsupport::run_calor2d_bounded(dir.path(), within(10));
  writer.join();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("r.txt")).substr(0, 10), "Difus\xE3o de");
}

TEST(Streams, CaseFileLinkedToAnEndlessDeviceIsRefused) {
  TempDir dir;
  ASSERT_EQ(::symlink("/dev/zero", dir.file("entrada_geral.ent").c_str()), 0);
  RunResult r = testsupport::run_calor2d_bounded(dir.path(), within(10));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::io_error_text('F', 6412, "OPEN", "entrada_geral.ent") +
                       "a device that is not a console cannot be read\r\n");
}

TEST(Interruptions, SignalDuringTheReportLeavesWholeRecordsReportsAndEndsByTheSignal) {
  const struct {
    int sig;
    const char* name;
  } signals[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
  for (const auto& s : signals) {
    SCOPED_TRACE(s.name);
    TempDir dir;
    // A million listed nodes: far more than is written before the signal lands.
    const std::string text = case_file("r.txt", "1.0", "1.0", 1000, 1000, 1, "1e-8", 1, 5);
    write_file(dir.file("entrada_geral.ent"), text);
    RunOptions o = within(30);
    const std::string report = dir.file("r.txt");
    o.while_running = [&](int pid) {
      if (file_size(report) < 256 * 1024) return false;
      ::kill(pid, s.sig);
      return true;
    };
    RunResult r = testsupport::run_calor2d_bounded(dir.path(), o);
    EXPECT_EQ(r.status, 128 + s.sig);
    EXPECT_EQ(r.err, std::string("\r\nrun-time error F6800\r\n- interrupted by ") + s.name + "\r\n");
    const std::string left = read_file(report);
    ASSERT_GT(left.size(), 256u * 1024);
    ASSERT_EQ(left.substr(left.size() - 2), "\r\n");
    // The last record is a whole listing line: five fields of 25 and CR LF.
    const std::size_t start = left.rfind('\n', left.size() - 2) + 1;
    EXPECT_EQ(left.size() - start, 127u);
    EXPECT_EQ(read_file(dir.file("entrada_geral.ent")), text);
  }
}

TEST(Interruptions, HangUpIgnoredAtStartStaysIgnored) {
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 300, 300, 1, "1e-8", 1, 5));
  RunOptions o = within(30);
  o.ignored_signals = {SIGHUP};  // nohup calor2d
  const std::string report = dir.file("r.txt");
  o.while_running = [&](int pid) {
    if (file_size(report) < 256 * 1024) return false;
    ::kill(pid, SIGHUP);
    return true;
  };
  RunResult r = testsupport::run_calor2d_bounded(dir.path(), o);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(read_file(report).find("Tempo de processamento"), std::string::npos);
}

TEST(CloseFailures, ReportThatTheSystemRefusesAtCloseIsAWriteError) {
  const struct {
    int error;
    int number;
    const char* message;
  } cases[] = {{EIO, 6423, "system write error"}, {EDQUOT, 6422, "no space left on device"}};
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), small_case("r.txt"));
    RunOptions o = within(10);
    o.env = {std::string("LD_PRELOAD=") + CALOR2D_CLOSE_FAILS, "CALOR2D_TEST_CLOSE_FAILS=" + std::to_string(c.error),
             "ASAN_OPTIONS=handle_sigfpe=0:detect_leaks=1:verify_asan_link_order=0"};
    RunResult r = testsupport::run_calor2d_bounded(dir.path(), o);
    EXPECT_EQ(r.status, 1) << c.error;
    EXPECT_EQ(r.err, testsupport::io_error_text('F', c.number, "CLOSE", "r.txt") + c.message + "\r\n");
    EXPECT_NE(read_file(dir.file("r.txt")).find("Tempo de processamento"), std::string::npos);
  }
}

TEST(FillingDisk, ReportEndsWithDiskFullHoldingExactlyTheBytesThatFitted) {
  // About 457 kB: the room runs out inside the first gathered write, on a
  // boundary between two of them, and in the middle of a later one.
  const std::string text = case_file("r.txt", "1.0", "1.0", 60, 60, 20, "1e-8", 1, 5);
  TempDir whole_dir;
  write_file(whole_dir.file("entrada_geral.ent"), text);
  ASSERT_EQ(testsupport::run_calor2d(whole_dir.path()).status, 0);
  const std::string whole = read_file(whole_dir.file("r.txt"));
  for (unsigned long long room : {4600ull, 3ull * 65536, 200037ull}) {
    for (bool disk : {true, false}) {
      SCOPED_TRACE(testing::Message() << room << (disk ? " bytes of disk" : " bytes of file-size limit"));
      TempDir dir;
      write_file(dir.file("entrada_geral.ent"), text);
      RunResult r;
      if (disk) {
        RunOptions o = within(20);
        o.env = {std::string("LD_PRELOAD=") + CALOR2D_DISK_FILLS, "CALOR2D_TEST_DISK_BYTES=" + std::to_string(room),
                 "ASAN_OPTIONS=handle_sigfpe=0:detect_leaks=1:verify_asan_link_order=0"};
        r = testsupport::run_calor2d_bounded(dir.path(), o);
      } else {
        r = testsupport::run_with_file_size_limit(dir.path(), room);
      }
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, testsupport::io_error_text('F', 6422, "WRITE", "r.txt") + "no space left on device\r\n");
      EXPECT_EQ(read_file(dir.file("r.txt")), whole.substr(0, room));
    }
  }
}
