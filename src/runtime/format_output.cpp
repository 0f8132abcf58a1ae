#include "runtime/format_output.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/errors.h"
#include "runtime/invariant.h"
#include "runtime/number_edit.h"
#include "runtime/units.h"

namespace rt {
namespace {

constexpr int max_depth = 32;
constexpr int max_number = 1000000;

// ---- Format text ----------------------------------------------------------------

enum class Tok : std::uint8_t { bad, comma, open, close, literal, slash, tab, scale, edit_e, edit_f, edit_i };

struct Token {
  Tok kind = Tok::bad;
  int r = 1;  // repeat count; the column of a tab; k of a scale factor
  int w = 0, d = 0;
  const char* text = nullptr;  // literal: between the apostrophes, '' still doubled
  const char* text_end = nullptr;
  const char* next = nullptr;  // just past the token
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
const char* skip_blanks(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// Unsigned decimal number; false without a digit or above max_number.
bool number(const char*& p, int& out) {
  if (!is_digit(*p)) return false;
  long v = 0;
  while (is_digit(*p)) {
    v = v * 10 + (*p++ - '0');
    if (v > max_number) return false;
  }
  out = static_cast<int>(v);
  return true;
}

// w.d after E or F, w after I.
Token data_descriptor(const char* p, int repeat) {
  Token t;
  const char letter = upper(*p++);
  if (!number(p, t.w) || t.w < 1) return t;
  if (letter != 'I') {
    if (*p++ != '.' || !number(p, t.d)) return t;
  }
  t.kind = letter == 'E' ? Tok::edit_e : letter == 'F' ? Tok::edit_f : Tok::edit_i;
  t.r = repeat;
  t.next = p;
  return t;
}

// The token at p; Tok::bad for anything malformed, including a NUL before the end.
Token lex(const char* p) {
  p = skip_blanks(p);
  Token t;
  const char c = upper(*p);
  const auto single = [&](Tok kind) {
    t.kind = kind;
    t.next = p + 1;
    return t;
  };
  switch (c) {
    case ',': return single(Tok::comma);
    case '(': return single(Tok::open);
    case ')': return single(Tok::close);
    case '/': return single(Tok::slash);
    case '\'': {
      const char* q = p + 1;
      for (;; ++q) {
        if (*q == '\0') return t;
        if (*q == '\'') {
          if (q[1] != '\'') break;
          ++q;
        }
      }
      t.kind = Tok::literal;
      t.text = p + 1;
      t.text_end = q;
      t.next = q + 1;
      return t;
    }
    case 'T': {
      ++p;
      if (!number(p, t.r) || t.r < 1) return t;
      t.kind = Tok::tab;
      t.next = p;
      return t;
    }
    case 'E':
    case 'F':
    case 'I': return data_descriptor(p, 1);
    default: break;
  }
  if (c != '+' && c != '-' && !is_digit(c)) return t;

  // A count: kP, r/, r(, rE, rF, rI. Only a scale factor takes a sign.
  const bool signed_count = c == '+' || c == '-';
  if (signed_count) ++p;
  int n;
  if (!number(p, n)) return t;
  p = skip_blanks(p);
  const char after = upper(*p);
  if (after == 'P') {
    t.kind = Tok::scale;
    t.r = c == '-' ? -n : n;
    t.next = p + 1;
    return t;
  }
  if (signed_count || n < 1) return t;
  if (after == '/' || after == '(') {
    t.kind = after == '/' ? Tok::slash : Tok::open;
    t.r = n;
    t.next = p + 1;
    return t;
  }
  if (after == 'E' || after == 'F' || after == 'I') return data_descriptor(p, n);
  return t;
}

// Checks the whole format up to its matching parenthesis before anything is
// written, so the walker can trust it; `end` is then just past that parenthesis.
bool well_formed(const char* p, const char** end = nullptr) {
  p = skip_blanks(p);
  if (*p != '(') return false;
  ++p;
  enum class Prev : std::uint8_t { open, comma, item, slash, scale } prev = Prev::open;
  int depth = 1;
  for (;;) {
    const Token t = lex(p);
    switch (t.kind) {
      case Tok::bad: return false;
      case Tok::comma:
        if (prev == Prev::open || prev == Prev::comma) return false;
        prev = Prev::comma;
        break;
      case Tok::close:
        if (prev == Prev::comma || (prev == Prev::open && depth > 1)) return false;
        if (--depth == 0) {
          if (end != nullptr) *end = t.next;
          return true;
        }
        prev = Prev::item;
        break;
      case Tok::open:
        if (prev == Prev::item || ++depth > max_depth + 1) return false;
        prev = Prev::open;
        break;
      case Tok::slash: prev = Prev::slash; break;
      case Tok::scale:
        if (prev == Prev::item) return false;
        prev = Prev::scale;
        break;
      default:  // literal, tab, data descriptor
        if (prev == Prev::item) return false;
        prev = Prev::item;
        break;
    }
    p = t.next;
  }
}

// ---- Compiled formats -----------------------------------------------------------
//
// The tokens of a well-formed format in order, commas left out, literals with
// their doubled apostrophes made single. Executed exactly as the walker acts on
// the text: a group's start is the operation after its opening.

struct Op {
  Tok kind = Tok::bad;
  int r = 1, w = 0, d = 0;          // as in Token
  std::uint32_t text = 0, len = 0;  // literal: its bytes in the pool
};

struct Program {
  std::string text;  // the format up to its matching parenthesis: the key
  std::vector<Op> ops;
  std::string pool;
};

Program compile(const char* format, const char* end) {
  Program prog;
  prog.text.assign(format, end);
  const char* p = skip_blanks(format) + 1;
  for (int depth = 0;;) {
    const Token t = lex(p);
    p = t.next;
    if (t.kind == Tok::comma) continue;
    Op op{t.kind, t.r, t.w, t.d};
    if (t.kind == Tok::literal) {
      op.text = static_cast<std::uint32_t>(prog.pool.size());
      for (const char* q = t.text; q < t.text_end; ++q) {
        if (*q == '\'') ++q;
        prog.pool.push_back(*q);
      }
      op.len = static_cast<std::uint32_t>(prog.pool.size() - op.text);
    }
    prog.ops.push_back(op);
    if (t.kind == Tok::open) ++depth;
    if (t.kind == Tok::close && depth-- == 0) return prog;
  }
}

// Keyed by the text; the pointer of the last statement that used an entry finds
// it again without a walk when the bytes there are still the same. Formats built
// at run time could grow the table without end: past a bound it starts afresh.
class ProgramCache {
 public:
  // The program for `format`, or nullptr when the text is malformed.
  const Program* find(const char* format) {
    Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(format) >> 3) % slot_count];
    if (slot.format == format && slot.prog != nullptr &&
        std::strncmp(slot.prog->text.data(), format, slot.prog->text.size()) == 0)
      return slot.prog;
    const char* end = nullptr;
    if (!well_formed(format, &end)) return nullptr;
    std::string key(format, end);
    auto it = by_text_.find(key);
    if (it == by_text_.end()) {
      if (by_text_.size() >= max_programs) {
        by_text_.clear();
        for (Slot& s : slots_) s = Slot{};
      }
      it = by_text_.emplace(std::move(key), std::make_unique<Program>(compile(format, end))).first;
    }
    slot = {format, it->second.get()};
    return slot.prog;
  }

