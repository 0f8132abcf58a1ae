// Files, devices and the standard streams over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

OsError classify(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return OsError::not_found;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY: return OsError::access_denied;
    case EISDIR: return OsError::is_directory;
    case EPIPE: return OsError::no_reader;
    case EEXIST: return OsError::exists;
    case EMFILE:
    case ENFILE: return OsError::too_many_files;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return OsError::disk_full;
    default: return OsError::other;
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

bool names_folder(const std::string& name) { return !name.empty() && name.back() == '/'; }

namespace {

int open_retrying(const std::string& name, int flags) {
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Where a symbolic link to a missing file points, as a name usable from here
// (a relative target is relative to the link's folder); empty when `name` is not
// such a link.
std::string missing_link_target(const std::string& name) {
  struct stat st;
  if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::stat(name.c_str(), &st) == 0 || errno != ENOENT)
    return {};
  char target[4096];
  ssize_t n = ::readlink(name.c_str(), target, sizeof target);
  if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) return {};
  std::string t(target, static_cast<std::size_t>(n));
  std::string::size_type slash = name.rfind('/');
  if (t.front() != '/' && slash != std::string::npos) t = name.substr(0, slash + 1) + t;
  return t;
}

}  // namespace

File open_file(const std::string& name, Access access, Disposition disp, OsError& err) {
  int flags = flags_for(access) | O_CLOEXEC;
  if (disp == Disposition::create_new) flags |= O_CREAT | O_EXCL;
  int fd = open_retrying(name, flags);
  // An exclusive create does not follow a link: create the link's target the
  // same way, through a short chain of links at most.
  std::string target = name;
  for (int hops = 0; fd < 0 && errno == EEXIST && disp == Disposition::create_new && hops < 8; ++hops) {
    target = missing_link_target(target);
    if (target.empty()) {
      errno = EEXIST;
      break;
    }
    fd = open_retrying(target, flags);
  }
  if (fd < 0) {
    err = classify(errno);
    return {};
  }
  // A directory is not a file to read records from or write them to.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    err = OsError::is_directory;
    return {};
  }
  err = OsError::none;
  return File{fd, false};
}

bool is_stream(const std::string& name, FileId& id) {
  struct stat st;
  if (::stat(name.c_str(), &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISSOCK(st.st_mode)))
    return false;
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

File open_stream(const std::string& name, Access access, OsError& err) {
  struct stat st;
  bool fifo = ::stat(name.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
  // Writing must not wait for a reader that may never come; reading a FIFO waits
  // for its writer, while a device is opened without waiting for a carrier.
  int flags = (access == Access::read ? O_RDONLY : access == Access::write ? O_WRONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY;
  if (access != Access::read || !fifo) flags |= O_NONBLOCK;
  int fd = open_retrying(name, flags);
  if (fd < 0) {
    err = errno == ENXIO && fifo ? OsError::no_reader : classify(errno);
    return {};
  }
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  if (access == Access::read && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && !::isatty(fd)) {
    ::close(fd);
    err = OsError::not_a_file;
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

bool close_file(File f, OsError& err) {
  err = OsError::none;
  if (!f.is_open() || f.standard) return true;
  // Linux frees the descriptor even when close is interrupted: never retry.
  if (::close(static_cast<int>(f.h)) == 0 || errno == EINTR) return true;
  err = classify(errno);
  return false;
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

bool is_device_name(std::string_view upper) { return upper == "CON" || upper == "USER" || upper == "ERR"; }

File open_device(std::string_view upper, OsError& err) {
  err = OsError::none;
  if (upper == "ERR") return File{2, true};
  if (upper == "CON" || upper == "USER") return File{1, true};
  err = OsError::not_found;
  return {};
}

void exit_now(int status) { ::_exit(status); }

bool write_raw(File f, const char* buf, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::write(static_cast<int>(f.h), buf, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    buf += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

std::int64_t position_raw(File f) {
  struct stat st;
  int fd = static_cast<int>(f.h);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(::lseek(fd, 0, SEEK_CUR));
}

long read_at_raw(File f, std::int64_t offset, char* buf, std::size_t n) {
  int fd = static_cast<int>(f.h);
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) return -1;
  ssize_t r;
  do {
    r = ::read(fd, buf, n);
  } while (r < 0 && errno == EINTR);
  return static_cast<long>(r);
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
