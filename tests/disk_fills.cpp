// Loaded before the C library into a run of the program (LD_PRELOAD): a file
// named r.txt sits on a disk with room for CALOR2D_TEST_DISK_BYTES bytes. A write
// that reaches the end of the room is cut short, as a filling disk cuts it, and
// the next one fails with ENOSPC.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" ssize_t write(int fd, const void* buf, size_t n) {
  using Write = ssize_t (*)(int, const void*, size_t);
  static const Write real = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
  const char* room = std::getenv("CALOR2D_TEST_DISK_BYTES");
  char link[64], path[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t len = room == nullptr ? -1 : ::readlink(link, path, sizeof path);
  if (len < 6 || std::memcmp(path + len - 6, "/r.txt", 6) != 0) return real(fd, buf, n);
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  const long long left = std::atoll(room) - static_cast<long long>(at);
  if (left <= 0) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, buf, n > static_cast<size_t>(left) ? static_cast<size_t>(left) : n);
}
