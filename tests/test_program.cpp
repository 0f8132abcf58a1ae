// The program run as a user runs it: a fresh folder with its own case file, standard
// input closed; exit status, standard error and the files left behind.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support.h"

using testsupport::case_file;
using testsupport::read_file;
using testsupport::run_calor2d;
using testsupport::TempDir;
using testsupport::write_file;

namespace {

// A folder whose PATH starts with a "notepad" that records each file it is given.
struct EditorLog {
  TempDir bin;
  EditorLog() {
    std::string p = bin.file("notepad");
    write_file(p, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> '" + bin.file("log") + "'\n");
    ::chmod(p.c_str(), 0755);
  }
  std::string path_env() const { return "PATH=" + bin.path() + ":/usr/bin:/bin"; }
  std::string log() const { return read_file(bin.file("log")); }
};

}  // namespace

TEST(Program, BundledExampleRunsQuietlyAndWritesItsReport) {
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), read_file(std::string(CALOR2D_EXAMPLES) + "/entrada_geral.ent"));
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::string report = read_file(dir.file("resultado.txt"));
  EXPECT_EQ(report.substr(0, 10), "Difus\xE3o de");
  EXPECT_NE(report.find("Tempo de processamento (em segundos):"), std::string::npos);
}

TEST(Program, EditorIsOfferedTheCaseFileThenTheReport) {
  if (testsupport::windows())
    GTEST_SKIP() << "the editor is a #!/bin/sh script found through a POSIX PATH; see test_windows";
  TempDir dir;
  EditorLog editor;
  write_file(dir.file("entrada_geral.ent"), case_file("saida.txt", "1.0", "1.0", 5, 5, 100, "1.0d-6", 3, 10));
  testsupport::RunResult r = run_calor2d(dir.path(), {}, {editor.path_env()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(editor.log(), "[entrada_geral.ent]\n[saida.txt]\n");
}

TEST(Program, ReportNameReachesTheEditorAsOneWordAndRunsNothing) {
  if (testsupport::windows())
    GTEST_SKIP() << "the editor is a #!/bin/sh script found through a POSIX PATH; see test_windows";
  TempDir dir;
  EditorLog editor;
  write_file(dir.file("entrada_geral.ent"), case_file("a b; touch pwned", "1.0", "1.0", 4, 4, 10, "0.0", 3, 10));
  testsupport::RunResult r = run_calor2d(dir.path(), {}, {editor.path_env()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(testsupport::file_exists(dir.file("a b; touch pwned")));
  EXPECT_FALSE(testsupport::file_exists(dir.file("pwned")));
  EXPECT_EQ(editor.log(), "[entrada_geral.ent]\n[a b; touch pwned]\n");

  // A name that looks like an option reaches the editor as a path.
  TempDir other;
  EditorLog options;
  write_file(other.file("entrada_geral.ent"), case_file("+!touch pwned", "1.0", "1.0", 4, 4, 10, "0.0", 3, 10));
  r = run_calor2d(other.path(), {}, {options.path_env()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(options.log(), "[entrada_geral.ent]\n[./+!touch pwned]\n");
}

TEST(Program, NoEditorAnywhereMeansNoLaunchAndASilentRun) {
  if (testsupport::windows()) GTEST_SKIP() << "Windows always has notepad";
  if (testsupport::file_exists("/usr/bin/notepad") || testsupport::file_exists("/bin/notepad")) GTEST_SKIP();
  // The program copied away from its helper folder, with no notepad on PATH.
  TempDir bin, dir;
  std::filesystem::copy_file(CALOR2D_EXE, bin.file("calor2d"));
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 5, 5, 20, "1e-8", 2, 5));
  testsupport::RunResult r = testsupport::run_in(dir.path(), bin.file("calor2d"), {}, {"PATH=/usr/bin:/bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
}

TEST(Program, FewFreeDescriptorsLeaveTheRunSilent) {
  if (testsupport::windows() || !testsupport::file_exists("/usr/bin/prlimit")) GTEST_SKIP() << "needs prlimit";
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 5, 5, 20, "1e-8", 2, 5));
  // Standard streams and one file: the stand-in editor must not need another.
  testsupport::RunResult r = testsupport::run_in(dir.path(), "/usr/bin/prlimit", {"--nofile=4", CALOR2D_EXE});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(testsupport::file_exists(dir.file("r.txt")));
}

TEST(Program, WindowsDeviceNamesAreOrdinaryFileNamesHere) {
  if (testsupport::windows()) GTEST_SKIP() << "on Windows these names are devices";
  for (const char* name : {"aux.txt", "COM1", "LINE", "nul.txt", "LPT1.rel", "prn"}) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), case_file(name, "1.0", "1.0", 5, 5, 20, "1e-8", 2, 5));
    testsupport::RunResult r = run_calor2d(dir.path());
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_EQ(read_file(dir.file(name)).substr(0, 10), "Difus\xE3o de") << name;
  }
}

TEST(Program, MissingCaseFileIsCreatedEmptyAndEndsAtEndOfFile) {
  TempDir dir;
  testsupport::RunResult r = run_calor2d(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\r\nrun-time error F6501: READ(entrada_geral.ent)\r\n- end of file encountered\r\n");
  ASSERT_TRUE(testsupport::file_exists(dir.file("entrada_geral.ent")));
  EXPECT_EQ(read_file(dir.file("entrada_geral.ent")), "");
}

TEST(Program, MalformedCaseFilesEndWithTheReadErrorAndNoReport) {
  struct Case {
    std::string text;
    int number;
  } cases[] = {
      {"'r.txt'\n1.0\n1.0\n21\n21\n", 6501},                      // fewer than nine values
      {"'r.txt'\n1.0\n1.0\n10.0\n21\n100\n1e-8\n2\n10\n", 6101},  // a real where an integer goes
      {"'r.txt'\n1.0x\n1.0\n21\n21\n100\n1e-8\n2\n10\n", 6103},   // not wholly a number
      {"'r.txt'\n1.0\n1.0\n21\n21\n100\n'1e-8'\n2\n10\n", 6504},  // a quoted number
      {"'r.txt'\r1.0\r1.0\r21\r21\r100\r1e-8\r2\r10\r", 6501},    // carriage returns alone
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), c.text);
    testsupport::RunResult r = run_calor2d(dir.path());
    EXPECT_EQ(r.status, 1);
    std::string head = testsupport::io_error_text('F', c.number, "READ", "entrada_geral.ent");
    EXPECT_EQ(r.err.substr(0, head.size()), head) << c.text;
    EXPECT_FALSE(testsupport::file_exists(dir.file("r.txt")));
  }
}

