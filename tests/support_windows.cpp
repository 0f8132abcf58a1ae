// Test support on Windows: folders under the user's temporary directory, children
// through CreateProcess with pipes. With no fork, run_forked starts this test
// program again on the current test alone; the child walks the same test body,
// takes over the parent's folders in the order they were made, and runs only the
// body of the same run_forked call.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "runtime/errors.h"
#include "runtime/run.h"
#include "support.h"

namespace testsupport {

namespace {

// "<call>|<stdout handle>|<stderr handle>|<folder>|<folder>..." in a child.
constexpr const char* child_variable = "CALOR2D_TEST_CHILD";

struct ChildPlan {
  bool active = false;
  int call = -1;
  HANDLE out = nullptr, err = nullptr;
  std::vector<std::string> folders;
};

const ChildPlan& child_plan() {
  static const ChildPlan plan = [] {
    ChildPlan p;
    const char* v = std::getenv(child_variable);
    if (v == nullptr || *v == '\0') return p;
    std::vector<std::string> parts;
    std::string s = v;
    for (std::size_t b = 0;;) {
      std::size_t e = s.find('|', b);
      parts.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
      if (e == std::string::npos) break;
      b = e + 1;
    }
    if (parts.size() < 3) return p;
    p.active = true;
    p.call = std::stoi(parts[0]);
    p.out = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(parts[1])));
    p.err = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(parts[2])));
    p.folders.assign(parts.begin() + 3, parts.end());
    return p;
  }();
  return plan;
}

// What the current test has made so far: its folders and its run_forked calls.
struct TestTrail {
  std::string test;
  std::vector<std::string> folders;
  int calls = 0;
};

std::string current_test() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
}

TestTrail& trail() {
  static TestTrail t;
  std::string name = current_test();
  if (name != t.test) t = TestTrail{name, {}, 0};
  return t;
}

HANDLE inheritable_nul(DWORD access) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return ::CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// Starts `command_line` with standard input `in` and collects both outputs.
// A child given `job` joins it before it runs.
RunResult start_and_collect(std::string command_line, const char* dir, HANDLE in, const std::string* env_block,
                            const std::string& child_value = {}, HANDLE job = nullptr) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out_r, out_w, err_r, err_w;
  if (!::CreatePipe(&out_r, &out_w, &sa, 0) || !::CreatePipe(&err_r, &err_w, &sa, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  ::SetHandleInformation(out_r, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_r, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  HANDLE nul_out = nullptr;
  std::string value;
  if (child_value.empty()) {
    si.hStdOutput = out_w;
    si.hStdError = err_w;
  } else {
    // The child's own test framework writes to the null device; the body under
    // test finds the pipes through the variable.
    nul_out = inheritable_nul(GENERIC_WRITE);
    si.hStdOutput = nul_out;
    si.hStdError = nul_out;
    value = child_value;
    value.replace(value.find("{out}"), 5, std::to_string(reinterpret_cast<std::uintptr_t>(out_w)));
    value.replace(value.find("{err}"), 5, std::to_string(reinterpret_cast<std::uintptr_t>(err_w)));
    ::SetEnvironmentVariableA(child_variable, value.c_str());
  }
  PROCESS_INFORMATION pi{};
  BOOL started = ::CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, job ? CREATE_SUSPENDED : 0,
                                  env_block ? const_cast<char*>(env_block->data()) : nullptr, dir, &si, &pi);
  if (!child_value.empty()) ::SetEnvironmentVariableA(child_variable, nullptr);
  ::CloseHandle(out_w);
  ::CloseHandle(err_w);
  if (nul_out) ::CloseHandle(nul_out);
  if (!started) {
    ::CloseHandle(out_r);
    ::CloseHandle(err_r);
    throw std::runtime_error("CreateProcess failed: " + command_line);
  }
  if (job) {
    ::AssignProcessToJobObject(job, pi.hProcess);
    ::ResumeThread(pi.hThread);
  }
  ::CloseHandle(pi.hThread);

  RunResult r;
  auto drain = [](HANDLE h, std::string& into) {
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) into.append(buf, n);
  };
  std::thread err_reader(drain, err_r, std::ref(r.err));
  drain(out_r, r.out);
  err_reader.join();
  ::CloseHandle(out_r);
  ::CloseHandle(err_r);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(pi.hProcess, &status);
  ::CloseHandle(pi.hProcess);
  r.status = static_cast<int>(status);
  return r;
}

