// Child processes and the process environment on Linux (POSIX spawn, /proc/self/exe).
#include <limits.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>

#include "runtime/platform/platform.h"

extern char** environ;

namespace rt::plat {

int run_command(const std::string& interpreter, std::string_view command, int& err) {
  std::string cmd(command);
  char* argv[] = {const_cast<char*>(interpreter.c_str()), const_cast<char*>("-c"), cmd.data(), nullptr};
  pid_t pid;
  // The signals this process ignores are the child's own business again.
  posix_spawnattr_t attr;
  ::posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  ::posix_spawnattr_setsigdefault(&attr, &defaults);
  ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  // posix_spawnp searches PATH like the Windows loader does for a bare "cmd.exe".
  int rc = ::posix_spawnp(&pid, interpreter.c_str(), nullptr, &attr, argv, environ);
  ::posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    err = (rc == ENOENT || rc == ENOTDIR) ? 2 : (rc == ENOEXEC || rc == EACCES) ? 8 : 12;
    return -1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      err = 12;
      return -1;
    }
  }
  err = 0;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

bool quote_argument(std::string_view arg, std::string& out) {
  // Built a character at a time: GCC 12 at -O3 takes the assignment of a short
  // literal for an overlapping copy (-Wrestrict) and the release build stops.
  static constexpr std::string_view closed_quote = "'\\''";
  out.assign(1, '\'');
  for (char c : arg) {
    if (c == '\'') {
      out.append(closed_quote.begin(), closed_quote.end());
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return true;
}

int usable_processors() {
#if defined(CPU_COUNT)
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set) > 0 ? CPU_COUNT(&set) : 1;
#endif
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

int current_processor() {
#if defined(__linux__)
  return ::sched_getcpu();
#else
  return -1;
#endif
}

void step_off_processor(int processor) {
#if defined(__linux__)
  cpu_set_t before;
  if (processor < 0 || processor >= CPU_SETSIZE || ::sched_getaffinity(0, sizeof before, &before) != 0) return;
  if (!CPU_ISSET(processor, &before) || CPU_COUNT(&before) < 2) return;
  cpu_set_t elsewhere = before;
  CPU_CLR(processor, &elsewhere);
  if (::sched_setaffinity(0, sizeof elsewhere, &elsewhere) == 0) ::sched_setaffinity(0, sizeof before, &before);
#else
  (void)processor;
#endif
}

bool program_findable(const char* name) {
  auto runnable = [](const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
  };
  std::string n(name);
  if (n.find('/') != std::string::npos) return runnable(n);
  // The shell's own search: PATH, or its built-in list when PATH is unset.
  const char* value = std::getenv("PATH");
  std::string search = value ? value : "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = search.find(':', start);
    std::string dir = search.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (runnable((dir.empty() ? std::string(".") : dir) + "/" + n)) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

std::string option_guard() { return "./"; }

const char* default_interpreter() { return "/bin/sh"; }

std::string get_env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

void set_last_error(int err) { errno = err; }

void prepare_process_environment() {
  // A file-size limit or a reader that went away then fails the write, which the
  // run reports, instead of killing the process with the report half written.
  ::signal(SIGXFSZ, SIG_IGN);
  ::signal(SIGPIPE, SIG_IGN);

  // The editor stand-in lives in libexec/calor2d beside bin/; it comes after the
  // user's PATH so that a real "notepad" there wins.
  char exe[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return;
  std::string path(exe, static_cast<std::size_t>(n));
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return;
  std::string helper_dir = path.substr(0, slash) + "/" CALOR2D_HELPER_FROM_BIN;
  struct stat st;
  if (::stat((helper_dir + "/notepad").c_str(), &st) != 0) return;
  std::string search = get_env("PATH");
  if (search.empty()) search = "/usr/local/bin:/usr/bin:/bin";
  search += ":" + helper_dir;
  ::setenv("PATH", search.c_str(), 1);
}

}  // namespace rt::plat
