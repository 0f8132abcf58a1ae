// The failure texts of the run-time and of the program units, each beside its
// condition: the numbered run-time errors, the math-routine kinds and the
// refusals of case values. The checks below run at compile time (errors.cpp);
// they take any table, so a test can show them a faulty one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "runtime/errors.h"

namespace rt::table {

struct ErroRow {
  Erro erro;
  char letter;
  std::int16_t number;
  const char* message;
  // A further condition under an earlier one's letter and number names that
  // condition here; any other repeat of a number is a slip.
  std::optional<Erro> shares_number_of = std::nullopt;
};

inline constexpr ErroRow erros[] = {
    {Erro::int_overflow, 'F', 6100, "integer overflow"},
    {Erro::int_bad_digit, 'F', 6101, "invalid integer"},
    {Erro::real_overflow, 'F', 6102, "real overflow"},
    {Erro::real_bad_number, 'F', 6103, "invalid real"},
    {Erro::int_too_long, 'F', 6101, "number longer than 4096 characters", Erro::int_bad_digit},
    {Erro::real_too_long, 'F', 6103, "number longer than 4096 characters", Erro::real_bad_number},
    {Erro::radix_twice, 'F', 6302, "more than one radix specifier"},
    {Erro::radix_invalid, 'F', 6303, "radix outside 2..36"},
    {Erro::repeat_zero, 'F', 6502, "repeat count must be positive"},
    {Erro::repeat_twice, 'F', 6503, "multiple repeat factors"},
    {Erro::number_quoted, 'F', 6504, "invalid number"},
    {Erro::read_failed, 'F', 6500, "system read error"},
    {Erro::end_of_file, 'F', 6501, "end of file encountered"},
    {Erro::open_failed, 'F', 6412, "file open rejected by the system"},
    {Erro::open_connected, 'F', 6413, "file already connected to a different unit"},
    {Erro::open_denied, 'F', 6414, "access denied"},
    {Erro::open_exists, 'F', 6415, "file already exists"},
    {Erro::open_not_found, 'F', 6416, "file not found"},
    {Erro::open_too_many, 'F', 6417, "too many open files"},
    {Erro::open_no_slot, 'F', 6418, "too many units connected"},
    {Erro::open_folder, 'F', 6414, "the name designates a folder, not a file", Erro::open_denied},
    {Erro::open_no_reader, 'F', 6412, "no process is reading the FIFO", Erro::open_failed},
    {Erro::open_not_a_file, 'F', 6412, "a device that is not a console cannot be read", Erro::open_failed},
    {Erro::write_denied, 'F', 6421, "write access denied"},
    {Erro::write_disk_full, 'F', 6422, "no space left on device"},
    {Erro::write_failed, 'F', 6423, "system write error"},
    {Erro::write_no_reader, 'F', 6423, "the reader of the pipe has gone", Erro::write_failed},
    {Erro::format_invalid, 'F', 6980, "invalid format"},
    {Erro::format_item_type, 'F', 6981, "item type does not match its edit descriptor"},
    {Erro::format_no_item, 'F', 6982, "format has no edit descriptor for the item"},
    {Erro::no_memory, 'F', 6700, "insufficient memory"},
    // The signal's name follows.
    {Erro::interrupted, 'F', 6800, "interrupted by "},
    {Erro::fp_invalid, 'M', 6101, "floating-point error: invalid"},
    {Erro::fp_denormal, 'M', 6102, "floating-point error: denormal"},
    {Erro::fp_divide_by_zero, 'M', 6103, "floating-point error: divide by zero"},
    {Erro::fp_overflow, 'M', 6104, "floating-point error: overflow"},
    {Erro::fp_underflow, 'M', 6105, "floating-point error: underflow"},
    {Erro::fp_inexact, 'M', 6106, "floating-point error: inexact"},
};

// "<routine>: <name> error", letter M.
struct MathRow {
  MathKind kind;
  std::int16_t number;
  const char* name;
};

inline constexpr MathRow math_kinds[] = {
    {MathKind::domain, 6201, "DOMAIN"},       {MathKind::sing, 6202, "SING"},   {MathKind::overflow, 6203, "OVERFLOW"},
    {MathKind::underflow, 6204, "UNDERFLOW"}, {MathKind::tloss, 6205, "TLOSS"}, {MathKind::ploss, 6206, "PLOSS"},
};

// Each {} takes one value, in order. Windows-1252, like the report.
struct RecusaRow {
  Recusa recusa;
  const char* text;
  int values;
};

inline constexpr RecusaRow recusas[] = {
    {Recusa::below_one, "{} = {}, mas deve ser pelo menos 1", 2},
    {Recusa::too_many_nodes, "Nx*Ny = {} excede o maior inteiro de 32 bits (2147483647)", 1},
    {Recusa::report_over_case, "out_name = '{}' designa o mesmo arquivo que {}; escolha outro nome", 2},
};

// What the checks find wrong with a table; the first fault found.
enum class Flaw : std::uint8_t {
  none,
  wrong_size,     // a row missing or one too many
  out_of_order,   // row i is not condition i
  bad_letter,     // not an upper-case letter
  bad_number,     // not four digits, as the report prints it
  no_message,     // empty or absent text
  shared_number,  // a letter and number that an earlier row holds, undeclared
  bad_share,      // declared as sharing, but not with the first holder of its number
  same_message,   // declared as sharing, yet the text says nothing new
  bad_values,     // placeholders and values disagree, or a brace stands alone
};

constexpr bool four_digits(int n) { return n >= 1000 && n <= 9999; }
constexpr bool has_text(const char* s) { return s != nullptr && s[0] != '\0'; }

constexpr Flaw check_erros(std::span<const ErroRow> rows, std::size_t count) {
  if (rows.size() != count) return Flaw::wrong_size;
  for (std::size_t j = 0; j < rows.size(); ++j) {
    const ErroRow& r = rows[j];
    if (static_cast<std::size_t>(r.erro) != j) return Flaw::out_of_order;
    if (r.letter < 'A' || r.letter > 'Z') return Flaw::bad_letter;
    if (!four_digits(r.number)) return Flaw::bad_number;
    if (!has_text(r.message)) return Flaw::no_message;
    std::optional<std::size_t> first;
    for (std::size_t i = 0; i < j && !first; ++i)
      if (rows[i].letter == r.letter && rows[i].number == r.number) first = i;
    if (!first) {
      if (r.shares_number_of) return Flaw::bad_share;
      continue;
    }
    if (!r.shares_number_of) return Flaw::shared_number;
    if (static_cast<std::size_t>(*r.shares_number_of) != *first) return Flaw::bad_share;
    for (std::size_t i = *first; i < j; ++i)
      if (rows[i].letter == r.letter && rows[i].number == r.number && std::string_view(rows[i].message) == r.message)
        return Flaw::same_message;
  }
  return Flaw::none;
}

// The math kinds count from 1 and are numbered under letter M beside the
// errors, so a number of theirs must not be one of the errors' M numbers.
constexpr Flaw check_math(std::span<const MathRow> rows, std::size_t count, std::span<const ErroRow> with) {
  if (rows.size() != count) return Flaw::wrong_size;
  for (std::size_t j = 0; j < rows.size(); ++j) {
    if (static_cast<std::size_t>(rows[j].kind) != j + 1) return Flaw::out_of_order;
    if (!four_digits(rows[j].number)) return Flaw::bad_number;
    if (!has_text(rows[j].name)) return Flaw::no_message;
    for (std::size_t i = 0; i < j; ++i)
      if (rows[i].number == rows[j].number) return Flaw::shared_number;
    for (const ErroRow& e : with)
      if (e.letter == 'M' && e.number == rows[j].number) return Flaw::shared_number;
  }
  return Flaw::none;
}

constexpr int placeholders(std::string_view t) {
  int n = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '{' && i + 1 < t.size() && t[i + 1] == '}') {
      ++n;
      ++i;
    } else if (t[i] == '{' || t[i] == '}') {
      return -1;
    }
  }
  return n;
}

constexpr Flaw check_recusas(std::span<const RecusaRow> rows, std::size_t count) {
  if (rows.size() != count) return Flaw::wrong_size;
  for (std::size_t j = 0; j < rows.size(); ++j) {
    if (static_cast<std::size_t>(rows[j].recusa) != j) return Flaw::out_of_order;
    if (!has_text(rows[j].text)) return Flaw::no_message;
    if (placeholders(rows[j].text) != rows[j].values) return Flaw::bad_values;
  }
  return Flaw::none;
}

}  // namespace rt::table
