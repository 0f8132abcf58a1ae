// Files, devices and the standard streams over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

OsError classify(int e) {
  switch (e) {
    case ENOENT: case ENOTDIR: case ENAMETOOLONG: case ELOOP:
      return OsError::not_found;
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: case EBUSY:
      return OsError::access_denied;
    case EEXIST:
      return OsError::exists;
    case EMFILE: case ENFILE:
      return OsError::too_many_files;
    case ENOSPC: case EDQUOT: case EFBIG:
      return OsError::disk_full;
    default:
      return OsError::other;
  }
}

int flags_for(Access a) {
  switch (a) {
    case Access::read_write: return O_RDWR;
    case Access::read: return O_RDONLY;
    case Access::write: return O_WRONLY;
  }
  return O_RDWR;
}

}  // namespace

bool file_exists(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0;
}

File open_file(const std::string& name, Access access, Disposition disp, OsError& err) {
  int flags = flags_for(access) | O_CLOEXEC;
  if (disp == Disposition::create_new) flags |= O_CREAT | O_EXCL;
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    err = classify(errno);
    return {};
  }
  // A directory is not a file to read records from or write them to: refuse it
  // the way the system refuses to open one for data.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    err = OsError::access_denied;
    return {};
  }
  err = OsError::none;
  return File{fd, false};
}

long read_file(File f, char* buf, std::size_t n, OsError& err) {
  ssize_t r;
  do {
    r = ::read(static_cast<int>(f.h), buf, n);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    err = classify(errno);
    return -1;
  }
  err = OsError::none;
  return static_cast<long>(r);
}

long write_file(File f, const char* buf, std::size_t n, OsError& err) {
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::write(static_cast<int>(f.h), buf + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      err = classify(errno);
      return static_cast<long>(done);
    }
    if (r == 0) {
      err = OsError::disk_full;
      return static_cast<long>(done);
    }
    done += static_cast<std::size_t>(r);
  }
  err = OsError::none;
  return static_cast<long>(done);
}

bool truncate_file(File f, std::int64_t offset, OsError& err) {
  int fd = static_cast<int>(f.h);
  struct stat st;
  // Devices, pipes and terminals have no end to set.
  if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
    err = OsError::none;
    return true;
  }
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 || ::ftruncate(fd, static_cast<off_t>(offset)) != 0) {
    err = (errno == EINVAL || errno == EBADF) ? OsError::access_denied : classify(errno);
    return false;
  }
  err = OsError::none;
  return true;
}

void close_file(File f) {
  if (f.is_open() && !f.standard) ::close(static_cast<int>(f.h));
}

bool file_identity(File f, FileId& id) {
  struct stat st;
  if (::fstat(static_cast<int>(f.h), &st) != 0) return false;
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

File open_device(std::string_view upper, OsError& err) {
  err = OsError::none;
  if (upper == "CON" || upper == "USER") return File{1, true};
  if (upper == "ERR") return File{2, true};
  const char* path = "/dev/null";
  if (upper == "COM1" || upper == "AUX" || upper == "LINE") path = "/dev/ttyS0";
  else if (upper == "COM2") path = "/dev/ttyS1";
  else if (upper == "COM3") path = "/dev/ttyS2";
  else if (upper == "COM4") path = "/dev/ttyS3";
  else if (upper == "PRN" || upper == "LPT1") path = "/dev/lp0";
  else if (upper == "LPT2") path = "/dev/lp1";
  else if (upper == "LPT3") path = "/dev/lp2";
  else if (upper == "LPT4") path = "/dev/lp3";
  int fd = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    err = classify(errno);
    return {};
  }
  return File{fd, false};
}

void exit_now(int status) { ::_exit(status); }

void write_raw(File f, const char* buf, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::write(static_cast<int>(f.h), buf, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return;
    buf += r;
    n -= static_cast<std::size_t>(r);
  }
}

File std_input() { return File{0, true}; }
File std_output() { return File{1, true}; }
File std_error() { return File{2, true}; }

bool read_console_line(std::string& line, std::size_t max_len) {
  line.clear();
  for (;;) {
    char c;
    ssize_t r = ::read(0, &c, 1);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return !line.empty();
    if (c == '\n') break;
    if (c == '\r') continue;
    if (line.size() < max_len) line.push_back(c);
  }
  return true;
}

void ensure_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      int n = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
      if (n >= 0 && n != fd) {
        ::dup2(n, fd);
        ::close(n);
      }
    }
  }
}

}  // namespace rt::plat
