#include "runtime/command.h"

#include <string>

#include "runtime/platform/platform.h"

namespace rt {

namespace {
constexpr int max_command = 1024;
constexpr std::size_t max_interpreter = 260;
}  // namespace

int system(const char* command, int len) {
  int n = len;
  while (n > 0 && command[n - 1] == ' ') --n;
  if (n > max_command) {
    plat::set_last_error(7);
    return -1;
  }
  std::string interpreter = plat::get_env("COMSPEC");
  if (interpreter.size() > max_interpreter) {
    plat::set_last_error(2);
    return -1;
  }
  if (interpreter.empty()) interpreter = plat::default_interpreter();
  int err = 0;
  int status = plat::run_command(interpreter, std::string_view(command, static_cast<std::size_t>(n < 0 ? 0 : n)), err);
  if (status == -1 && err != 0) plat::set_last_error(err);
  return status;
}

bool editor_command(const std::string& file, std::string& command) {
  command = "notepad ";
  const bool option_like = !file.empty() && (file.front() == '-' || file.front() == '+');
  const bool plain =
      file.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-/+,:@=") ==
      std::string::npos;
  if (plain && !option_like) {
    command += file;
    return true;
  }
  std::string quoted;
  if (!plat::quote_argument(option_like ? plat::option_guard() + file : file, quoted)) return false;
  command += quoted;
  return true;
}

bool findable(const char* name) { return plat::program_findable(name); }

const char* default_interpreter() { return plat::default_interpreter(); }

}  // namespace rt