// The current environment with `changes` ("NAME=value") added or replaced, as a
// block for CreateProcess.
std::string environment_with(const std::vector<std::string>& changes) {
  auto key = [](const std::string& e) {
    std::string k = e.substr(0, e.find('=', 1));
    for (char& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return k;
  };
  std::string block;
  char* all = ::GetEnvironmentStringsA();
  for (const char* e = all; *e != '\0'; e += std::strlen(e) + 1) {
    std::string entry = e;
    bool replaced = false;
    for (const auto& c : changes) replaced = replaced || key(c) == key(entry);
    if (!replaced) block += entry + '\0';
  }
  ::FreeEnvironmentStringsA(all);
  for (const auto& c : changes) {
    if (c.back() != '=') block += c + '\0';  // "NAME=" removes the variable
  }
  block += '\0';
  return block;
}

}  // namespace

bool windows() { return true; }

bool read_only_files_hold() {
  static const bool hold = [] {
    // Not a TempDir: a child of run_forked must see the same folders made.
    std::string path = std::filesystem::temp_directory_path().string() + "\\calor2d-read-only-" +
                       std::to_string(::GetCurrentProcessId());
    write_file(path, "x");
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    return h == INVALID_HANDLE_VALUE;
  }();
  return hold;
}

TempDir::TempDir() {
  TestTrail& t = trail();
  const ChildPlan& plan = child_plan();
  if (plan.active && t.folders.size() < plan.folders.size()) {
    path_ = plan.folders[t.folders.size()];
    t.folders.push_back(path_);
    return;
  }
  std::string base = std::filesystem::temp_directory_path().string();
  for (unsigned attempt = 0;; ++attempt) {
    std::string p = base + "\\calor2d-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(::GetTickCount64()) + "-" + std::to_string(attempt);
    if (::CreateDirectoryA(p.c_str(), nullptr)) {
      path_ = p;
      break;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) throw std::runtime_error("no folder: " + p);
  }
  t.folders.push_back(path_);
}

TempDir::~TempDir() {
  if (child_plan().active) return;  // the parent's folders: the parent removes them
  std::error_code ec;
  // Read-only files would stay behind.
  for (const auto& e : std::filesystem::recursive_directory_iterator(path_, ec)) {
    ::SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(path_, ec);
}

RunResult run_in(const std::string& dir, const std::string& exe, const std::vector<std::string>& args,
                 const std::vector<std::string>& env) {
  std::string line = quoted(exe);
  for (const auto& a : args) line += " " + quoted(a);
  std::string block = environment_with(env);
  // No standard input at all, as in a batch run.
  return start_and_collect(line, dir.c_str(), nullptr, &block);
}

RunResult run_calor2d_bounded(const std::string& dir, const RunOptions& options) {
  return run_calor2d(dir, {}, options.env);
}

// Windows has no superuser that ignores a read-only attribute.
RunResult run_as_nobody(const std::string& dir) { return run_calor2d(dir); }

RunResult run_with_file_size_limit(const std::string&, unsigned long long) {
  throw std::runtime_error("no file-size limit for a process on Windows");
}

RunResult run_with_memory_limit(const std::string& dir, unsigned long long bytes) {
  // A job object caps the memory the process may commit.
  HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION lim{};
  lim.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  lim.ProcessMemoryLimit = static_cast<SIZE_T>(bytes);
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &lim, sizeof lim);
  std::string block = environment_with({});
  RunResult r = start_and_collect(quoted(CALOR2D_EXE), dir.c_str(), nullptr, &block, {}, job);
  ::CloseHandle(job);
  return r;
}

RunResult run_forked(const std::function<void()>& fn) {
  TestTrail& t = trail();
  int call = t.calls++;
  const ChildPlan& plan = child_plan();
  if (plan.active) {
    if (call != plan.call) return RunResult{};  // a call the parent has already run
    ::SetStdHandle(STD_OUTPUT_HANDLE, plan.out);
    ::SetStdHandle(STD_ERROR_HANDLE, plan.err);
    ::SetStdHandle(STD_INPUT_HANDLE, inheritable_nul(GENERIC_READ));
    fn();
    rt::terminate_run(0);
  }
  char exe[MAX_PATH];
  DWORD n = ::GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string line = quoted(std::string(exe, n)) + " --gtest_filter=" + t.test;
  std::string value = std::to_string(call) + "|{out}|{err}";
  for (const auto& f : t.folders) value += "|" + f;
  HANDLE in = inheritable_nul(GENERIC_READ);
  RunResult r = start_and_collect(line, nullptr, in, nullptr, value);
  ::CloseHandle(in);
  return r;
}

}  // namespace testsupport
