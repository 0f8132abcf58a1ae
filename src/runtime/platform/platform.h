// The thin operating-system seam of the run-time. One implementation file per
// service and operating system lives beside this header (linux/, windows/); the
// run-time's logic above it holds no conditional compilation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The platform's own types for a saved floating-point environment and for the
// modes a thread computes in, from the folder of the platform being built
// (linux/ or windows/).
#include "fp_saved.h"

namespace rt::plat {

// ---- Files -------------------------------------------------------------------

struct File {
  std::intptr_t h = -1;   // descriptor or handle; -1 when not open
  bool standard = false;  // a standard stream: never closed
  bool is_open() const { return h != -1; }
};

// Classes of operating-system failure that the run-time tells apart.
enum class OsError : std::uint8_t {
  none,
  not_found,       // file or path missing, bad path, name too long
  access_denied,   // permission, sharing or lock violation, read-only medium, a directory
  exists,          // exclusive create met an existing file
  too_many_files,  // per-process or system descriptor limit
  disk_full,       // no space left
  is_directory,    // the name designates a folder
  no_reader,       // a FIFO that no process reads, or a pipe whose reader has gone
  not_a_file,      // a device that is not a console, which never ends a record
  other,
};

enum class Access : std::uint8_t { read_write, read, write };
enum class Disposition : std::uint8_t { open_existing, create_new };

struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};

bool file_exists(const std::string& name);
// A name ending in a folder separator: it designates a folder, never a file.
bool names_folder(const std::string& name);
// Opens or creates a disk file. A symbolic link to a missing file creates its
// target (exclusively, like any new file), as other programs do.
File open_file(const std::string& name, Access access, Disposition disp, OsError& err);
// A FIFO, pipe or device: served in one direction only, so it is opened with the
// access of the first statement on it. Writing to a FIFO that no process reads
// fails at once (no_reader) instead of waiting; reading waits for a writer, as
// any reader of a FIFO does. Reading a device that is not a console (it would
// never end a record) is refused (not_a_file).
File open_stream(const std::string& name, Access access, OsError& err);
// Whether `name` designates a FIFO, pipe, socket or device (followed through
// symbolic links), and if so its identity.
bool is_stream(const std::string& name, FileId& id);
// Reads up to n bytes at the current position: count (0 at end of file) or -1.
long read_file(File f, char* buf, std::size_t n, OsError& err);
// Writes n bytes; returns the count written (short or -1 on failure).
long write_file(File f, const char* buf, std::size_t n, OsError& err);
// Moves the file position to `offset` and ends the file there.
bool truncate_file(File f, std::int64_t offset, OsError& err);
// Closes the handle; false (with `err`) when the system reports a failure, such
// as a write that a network filesystem refuses only at close.
bool close_file(File f, OsError& err);
bool file_identity(File f, FileId& id);
// Whether two names designate one existing file (same volume and file index).
bool same_file(const std::string& a, const std::string& b);

// Whether a reserved name (CON, NUL, COM1, ...; `upper` is the name before its
// extension, upper-cased) designates a device here. Windows keeps them all; on
// POSIX systems only the console (CON, USER) and standard error (ERR) do, and
// the others are ordinary file names.
bool is_device_name(std::string_view upper);
// Devices for the reserved names that is_device_name accepts. Standard streams
// come back with `standard`.
File open_device(std::string_view upper, OsError& err);

// Ends the process at once with `status` (async-signal-safe; no C++ clean-up).
[[noreturn]] void exit_now(int status);
// Async-signal-safe raw write used by the exit paths of a trapped fault; false
// when not every byte was written.
bool write_raw(File f, const char* buf, std::size_t n);
// Async-signal-safe: the position of a file that has one, else -1.
std::int64_t position_raw(File f);
// Async-signal-safe: reads up to n bytes at `offset`; the count, or -1.
long read_at_raw(File f, std::int64_t offset, char* buf, std::size_t n);

File std_input();
File std_output();
File std_error();
// One line from standard input without its CR/LF; false at end of input.
bool read_console_line(std::string& line, std::size_t max_len);

