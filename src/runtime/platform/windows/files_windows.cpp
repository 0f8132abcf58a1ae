// Files, devices and the standard streams over Windows handles.
#include <windows.h>

#include <string>

#include "runtime/platform/platform.h"

namespace rt::plat {

namespace {

OsError classify(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_PATHNAME: return OsError::not_found;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED: return OsError::access_denied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return OsError::exists;
    case ERROR_TOO_MANY_OPEN_FILES: return OsError::too_many_files;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return OsError::disk_full;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return OsError::no_reader;
    default: return OsError::other;
  }
}

DWORD access_for(Access a) {
  switch (a) {
    case Access::read_write: return GENERIC_READ | GENERIC_WRITE;
    case Access::read: return GENERIC_READ;
    case Access::write: return GENERIC_WRITE;
  }
  return GENERIC_READ | GENERIC_WRITE;
}

HANDLE handle_of(File f) { return reinterpret_cast<HANDLE>(f.h); }
File wrap(HANDLE h, bool standard) { return File{reinterpret_cast<std::intptr_t>(h), standard}; }

File standard_handle(DWORD which) { return wrap(::GetStdHandle(which), true); }

bool identity_of(HANDLE h, FileId& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(h, &info)) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace

bool file_exists(const std::string& name) { return ::GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool names_folder(const std::string& name) { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }

File open_file(const std::string& name, Access access, Disposition disp, OsError& err) {
  DWORD how = disp == Disposition::create_new ? CREATE_NEW : OPEN_EXISTING;
  // Not inheritable: the editor started later must not hold the report open.
  HANDLE h = ::CreateFileA(name.c_str(), access_for(access), FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, how,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = ::GetLastError();
    DWORD attributes = ::GetFileAttributesA(name.c_str());
    bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    err = e == ERROR_ACCESS_DENIED && folder ? OsError::is_directory : classify(e);
    return {};
  }
  err = OsError::none;
  return wrap(h, false);
}

// Named pipes and devices are opened by open_file as they always were.
bool is_stream(const std::string&, FileId&) { return false; }

File open_stream(const std::string& name, Access access, OsError& err) {
  return open_file(name, access, Disposition::open_existing, err);
}

long read_file(File f, char* buf, std::size_t n, OsError& err) {
  DWORD got = 0;
  if (!::ReadFile(handle_of(f), buf, static_cast<DWORD>(n), &got, nullptr)) {
    DWORD e = ::GetLastError();
    // The writer of a pipe went away: that is its end, not a failure.
    if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF) {
      err = OsError::none;
      return 0;
    }
    err = classify(e);
    return -1;
  }
  err = OsError::none;
  return static_cast<long>(got);
}

long write_file(File f, const char* buf, std::size_t n, OsError& err) {
  std::size_t done = 0;
  while (done < n) {
    DWORD put = 0;
    if (!::WriteFile(handle_of(f), buf + done, static_cast<DWORD>(n - done), &put, nullptr)) {
      err = classify(::GetLastError());
      return static_cast<long>(done);
    }
    if (put == 0) {
      err = OsError::disk_full;
      return static_cast<long>(done);
    }
    done += put;
  }
  err = OsError::none;
  return static_cast<long>(done);
}

bool truncate_file(File f, std::int64_t offset, OsError& err) {
  HANDLE h = handle_of(f);
  // Consoles, pipes and devices have no end to set.
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    err = OsError::none;
    return true;
  }
  LARGE_INTEGER to;
  to.QuadPart = offset;
  if (!::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) {
    DWORD e = ::GetLastError();
    // A handle opened for reading only: Windows says access denied, Wine says
    // invalid parameter (as ftruncate says EINVAL).
    err = (e == ERROR_INVALID_HANDLE || e == ERROR_INVALID_PARAMETER) ? OsError::access_denied : classify(e);
    return false;
  }
  err = OsError::none;
  return true;
}

