// Child processes and the process environment on Windows.
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

// Bit 29 marks an error code as the application's own, apart from the system's.
constexpr DWORD own_error_mark = 0x20000000u;

}  // namespace

int usable_processors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  int n = 0;
  for (; process != 0; process &= process - 1) ++n;
  return n;
}

int current_processor() { return static_cast<int>(GetCurrentProcessorNumber()); }

void step_off_processor(int processor) {
  if (processor < 0 || processor >= static_cast<int>(8 * sizeof(DWORD_PTR))) return;
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return;
  const DWORD_PTR bit = static_cast<DWORD_PTR>(1) << processor;
  if (!(process & bit) || (process & ~bit) == 0) return;
  const DWORD_PTR before = SetThreadAffinityMask(GetCurrentThread(), process & ~bit);
  if (before != 0) SetThreadAffinityMask(GetCurrentThread(), before);
}

int run_command(const std::string& interpreter, std::string_view command, int& err) {
  // The interpreter takes the program from the first word of the line; nothing is
  // quoted here, the caller quotes what must stay one word.
  std::vector<char> line(interpreter.begin(), interpreter.end());
  for (char c : std::string_view(" /c ")) line.push_back(c);
  line.insert(line.end(), command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    DWORD e = ::GetLastError();
    switch (e) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND: err = 2; break;
      case ERROR_BAD_FORMAT:
      case ERROR_BAD_EXE_FORMAT: err = 8; break;
      default: err = 12; break;
    }
    return -1;
  }
  ::CloseHandle(pi.hThread);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 0;
  BOOL got = ::GetExitCodeProcess(pi.hProcess, &status);
  ::CloseHandle(pi.hProcess);
  if (!got) {
    err = 12;
    return -1;
  }
  err = 0;
  return static_cast<int>(status);
}

bool quote_argument(std::string_view arg, std::string& out) {
  // Inside double quotes cmd.exe takes & | < > ^ and blanks literally; it would
  // still expand %name% and end the quotes at a quote of the name's own.
  if (arg.find_first_of("\"%") != std::string_view::npos) return false;
  out.assign(arg.size() + 2, '"');
  arg.copy(out.data() + 1, arg.size());
  return true;
}

std::string option_guard() { return {}; }

// Notepad comes with Windows.
bool program_findable(const char*) { return true; }

const char* default_interpreter() { return "cmd.exe"; }

std::string get_env(const char* name) {
  // The process environment itself, which is what a child inherits (the C
  // library keeps a copy of its own).
  std::string value(261, '\0');
  DWORD n = ::GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
  if (n >= value.size()) {
    value.assign(n, '\0');
    n = ::GetEnvironmentVariableA(name, value.data(), n);
    if (n >= value.size()) n = 0;
  }
  value.resize(n);
  return value;
}

void set_last_error(int err) { ::SetLastError(own_error_mark | static_cast<DWORD>(err)); }

// "notepad" is a program of the system here; nothing to add to the search path.
void prepare_process_environment() {}

}  // namespace rt::plat
