// What only Windows has: the command line built for cmd.exe, the interpreter
// limits, the last-error mark, and the traps of the SSE unit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/command.h"
#include "runtime/fpe.h"
#include "support.h"

using testsupport::case_file;
using testsupport::read_file;
using testsupport::run_calor2d;
using testsupport::TempDir;
using testsupport::write_file;

namespace {

constexpr DWORD own_error = 0x20000000u;

int run(const std::string& cmd) { return rt::system(cmd.data(), static_cast<int>(cmd.size())); }

// A folder holding the recording stand-in under `name`, and the log it writes.
struct Recorder {
  TempDir dir;
  std::string exe;
  explicit Recorder(const std::string& name = "record.exe") : exe(dir.file(name)) {
    ::CopyFileA(CALOR2D_RECORDER, exe.c_str(), FALSE);
  }
  std::string log_path() const { return dir.file("log.txt"); }
  std::string log() const { return read_file(log_path()); }
  std::string env() const { return "CALOR2D_COMMAND_LOG=" + log_path(); }
};

// Sets an environment variable for the test's own process and restores it.
struct EnvVar {
  std::string name;
  EnvVar(const char* n, const std::string& value) : name(n) { ::SetEnvironmentVariableA(n, value.c_str()); }
  ~EnvVar() { ::SetEnvironmentVariableA(name.c_str(), nullptr); }
};

}  // namespace

