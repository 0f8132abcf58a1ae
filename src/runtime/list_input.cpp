#include "runtime/list_input.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/decimal.h"
#include "runtime/errors.h"
#include "runtime/platform/platform.h"
#include "runtime/units.h"

namespace rt {

namespace {

enum class Mode { plain, parenthesised, quoted };

// Unquoted values longer than this are not collected further; such a value is
// refused as a number and cut as a name (which holds 100 characters at most).
// The message of the refusal names the figure.
constexpr std::size_t token_limit = 4096;
constexpr int max_significant = 25;
constexpr int max_exponent = 5200;

// State of the read statement in progress.
struct ReadStatement {
  unit_record* u = nullptr;
  char separator = ',';
  int repeat = 0;
  std::string token;
  Mode mode = Mode::plain;
  char quote = 0;
  int split = -1;
  bool ended_by_record_end = false;
  bool overlong = false;
} st;

[[noreturn]] void fail(Erro e) { io_error(e, Statement::read, st.u ? std::string_view(st.u->name) : ""); }

void append(char c) {
  if (st.token.size() < token_limit) {
    st.token.push_back(c);
  } else {
    st.overlong = true;
  }
}

// Scans the next value into st.token. Returns false for a null value.
bool scan_value() {
  if (st.repeat > 0) {
    --st.repeat;
    return !st.token.empty();
  }
  if (st.separator == '/') return false;  // a slash ended the list: the rest stay as they are

  st.token.clear();
  st.mode = Mode::plain;
  st.split = -1;
  st.ended_by_record_end = false;
  st.overlong = false;
  bool repeat_seen = false;
  bool after_star = false;
  unit_record& u = *st.u;

  for (;;) {
    int c = next_byte(u);
    bool record_end = c == '\r' || c == '\n';
    if (record_end) {
      push_back(u);
      next_record(u);
      if (st.mode == Mode::quoted) {
        next_byte(u);  // the continuation record's first byte is not part of the value
        continue;
      }
    }
    if (st.mode == Mode::quoted) {
      if (c == st.quote) {
        int d = next_byte(u);
        if (d == st.quote) {
          append(static_cast<char>(c));
          continue;
        }
        st.separator = static_cast<char>(d);
        // The record's end stays for the statement end to consume.
        if (d == '\r' || d == '\n') push_back(u);
        break;
      }
      append(static_cast<char>(c));
      continue;
    }
    if (record_end || c == ' ' || c == '\t') {
      if (st.mode == Mode::parenthesised) continue;
      if (st.token.empty() && st.repeat == 0) {
        after_star = false;
        continue;  // leading blanks, empty records
      }
      st.separator = ' ';
      // A null after "r*" at the record end leaves the statement end to skip a record.
      st.ended_by_record_end = record_end && !st.token.empty();
      break;
    }
    if (c == ',') {
      if (after_star) {
        st.separator = ',';
        break;
      }
      if (st.token.empty() && st.separator == ' ' && st.repeat == 0) {
        st.separator = ',';
        continue;
      }
      if (st.mode == Mode::parenthesised) {
        st.split = static_cast<int>(st.token.size());
        append(',');
        continue;
      }
      st.separator = ',';
      break;
    }
    after_star = false;
    if (c == '/') {
      st.separator = '/';
      break;
    }
    if (c == '(' && st.token.empty()) {
      st.mode = Mode::parenthesised;
      continue;
    }
    if (c == ')' && st.mode == Mode::parenthesised) {
      st.separator = ' ';
      break;
    }
    if ((c == '\'' || c == '"') && st.token.empty()) {
      st.mode = Mode::quoted;
      st.quote = static_cast<char>(c);
      continue;
    }
    if (c == '*') {
      if (repeat_seen) fail(Erro::repeat_twice);
      std::int32_t count = convert_int4(st.token.data(), static_cast<int>(st.token.size()));
      if (count < 1) fail(Erro::repeat_zero);
      repeat_seen = true;
      after_star = true;
      st.repeat = count - 1;
      st.token.clear();
      continue;
    }
    append(static_cast<char>(c));
  }
  return !st.token.empty();
}

int digit_value(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::int32_t convert_int4(const char* t, int len) {
  if (st.overlong) fail(Erro::int_too_long);
  if (len == 11 && std::memcmp(t, "-2147483648", 11) == 0) return INT_MIN;
  int i = 0;
  bool negative = false;
  if (i < len && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';

  long long base = 10;
  int h = i;
  while (h < len && t[h] != '#') ++h;
  if (h < len) {
    long long b = 0;
    for (; i < h; ++i) {
      if (t[i] < '0' || t[i] > '9') fail(Erro::int_bad_digit);
      b = b * 10 + (t[i] - '0');
      if (b > 36) fail(Erro::radix_invalid);
    }
    if (b == 0) b = 16;
    if (b < 2) fail(Erro::radix_invalid);
    base = b;
    i = h + 1;
  }
  long long value = 0;
  for (; i < len; ++i) {
    int c = static_cast<unsigned char>(t[i]);
    if (c == 0 || c == 26) break;  // the number ends at a NUL or Ctrl-Z
    if (c == '#') fail(Erro::radix_twice);
    int d = digit_value(c);
    if (base == 10 ? (c < '0' || c > '9') : d >= base) fail(Erro::int_bad_digit);
    value = value * base + d;
    if (value > INT_MAX) fail(Erro::int_overflow);
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

double convert_real8(const char* t, int len) {
  if (st.overlong) fail(Erro::real_too_long);
  int i = 0;
  bool negative = false;
  if (i < len && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';

  std::string sig;  // significant digits, at most 25
  long long int_digits = 0, point_adjust = 0;
  bool seen_point = false, any_digit = false;
  for (; i < len; ++i) {
    char c = t[i];
    if (c == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    any_digit = true;
    if (c == '0' && sig.empty()) {
      if (seen_point) --point_adjust;
      continue;
    }
    if (static_cast<int>(sig.size()) < max_significant) sig.push_back(c);
    if (!seen_point) ++int_digits;
  }
  if (!any_digit) fail(Erro::real_bad_number);

  long long exponent = 0;
  if (i < len) {
    char c = t[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++i;
      if (i < len && (t[i] == '+' || t[i] == '-')) ++i;
    } else if (c == '+' || c == '-') {
      ++i;
    } else {
      fail(Erro::real_bad_number);
    }
    bool exp_negative = t[i - 1] == '-';
    int start = i;
    for (; i < len && t[i] >= '0' && t[i] <= '9'; ++i) {
      if (exponent <= max_exponent) exponent = exponent * 10 + (t[i] - '0');
    }
    if (i == start || i != len) fail(Erro::real_bad_number);
    if (exponent > max_exponent) exponent = max_exponent + 1;
    if (exp_negative) exponent = -exponent;
  }
  if (sig.empty()) return negative ? -0.0 : 0.0;

  std::string text = (negative ? "-0." : "0.") + sig + "e" + std::to_string(int_digits + point_adjust + exponent);
  double v;
  {
    // The conversion signals overflow and underflow through the flags, not the traps.
    plat::FpMasked masked;
    v = decimal_value(text);
  }
  if (std::isinf(v)) fail(Erro::real_overflow);
  return v;
}

void list_read_begin(int unit) {
  st.u = &statement_unit(unit, Statement::read);
  leave_write_mode(*st.u);
  st.separator = ',';
  st.repeat = 0;
  st.token.clear();
  st.mode = Mode::plain;
  st.ended_by_record_end = false;
  st.overlong = false;
}

void list_read_char(char* item, int len) {
  if (!scan_value()) return;
  std::size_t n = std::min(st.token.size(), static_cast<std::size_t>(len));
  std::memcpy(item, st.token.data(), n);
  std::memset(item + n, ' ', static_cast<std::size_t>(len) - n);
}

void list_read_real8(double* item) {
  if (!scan_value()) return;
  if (st.mode != Mode::plain) fail(Erro::number_quoted);
  *item = convert_real8(st.token.data(), static_cast<int>(st.token.size()));
}

void list_read_int4(std::int32_t* item) {
  if (!scan_value()) return;
  if (st.mode != Mode::plain) fail(Erro::number_quoted);
  *item = convert_int4(st.token.data(), static_cast<int>(st.token.size()));
}

void list_read_end() {
  if (!st.ended_by_record_end) next_record(*st.u);
  st.u = nullptr;
}

}  // namespace rt