bool close_file(File f, OsError& err) {
  err = OsError::none;
  if (!f.is_open() || f.standard || ::CloseHandle(handle_of(f))) return true;
  err = classify(::GetLastError());
  return false;
}

bool file_identity(File f, FileId& id) { return identity_of(handle_of(f), id); }

bool same_file(const std::string& a, const std::string& b) {
  // Asking for no access opens even a file another program holds; backup
  // semantics lets a folder be asked too.
  auto open_for_query = [](const std::string& name) {
    return ::CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  };
  HANDLE ha = open_for_query(a);
  if (ha == INVALID_HANDLE_VALUE) return false;
  HANDLE hb = open_for_query(b);
  if (hb == INVALID_HANDLE_VALUE) {
    ::CloseHandle(ha);
    return false;
  }
  FileId ia, ib;
  bool same = identity_of(ha, ia) && identity_of(hb, ib) && ia == ib;
  ::CloseHandle(ha);
  ::CloseHandle(hb);
  return same;
}

bool is_device_name(std::string_view) { return true; }

File open_device(std::string_view upper, OsError& err) {
  err = OsError::none;
  if (upper == "CON" || upper == "USER") return standard_handle(STD_OUTPUT_HANDLE);
  if (upper == "ERR") return standard_handle(STD_ERROR_HANDLE);
  std::string name = (upper == "AUX" || upper == "LINE") ? std::string("COM1") : std::string(upper);
  HANDLE h = INVALID_HANDLE_VALUE;
  // A printer port may refuse reading; try the access a report needs last.
  for (DWORD access : {GENERIC_READ | GENERIC_WRITE, static_cast<DWORD>(GENERIC_WRITE)}) {
    h = ::CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    err = classify(::GetLastError());
    return {};
  }
  return wrap(h, false);
}

void exit_now(int status) { ::ExitProcess(static_cast<UINT>(status)); }

bool write_raw(File f, const char* buf, std::size_t n) {
  while (n > 0) {
    DWORD put = 0;
    if (!::WriteFile(handle_of(f), buf, static_cast<DWORD>(n), &put, nullptr) || put == 0) return false;
    buf += put;
    n -= put;
  }
  return true;
}

std::int64_t position_raw(File f) {
  HANDLE h = handle_of(f);
  LARGE_INTEGER zero{}, at{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::SetFilePointerEx(h, zero, &at, FILE_CURRENT)) return -1;
  return at.QuadPart;
}

long read_at_raw(File f, std::int64_t offset, char* buf, std::size_t n) {
  HANDLE h = handle_of(f);
  LARGE_INTEGER to;
  to.QuadPart = offset;
  DWORD got = 0;
  if (!::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) || !::ReadFile(h, buf, static_cast<DWORD>(n), &got, nullptr))
    return -1;
  return static_cast<long>(got);
}

File std_input() { return standard_handle(STD_INPUT_HANDLE); }
File std_output() { return standard_handle(STD_OUTPUT_HANDLE); }
File std_error() { return standard_handle(STD_ERROR_HANDLE); }

bool read_console_line(std::string& line, std::size_t max_len) {
  line.clear();
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    char c;
    DWORD got = 0;
    if (!::ReadFile(in, &c, 1, &got, nullptr) || got == 0) return !line.empty();
    if (c == '\n') break;
    if (c == '\r') continue;
    if (line.size() < max_len) line.push_back(c);
  }
  return true;
}

void ensure_standard_streams() {
  // A process started without a standard handle reads an empty input and writes
  // nowhere, as it would with the null device there.
  const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (DWORD w : which) {
    HANDLE h = ::GetStdHandle(w);
    if (h != nullptr && h != INVALID_HANDLE_VALUE) continue;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE nul = ::CreateFileA("NUL", w == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    if (nul != INVALID_HANDLE_VALUE) ::SetStdHandle(w, nul);
  }
}

}  // namespace rt::plat
