// Test support on POSIX systems: folders from mkdtemp, children from fork.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "runtime/errors.h"
#include "runtime/run.h"
#include "support.h"

extern char** environ;

namespace testsupport {

bool windows() { return false; }

bool read_only_files_hold() { return true; }

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "calor2d-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {

RunResult collect(int out_fd, int err_fd, pid_t pid, const RunOptions* opt = nullptr) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::seconds(opt ? opt->deadline_seconds : 0);
  bool watching = opt != nullptr && opt->while_running != nullptr, killed = false;
  RunResult r;
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_count = 2;
  char buf[65536];
  while (open_count > 0) {
    if (opt != nullptr && !killed && clock::now() > deadline) {
      kill(pid, SIGKILL);
      killed = true;
    }
    if (watching) watching = !opt->while_running(static_cast<int>(pid));
    if (poll(fds, 2, opt != nullptr ? 1 : -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      std::size_t want = sizeof buf;
      if (i == 0 && opt != nullptr && opt->stdout_limit >= 0)
        want = std::min(want, static_cast<std::size_t>(opt->stdout_limit) - r.out.size());
      ssize_t n = want == 0 ? 0 : read(fds[i].fd, buf, want);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  int status = 0;
  rusage usage{};
  for (;;) {
    pid_t w = wait4(pid, &status, opt != nullptr ? WNOHANG : 0, &usage);
    if (w == pid || (w < 0 && errno != EINTR)) break;
    if (!killed && clock::now() > deadline) {
      kill(pid, SIGKILL);
      killed = true;
    }
    if (watching) watching = !opt->while_running(static_cast<int>(pid));
    usleep(1000);
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.peak_kb = usage.ru_maxrss;
  return r;
}

struct Limits {
  unsigned long long memory = 0;     // address space
  unsigned long long file_size = 0;  // any file written
};

RunResult spawn(const std::string& dir, const std::string& exe, const std::vector<std::string>& args,
                const std::vector<std::string>& env, bool as_nobody, Limits limits = {},
                const RunOptions* opt = nullptr) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");

  std::vector<std::string> envs;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& add : env) {
      if (entry.substr(0, entry.find('=') + 1) == add.substr(0, add.find('=') + 1)) replaced = true;
    }
    if (!replaced) envs.push_back(entry);
  }
  for (const auto& add : env) envs.push_back(add);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (as_nobody && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
    if (limits.memory != 0) {
      rlimit lim{limits.memory, limits.memory};
      if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(125);
    }
    if (limits.file_size != 0) {
      rlimit lim{limits.file_size, limits.file_size};
      if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(125);
    }
    if (chdir(dir.c_str()) != 0) _exit(127);
    // As from a terminal, whatever the test runner was started with.
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
    if (opt != nullptr)
      for (int sig : opt->ignored_signals) signal(sig, SIG_IGN);
    close(0);  // standard input closed, as in a batch run
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    // Nothing else of the test runner's: the program gets what a shell gives it.
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);

  return collect(out_pipe[0], err_pipe[0], pid, opt);
}

}  // namespace

RunResult run_calor2d_bounded(const std::string& dir, const RunOptions& options) {
  return spawn(dir, CALOR2D_EXE, {}, options.env, false, {}, &options);
}

RunResult run_in(const std::string& dir, const std::string& exe, const std::vector<std::string>& args,
                 const std::vector<std::string>& env) {
  return spawn(dir, exe, args, env, false);
}

RunResult run_as_nobody(const std::string& dir) { return spawn(dir, CALOR2D_EXE, {}, {}, true); }

RunResult run_with_memory_limit(const std::string& dir, unsigned long long bytes) {
  return spawn(dir, CALOR2D_EXE, {}, {}, false, Limits{bytes, 0});
}

RunResult run_with_file_size_limit(const std::string& dir, unsigned long long bytes) {
  return spawn(dir, CALOR2D_EXE, {}, {}, false, Limits{0, bytes});
}

RunResult run_forked(const std::function<void()>& fn) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[0]);
    close(err_pipe[1]);
    fn();
    rt::terminate_run(0);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  return collect(out_pipe[0], err_pipe[0], pid);
}

}  // namespace testsupport