 private:
  static constexpr std::size_t slot_count = 64, max_programs = 256;
  struct Slot {
    const char* format = nullptr;
    const Program* prog = nullptr;
  };
  Slot slots_[slot_count];
  std::unordered_map<std::string, std::unique_ptr<Program>> by_text_;
};

ProgramCache programs;
FormatEngine engine = FormatEngine::compiled;

// ---- Statement state ------------------------------------------------------------

struct Group {
  const char* start;  // just past its "(" (walker)
  std::size_t op;     // the operation after its opening (compiled)
  int left;           // passes still to make after the current one
};

struct Walker {
  bool active = false;
  unit_record* unit = nullptr;  // null while a sink captures
  std::string* sink = nullptr;
  const char* pos = nullptr;      // walker: the format position
  const Program* prog = nullptr;  // compiled: the program, and
  std::size_t op = 0;             // its next operation
  Group groups[max_depth];
  int depth = 0;
  int scale = 0;
  Token data;         // the last data descriptor taken
  int data_left = 0;  // further items it still edits (rEw.d)

  // Record: bytes [0, len); the next character goes to `col`. Blanks owed by a tab
  // are `pending` = col - len and are written only when something follows them.
  std::unique_ptr<char[]> rec;
  std::size_t cap = 0;
  std::size_t len = 0, col = 0, pending = 0;
};

Walker st;

[[noreturn]] void fail(Erro e) {
  st.active = false;
  io_error(e, Statement::write, st.unit ? std::string_view(st.unit->name) : std::string_view(""));
}

void reserve(std::size_t need) {
  need += 2;  // room for CR LF
  if (need <= st.cap) return;
  const std::size_t cap = std::max({need, 2 * st.cap, std::size_t{256}});
  auto grown = std::make_unique<char[]>(cap);
  if (st.len > 0) std::memcpy(grown.get(), st.rec.get(), st.len);
  st.rec = std::move(grown);
  st.cap = cap;
}

// Room for n characters at the next column, owed blanks placed before them.
char* place(std::size_t n) {
  reserve(st.col + n);
  char* rec = st.rec.get();
  if (st.pending > 0) {
    std::memset(rec + st.len, ' ', st.pending);
    st.pending = 0;
  }
  char* at = rec + st.col;
  st.col += n;
  st.len = std::max(st.len, st.col);
  return at;
}

void end_record() {
  reserve(st.len);
  char* rec = st.rec.get();
  rec[st.len] = '\r';
  rec[st.len + 1] = '\n';
  if (st.sink) {
    st.sink->append(rec, st.len + 2);
  } else {
    put_bytes(*st.unit, rec, st.len + 2);
  }
  st.len = st.col = st.pending = 0;
}

void tab_to(int column) {
  const std::size_t c = static_cast<std::size_t>(column - 1);
  st.pending = c > st.len ? c - st.len : 0;
  st.col = c;
}

void place_literal(const Token& t) {
  const std::size_t raw = static_cast<std::size_t>(t.text_end - t.text);
  if (raw == 0) return;  // nothing placed: owed blanks stay owed
  if (std::memchr(t.text, '\'', raw) == nullptr) {
    std::memcpy(place(raw), t.text, raw);
    return;
  }
  std::size_t n = 0;
  for (const char* p = t.text; p < t.text_end; ++p, ++n) {
    if (*p == '\'') ++p;
  }
  char* out = place(n);
  for (const char* p = t.text; p < t.text_end; ++p) {
    if (*p == '\'') ++p;
    *out++ = *p;
  }
}

// Acts on descriptors from the format position up to the next data descriptor,
// returned but not taken, or the format's final ")" (Tok::close).
Token walk() {
  for (;;) {
    const Token t = lex(st.pos);
    switch (t.kind) {
      case Tok::close:
        if (st.depth == 0) return t;
        if (Group& g = st.groups[st.depth - 1]; g.left > 0) {
          --g.left;
          st.pos = g.start;
        } else {
          --st.depth;
          st.pos = t.next;
        }
        continue;
      case Tok::open: st.groups[st.depth++] = {t.next, 0, t.r - 1}; break;
      case Tok::literal: place_literal(t); break;
      case Tok::slash:
        for (int i = 0; i < t.r; ++i) end_record();
        break;
      case Tok::tab: tab_to(t.r); break;
      case Tok::scale: st.scale = t.r; break;
      case Tok::edit_e:
      case Tok::edit_f:
      case Tok::edit_i: return t;
      case Tok::comma: break;
      case Tok::bad: CALOR2D_ASSERT(false && "the text was checked by well_formed"); break;
    }
    st.pos = t.next;
  }
}

// walk() on the compiled form: the data operation reached, or the final close.
const Op& run() {
  const Op* ops = st.prog->ops.data();
  for (;;) {
    const Op& t = ops[st.op];
    switch (t.kind) {
      case Tok::close:
        if (st.depth == 0) return t;
        if (Group& g = st.groups[st.depth - 1]; g.left > 0) {
          --g.left;
          st.op = g.op;
        } else {
          --st.depth;
          ++st.op;
        }
        continue;
      case Tok::open: st.groups[st.depth++] = {nullptr, st.op + 1, t.r - 1}; break;
      case Tok::literal:
        if (t.len > 0) std::memcpy(place(t.len), st.prog->pool.data() + t.text, t.len);
        break;
      case Tok::slash:
        for (int i = 0; i < t.r; ++i) end_record();
        break;
      case Tok::tab: tab_to(t.r); break;
      case Tok::scale: st.scale = t.r; break;
      case Tok::edit_e:
      case Tok::edit_f:
      case Tok::edit_i: return t;
      case Tok::comma:
      case Tok::bad: CALOR2D_ASSERT(false && "compile() keeps neither"); break;
    }
    ++st.op;
  }
}

const Token& take_data() {
  if (!st.active) fail(Erro::format_no_item);
  if (st.data_left > 0) {
    --st.data_left;
    return st.data;
  }
  if (st.prog != nullptr) {
    const Op& t = run();
    if (t.kind == Tok::close) fail(Erro::format_no_item);
    ++st.op;
    st.data.kind = t.kind;
    st.data.r = t.r;
    st.data.w = t.w;
    st.data.d = t.d;
  } else {
    const Token t = walk();
    if (t.kind == Tok::close) fail(Erro::format_no_item);
    st.pos = t.next;
    st.data = t;
  }
  st.data_left = st.data.r - 1;
  return st.data;
}

}  // namespace

void set_record_sink(std::string* sink) { st.sink = sink; }

void set_format_engine(FormatEngine e) { engine = e; }

void write_begin(int unit, const char* format) {
  // A statement left unfinished by an error does not carry over.
  st.active = false;
  st.unit = nullptr;
  st.len = st.col = st.pending = 0;
  st.depth = 0;
  st.scale = 0;
  st.data_left = 0;
  st.prog = nullptr;
  if (!st.sink) st.unit = &statement_unit(unit, Statement::write);
  if (format == nullptr) fail(Erro::format_invalid);
  if (engine == FormatEngine::compiled) {
    st.prog = programs.find(format);
    if (st.prog == nullptr) fail(Erro::format_invalid);
    st.op = 0;
  } else {
    if (!well_formed(format)) fail(Erro::format_invalid);
    st.pos = skip_blanks(format) + 1;
  }
  if (st.unit && !st.unit->write_mode) enter_write_mode(*st.unit);
  st.active = true;
}

void write_real8(double v) {
  const Token& t = take_data();
  if (t.kind == Tok::edit_i) fail(Erro::format_item_type);
  char* field = place(static_cast<std::size_t>(t.w));
  if (t.kind == Tok::edit_e) {
    edit_e(field, t.w, t.d, st.scale, v);
  } else {
    edit_f(field, t.w, t.d, st.scale, v);
  }
}

void write_int4(std::int32_t v) {
  const Token& t = take_data();
  if (t.kind != Tok::edit_i) fail(Erro::format_item_type);
  edit_i(place(static_cast<std::size_t>(t.w)), t.w, v);
}

void write_end() {
  if (!st.active) return;  // no statement: no record to end
  if (st.data_left == 0) {
    if (st.prog != nullptr) {
      run();
    } else {
      walk();
    }
  }
  end_record();
  st.active = false;
}

}  // namespace rt
