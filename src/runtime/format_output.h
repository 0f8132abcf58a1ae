// Formatted write statements: write_begin, one call per item, write_end.
//
// The format text begins with "(" and ends at the ")"
// that matches it, whatever follows (the report's formats sit back to back in
// memory). Supported, separated by commas:
//
//   'text'    literal, its bytes placed unchanged; '' inside stands for one '
//   r/        ends the record r times (r >= 1, default 1)
//   Tn        the next character goes to column n (n >= 1)
//   kP        scale factor k for the following E and F fields of the statement
//   rEw.d     real, exponent form     rFw.d  real, fixed form     rIw  integer
//   r( ... )  group, acted on r times; groups nest up to 32 deep
//
// The comma may be left out after kP and on either side of a slash; blanks
// between descriptors are ignored; letters may be lower case. Counts, widths and
// columns above 1000000 are taken as malformed text, as are empty inner groups.
//
// Records: a tab beyond the record's end owes blanks that become characters only
// when something is placed after them, so no record ends in blanks left by a tab;
// a tab inside the record overwrites from that column. Each record goes to the
// unit's buffer followed by CR LF, whole, whatever its length.
//
// Every statement starts afresh: an empty record at column 1, scale factor 0.
// Run-time errors on WRITE(unit name): malformed format text (F6980, found when
// the statement begins, before the unit's file is cut), an item whose type does
// not suit its descriptor (F6981), and an item with no descriptor left or outside
// a statement (F6982). Formats are never read past their closing parenthesis or a
// NUL byte.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

// Starts a statement on `unit` (an unconnected unit is connected by the blank-name
// rule); a unit not yet in write mode is cut at its position first.
void write_begin(int unit, const char* format);
void write_real8(double v);       // edited by the next E or F descriptor
void write_int4(std::int32_t v);  // edited by the next I descriptor
// Acts on the descriptors after the last item up to the next data descriptor or
// the format's end (so trailing labels are written), then ends the record.
// Outside a statement it does nothing.
void write_end();

// Formats are compiled once per text (the form is found again by the text) and
// executed from it; the walker acts on the text itself and is the reference the
// compiled form is checked against. Both behave alike for every format.
enum class FormatEngine : std::uint8_t { compiled, walking };
void set_format_engine(FormatEngine e);

// Test hook: while `sink` is set, statements append their records (CR LF
// included) to *sink instead of a unit's buffer; the unit number is not looked up
// and errors name no file. nullptr restores output to units.
void set_record_sink(std::string* sink);

}  // namespace rt
