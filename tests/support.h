// Test support: temporary folders, files, and running the real program as a user would.
#pragma once

#include <clocale>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace testsupport {

// Whether the tests run on Windows, where a few POSIX-only tests are skipped.
bool windows();
// Whether a file marked read-only refuses writing to the user running the
// program under test (the POSIX tests run as "nobody" when they are root).
bool read_only_files_hold();

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  long peak_kb = 0;  // peak resident memory of a bounded run (POSIX)
};

// Runs `exe` with `args` in `dir`, standard input closed, and collects its output.
// `env` entries ("NAME=value") are added to (or replace in) the environment.
RunResult run_in(const std::string& dir, const std::string& exe, const std::vector<std::string>& args = {},
                 const std::vector<std::string>& env = {});
// The calor2d binary of this build.
RunResult run_calor2d(const std::string& dir, const std::vector<std::string>& args = {},
                      const std::vector<std::string>& env = {});

// A run that ends in bounded time whatever the program does (POSIX; on Windows
// only `env` applies).
struct RunOptions {
  std::vector<std::string> env;
  int deadline_seconds = 30;  // then the program is killed (status 128 + 9)
  long stdout_limit = -1;     // standard output is read up to this many bytes, then closed
  // Called every millisecond or so with the program's process id until it returns true.
  std::function<bool(int pid)> while_running;
  std::vector<int> ignored_signals;  // ignored when the program starts, as nohup does
};
RunResult run_calor2d_bounded(const std::string& dir, const RunOptions& options);

// Runs `fn` in a child process (standard input from the null device, output
// collected), then the run-time's exit processing; a run-time error inside `fn`
// ends the child as it would end the program. On Windows the child is this test
// program run again on the current test, so everything before the call must
// make the same folders in the same order.
RunResult run_forked(const std::function<void()>& fn);

// The calor2d binary run in `dir` as the unprivileged user "nobody" (for tests
// that need permission bits to hold while the suite runs as root).
RunResult run_as_nobody(const std::string& dir);

// The calor2d binary run in `dir` with its address space limited to `bytes`.
RunResult run_with_memory_limit(const std::string& dir, unsigned long long bytes);

// The calor2d binary run in `dir` with the size of any file it writes limited to
// `bytes` (POSIX only).
RunResult run_with_file_size_limit(const std::string& dir, unsigned long long bytes);

// A case file with the nine values in order, one per record (LF line ends).
std::string case_file(const std::string& out_name, const std::string& Lx, const std::string& Ly, int Nx, int Ny,
                      int itmax, const std::string& tol, int sol_mode, int hist_step);

// For its lifetime, numbers are written with a decimal comma (LC_NUMERIC of a
// locale that has one), as a library that called setlocale would leave them.
// installed() is false when the system has no such locale.
class CommaDecimals {
 public:
  CommaDecimals() {
    for (const char* name : {"pt_BR.UTF-8", "de_DE.UTF-8", "pt_PT.UTF-8", "fr_FR.UTF-8", "Portuguese_Brazil.1252",
                             "German_Germany.1252"}) {
      if (std::setlocale(LC_NUMERIC, name) != nullptr && *std::localeconv()->decimal_point == ',') return;
    }
    std::setlocale(LC_NUMERIC, "C");
  }
  ~CommaDecimals() { std::setlocale(LC_NUMERIC, "C"); }
  CommaDecimals(const CommaDecimals&) = delete;
  CommaDecimals& operator=(const CommaDecimals&) = delete;
  bool installed() const { return *std::localeconv()->decimal_point == ','; }
};

// The exact report text of a run-time error of an input/output statement.
std::string io_error_text(char letter, int number, const std::string& statement, const std::string& file);
// The whole report text of a math error (letter M, context MATH).
std::string math_error_text(int number, const std::string& message);

// A 5x5 case that runs in an instant and writes its listing to `out_name`.
std::string small_case(const std::string& out_name);

bool starts_with(const std::string& s, const std::string& head);
// The report up to its last line, the processing time, which differs between runs.
std::string before_time(const std::string& report);

}  // namespace testsupport
