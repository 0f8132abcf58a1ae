// Run-time errors: one catalogue of numbered conditions, one report, one way out.
//
// Every failure of the run-time (input/output, arithmetic faults, math routines,
// allocation) ends the run the same way: the units are closed and their pending
// bytes written, then standard error receives
//
//   CR LF "run-time error " <letter><4 digits> <context> <message> CR LF
//
// where the context is ": READ(name)" CR LF "- " for a statement on a unit
// (": WRITE(", ": OPEN(", ": CLOSE(" likewise), ": MATH" CR LF "- " for an
// arithmetic fault or math-routine error, and CR LF "- " otherwise; the process
// exits with status 1.
#pragma once

#include <cstdint>
#include <string_view>

namespace rt {

// Conditions with a fixed letter, number and message. The comment gives the cause.
enum class Erro : std::uint8_t {
  // Input conversion.
  int_overflow,       // F6100 integer value outside -2147483648..2147483647
  int_bad_digit,      // F6101 byte that is not a digit of the number's base
  real_overflow,      // F6102 real value beyond the double range
  real_bad_number,    // F6103 token not wholly a number, or no digit
  int_too_long,       // F6101 integer spelt with more characters than a value may hold
  real_too_long,      // F6103 real spelt with more characters than a value may hold
  radix_twice,        // F6302 second '#' in an integer
  radix_invalid,      // F6303 base before '#' outside 2..36
  repeat_zero,        // F6502 repeat count 0 or negative
  repeat_twice,       // F6503 second repeat count before the value
  number_quoted,      // F6504 quoted or parenthesised value for a number
  // Records.
  read_failed,        // F6500 the operating system read failed
  end_of_file,        // F6501 a refill read no bytes
  // Open.
  open_failed,        // F6412 any other rejection of the open
  open_connected,     // F6413 file already connected to another unit
  open_denied,        // F6414 access denied, sharing violation, write-protected
  open_exists,        // F6415 file appeared between the existence test and the create
  open_not_found,     // F6416 file or path does not exist, or the name is too long
  open_too_many,      // F6417 the process has too many open files
  open_no_slot,       // F6418 all unit slots are in use
  open_folder,        // F6414 the name designates a folder (or ends in a separator)
  open_no_reader,     // F6412 writing to a FIFO that no process reads
  open_not_a_file,    // F6412 reading a device that is not a console
  // Writing.
  write_denied,       // F6421 access denied or lock violation on write or cut
  write_disk_full,    // F6422 no space left on the device
  write_failed,       // F6423 any other failed write, flush or cut
  write_no_reader,    // F6423 the reader of a pipe or FIFO has gone
  // Formats.
  format_invalid,     // F6980 malformed format text
  format_item_type,   // F6981 item type does not suit its edit descriptor
  format_no_item,     // F6982 format ended while items remained
  // General.
  no_memory,          // F6700 an allocation failed, or the fields cannot fit in memory
  interrupted,        // F6800 SIGTERM, SIGINT or SIGHUP ended the run
  // Floating-point traps (letter M, context MATH).
  fp_invalid,         // M6101
  fp_denormal,        // M6102
  fp_divide_by_zero,  // M6103
  fp_overflow,        // M6104
  fp_underflow,       // M6105
  fp_inexact,         // M6106
};

enum class Statement : std::uint8_t { none, read, write, open, close };

// Letter, number and message of a condition.
char erro_letter(Erro e);
int erro_number(Erro e);
std::string_view erro_message(Erro e);

// Error of an input/output statement on the file `file_name`.
[[noreturn]] void io_error(Erro e, Statement st, std::string_view file_name);
// Error outside any statement (allocation, for instance).
[[noreturn]] void general_error(Erro e);
// Trapped floating-point fault; async-signal-safe.
[[noreturn]] void fp_error(Erro e);

// Errors signalled by a math routine: "<routine>: <KIND> error", M62xx.
enum class MathKind : std::uint8_t { domain = 1, sing, overflow, underflow, tloss, ploss };
[[noreturn]] void math_error(const char* routine, MathKind kind);

// Writes text to standard error as it stands.
void write_stderr(std::string_view text);

// For harnesses that must outlive a run-time error (the fuzzers): once set, the
// hook receives the error's letter, number and report text after the units are
// closed, instead of the process ending. It must not return (it throws).
using ErrorHook = void (*)(char letter, int number, std::string_view report);
void set_error_hook(ErrorHook hook);

// A SIGTERM, SIGINT or SIGHUP: ends the run with F6800 naming the signal, after
// the units' whole records (signal context; the handler run/start_run installs).
[[noreturn]] void interruption_error(const char* signal_name);

// What a report does to the connected units before it is written. The units
// register their exit processing here when they are linked in, so the report
// knows nothing of them and a run without units has nothing to close.
struct UnitsOnExit {
  void (*close_all)(bool report_failures) = nullptr;  // outside signal context
  void (*flush_signal_safe)() = nullptr;               // after a trapped fault
  void (*whole_records_signal_safe)() = nullptr;       // after an interruption
};
void set_units_on_exit(const UnitsOnExit& units);

}  // namespace rt
