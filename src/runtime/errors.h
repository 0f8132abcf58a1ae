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

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace rt {

// Conditions with a fixed letter, number and message (error_table.h). The
// comment gives the cause.
enum class Erro : std::uint8_t {
  // Input conversion.
  int_overflow,     // integer value outside -2147483648..2147483647
  int_bad_digit,    // byte that is not a digit of the number's base
  real_overflow,    // real value beyond the double range
  real_bad_number,  // token not wholly a number, or no digit
  int_too_long,     // integer spelt with more characters than a value may hold
  real_too_long,    // real spelt with more characters than a value may hold
  radix_twice,      // second '#' in an integer
  radix_invalid,    // base before '#' outside 2..36
  repeat_zero,      // repeat count 0 or negative
  repeat_twice,     // second repeat count before the value
  number_quoted,    // quoted or parenthesised value for a number
  // Records.
  read_failed,  // the operating system read failed
  end_of_file,  // a refill read no bytes
  // Open.
  open_failed,      // any other rejection of the open
  open_connected,   // file already connected to another unit
  open_denied,      // access denied, sharing violation, write-protected
  open_exists,      // file appeared between the existence test and the create
  open_not_found,   // file or path does not exist, or the name is too long
  open_too_many,    // the process has too many open files
  open_no_slot,     // all unit slots are in use
  open_folder,      // the name designates a folder (or ends in a separator)
  open_no_reader,   // writing to a FIFO that no process reads
  open_not_a_file,  // reading a device that is not a console
  // Writing.
  write_denied,     // access denied or lock violation on write or cut
  write_disk_full,  // no space left on the device
  write_failed,     // any other failed write, flush or cut
  write_no_reader,  // the reader of a pipe or FIFO has gone
  // Formats.
  format_invalid,    // malformed format text
  format_item_type,  // item type does not suit its edit descriptor
  format_no_item,    // format ended while items remained
  // General.
  no_memory,    // an allocation failed, or the fields cannot fit in memory
  interrupted,  // SIGTERM, SIGINT or SIGHUP ended the run
  // Floating-point traps (letter M, context MATH).
  fp_invalid,
  fp_denormal,
  fp_divide_by_zero,
  fp_overflow,
  fp_underflow,
  fp_inexact,
};
// Keep on the last condition: the table's check counts its rows against it.
inline constexpr std::size_t erro_count = static_cast<std::size_t>(Erro::fp_inexact) + 1;

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

// Errors signalled by a math routine: "<routine>: <KIND> error", letter M.
enum class MathKind : std::uint8_t { domain = 1, sing, overflow, underflow, tloss, ploss };
inline constexpr std::size_t math_kind_count = static_cast<std::size_t>(MathKind::ploss);
[[noreturn]] void math_error(const char* routine, MathKind kind);

// Case values the run could not survive, refused before anything else happens
// with a line of their own, unnumbered: "<subject>: <text>" CR LF.
enum class Recusa : std::uint8_t {
  below_one,         // a count or step (name, value) under 1
  too_many_nodes,    // Nx*Ny (value) beyond a 32-bit integer
  report_over_case,  // the report (name) would land on the case file (name)
};
inline constexpr std::size_t recusa_count = static_cast<std::size_t>(Recusa::report_over_case) + 1;
// The refusal's line, its values in the order the text takes them.
std::string refusal_text(std::string_view subject, Recusa r, std::initializer_list<std::string_view> values);

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
  void (*flush_signal_safe)() = nullptr;              // after a trapped fault
  void (*whole_records_signal_safe)() = nullptr;      // after an interruption
};
void set_units_on_exit(const UnitsOnExit& units);

}  // namespace rt