TEST(Program, ValuesTheRunCannotSurviveAreRefusedBeforeAnythingElse) {
  struct Case {
    std::string text;
    std::string message;
    std::vector<std::string> args = {};
  } cases[] = {
      {case_file("r.txt", "1.0", "1.0", 21, 21, 0, "1e-8", 2, 10), "itmax = 0, mas deve ser pelo menos 1"},
      {case_file("r.txt", "1.0", "1.0", 21, 21, 10, "1e-8", 2, 0), "hist_step = 0, mas deve ser pelo menos 1"},
      {case_file("r.txt", "1.0", "1.0", 0, 21, 10, "1e-8", 2, 10), "Nx = 0, mas deve ser pelo menos 1"},
      {case_file("r.txt", "1.0", "1.0", 21, -3, 10, "1e-8", 2, 10), "Ny = -3, mas deve ser pelo menos 1"},
      {case_file("r.txt", "1.0", "1.0", 65536, 65536, 10, "1e-8", 2, 10),
       "Nx*Ny = 4294967296 excede o maior inteiro de 32 bits (2147483647)"},
      {case_file("entrada_geral.ent", "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10),
       "out_name = 'entrada_geral.ent' designa o mesmo arquivo que entrada_geral.ent; escolha outro nome"},
      {case_file("./entrada_geral.ent", "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10),
       "out_name = './entrada_geral.ent' designa o mesmo arquivo que entrada_geral.ent; escolha outro nome"},
      // The name the open would use: cut at a NUL, blanks trimmed.
      {case_file(std::string("entrada_geral.ent \0x", 20), "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10),
       "out_name = 'entrada_geral.ent' designa o mesmo arquivo que entrada_geral.ent; escolha outro nome"},
      // A blank name takes the command line's argument when the report is opened.
      {case_file(" ", "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10),
       "out_name = 'entrada_geral.ent' designa o mesmo arquivo que entrada_geral.ent; escolha outro nome",
       {"entrada_geral.ent"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), c.text);
    testsupport::RunResult r = run_calor2d(dir.path(), c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "entrada_geral.ent: " + c.message + "\r\n");
    EXPECT_FALSE(testsupport::file_exists(dir.file("r.txt")));
    EXPECT_EQ(read_file(dir.file("entrada_geral.ent")), c.text);
  }
}

TEST(Program, FloatingPointFaultsEndTheRunBeforeTheReport) {
  struct Case {
    std::string text;
    std::string err;
  } cases[] = {
      {case_file("r.txt", "1.0", "1.0", 1, 21, 10, "1e-8", 2, 10),
       testsupport::math_error_text(6103, "floating-point error: divide by zero")},
      {case_file("r.txt", "0.0", "1.0", 21, 21, 10, "1e-8", 2, 10),
       testsupport::math_error_text(6103, "floating-point error: divide by zero")},
      {case_file("r.txt", "1.0", "1.0", 2, 21, 5, "1e-8", 2, 10),
       testsupport::math_error_text(6101, "floating-point error: invalid")},
      {case_file("r.txt", "1.0", "300.0", 5, 5, 10, "1e-8", 2, 10),
       testsupport::math_error_text(6203, "sinh: OVERFLOW error")},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir.file("entrada_geral.ent"), c.text);
    testsupport::RunResult r = run_calor2d(dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err) << c.text;
    EXPECT_FALSE(testsupport::file_exists(dir.file("r.txt"))) << c.text;
  }
}

TEST(Program, HelpAndVersionAloneAnswerAndTouchNothing) {
  struct Case {
    const char* arg;
    const char* out_starts;
  } cases[] = {{"--help", "Uso: calor2d\n"}, {"--version", "calor2d "}};
  for (const Case& c : cases) {
    for (bool with_case : {true, false}) {
      SCOPED_TRACE(std::string(c.arg) + (with_case ? ", case file there" : ", no case file"));
      TempDir dir;
      EditorLog editor;
      std::string text = case_file("r.txt", "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10);
      if (with_case) write_file(dir.file("entrada_geral.ent"), text);
      // On Windows the editor would be the system's: a launch shows as a run that does not end.
      std::vector<std::string> env;
      if (!testsupport::windows()) env.push_back(editor.path_env());
      testsupport::RunResult r = run_calor2d(dir.path(), {c.arg}, env);
      // The Windows console stream ends its lines with CR LF.
      if (testsupport::windows()) std::erase(r.out, '\r');
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.out.rfind(c.out_starts, 0), 0u) << r.out;
      EXPECT_EQ(r.err, "");
      EXPECT_FALSE(testsupport::file_exists(dir.file("r.txt")));
      EXPECT_EQ(testsupport::file_exists(dir.file("entrada_geral.ent")), with_case);  // not even created empty
      if (with_case) {
        EXPECT_EQ(read_file(dir.file("entrada_geral.ent")), text);
      }
      EXPECT_FALSE(testsupport::file_exists(editor.bin.file("log"))) << editor.log();
    }
  }
  // The version is one line; the usage says what the program reads, writes,
  // launches and returns.
  TempDir dir;
  std::string version = run_calor2d(dir.path(), {"--version"}).out;
  EXPECT_EQ(version.find('\n'), version.size() - 1) << version;
  // clang-format off
  std::string usage = run_calor2d(dir.path(), {"--help"}).out;
  for (const char* said : {"entrada_geral.ent", "notepad", "libexec/calor2d/notepad", "Estado de sa\xC3\xAD" "da: 0",
                           // clang-format on
                           "1 qualquer falha", "calor2d < /dev/null"})
    EXPECT_NE(usage.find(said), std::string::npos) << said;
  // The manual page has both, and says they depart from a program without options.
  std::string manual = read_file(std::string(CALOR2D_SOURCE_DIR) + "/docs/man/calor2d.1");
  for (const char* said : {".B \\-\\-help\n", ".B \\-\\-version\n", "departure"})
    EXPECT_NE(manual.find(said), std::string::npos) << said;
}

TEST(Program, AnyOtherCommandLineRunsTheCaseAsBefore) {
  if (testsupport::windows()) GTEST_SKIP() << "the editor log is a #!/bin/sh script found through a POSIX PATH";
  const std::vector<std::vector<std::string>> lines = {{"--help", "x"}, {"-h"}, {"--versao"}, {"--help "}};
  for (const auto& args : lines) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    TempDir dir;
    EditorLog editor;
    write_file(dir.file("entrada_geral.ent"), case_file("r.txt", "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10));
    testsupport::RunResult r = run_calor2d(dir.path(), args, {editor.path_env()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(testsupport::file_exists(dir.file("r.txt")));
    EXPECT_EQ(editor.log(), "[entrada_geral.ent]\n[r.txt]\n");
  }
  // And an argument still names a report the case leaves blank, even "--help".
  TempDir dir;
  write_file(dir.file("entrada_geral.ent"), case_file(" ", "1.0", "1.0", 5, 5, 10, "1e-8", 2, 10));
  testsupport::RunResult r = run_calor2d(dir.path(), {"--help", "--version"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("--help")).substr(0, 6), "Difus\xE3");
}
