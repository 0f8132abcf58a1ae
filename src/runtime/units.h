// Unit files: a table of connected units, each a file with a 1024-byte buffer.
//
// A unit is connected by `open_unit` (status UNKNOWN: an existing file is opened
// as it is, a missing one is created empty and left on disk) and disconnected by
// `close_unit` or by the exit processing, which writes any pending bytes first.
// Reading walks records (bytes up to a line feed) through the buffer; writing puts
// record bytes into the same buffer and writes it out when it is full and at close.
// Every failure ends the run through the run-time error report.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/errors.h"

namespace rt {

inline constexpr int buffer_size = 1024;
// Full buffers of a disk file collect here and reach the system in one write.
inline constexpr int gather_size = 64 * buffer_size;
inline constexpr int device_buffer_size = 132;
inline constexpr int unit_slots = 61;
inline constexpr int max_name_len = 259;

enum class Kind : std::int8_t { device, formatted };
enum class Action : std::int8_t { read_write, read, write };

// The unit's file as the system knows it (runtime/unit_os.h): no platform type
// reaches the users of this header.
struct unit_os;

struct unit_record {
  unit_record();
  ~unit_record();
  unit_record(const unit_record&) = delete;
  unit_record& operator=(const unit_record&) = delete;

  int unit = 0;
  std::string name;  // as opened, trimmed
  std::unique_ptr<unit_os> os;
  bool console = false;  // CON/USER: reads standard input, writes standard output
  bool stream = false;   // FIFO, pipe or device: opened by the first statement, for its direction
  Kind kind = Kind::formatted;
  int capacity = buffer_size;  // 1024, or 132 for a device
  char buffer[buffer_size];
  std::int32_t position = 0;     // next byte to take from / put into the buffer
  std::int32_t last = -1;        // last valid byte; -1 when empty
  std::int64_t file_offset = 0;  // file position just past the buffer's bytes
  bool write_mode = false;
  bool dirty = false;
  bool eof = false;
  bool partial = false;  // the last refill ended inside a record
  // Full buffers not yet written, bytes [0, gathered); they come before the
  // buffer's. Only disk files gather; the area is allocated at the first hand-over.
  std::unique_ptr<char[]> gather;
  std::int32_t gathered = 0;
  std::int32_t gather_target = 0;  // gathered + position while a hand-over runs
  // 1 while a system write is under way, 2 while a full buffer is handed over.
  volatile std::sig_atomic_t flushing = 0;
  Action action = Action::read_write;
};

// Connects `unit` to the file `name` (count `len`; leading and trailing blanks
// removed, a NUL ends it early). A blank name takes the next command-line argument,
// else asks on the console. Returns 0, or 6314 without a report for a unit number
// outside -32767..32767.
int open_unit(int unit, const char* name, int len);
// The name open_unit would use for `name` (count `len`), before the blank-name rule.
std::string unit_file_name(const char* name, int len);
// Which file a unit is connected to, kept to tell whether a later unit lands on
// the same file however it was named.
struct FileIdentity {
  bool known = false;  // false where the system gives no identity
  std::uint64_t volume = 0, index = 0;
  bool same_file(const FileIdentity& other) const {
    return known && other.known && volume == other.volume && index == other.index;
  }
};
FileIdentity identity(const unit_record& u);
// Whether two names designate one existing file.
bool same_file(const std::string& a, const std::string& b);

// Disconnects `unit`, writing pending bytes; not connected is no error.
void close_unit(int unit);
// The connected unit, or nullptr.
unit_record* find_unit(int unit);
// The unit a statement works on; an unconnected unit is connected first to an
// existing file named by the blank-name rule (command-line argument or prompt).
// A FIFO, pipe or device is opened here, for reading or writing as `st` says.
unit_record& statement_unit(int unit, Statement st);

// Reading (records). Raise 6501 at end of file, 6500 on a failed read.
int next_byte(unit_record& u);          // the next byte, refilling as needed
void push_back(unit_record& u);         // give back the byte just taken
void next_record(unit_record& u);       // skip through the next line feed
void leave_write_mode(unit_record& u);  // at the start of a read statement

// Writing (records are Part of the formatter; these are the unit side).
void enter_write_mode(unit_record& u);  // cut the file at the logical position
void put_bytes(unit_record& u, const char* p, std::size_t n);
// Writes every pending byte: the gathered full buffers (a failure there is
// reported against a write statement, where the buffer filled), then the buffer
// itself (a failure reported against `st`).
void flush_buffer(unit_record& u, Statement st = Statement::write);
// Whether bytes handed to the unit still wait for the file.
bool has_pending(const unit_record& u);

// Exit processing: closes every connected unit. With `report_failures` false a
// failed flush is ignored (the run is already ending on an error).
void close_all_units(bool report_failures);
// Async-signal-safe last resort: writes the dirty buffers with raw writes.
void flush_all_units_signal_safe();
// Async-signal-safe, for an interruption that may come in the middle of a record:
// every unit being written ends at its last whole record (pending bytes up to the
// last line feed are written; a disk file holding part of a record is cut back).
// Units being read are not touched.
void write_whole_records_signal_safe();

// Command-line arguments for the blank-name rule (argument 1 is the first).
void set_arguments(int argc, char** argv);

}  // namespace rt
