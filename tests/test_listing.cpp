// The solution listing with and without its helper thread: the same report for
// every sol_mode and grid, and the same prefix on disk when the file stops
// growing in the middle of it.
#include <gtest/gtest.h>

#include <unistd.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <csignal>
#include <string>

#include "listagem.h"
#include "principal.h"
#include "support.h"

using testsupport::before_time;
using testsupport::case_file;
using testsupport::read_file;
using testsupport::TempDir;
using testsupport::write_file;

namespace {

// The report of `text` run in this test's own process, with the helper as given.
testsupport::RunResult run_with(const TempDir& dir, const std::string& text, listagem::Helper h,
                                unsigned long long file_limit = 0) {
  write_file(dir.file("entrada_geral.ent"), text);
  return testsupport::run_forked([&] {
    if (::chdir(dir.path().c_str()) != 0) return;
#if !defined(_WIN32)
    if (file_limit != 0) {
      rlimit lim{file_limit, file_limit};
      ::setrlimit(RLIMIT_FSIZE, &lim);
      ::signal(SIGXFSZ, SIG_IGN);  // as the program's start does
    }
#else
    (void)file_limit;
#endif
    listagem::set_helper(h);
    principal::run();
  });
}

}  // namespace

TEST(Listing, HelperChangesNoByteOfAnyReport) {
  // One node; fewer records than a chunk; a ring that wraps several times with a
  // last chunk cut short.
  const struct { int nx, ny; } grids[] = {{3, 3}, {37, 23}, {150, 61}};
  for (const auto& g : grids) {
    for (int mode : {0, 1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << g.nx << " x " << g.ny << ", sol_mode " << mode);
      const std::string text = case_file("r.txt", "1.0", "1.0", g.nx, g.ny, 30, "1e-8", mode, 7);
      TempDir serial, helped;
      // Both runs before any check: on Windows a child replays this body and sees
      // the runs before its own as not run.
      const int serial_status = run_with(serial, text, listagem::Helper::never).status;
      const int helped_status = run_with(helped, text, listagem::Helper::always).status;
      EXPECT_EQ(serial_status, 0);
      EXPECT_EQ(helped_status, 0);
      if (serial_status != 0 || helped_status != 0) continue;
      const std::string want = read_file(serial.file("r.txt"));
      EXPECT_EQ(before_time(read_file(helped.file("r.txt"))), before_time(want));
      if (mode == 1) {
        EXPECT_GT(want.size(), static_cast<std::size_t>(g.nx) * g.ny * 127);
      }
    }
  }
}

TEST(Listing, FileThatStopsGrowingHoldsTheSamePrefixWithTheHelper) {
  if (testsupport::windows()) GTEST_SKIP() << "a file-size limit is a POSIX resource limit";
  const std::string text = case_file("r.txt", "1.0", "1.0", 150, 61, 30, "1e-8", 1, 7);
  TempDir whole;
  ASSERT_EQ(run_with(whole, text, listagem::Helper::never).status, 0);
  const std::string report = read_file(whole.file("r.txt"));
  for (unsigned long long room : {100000ull, 700001ull}) {
    for (listagem::Helper h : {listagem::Helper::never, listagem::Helper::always}) {
      SCOPED_TRACE(testing::Message() << room << (h == listagem::Helper::always ? " with" : " without")
                                      << " the helper");
      TempDir dir;
      testsupport::RunResult r = run_with(dir, text, h, room);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, testsupport::io_error_text('F', 6422, "WRITE", "r.txt") + "no space left on device\r\n");
      EXPECT_EQ(read_file(dir.file("r.txt")), report.substr(0, room));
    }
  }
}
