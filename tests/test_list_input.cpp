// List-directed reading: values, separators, nulls, repeats and the error numbers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <ostream>
#include <string>

#include "runtime/list_input.h"
#include "runtime/units.h"
#include "support.h"

using testsupport::TempDir;

namespace {

constexpr int unit = 7;

// Opens `bytes` as a file on `unit`; closes it when the test ends.
class Reader {
 public:
  explicit Reader(const std::string& bytes) {
    path_ = dir_.file("in.txt");
    testsupport::write_file(path_, bytes);
    rt::open_unit(unit, path_.c_str(), static_cast<int>(path_.size()));
  }
  ~Reader() { rt::close_unit(unit); }
  const std::string& path() const { return path_; }

  std::string text(int len = 100) {
    std::string v(static_cast<std::size_t>(len), '?');
    rt::list_read_begin(unit);
    rt::list_read_char(v.data(), len);
    rt::list_read_end();
    return v;
  }
  double real(double start = -99.0) {
    double v = start;
    rt::list_read_begin(unit);
    rt::list_read_real8(&v);
    rt::list_read_end();
    return v;
  }
  std::int32_t integer(std::int32_t start = -99) {
    std::int32_t v = start;
    rt::list_read_begin(unit);
    rt::list_read_int4(&v);
    rt::list_read_end();
    return v;
  }

 private:
  TempDir dir_;
  std::string path_;
};

std::string padded(const std::string& s, std::size_t len = 100) { return s + std::string(len - s.size(), ' '); }

}  // namespace

namespace {

// One worked example: the record(s) before "next", the item read, and what it holds.
struct WorkedExample {
  const char* bytes;
  char item;           // 'r' real, 'i' integer, 'c' text
  std::int32_t start;  // the integer's value before the statement
  double real;
  std::int32_t integer;
  const char* text;
};

std::ostream& operator<<(std::ostream& os, const WorkedExample& e) { return os << testing::PrintToString(e.bytes); }

}  // namespace

// Each worked example is followed by a record "next" that the following statement must see.
TEST(ListInput, WorkedExamplesReadValueAndStartNextStatementOnNextRecord) {
  const WorkedExample examples[] = {
      {"0.5   Lx comprimento\n", 'r', 0, 0.5, 0, ""},
      {"'saida.txt'\n", 'c', 0, 0, 0, "saida.txt"},
      {"saida.txt  nome\n", 'c', 0, 0, 0, "saida.txt"},
      {"40,\n", 'i', -99, 0, 40, ""},
      {"1.0d-8\n", 'r', 0, 1.0e-8, 0, ""},
      {"\n21\n", 'i', -99, 0, 21, ""},
      {",5\n", 'i', -4, 0, -4, ""},  // a null value leaves the item as it was
      {"3*7\n", 'i', -99, 0, 7, ""},
      {"'it''s a file'\n", 'c', 0, 0, 0, "it's a file"},
      {"'abc\nx'yz\n", 'c', 0, 0, 0, "abc"},
  };
  for (const WorkedExample& e : examples) {
    Reader r(std::string(e.bytes) + "next\n");
    if (e.item == 'r') {
      EXPECT_EQ(r.real(), e.real) << e;
    } else if (e.item == 'i') {
      EXPECT_EQ(r.integer(e.start), e.integer) << e;
    } else {
      EXPECT_EQ(r.text(), padded(e.text)) << e;
    }
    EXPECT_EQ(r.text(), padded("next")) << e;
  }
}

TEST(ListInput, QuotedNameFollowedByCommentaryLeavesTheCommentary) {
  Reader r("'resultado.txt'   report file\n1.0   Lx\n");
  EXPECT_EQ(r.text(), padded("resultado.txt"));
  EXPECT_EQ(r.real(), 1.0);
}

TEST(ListInput, CrLfAndLfRecordsReadTheSame) {
  Reader a("  \r\n\r\n 21  Nx\r\n7\r\n");
  EXPECT_EQ(a.integer(), 21);
  EXPECT_EQ(a.integer(), 7);
  Reader b("  \n\n 21  Nx\n7\n");
  EXPECT_EQ(b.integer(), 21);
  EXPECT_EQ(b.integer(), 7);
}

TEST(ListInput, LastRecordWithoutLineFeedIsARecord) {
  Reader r("1\n2");
  EXPECT_EQ(r.integer(), 1);
  EXPECT_EQ(r.integer(), 2);
}

TEST(ListInput, ValueAfterManyBuffersOfBlanks) {
  Reader r(std::string(3000, ' ') + "\n" + std::string(2500, ' ') + "42 tail " + std::string(2000, 'x') + "\n43\n");
  EXPECT_EQ(r.integer(), 42);
  EXPECT_EQ(r.integer(), 43);
}

TEST(ListInput, UnquotedTextEndsAtBlankTabCommaOrSlash) {
  for (const char* rec : {"ab cd\n", "ab\tcd\n", "ab,cd\n", "ab/cd\n"}) {
    Reader r(rec);
    EXPECT_EQ(r.text(), padded("ab")) << rec;
  }
}

TEST(ListInput, TextIsCutToTheItemAndQuotedTextKeepsSeparators) {
  Reader r(std::string(150, 'a') + "\n'a b,c/d'\n(x, y)\n");
  EXPECT_EQ(r.text(), std::string(100, 'a'));
  EXPECT_EQ(r.text(), padded("a b,c/d"));
  EXPECT_EQ(r.text(), padded("x,y"));
}

TEST(ListInput, NullValuesLeaveTheItemUnchanged) {
  Reader r(",\n/\n''\n2*\n7\n8\n");
  EXPECT_EQ(r.integer(11), 11);
  EXPECT_EQ(r.real(2.5), 2.5);
  EXPECT_EQ(r.text(5), "?????");
  EXPECT_EQ(r.integer(12), 12);
  // That null ended with no byte of its record, so the statement's end passes over 7.
  EXPECT_EQ(r.integer(), 8);
}