// ---- Processes -----------------------------------------------------------------

// Runs `command` through `interpreter` (the platform's own switch: "-c" or " /c ")
// and waits without limit. Returns the child's status, or -1 with `err` set to
// 2 (not found), 8 (bad executable format) or 12 (any other reason).
int run_command(const std::string& interpreter, std::string_view command, int& err);
// `arg` as one word for the interpreter, nothing in it interpreted. Returns false
// when the platform cannot quote it safely (the caller then runs nothing).
bool quote_argument(std::string_view arg, std::string& out);
// What goes before a relative file name that starts like an option ('-' or '+')
// so that the program that gets it takes it for a name: "./" on POSIX systems;
// nothing on Windows, whose programs take options after '/'.
std::string option_guard();
// Whether the interpreter can find a program called `name` (on POSIX systems an
// executable file of that name in a folder of PATH).
bool program_findable(const char* name);
// Interpreter used when COMSPEC is unset or empty.
const char* default_interpreter();
// Value of an environment variable, empty when unset.
std::string get_env(const char* name);
// Records the error number of a failed command for a later query.
void set_last_error(int err);
// Called once at start-up: makes the program's own helper folder (the editor
// stand-in) reachable after the user's PATH.
void prepare_process_environment();
// Processors this process may run on (its affinity), at least 1.
int usable_processors();
// The processor the calling thread runs on now, or -1 where that is unknown.
int current_processor();
// Moves the calling thread off `processor` when it may run on another, and then
// lets it run anywhere it could before: a nudge for a new thread that started
// on its parent's processor, not a pin.
void step_off_processor(int processor);
// Makes sure the three standard streams are open, so no file takes their place.
void ensure_standard_streams();

// ---- Memory --------------------------------------------------------------------

// Bytes of memory the process can have: the physical memory, or a control-group
// limit where a smaller one applies; 0 when unknown.
std::uint64_t memory_limit();
// `n` zeroed bytes whose pages cost nothing until they are touched; nullptr when
// the system refuses. Released with release_pages.
void* zeroed_pages(std::size_t n);
void release_pages(void* p, std::size_t n);

// ---- Interruptions --------------------------------------------------------------

// Runs `handler` with the signal's name ("SIGTERM", "SIGINT", "SIGHUP") when one
// of these arrives, on the thread that called this; a signal the process was
// started with ignored stays ignored. The handler runs in signal context and
// ends with end_interrupted. Where there are no such signals nothing is done.
using InterruptHandler = void (*)(const char* signal_name);
void catch_interruptions(InterruptHandler handler);
// Ends the process by the signal being handled, so that its parent sees the
// interruption (async-signal-safe).
[[noreturn]] void end_interrupted();

// ---- Clock ----------------------------------------------------------------------

// Monotonic time as a count of 100-ns ticks at millisecond resolution, never 0.
std::uint64_t clock_ticks();

// ---- Floating point -------------------------------------------------------------

// The kind of a trapped floating-point fault.
enum class FpFault : std::uint8_t { invalid, denormal, divide_by_zero, overflow, underflow, inexact };
// Receives a trapped fault in signal or exception-handler context; it must end the
// process (the faulting instruction would run again), or the process aborts.
using FpFaultHandler = void (*)(FpFault fault);
// Enables the invalid, divide-by-zero and overflow traps for the process and routes
// a trapped fault to `handler`.
void enable_fp_traps(FpFaultHandler handler);
// Saves the environment and masks every trap; restore() puts it back. Returns, in
// `raised`, the IEEE flags set in between (FE_* bits of <cfenv>).
struct FpMasked {
  FpMasked();
  ~FpMasked();
  FpMasked(const FpMasked&) = delete;
  FpMasked& operator=(const FpMasked&) = delete;
  int raised() const;

 private:
  FpSaved saved_;
};
// The calling thread's floating-point modes (the rounding mode, with whatever
// the platform keeps beside it), to be put into a thread that computes for it:
// a new thread starts with them on Linux but not on Windows.
FpModes fp_modes();
void set_fp_modes(const FpModes& modes);

}  // namespace rt::plat
