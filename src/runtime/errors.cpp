#include "runtime/errors.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <cstring>

#include "runtime/error_table.h"
#include "runtime/invariant.h"
#include "runtime/platform/platform.h"

namespace rt {

namespace {

using table::ErroRow;

static_assert(table::check_erros(table::erros, erro_count) == table::Flaw::none);
static_assert(table::check_math(table::math_kinds, math_kind_count, table::erros) == table::Flaw::none);
static_assert(table::check_recusas(table::recusas, recusa_count) == table::Flaw::none);

const ErroRow& row(Erro e) { return table::erros[static_cast<std::size_t>(e)]; }

// Fixed-capacity text assembly that is safe inside a signal handler.
struct Text {
  char buf[768];
  std::size_t len = 0;
  void add(const char* p, std::size_t n) {
    if (n > sizeof buf - len) n = sizeof buf - len;
    if (n == 0) return;
    std::memcpy(buf + len, p, n);
    len += n;
  }
  void add(const char* s) { add(s, std::strlen(s)); }
  void add(std::string_view s) { add(s.data(), s.size()); }
  void add_number(char letter, int number) {
    char d[5] = {letter, static_cast<char>('0' + number / 1000 % 10), static_cast<char>('0' + number / 100 % 10),
                 static_cast<char>('0' + number / 10 % 10), static_cast<char>('0' + number % 10)};
    add(d, 5);
  }
};

const char* statement_text(Statement st) {
  switch (st) {
    case Statement::read: return ": READ(";
    case Statement::write: return ": WRITE(";
    case Statement::open: return ": OPEN(";
    case Statement::close: return ": CLOSE(";
    case Statement::none: break;
  }
  return nullptr;
}

// Only one report per process, even if a unit fails again while the exit
// processing writes it out.
std::atomic<int> reporting{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");
ErrorHook error_hook = nullptr;
constinit UnitsOnExit units_on_exit;

[[noreturn]] void report_and_exit(const Text& t, char letter, int number, bool signal_context) {
  if (signal_context) {
    if (units_on_exit.flush_signal_safe != nullptr) units_on_exit.flush_signal_safe();
  } else {
    if (units_on_exit.close_all != nullptr) units_on_exit.close_all(false);
  }
  if (error_hook != nullptr && !signal_context) {
    reporting.store(0);
    error_hook(letter, number, std::string_view(t.buf, t.len));
  }
  plat::write_raw(plat::std_error(), t.buf, t.len);
  plat::exit_now(1);
}

// A second thread that fails while the first reports waits for it to end the
// process rather than cutting its message short.
bool first_report() {
  if (reporting.exchange(1) == 0) return true;
  for (int i = 0; i < 50; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return false;
}

}  // namespace

// In signal context. A report already under way may be stuck on a stalled
// pipe: the interruption then ends the run at once.
void interruption_error(const char* signal_name) {
  if (reporting.exchange(1) != 0) plat::end_interrupted();
  if (units_on_exit.whole_records_signal_safe != nullptr) units_on_exit.whole_records_signal_safe();
  const ErroRow& en = row(Erro::interrupted);
  Text t;
  t.add("\r\nrun-time error ");
  t.add_number(en.letter, en.number);
  t.add("\r\n- ");
  t.add(en.message);
  t.add(signal_name);
  t.add("\r\n");
  plat::write_raw(plat::std_error(), t.buf, t.len);
  plat::end_interrupted();
}

void set_units_on_exit(const UnitsOnExit& units) { units_on_exit = units; }

char erro_letter(Erro e) { return row(e).letter; }
int erro_number(Erro e) { return row(e).number; }
std::string_view erro_message(Erro e) { return row(e).message; }

void io_error(Erro e, Statement st, std::string_view file_name) {
  if (!first_report()) plat::exit_now(1);
  const ErroRow& en = row(e);
  Text t;
  t.add("\r\nrun-time error ");
  t.add_number(en.letter, en.number);
  if (const char* s = statement_text(st)) {
    t.add(s);
    t.add(file_name);
    t.add(")\r\n- ");
  } else {
    t.add("\r\n- ");
  }
  t.add(en.message);
  t.add("\r\n");
  report_and_exit(t, en.letter, en.number, false);
}

void general_error(Erro e) { io_error(e, Statement::none, {}); }

void fp_error(Erro e) {
  if (!first_report()) plat::exit_now(1);
  const ErroRow& en = row(e);
  Text t;
  t.add("\r\nrun-time error ");
  t.add_number(en.letter, en.number);
  t.add(": MATH\r\n- ");
  t.add(en.message);
  t.add("\r\n");
  report_and_exit(t, en.letter, en.number, true);
}

void math_error(const char* routine, MathKind kind) {
  if (!first_report()) plat::exit_now(1);
  const table::MathRow& k = table::math_kinds[static_cast<std::size_t>(kind) - 1];
  Text t;
  t.add("\r\nrun-time error ");
  t.add_number('M', k.number);
  t.add(": MATH\r\n- ");
  t.add(routine);
  t.add(": ");
  t.add(k.name);
  t.add(" error\r\n");
  report_and_exit(t, 'M', k.number, false);
}

void set_error_hook(ErrorHook hook) { error_hook = hook; }

std::string refusal_text(std::string_view subject, Recusa r, std::initializer_list<std::string_view> values) {
  const table::RecusaRow& rec = table::recusas[static_cast<std::size_t>(r)];
  CALOR2D_ASSERT(values.size() == static_cast<std::size_t>(rec.values));
  std::string line(subject);
  line += ": ";
  const auto* value = values.begin();
  for (const char* p = rec.text; *p != '\0'; ++p) {
    if (p[0] == '{' && p[1] == '}') {
      line += *value++;
      ++p;
    } else {
      line += *p;
    }
  }
  line += "\r\n";
  return line;
}

void write_stderr(std::string_view text) { plat::write_raw(plat::std_error(), text.data(), text.size()); }

}  // namespace rt
