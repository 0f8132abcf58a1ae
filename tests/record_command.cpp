// Test stand-in for an interpreter or an editor on Windows: appends the command
// line it was started with, as the system passed it, to the file named by
// CALOR2D_COMMAND_LOG, and exits with 0.
#include <windows.h>

#include <cstdio>

int main() {
  char log[MAX_PATH];
  DWORD n = ::GetEnvironmentVariableA("CALOR2D_COMMAND_LOG", log, sizeof log);
  if (n == 0 || n >= sizeof log) return 0;
  if (std::FILE* f = std::fopen(log, "ab")) {
    std::fputs(::GetCommandLineA(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
  return 0;
}