TEST(ListInput, RepeatCountsServeSeveralItemsOfOneStatement) {
  Reader r("2*4 9\n1*  5\n");
  std::int32_t a = 0, b = 0, c = 0;
  rt::list_read_begin(unit);
  rt::list_read_int4(&a);
  rt::list_read_int4(&b);
  rt::list_read_int4(&c);
  rt::list_read_end();
  EXPECT_EQ(a, 4);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(c, 9);
  EXPECT_EQ(r.integer(), 5);  // after a count of 1 the blanks are leading blanks
}

TEST(ListInput, CarriageReturnOnlyFileIsOneRecord) {
  testsupport::RunResult res = testsupport::run_forked([] {
    Reader r("'a.txt'\r1.0\r2.0\r");
    if (r.text() != padded("a.txt")) std::abort();
    r.real();
  });
  EXPECT_EQ(res.status, 1);
  EXPECT_NE(res.err.find("run-time error F6501: READ("), std::string::npos) << res.err;
}

struct IntCase {
  const char* token;
  std::int32_t value;
};

TEST(ListInput, IntegerForms) {
  const IntCase cases[] = {
      {"0", 0},     {"-1", -1},     {"+17", 17},     {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"+", 0},     {"-", 0},       {"16#1F", 31},   {"-#ff", -255},          {"#ff", 255},
      {"0#10", 16}, {"2#1011", 11}, {"36#zZ", 1295},
  };
  for (const IntCase& c : cases) {
    EXPECT_EQ(rt::convert_int4(c.token, static_cast<int>(std::strlen(c.token))), c.value) << c.token;
  }
  EXPECT_EQ(rt::convert_int4("12\0x9", 5), 12);
  // clang-format off
  EXPECT_EQ(rt::convert_int4("7\x1a" "9", 3), 7);
  // clang-format on
}

struct RealCase {
  const char* token;
  double value;
};

TEST(ListInput, RealForms) {
  const RealCase cases[] = {
      {"1", 1.0},
      {"1.0D+00", 1.0},
      {"1.0d0", 1.0},
      {".5", 0.5},
      {"1.0+3", 1000.0},
      {"2.5-3", 0.0025},
      {"-2.5e-7", -2.5e-7},
      {"1e-400", 0.0},
      {"0e99999", 0.0},
      {"5.", 5.0},
      {"1.0e+308", 1.0e308},
      {"0.1000000000000000000000000099", 0.1},  // digits past the 25th do not count
      {"123456789012345678901234567890", 1.2345678901234567890123456e29},
      {"0.000123", 0.000123},
      {"-2.5e-310", -2.5e-310},  // a denormal, not a range error
  };
  for (const RealCase& c : cases) {
    EXPECT_EQ(rt::convert_real8(c.token, static_cast<int>(std::strlen(c.token))), c.value) << c.token;
  }
  EXPECT_TRUE(std::signbit(rt::convert_real8("-0.0", 4)));
  EXPECT_TRUE(std::signbit(rt::convert_real8("-1e-400", 7)));
}

TEST(ListInput, ADecimalCommaLocaleChangesNoDigitRead) {
  testsupport::CommaDecimals comma;
  if (!comma.installed()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(rt::convert_real8("-2.5e-3", 7), -0.0025);
  EXPECT_EQ(rt::convert_real8("1.0D+00", 7), 1.0);
}

struct ErrorCase {
  const char* record;
  char item;  // 'i' integer, 'r' real, 'c' text
  int number;
};

TEST(ListInput, MalformedValuesEndTheRunWithTheirNumber) {
  const ErrorCase cases[] = {
      {"10.0", 'i', 6101},   {"1e3", 'i', 6101},    {"2147483648", 'i', 6100}, {"-2147483649", 'i', 6100},
      {"16#1#2", 'i', 6302}, {"1#0", 'i', 6303},    {"37#1", 'i', 6303},       {"2#102", 'i', 6101},
      {"1e400", 'r', 6102},  {"-1d999", 'r', 6102}, {"1.0e", 'r', 6103},       {"abc", 'r', 6103},
      {".", 'r', 6103},      {"1.2.3", 'r', 6103},  {"'1.0'", 'r', 6504},      {"(1,2)", 'i', 6504},
      {"0*5", 'i', 6502},    {"2*3*4", 'i', 6503},  {"x*5", 'i', 6101},        {"a*b", 'c', 6101},
      {"", 'i', 6501},
  };
  for (const ErrorCase& c : cases) {
    TempDir dir;
    std::string path = dir.file("case.ent");
    testsupport::write_file(path, *c.record ? std::string(c.record) + "\n" : std::string());
    testsupport::RunResult res = testsupport::run_forked([&] {
      rt::open_unit(1, path.c_str(), static_cast<int>(path.size()));
      rt::list_read_begin(1);
      std::int32_t i = 0;
      double d = 0;
      char text[100];
      if (c.item == 'i') rt::list_read_int4(&i);
      if (c.item == 'r') rt::list_read_real8(&d);
      if (c.item == 'c') rt::list_read_char(text, 100);
      rt::list_read_end();
    });
    EXPECT_EQ(res.status, 1) << c.record;
    std::string head = testsupport::io_error_text('F', c.number, "READ", path);
    EXPECT_EQ(res.err.substr(0, head.size()), head) << c.record;
    EXPECT_EQ(res.err.back(), '\n');
    EXPECT_EQ(res.err.find('\n', head.size()), res.err.size() - 1) << "one message line";
    EXPECT_EQ(res.out, "");
  }
}
