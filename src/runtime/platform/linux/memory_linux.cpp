// Memory on Linux: physical memory, control-group limits, lazy zero pages.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

// The whole of a small system file; empty when it cannot be read.
std::string read_all(const std::string& path) {
  std::string text;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::vector<std::string> split(const std::string& text, char at) {
  std::vector<std::string> parts;
  std::string::size_type b = 0;
  for (;;) {
    std::string::size_type e = text.find(at, b);
    parts.push_back(text.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) return parts;
    b = e + 1;
  }
}

struct Hierarchy {
  std::string mount_point;  // where the hierarchy is mounted
  std::string root;         // the part of the hierarchy that is mounted there
  std::string path;         // this process's group in the hierarchy
  const char* limit_file;   // memory.max (version 2) or memory.limit_in_bytes (version 1)
};

// The memory controller's hierarchies of this process, from /proc/self/mountinfo
// and /proc/self/cgroup.
std::vector<Hierarchy> memory_hierarchies() {
  std::vector<Hierarchy> found;
  std::string v2_path, v1_path;
  bool v1_listed = false;
  for (const std::string& line : split(read_all("/proc/self/cgroup"), '\n')) {
    std::vector<std::string> f = split(line, ':');  // id:controllers:path
    if (f.size() < 3) continue;
    std::string path = line.substr(f[0].size() + f[1].size() + 2);
    if (f[0] == "0" && f[1].empty()) v2_path = path;
    if (("," + f[1] + ",").find(",memory,") != std::string::npos) {
      v1_path = path;
      v1_listed = true;
    }
  }
  for (const std::string& line : split(read_all("/proc/self/mountinfo"), '\n')) {
    // id parent dev root mount-point options [optional...] - type source super-options
    std::vector<std::string> f = split(line, ' ');
    std::size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (dash + 3 >= f.size()) continue;
    const std::string& type = f[dash + 1];
    const std::string options = "," + f[dash + 3] + ",";
    if (type == "cgroup2" && !v2_path.empty()) {
      found.push_back({f[4], f[3], v2_path, "memory.max"});
    } else if (type == "cgroup" && v1_listed && options.find(",memory,") != std::string::npos) {
      found.push_back({f[4], f[3], v1_path, "memory.limit_in_bytes"});
    }
  }
  return found;
}

// The smallest limit on the way from the process's group up to the mounted root.
std::uint64_t hierarchy_limit(const Hierarchy& h) {
  std::string rel = h.path;
  if (h.root != "/" && rel.compare(0, h.root.size(), h.root) == 0) rel = rel.substr(h.root.size());
  std::uint64_t limit = 0;
  for (;;) {
    std::string value = read_all(h.mount_point + rel + "/" + h.limit_file);
    while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
    if (!value.empty() && value.size() < 20 && value.find_first_not_of("0123456789") == std::string::npos) {
      std::uint64_t v = std::stoull(value);
      limit = limit == 0 ? v : std::min(limit, v);
    }
    if (rel.empty() || rel == "/") break;
    std::string::size_type slash = rel.rfind('/');
    rel = slash == std::string::npos ? std::string() : rel.substr(0, slash);
  }
  return limit;
}

}  // namespace

std::uint64_t memory_limit() {
  long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
  std::uint64_t limit =
      pages > 0 && page > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page) : 0;
  for (const Hierarchy& h : memory_hierarchies()) {
    std::uint64_t v = hierarchy_limit(h);
    if (v != 0) limit = limit == 0 ? v : std::min(limit, v);
  }
  return limit;
}

void* zeroed_pages(std::size_t n) {
  // Not counted against the system's commitment: untouched pages are never used.
  void* p = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void release_pages(void* p, std::size_t n) { ::munmap(p, n); }

}  // namespace rt::plat
