#include "runtime/units.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstring>
#include <memory>

#include "runtime/platform/platform.h"
#include "runtime/unit_os.h"

namespace rt {

unit_record::unit_record() : os(std::make_unique<unit_os>()) {}
unit_record::~unit_record() = default;

namespace {

constexpr int free_marker = INT_MIN;  // matches no unit number

struct Slot {
  int unit = free_marker;
  unit_record* rec = nullptr;
};

Slot unit_table[unit_slots];

int arg_count = 0;
char** arg_values = nullptr;
int next_argument = 1;  // the blank-name rule takes each argument once

Erro open_error(plat::OsError e) {
  switch (e) {
    case plat::OsError::not_found: return Erro::open_not_found;
    case plat::OsError::access_denied: return Erro::open_denied;
    case plat::OsError::exists: return Erro::open_exists;
    case plat::OsError::too_many_files: return Erro::open_too_many;
    case plat::OsError::is_directory: return Erro::open_folder;
    case plat::OsError::no_reader: return Erro::open_no_reader;
    case plat::OsError::not_a_file: return Erro::open_not_a_file;
    default: return Erro::open_failed;
  }
}

Erro write_error(plat::OsError e) {
  switch (e) {
    case plat::OsError::disk_full: return Erro::write_disk_full;
    case plat::OsError::access_denied: return Erro::write_denied;
    case plat::OsError::no_reader: return Erro::write_no_reader;
    default: return Erro::write_failed;
  }
}

// First `limit` characters (fewer if a NUL comes first), leading and trailing blanks removed.
std::string trimmed(const char* p, std::size_t len, std::size_t limit) {
  std::size_t n = 0;
  while (n < len && n < limit && p[n] != '\0') ++n;
  std::size_t b = 0;
  while (b < n && p[b] == ' ') ++b;
  while (n > b && p[n - 1] == ' ') --n;
  return std::string(p + b, n - b);
}

// A blank name: the next command-line argument, else ask on the console until
// an answer comes. The end of standard input while asking ends the run.
std::string name_from_user(int unit) {
  while (next_argument < arg_count) {
    const char* a = arg_values[next_argument++];
    std::string name = trimmed(a, std::strlen(a), max_name_len);
    if (!name.empty()) return name;
  }
  for (;;) {
    char prompt[96];
    int n = 0;
    const char* text = "File name missing or blank - please enter file name\r\nUNIT ";
    n = static_cast<int>(std::strlen(text));
    std::memcpy(prompt, text, static_cast<std::size_t>(n));
    std::string num = std::to_string(unit);
    std::memcpy(prompt + n, num.data(), num.size());
    n += static_cast<int>(num.size());
    prompt[n++] = '?';
    prompt[n++] = ' ';
    plat::write_raw(plat::std_output(), prompt, static_cast<std::size_t>(n));
    std::string line;
    if (!plat::read_console_line(line, 260)) io_error(Erro::end_of_file, Statement::open, "");
    std::string name = trimmed(line.data(), line.size(), line.size());
    if (!name.empty()) return name;
  }
}

// Reserved device names: the part before the last '.' of 3 or 4 characters.
bool device_name(const std::string& name, std::string& upper) {
  std::string::size_type dot = name.rfind('.');
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  if (base.size() < 3 || base.size() > 4) return false;
  upper.clear();
  for (char c : base) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  static const char* const devices[] = {"CON",  "USER", "PRN",  "COM1", "COM2", "COM3", "COM4", "LPT1",
                                        "LPT2", "LPT3", "LPT4", "NUL",  "AUX",  "ERR",  "LINE"};
  bool known = std::any_of(std::begin(devices), std::end(devices), [&](const char* d) { return upper == d; });
  if (!known || !plat::is_device_name(upper)) return false;
  // With an extension these three are ordinary file names.
  if (dot != std::string::npos && (upper == "ERR" || upper == "LINE" || upper == "USER")) return false;
  return true;
}

Slot* find_slot(int unit) {
  for (Slot& s : unit_table)
    if (s.unit == unit) return &s;
  return nullptr;
}

// Frees the slot first, so an interruption never finds a record being deleted.
bool release(Slot& s, plat::OsError& err) {
  unit_record* rec = s.rec;
  s.rec = nullptr;
  s.unit = free_marker;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  bool closed = plat::close_file(rec->os->handle, err);
  delete rec;
  return closed;
}

void refuse_second_connection(const unit_record& rec) {
  if (!rec.os->has_id) return;
  for (const Slot& s : unit_table) {
    if (s.rec != nullptr && s.rec->os->has_id && s.rec->os->id == rec.os->id) {
      plat::OsError ignored;
      plat::close_file(rec.os->handle, ignored);
      io_error(Erro::open_connected, Statement::open, rec.name);
    }
  }
}

// Connects `unit` to `name` (already trimmed and not blank).
void connect(int unit, const std::string& name, bool must_exist) {
  Slot* free_slot = find_slot(free_marker);
  if (free_slot == nullptr) io_error(Erro::open_no_slot, Statement::open, name);

  auto rec = std::make_unique<unit_record>();
  rec->unit = unit;
  rec->name = name;
  std::string upper;
  plat::OsError err = plat::OsError::none;
  if (device_name(name, upper)) {
    rec->os->handle = plat::open_device(upper, err);
    if (!rec->os->handle.is_open()) io_error(open_error(err), Statement::open, name);
    rec->kind = Kind::device;
    rec->capacity = device_buffer_size;
    rec->console = upper == "CON" || upper == "USER";
  } else if (plat::names_folder(name)) {
    io_error(Erro::open_folder, Statement::open, name);
  } else if (plat::is_stream(name, rec->os->id)) {
    // Opened read-write, a FIFO would make the run a reader of its own report
    // and never end; its direction is known at the first statement.
    rec->stream = true;
    rec->os->has_id = true;
    refuse_second_connection(*rec);
  } else {
    bool exists = plat::file_exists(name);
    if (!exists && must_exist) io_error(Erro::open_not_found, Statement::open, name);
    auto disp = exists ? plat::Disposition::open_existing : plat::Disposition::create_new;
    plat::OsError first = plat::OsError::none;
    const plat::Access tries[] = {plat::Access::read_write, plat::Access::read, plat::Access::write};
    const Action actions[] = {Action::read_write, Action::read, Action::write};
    for (int t = 0; t < 3 && !rec->os->handle.is_open(); ++t) {
      rec->os->handle = plat::open_file(name, tries[t], disp, err);
      if (t == 0) first = err;
      rec->action = actions[t];
    }
    if (!rec->os->handle.is_open()) io_error(open_error(first), Statement::open, name);
    rec->os->has_id = plat::file_identity(rec->os->handle, rec->os->id);
    refuse_second_connection(*rec);
    rec->write_mode = !exists;
  }
  free_slot->unit = unit;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  free_slot->rec = rec.release();
}

// The first statement on a FIFO, pipe or device opens it in its direction.
void open_stream_for(unit_record& u, Statement st) {
  if (!u.stream || u.os->handle.is_open()) return;
  bool reading = st == Statement::read;
  plat::OsError err = plat::OsError::none;
  u.os->handle = plat::open_stream(u.name, reading ? plat::Access::read : plat::Access::write, err);
  if (!u.os->handle.is_open()) {
    io_error(open_error(err), Statement::open, u.name);
  }
  u.action = reading ? Action::read : Action::write;
}

void fill_buffer(unit_record& u) {
  plat::OsError err;
  plat::File from = u.console ? plat::std_input() : u.os->handle;
  long n = plat::read_file(from, u.buffer, static_cast<std::size_t>(u.capacity), err);
  if (n < 0) {
    io_error(Erro::read_failed, Statement::read, u.name);
  }
  if (n == 0 && u.partial) {
    // The end of the file after a partial record ends that record.
    u.partial = false;
    u.buffer[0] = '\n';
    u.position = 0;
    u.last = 0;
    return;
  }
  if (n == 0) {
    u.eof = true;
    io_error(Erro::end_of_file, Statement::read, u.name);
  }
  u.file_offset += n;
  u.position = 0;
  u.last = static_cast<std::int32_t>(n - 1);
  // A short count ends nothing by itself (a pipe delivers what it has): only the
  // end of the file, at the next refill, ends a last line without its line feed.
  u.partial = u.buffer[n - 1] != '\n';
}

// Disk files only: a pipe's reader would wait for a gather to fill, and the
// interruption rule for a pipe cannot see what a write under way has sent.
bool gathers(const unit_record& u) { return u.kind == Kind::formatted && !u.stream && !u.console; }

// Bytes after a failed write stay out of the file, so it holds a prefix.
void quiet_close(Slot& s) {
  unit_record& u = *s.rec;
  if (u.write_mode) {
    plat::OsError err;
    const plat::File f = u.console ? plat::std_output() : u.os->handle;
    const auto g = static_cast<std::size_t>(u.gathered);
    const bool whole = g == 0 || plat::write_file(f, u.gather.get(), g, err) == static_cast<long>(g);
    if (whole && u.dirty && u.position > 0) plat::write_file(f, u.buffer, static_cast<std::size_t>(u.position), err);
  }
  plat::OsError ignored;
  release(s, ignored);
}

// Where the last line feed before `end` leaves the file, looking back a few
// buffers at most; -1 when none is found there or the file cannot be read.
std::int64_t last_record_end(plat::File f, std::int64_t end) {
  char b[buffer_size];
  std::int64_t to = end;
  while (to > 0 && end - to < 16 * buffer_size) {
    std::int64_t from = to > buffer_size ? to - buffer_size : 0;
    long n = plat::read_at_raw(f, from, b, static_cast<std::size_t>(to - from));
    if (n != to - from) return -1;
    for (long i = n; i > 0; --i)
      if (b[i - 1] == '\n') return from + i;
    to = from;
  }
  return to == 0 ? 0 : -1;
}

// A disk file that gathers: the pending bytes are the gathered ones, then the
// buffer's (a hand-over under way has them all in the gather area already).
// Written up to their last line feed unless a system write is under way; the
// file is then cut back to its last whole record in either case.
void write_whole_gathered(unit_record& u) {
  const plat::File f = u.os->handle;
  const std::int64_t at = plat::position_raw(f);
  if (at < 0) return;
  if (at == u.file_offset && u.flushing != 1) {
    const bool handing = u.flushing == 2;
    const std::int32_t g = handing ? u.gather_target : u.gathered;
    const std::int32_t b = handing ? 0 : u.position;
    std::int32_t lf = b - 1;
    while (lf >= 0 && u.buffer[lf] != '\n') --lf;
    if (lf >= 0) {
      if (g == 0 || plat::write_raw(f, u.gather.get(), static_cast<std::size_t>(g)))
        plat::write_raw(f, u.buffer, static_cast<std::size_t>(lf) + 1);
    } else {
      lf = g - 1;
      while (lf >= 0 && u.gather[lf] != '\n') --lf;
      if (lf >= 0) plat::write_raw(f, u.gather.get(), static_cast<std::size_t>(lf) + 1);
    }
  }
  const std::int64_t now = plat::position_raw(f);
  const std::int64_t end = now < 0 ? -1 : last_record_end(f, now);
  plat::OsError err;
  if (end >= 0 && end < now) plat::truncate_file(f, end, err);
}

void write_whole_records(unit_record& u) {
  if (!u.write_mode || (!u.os->handle.is_open() && !u.console)) return;
  if (gathers(u)) return write_whole_gathered(u);
  const plat::File f = u.console ? plat::std_output() : u.os->handle;
  const std::int32_t pos = u.position;
  std::int32_t lf = pos - 1;
  while (lf >= 0 && u.buffer[lf] != '\n') --lf;
  const bool idle = u.flushing == 0 && u.dirty;
  const std::int64_t at = f.standard ? -1 : plat::position_raw(f);
  if (at < 0) {
    // A pipe or device: what a write under way has sent is unknown, so only a
    // buffer that no write is taking from is written.
    if (idle && lf >= 0) plat::write_raw(f, u.buffer, static_cast<std::size_t>(lf) + 1);
    return;
  }
  const std::int64_t sent = at - u.file_offset;
  if (idle && lf >= 0 && sent >= 0 && sent <= lf) {
    plat::write_raw(f, u.buffer + sent, static_cast<std::size_t>(lf + 1 - sent));
    return;
  }
  // The file itself may end inside a record (the buffer was written in the
  // middle of one): cut it back to the end of the last whole record.
  std::int64_t end = last_record_end(f, at);
  plat::OsError err;
  if (end >= 0 && end < at) plat::truncate_file(f, end, err);
}

// Linked in with the units: every report then closes them first (errors.h).
[[maybe_unused]] const bool on_exit_registered =
    (set_units_on_exit({close_all_units, flush_all_units_signal_safe, write_whole_records_signal_safe}), true);

}  // namespace

void set_arguments(int argc, char** argv) {
  arg_count = argc;
  arg_values = argv;
  next_argument = 1;
}

FileIdentity identity(const unit_record& u) { return {u.os->has_id, u.os->id.volume, u.os->id.index}; }

bool same_file(const std::string& a, const std::string& b) { return plat::same_file(a, b); }

std::string unit_file_name(const char* name, int len) {
  return trimmed(name, len < 0 ? 0 : static_cast<std::size_t>(len), max_name_len);
}

int open_unit(int unit, const char* name, int len) {
  if (unit < -32767 || unit > 32767) return 6314;
  std::string n = unit_file_name(name, len);
  if (n.empty()) n = name_from_user(unit);
  if (Slot* s = find_slot(unit)) {
    if (s->rec->name == n) return 0;  // same file: nothing of ours to change
    close_unit(unit);
  }
  connect(unit, n, false);
  return 0;
}

void close_unit(int unit) {
  Slot* s = find_slot(unit);
  if (s == nullptr) return;
  unit_record& u = *s->rec;
  if (u.write_mode && has_pending(u)) flush_buffer(u, Statement::close);
  // A network filesystem may report a failed write only now.
  const bool wrote = u.write_mode;
  std::string name = u.name;
  plat::OsError err = plat::OsError::none;
  if (!release(*s, err) && wrote) io_error(write_error(err), Statement::close, name);
}

unit_record* find_unit(int unit) {
  Slot* s = find_slot(unit);
  return s ? s->rec : nullptr;
}

unit_record& statement_unit(int unit, Statement st) {
  unit_record* u = find_unit(unit);
  if (u == nullptr) {
    connect(unit, name_from_user(unit), st == Statement::read);
    u = find_unit(unit);
  }
  open_stream_for(*u, st);
  return *u;
}

int next_byte(unit_record& u) {
  if (u.position > u.last) fill_buffer(u);
  return static_cast<unsigned char>(u.buffer[u.position++]);
}

void push_back(unit_record& u) {
  if (u.position > 0) --u.position;
}

void next_record(unit_record& u) {
  while (next_byte(u) != '\n') {
  }
}

void leave_write_mode(unit_record& u) {
  if (!u.write_mode) return;
  if (has_pending(u)) flush_buffer(u, Statement::read);
  u.write_mode = false;
}

void enter_write_mode(unit_record& u) {
  if (u.write_mode) return;
  if (u.kind == Kind::formatted) {
    std::int64_t logical = u.file_offset - (u.last + 1) + u.position;
    plat::OsError err;
    if (!plat::truncate_file(u.os->handle, logical, err)) {
      io_error(write_error(err), Statement::write, u.name);
    }
    u.file_offset = logical;
  }
  u.position = 0;
  u.last = -1;
  u.write_mode = true;
}

namespace {

Erro failed_write(plat::OsError err) {
  return write_error(err == plat::OsError::none ? plat::OsError::disk_full : err);
}

// The gathered full buffers in one system write. They filled during write
// statements, so a failure is reported against one, as it was when each full
// buffer went to the file on its own.
void write_gathered(unit_record& u) {
  if (u.gathered == 0) return;
  plat::OsError err = plat::OsError::none;
  const auto n = static_cast<std::size_t>(u.gathered);
  u.flushing = 1;
  const long written = plat::write_file(u.os->handle, u.gather.get(), n, err);
  if (written != static_cast<long>(n)) {
    if (written > 0) {
      std::memmove(u.gather.get(), u.gather.get() + written, n - static_cast<std::size_t>(written));
      u.gathered -= static_cast<std::int32_t>(written);
      u.file_offset += written;
    }
    const Erro e = failed_write(err);
    u.flushing = 0;
    io_error(e, Statement::write, u.name);
  }
  u.file_offset += written;
  u.gathered = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  u.flushing = 0;
}

// A full buffer joins the gathered ones; an interruption meanwhile finds every
// byte exactly once (flushing 2: all of them in the gather area).
void hand_over(unit_record& u) {
  if (!u.gather) u.gather = std::make_unique_for_overwrite<char[]>(gather_size);
  std::memcpy(u.gather.get() + u.gathered, u.buffer, static_cast<std::size_t>(u.position));
  u.gather_target = u.gathered + u.position;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  u.flushing = 2;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  u.gathered = u.gather_target;
  u.position = 0;
  u.last = -1;
  u.dirty = false;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  u.flushing = 0;
  if (u.gathered + u.capacity > gather_size) write_gathered(u);
}

}  // namespace

void put_bytes(unit_record& u, const char* p, std::size_t n) {
  while (n > 0) {
    std::size_t room = static_cast<std::size_t>(u.capacity - u.position);
    std::size_t take = std::min(room, n);
    std::memcpy(u.buffer + u.position, p, take);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // bytes before the count that shows them
    u.position += static_cast<std::int32_t>(take);
    u.dirty = true;
    p += take;
    n -= take;
    if (u.position == u.capacity) {
      if (gathers(u)) {
        hand_over(u);
      } else {
        flush_buffer(u);
      }
    }
  }
}

bool has_pending(const unit_record& u) { return u.gathered > 0 || u.dirty; }

void flush_buffer(unit_record& u, Statement st) {
  write_gathered(u);
  if (!u.dirty || u.position == 0) {
    u.dirty = false;
    return;
  }
  plat::OsError err = plat::OsError::none;
  std::size_t n = static_cast<std::size_t>(u.position);
  u.flushing = 1;
  long written = plat::write_file(u.console ? plat::std_output() : u.os->handle, u.buffer, n, err);
  if (written != static_cast<long>(n)) {
    // What did reach the file leaves the buffer, so the exit's last flush cannot write it twice.
    if (written > 0) {
      std::memmove(u.buffer, u.buffer + written, n - static_cast<std::size_t>(written));
      u.position -= static_cast<std::int32_t>(written);
      u.file_offset += written;
    }
    // Nothing of a failed write passes silently: a truncated report never ends a run with status 0.
    const Erro e = failed_write(err);
    u.flushing = 0;
    io_error(e, st, u.name);
  }
  u.file_offset += written;
  u.position = 0;
  u.last = -1;
  u.dirty = false;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  u.flushing = 0;
}

void close_all_units(bool report_failures) {
  for (Slot& s : unit_table) {
    if (s.rec == nullptr) continue;
    if (report_failures) {
      close_unit(s.unit);
    } else {
      quiet_close(s);
    }
  }
}

void flush_all_units_signal_safe() {
  for (Slot& s : unit_table) {
    unit_record* u = s.rec;
    if (u == nullptr || !u->write_mode) continue;
    const plat::File f = u->console ? plat::std_output() : u->os->handle;
    const bool handing = u->flushing == 2;
    const std::int32_t g = handing ? u->gather_target : u->gathered;
    if (g > 0 && !plat::write_raw(f, u->gather.get(), static_cast<std::size_t>(g))) continue;
    u->gathered = 0;
    if (handing || !u->dirty || u->position <= 0) continue;
    plat::write_raw(f, u->buffer, static_cast<std::size_t>(u->position));
    u->dirty = false;
  }
}

void write_whole_records_signal_safe() {
  for (Slot& s : unit_table) {
    if (unit_record* u = s.rec) write_whole_records(*u);
  }
}

}  // namespace rt