TEST(WindowsCommand, WithoutComspecTheEditorRunsThroughCmdExeSlashC) {
  // The program's folder comes first in the search, then the working folder,
  // where a cmd.exe that records stands in for the real one.
  Recorder cmd("cmd.exe");
  write_file(cmd.dir.file("entrada_geral.ent"), case_file("saida.txt", "1.0", "1.0", 5, 5, 20, "1e-8", 3, 10));
  testsupport::RunResult r = run_calor2d(cmd.dir.path(), {}, {"COMSPEC=", cmd.env()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(cmd.log(), "cmd.exe /c notepad entrada_geral.ent\ncmd.exe /c notepad saida.txt\n");
}

TEST(WindowsCommand, ReportNameReachesTheEditorInDoubleQuotes) {
  Recorder sh;
  write_file(sh.dir.file("entrada_geral.ent"), case_file("a b&c^d.txt", "1.0", "1.0", 4, 4, 10, "0.0", 3, 10));
  testsupport::RunResult r = run_calor2d(sh.dir.path(), {}, {"COMSPEC=" + sh.exe, sh.env()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(testsupport::file_exists(sh.dir.file("a b&c^d.txt")));
  EXPECT_EQ(sh.log(), sh.exe + " /c notepad entrada_geral.ent\n" + sh.exe + " /c notepad \"a b&c^d.txt\"\n");
}

TEST(WindowsCommand, ReportNameWithPercentOrQuoteOpensNoEditor) {
  for (const char* name : {"100%.txt", "%PATH%.txt"}) {
    Recorder sh;
    write_file(sh.dir.file("entrada_geral.ent"), case_file(name, "1.0", "1.0", 4, 4, 10, "0.0", 3, 10));
    testsupport::RunResult r = run_calor2d(sh.dir.path(), {}, {"COMSPEC=" + sh.exe, sh.env()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(testsupport::file_exists(sh.dir.file(name))) << name;
    EXPECT_EQ(sh.log(), sh.exe + " /c notepad entrada_geral.ent\n") << name;
  }
}

TEST(WindowsCommand, CommandLineIsInterpreterSlashCAndTheTrimmedCommand) {
  Recorder sh;
  EnvVar comspec("COMSPEC", sh.exe);
  EnvVar log("CALOR2D_COMMAND_LOG", sh.log_path());
  EXPECT_EQ(run("notepad entrada_geral.ent     "), 0);
  EXPECT_EQ(run("        "), 0);
  EXPECT_EQ(run(std::string(1024, 'x') + "  "), 0);
  EXPECT_EQ(sh.log(), sh.exe + " /c notepad entrada_geral.ent\n" + sh.exe + " /c \n" + sh.exe + " /c " +
                          std::string(1024, 'x') + "\n");
}

TEST(WindowsCommand, ComspecOf260CharactersIsUsedAnd261IsRefusedWithError2) {
  Recorder sh;
  EnvVar log("CALOR2D_COMMAND_LOG", sh.log_path());
  // The same program, reached through a path padded with ".\" to the length wanted.
  std::string folder = sh.dir.path(), pad;
  while (folder.size() + pad.size() + std::string("\\record.exe").size() < 260) pad += "\\.";
  std::string p260 = folder + pad + "\\record.exe";
  if (p260.size() > 260) p260 = folder + pad.substr(2) + "\\\\record.exe";
  ASSERT_EQ(p260.size(), 260u);
  {
    EnvVar comspec("COMSPEC", p260);
    EXPECT_EQ(run("ok"), 0);
    EXPECT_EQ(sh.log(), p260 + " /c ok\n");
  }
  EnvVar comspec("COMSPEC", p260.substr(0, 249) + "\\" + p260.substr(249));
  ::SetLastError(0);
  EXPECT_EQ(run("not started"), -1);
  EXPECT_EQ(::GetLastError(), own_error | 2u);
  EXPECT_EQ(sh.log(), p260 + " /c ok\n");
}

TEST(WindowsCommand, CommandOver1024CharactersIsRefusedWithError7) {
  ::SetLastError(0);
  EXPECT_EQ(run(std::string(1025, 'x')), -1);
  EXPECT_EQ(::GetLastError(), own_error | 7u);
}

TEST(WindowsCommand, ChildStatusComesBackUnchanged) {
  EXPECT_EQ(run("exit 3"), 3);
  EXPECT_EQ(run("exit 0"), 0);
}

TEST(WindowsCommand, MissingInterpreterGivesMinusOneAndError2) {
  TempDir dir;
  EnvVar comspec("COMSPEC", dir.file("nao-existe\\cmd.exe"));
  ::SetLastError(0);
  EXPECT_EQ(run("exit 0"), -1);
  EXPECT_EQ(::GetLastError(), own_error | 2u);
}

TEST(WindowsCommand, InterpreterThatIsNoProgramGivesError8) {
  TempDir dir;
  write_file(dir.file("texto.exe"), "not a program\r\n");
  EnvVar comspec("COMSPEC", dir.file("texto.exe"));
  ::SetLastError(0);
  EXPECT_EQ(run("exit 0"), -1);
  EXPECT_EQ(::GetLastError(), own_error | 8u);
}

TEST(WindowsTraps, EachTrappedKindEndsTheRunWithItsReport) {
  struct Case {
    double (*op)(double);
    std::string err;
  } cases[] = {
      {[](double z) { return z / z; }, testsupport::math_error_text(6101, "floating-point error: invalid")},
      {[](double z) { return 1.0 / z; }, testsupport::math_error_text(6103, "floating-point error: divide by zero")},
      {[](double z) { return 1e308 * (z + 10.0); },
       testsupport::math_error_text(6104, "floating-point error: overflow")},
  };
  for (const Case& c : cases) {
    testsupport::RunResult r = testsupport::run_forked([&] {
      rt::enable_fp_traps();
      volatile double zero = 0.0;
      volatile double v = c.op(zero);
      (void)v;
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(WindowsTraps, UnderflowAndInexactStayQuiet) {
  testsupport::RunResult r = testsupport::run_forked([] {
    rt::enable_fp_traps();
    volatile double tiny = 1e-300;
    volatile double v = tiny * tiny + 1.0 / 3.0;
    (void)v;
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(WindowsTraps, MathRoutineErrorsAreReportedAndTrapsStayArmed) {
  testsupport::RunResult r = testsupport::run_forked([] {
    rt::enable_fp_traps();
    volatile double big = 800.0;
    (void)rt::m_cosh(big);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::math_error_text(6203, "cosh: OVERFLOW error"));
  r = testsupport::run_forked([] {
    rt::enable_fp_traps();
    volatile double x = 709.5;  // next to overflow, and finite
    volatile double ok = rt::m_sinh(x);
    volatile double zero = 0.0;
    volatile double v = ok / zero;
    (void)v;
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::math_error_text(6103, "floating-point error: divide by zero"));
}

TEST(WindowsMath, SineIsCorrectlyRoundedAsOnLinux) {
  // Correctly rounded references (MPFR): multiples of pi/2 and pi, the arguments
  // pi*x(i)/Lx of a few grids (the right edge lands next to pi), and others.
  struct Case {
    double x, sin_x;
  } cases[] = {
      {0x1.921fb54442d18p+0, 0x1.0000000000000p+0},   {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53},
      {0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52}, {0x1.2d97c7f3321d2p+2, -0x1.0000000000000p+0},
      {0x1.2d97c7f3321d2p+3, 0x1.a79394c9e8a0ap-52},  {0x1.921fb54442d18p+3, -0x1.1a62633145c07p-51},
      {0x1.f6a7a2955385ep+2, 0x1.0000000000000p+0},   {0x1.f6a7a2955385ep+3, 0x1.60fafbfd97309p-51},
      {0x1.2d97c7f3321d2p+4, -0x1.a79394c9e8a0ap-51}, {0x1.5fdbbe9bba775p+3, -0x1.0000000000000p+0},
      {0x1.5fdbbe9bba775p+4, 0x1.ee2c2d963a10cp-51},  {0x1.921fb54442d18p+4, -0x1.1a62633145c07p-50},
      {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1},   {0x1.2d97c7f3321d2p+1, 0x1.6a09e667f3bcdp-1},
      {0x1.41b2f769cf0e0p-4, 0x1.415e532398e49p-4},   {0x1.7e0485cda5e0ap+0, 0x1.fe6bf2e2660afp-1},
      {0x1.88121d88f4592p+1, 0x1.415e532398e32p-4},   {0x1.41b2f769cf0e0p-5, 0x1.419dcd176e0f7p-5},
      {0x1.88121d88f4590p+0, 0x1.ff9af2bfbc297p-1},   {0x1.8d18e9669b954p+1, 0x1.419dcd176e128p-5},
      {0x1.acee9f37bebd5p-4, 0x1.ac2609b3c576bp-4},   {0x1.7750cb50c6e5bp+0, 0x1.fd31f94f867c6p-1},
      {0x1.84b8404a84db9p+1, 0x1.ac2609b3c577fp-4},   {0x1.0c152382d7365p-2, 0x1.0907dc1930690p-2},
      {0x1.4f1a6c638d03ep+0, 0x1.ee8dd4748bf14p-1},   {0x1.709d10d3e7eabp+1, 0x1.0907dc1930695p-2},
      {0x1.41b2f769cf0e0p-1, 0x1.2cf2304755a5ep-1},   {0x1.41b2f769cf0e0p+0, 0x1.e6f0e134454ffp-1},
      {0x1.41b2f769cf0e0p+1, 0x1.2cf2304755a5fp-1},   {0x1.9e818537a890ap+2, 0x1.89c263229bdf2p-3},
      {0x1.822c83be57f0cp+1, 0x1.fd144fa59a9adp-4},   {0x1.a0991aa3dce7fp+3, 0x1.bf8aa77b15092p-2},
      {0x1.72dfb08d9d940p+0, 0x1.fc30a5238900fp-1},   {0x1.56f6e85787c88p+3, -0x1.ec5a04976d38ap-1},
      {0x1.d414f1bd3eff2p+2, 0x1.b717e3dd8adb7p-1},   {0x1.28f459c635e9cp+0, 0x1.d56617695adcep-1},
      {0x1.44c245412d04dp+3, -0x1.531e1f5668561p-1},  {0x1.7ff49e6e03304p-1, 0x1.5cf76d8234a4cp-1},
      {0x1.15888241742a6p+3, 0x1.5db26486889efp-1},   {0x1.65a8e69a06398p+0, 0x1.f84be8ebf04eap-1},
      {0x1.d0735c60ab94ep+0, 0x1.f0e6863d16181p-1},   {0x1.56e1fc2f8f359p-997, 0x1.56e1fc2f8f359p-997},
      {-0x1.4000000000000p+1, -0x1.326af0dcfcab1p-1}, {0x0.0p+0, 0x0.0p+0},
  };
  for (const Case& c : cases) EXPECT_EQ(rt::m_sin(c.x), c.sin_x) << std::hexfloat << c.x;
  testsupport::RunResult r = testsupport::run_forked([&] {
    rt::enable_fp_traps();
    for (const Case& c : cases) (void)rt::m_sin(c.x);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(WindowsFiles, ReportHeldByAnotherProgramIsOpenedForReadingThenRefusedAtTheFirstWrite) {
  // Another program reads the report and lets others only read: the open falls
  // back to reading, and the cut before the first record is refused.
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 5, 5, 20, "1e-8", 2, 5));
  write_file(dir.file("r.txt"), "older report\r\n");
  HANDLE held = ::CreateFileA(dir.file("r.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  testsupport::RunResult r = run_calor2d(dir.path());
  ::CloseHandle(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::io_error_text('F', 6421, "WRITE", "r.txt") + "write access denied\r\n");
  EXPECT_EQ(read_file(dir.file("r.txt")), "older report\r\n");
}

TEST(WindowsFiles, ReportHeldWithoutSharingCannotBeOpened) {
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 5, 5, 20, "1e-8", 2, 5));
  write_file(dir.file("r.txt"), "older report\r\n");
  HANDLE held =
      ::CreateFileA(dir.file("r.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  testsupport::RunResult r = run_calor2d(dir.path());
  ::CloseHandle(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, testsupport::io_error_text('F', 6414, "OPEN", "r.txt") + "access denied\r\n");
  EXPECT_EQ(read_file(dir.file("r.txt")), "older report\r\n");
}
