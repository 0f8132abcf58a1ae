// Loaded before the C library into a run of the program (LD_PRELOAD): closing a
// file named r.txt reports the error number in CALOR2D_TEST_CLOSE_FAILS after
// the descriptor is closed, as a network filesystem reports a write it refused.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int close(int fd) {
  using Close = int (*)(int);
  static const Close real = reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "close"));
  char link[64], path[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, path, sizeof path);
  const int rc = real(fd);
  const char* fails = std::getenv("CALOR2D_TEST_CLOSE_FAILS");
  if (rc == 0 && fails != nullptr && n >= 6 && std::memcmp(path + n - 6, "/r.txt", 6) == 0) {
    errno = std::atoi(fails);
    return -1;
  }
  return rc;
}
