// The format walker: records assembled from format text and items, and their
// bytes in a unit's file. Expected records are spelled out by hand, column by column.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/format_output.h"
#include "runtime/units.h"
#include "support.h"

namespace rt {
// A failing case names its engine, not the enumerator's number.
void PrintTo(FormatEngine e, std::ostream* os) { *os << (e == FormatEngine::compiled ? "compiled" : "walking"); }
}  // namespace rt

namespace {

using testsupport::read_file;
using testsupport::TempDir;
using testsupport::write_file;

std::string blanks(std::size_t n) { return std::string(n, ' '); }
const std::string stars104(104, '*');

// Items of one statement, in order.
struct Item {
  bool real;
  double r;
  std::int32_t i;
};
Item R(double v) { return {true, v, 0}; }
Item N(std::int32_t v) { return {false, 0.0, v}; }

void statement(int unit, const char* format, const std::vector<Item>& items) {
  rt::write_begin(unit, format);
  for (const Item& it : items) {
    if (it.real) {
      rt::write_real8(it.r);
    } else {
      rt::write_int4(it.i);
    }
  }
  rt::write_end();
}

// A run-time error, thrown by the hook instead of ending the process.
struct RunTimeError {
  char letter;
  int number;
  std::string report;
};
void throw_error(char letter, int number, std::string_view report) {
  throw RunTimeError{letter, number, std::string(report)};
}

// Every record test runs on the compiled formats and on the walker.
class Records : public ::testing::TestWithParam<rt::FormatEngine> {
 protected:
  void SetUp() override {
    rt::set_record_sink(&out);
    rt::set_error_hook(throw_error);
    rt::set_format_engine(GetParam());
  }
  void TearDown() override {
    rt::set_record_sink(nullptr);
    rt::set_error_hook(nullptr);
    rt::set_format_engine(rt::FormatEngine::compiled);
  }
  std::string run(const char* format, const std::vector<Item>& items = {}) {
    out.clear();
    statement(1, format, items);
    return out;
  }
  // The error number a statement ends with, 0 when it ends normally.
  int error_of(const char* format, const std::vector<Item>& items = {}) {
    out.clear();
    try {
      statement(1, format, items);
    } catch (const RunTimeError& e) {
      EXPECT_NE(e.report.find("WRITE("), std::string::npos) << e.report;
      return e.number;
    }
    return 0;
  }
  std::string out;
};

TEST_P(Records, WholeStatementOfTheProcessingTime) {
  const std::string text = "Tempo de processamento (em segundos):";
  EXPECT_EQ(run("(2/,'Tempo de processamento (em segundos):',T45,F15.3)", {R(0.5)}),
            "\r\n\r\n" + text + blanks(7) + blanks(11) + ".500\r\n");
}

TEST_P(Records, LeadingSlashesWriteEmptyRecords) {
  EXPECT_EQ(run("(/,'a')"), "\r\na\r\n");
  EXPECT_EQ(run("(2/,'a')"), "\r\n\r\na\r\n");
  EXPECT_EQ(run("('a',/,'b',3/,'c')"), "a\r\nb\r\n\r\n\r\nc\r\n");
  EXPECT_EQ(run("()"), "\r\n");
}

TEST_P(Records, StatementWithoutItemsWritesItsHeading) {
  EXPECT_EQ(run("(2/,'  itera\xE7\xE3o',T15,'L1(it)/L1(0)',T40,'L2(it)/L2(0)',T65,'Linf(it)/Linf(0)')"),
            "\r\n\r\n  itera\xE7\xE3o" + blanks(4) + "L1(it)/L1(0)" + blanks(13) + "L2(it)/L2(0)" + blanks(13) +
                "Linf(it)/Linf(0)\r\n");
}

TEST_P(Records, LabelAfterLastValueIsWritten) {
  EXPECT_EQ(run("(1P,E25.15,T30,' = Lx:     comprimento do dom\xEDnio [m]')", {R(1.0)}),
            "    1.000000000000000E+00" + blanks(4) + " = Lx:     comprimento do dom\xEDnio [m]\r\n");
}

TEST_P(Records, FormatEndsAtItsMatchingParenthesis) {
  static const char back_to_back[] = "(I3,2('x'))(I5,'y')";
  EXPECT_EQ(run(back_to_back, {N(7)}), "  7xx\r\n");
  EXPECT_EQ(run(back_to_back + 11, {N(7)}), "    7y\r\n");
  EXPECT_EQ(run("('a')'never closed"), "a\r\n");
}

TEST_P(Records, PendingBlanksDroppedAtRecordEnd) {
  EXPECT_EQ(run("('ab',T10)"), "ab\r\n");
  EXPECT_EQ(run("('ab',T10,/,'c',T99)"), "ab\r\nc\r\n");
  EXPECT_EQ(run("('ab',T6,'')"), "ab\r\n");  // an empty literal places nothing
  EXPECT_EQ(run("('ab',T6,'','c')"), "ab   c\r\n");
}

TEST_P(Records, TabLeftOfRecordEndOverwrites) {
  EXPECT_EQ(run("('abcdef',T3,'XY')"), "abXYef\r\n");
  EXPECT_EQ(run("('abcdef',T1,'Z',T8,'g')"), "Zbcdef g\r\n");  // length stays the largest reached
  EXPECT_EQ(run("('ab',T20,T5,'c')"), "ab  c\r\n");            // a second tab replaces owed blanks
  EXPECT_EQ(run("('abc',T4,'d')"), "abcd\r\n");
  EXPECT_EQ(run("('abcdef',T2,I3)", {N(5)}), "a  5ef\r\n");  // a field's blanks overwrite too
}

TEST_P(Records, LiteralsKeepTheirBytes) {
  EXPECT_EQ(run("('it''s',' ''''')"), "it's ''\r\n");
  EXPECT_EQ(run("('''')"), "'\r\n");
  // clang-format off
  EXPECT_EQ(run("('Solu\xE7\xF5" "es',',()/T5')"), "Solu\xE7\xF5" "es,()/T5\r\n");
  // clang-format on
}

TEST_P(Records, GroupsRepeatAndNest) {
  EXPECT_EQ(run("(I10,3(1P,E25.15))", {N(7), R(1.0), R(0.5), R(0.25)}),
            "         7    1.000000000000000E+00    5.000000000000000E-01    2.500000000000000E-01\r\n");
  EXPECT_EQ(run("(2(I2,2('-',I1)))", {N(10), N(1), N(2), N(20), N(3), N(4)}), "10-1-220-3-4\r\n");
  EXPECT_EQ(run("(2(2(3('x')),'|'))"), "xxxxxx|xxxxxx|\r\n");
}

TEST_P(Records, RepeatedDataDescriptor) {
  EXPECT_EQ(run("(3I3)", {N(1), N(2), N(3)}), "  1  2  3\r\n");
  EXPECT_EQ(run("(3I3,'x')", {N(1)}), "  1\r\n");  // the list ends before a data descriptor
}

TEST_P(Records, WriteEndStopsAtNextDataDescriptor) {
  EXPECT_EQ(run("(I3,'a',I3,'b')", {N(1)}), "  1a\r\n");
  EXPECT_EQ(run("('a',/,I3,'b')"), "a\r\n\r\n");
}

TEST_P(Records, ScaleFactorRules) {
  EXPECT_EQ(run("(1P,E12.5,/,E12.5)", {R(1.0), R(2.0)}), " 1.00000E+00\r\n 2.00000E+00\r\n");
  EXPECT_EQ(run("(E12.5)", {R(1.0)}), "  .10000E+01\r\n");  // reset for every statement
  EXPECT_EQ(run("(2P,I3,F8.2)", {N(5), R(1.5)}), "  5  150.00\r\n");
  EXPECT_EQ(run("(1PE12.5,0P,F6.2)", {R(1.0), R(1.5)}), " 1.00000E+00  1.50\r\n");
  EXPECT_EQ(run("(-1P,E12.5)", {R(1.0)}), "  .01000E+02\r\n");
}

TEST_P(Records, BlanksAndLowerCaseLetters) {
  EXPECT_EQ(run("( 1p , e12.5 , t15 , 'x' , 2 / , i2 )", {R(1.0), N(3)}), " 1.00000E+00  x\r\n\r\n 3\r\n");
}

TEST_P(Records, SolutionLineOfFiveFields) {
  const std::string got = run("(5(1P,E25.15))", {R(0.5), R(-0.5), R(1e-300), R(0.0), R(1.0 / 7.0)});
  EXPECT_EQ(got,
            "    5.000000000000000E-01   -5.000000000000000E-01    1.000000000000000-300"
            "    0.000000000000000E+00    1.428571428571429E-01\r\n");
}

TEST_P(Records, RecordLongerThanAnyBuffer) {
  std::vector<Item> items(200, R(1.0));
  const std::string got = run("(200(1P,E25.15))", items);
  std::string want;
  for (int i = 0; i < 200; ++i) want += "    1.000000000000000E+00";
  EXPECT_EQ(got, want + "\r\n");
  EXPECT_EQ(run("(T5000,'x')"), blanks(4999) + "x\r\n");
}

TEST_P(Records, MalformedFormatIsReported) {
  const char* bad[] = {
      "",         "I10",  "(I10",      "('abc)",     "(I0)",      "(E25)",      "(E25.)", "(E.5)",
      "(T0)",     "(T)",  "(0/)",      "(0(I2))",    "(I10,,I5)", "(,I5)",      "(I5,)",  "(I10 I5)",
      "(I10'a')", "(X5)", "(2())",     "(-2/)",      "(+3I2)",    "(E25.15E3)", "(I2.1)", "(I1000001)",
      "(TL5)",    "(1P",  "((((I2)))", "(1P,E25.15", "(A10)",     "(2E)",
  };
  for (const char* f : bad) EXPECT_EQ(error_of(f), 6980) << f;
  EXPECT_EQ(out, "");
  EXPECT_EQ(error_of(nullptr), 6980);
}

TEST_P(Records, NestingDepthIsLimited) {
  const std::string ok = std::string(32, '(') + "('x')" + std::string(32, ')');
  EXPECT_EQ(run(ok.c_str()), "x\r\n");
  const std::string deep = std::string(33, '(') + "('x')" + std::string(33, ')');
  EXPECT_EQ(error_of(deep.c_str()), 6980);
}

TEST_P(Records, ItemTypeMustSuitDescriptor) {
  EXPECT_EQ(error_of("(I10)", {R(1.0)}), 6981);
  EXPECT_EQ(error_of("(E25.15)", {N(1)}), 6981);
  EXPECT_EQ(error_of("(F15.3)", {N(1)}), 6981);
}

TEST_P(Records, ItemWithNoDescriptorLeft) {
  EXPECT_EQ(error_of("('a')", {R(1.0)}), 6982);
  EXPECT_EQ(error_of("(I3)", {N(1), N(2)}), 6982);
  EXPECT_EQ(error_of("(2(I3))", {N(1), N(2), N(3)}), 6982);
}

TEST_P(Records, ItemOutsideStatement) {
  EXPECT_THROW(rt::write_real8(1.0), RunTimeError);
  EXPECT_THROW(rt::write_int4(1), RunTimeError);
  rt::write_end();  // nothing to end
  EXPECT_EQ(out, "");
}

TEST_P(Records, NextStatementStartsAfreshAfterAnError) {
  EXPECT_EQ(error_of("('abc',1P,I3)", {R(1.0)}), 6981);
  EXPECT_EQ(run("(E12.5)", {R(1.0)}), "  .10000E+01\r\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, Records, ::testing::Values(rt::FormatEngine::compiled, rt::FormatEngine::walking),
                         [](const auto& info) { return testing::PrintToString(info.param); });

TEST_P(Records, NewTextAtAnAddressUsedBeforeIsItsOwnFormat) {
  char text[32] = "(2('ab'),I3)";
  EXPECT_EQ(run(text, {N(7)}), "abab  7\r\n");
  std::strcpy(text, "(2('ab'),I4)");
  EXPECT_EQ(run(text, {N(7)}), "abab   7\r\n");
  std::strcpy(text, "('a',I3");
  EXPECT_EQ(error_of(text, {N(7)}), 6980);
  std::strcpy(text, "('a''b',/,I2)trailing");
  EXPECT_EQ(run(text, {N(7)}), "a'b\r\n 7\r\n");
}

// ---- The report's formats -------------------------------------------------------------

std::vector<std::string> split_records(const std::string& s) {
  std::vector<std::string> recs;
  std::size_t at = 0;
  for (std::size_t end; (end = s.find("\r\n", at)) != std::string::npos; at = end + 2)
    recs.push_back(s.substr(at, end - at));
  EXPECT_EQ(at, s.size()) << "bytes after the last CR LF";
  return recs;
}

TEST_P(Records, ReportParametersAndBanners) {
  const auto recs = split_records(run(
      "('Difus\xE3o de Calor 2DP em Placa Plana sem Gera\xE7\xE3o de Calor',2/,"
      "'********************************************************************************************************',/,"
      "'Par\xE2metros F\xEDsicos *************************************************************************************',/,"
      "'********************************************************************************************************',2/,"
      "1P,E25.15,T30,' = Lx:     comprimento do dom\xEDnio [m]',/,"
      "1P,E25.15,T30,' = Ly:     altura do dom\xEDnio [m]')",
      {R(1.0), R(0.5)}));
  ASSERT_EQ(recs.size(), 8u);
  EXPECT_EQ(recs[0], "Difus\xE3o de Calor 2DP em Placa Plana sem Gera\xE7\xE3o de Calor");
  EXPECT_EQ(recs[1], "");
  EXPECT_EQ(recs[2], stars104);
  EXPECT_EQ(recs[3], "Par\xE2metros F\xEDsicos " + std::string(85, '*'));
  EXPECT_EQ(recs[4], stars104);
  EXPECT_EQ(recs[5], "");
  EXPECT_EQ(recs[6], "    1.000000000000000E+00    " + std::string(" = Lx:     comprimento do dom\xEDnio [m]"));
  EXPECT_EQ(recs[7], "    5.000000000000000E-01    " + std::string(" = Ly:     altura do dom\xEDnio [m]"));
}

TEST_P(Records, ReportIntegersAndNorms) {
  const auto recs = split_records(
      run("(2/,I10,T30,' = Nx:     n\xFAmero de n\xF3s da malha, dire\xE7\xE3o x',/,1P,E25.15,T30,' = tol:')",
          {N(40), R(1e-8)}));
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[2], "        40" + blanks(19) + " = Nx:     n\xFAmero de n\xF3s da malha, dire\xE7\xE3o x");
  EXPECT_EQ(recs[3], "    1.000000000000000E-08     = tol:");

  const auto norms =
      split_records(run("(/,'Norma L1 com base no campo inicial de temperaturas:        ',1P,E25.15,/,"
                        "'Norma L-infinito com base no campo inicial de temperaturas:',1P,E25.15)",
                        {R(2.0), R(-3.0)}));
  ASSERT_EQ(norms.size(), 3u);
  EXPECT_EQ(norms[1].size(), 84u);
  EXPECT_EQ(norms[1].substr(59), "    2.000000000000000E+00");
  EXPECT_EQ(norms[2].substr(59), "   -3.000000000000000E+00");
}

TEST_P(Records, ReportSolutionHeadingAndMeans) {
  const auto head = split_records(
      run("(2/,T5,'Posi\xE7\xE3o x',T30,'Posi\xE7\xE3o y',T55,'Temp. num\xE9rica',T80,'Temp. anal\xEDtica',T105,"
          "'Erro num\xE9rico')"));
  ASSERT_EQ(head.size(), 3u);
  EXPECT_EQ(head[2], blanks(4) + "Posi\xE7\xE3o x" + blanks(16) + "Posi\xE7\xE3o y" + blanks(16) + "Temp. num\xE9rica" +
                         blanks(11) + "Temp. anal\xEDtica" + blanks(10) + "Erro num\xE9rico");

  // clang-format off
  const auto means = split_records(run(
      "(2/,'Temperatura m\xE9" "dia (anal\xEDtica):',T45,1P,E25.15,/,'Erro num\xE9rico:',T45,1P,E25.15)",
      {R(0.25), R(-0.0)}));
  ASSERT_EQ(means.size(), 4u);
  EXPECT_EQ(means[2], "Temperatura m\xE9" "dia (anal\xEDtica):" + blanks(14) + "    2.500000000000000E-01");
  EXPECT_EQ(means[3], "Erro num\xE9rico:" + blanks(30) + "    0.000000000000000E+00");
  // clang-format on
}

// ---- Through a unit's file ------------------------------------------------------------

class UnitFile : public ::testing::Test {
 protected:
  void SetUp() override { rt::set_error_hook(throw_error); }
  void TearDown() override {
    rt::close_unit(1);
    rt::set_error_hook(nullptr);
  }
  void open(const std::string& name) { rt::open_unit(1, name.c_str(), static_cast<int>(name.size())); }
  // The records the same statements put into a sink.
  static std::string captured(const char* format, const std::vector<Item>& items, int times) {
    std::string s;
    rt::set_record_sink(&s);
    for (int i = 0; i < times; ++i) statement(1, format, items);
    rt::set_record_sink(nullptr);
    return s;
  }
  TempDir dir;
};

TEST_F(UnitFile, RecordsReachTheFileInOrder) {
  const std::string path = dir.file("relatorio.txt");
  open(path);
  statement(1, "(2/,'Tempo de processamento (em segundos):',T45,F15.3)", {R(0.5)});
  statement(1, "('fim',T10)", {});
  rt::close_unit(1);
  EXPECT_EQ(read_file(path), "\r\n\r\nTempo de processamento (em segundos):" + blanks(18) + ".500\r\nfim\r\n");
}

TEST_F(UnitFile, RecordLongerThanTheBufferReachesTheFileWhole) {
  const std::string path = dir.file("longo.txt");
  open(path);
  std::vector<Item> items(60, R(-2.5e-7));
  statement(1, "(60(1P,E25.15))", items);
  rt::close_unit(1);
  std::string want;
  for (int i = 0; i < 60; ++i) want += "   -2.500000000000000E-07";
  EXPECT_EQ(read_file(path), want + "\r\n");
}

TEST_F(UnitFile, ManyRecordsAcrossBufferBoundaries) {
  const std::string path = dir.file("muitos.txt");
  const std::vector<Item> items = {R(0.1), R(0.2), R(1.0 / 3.0), R(-4e-200), R(5e300)};
  const std::string want = captured("(5(1P,E25.15))", items, 1000);
  open(path);
  for (int i = 0; i < 1000; ++i) statement(1, "(5(1P,E25.15))", items);
  rt::close_unit(1);
  EXPECT_EQ(want.size(), 1000u * 127u);
  EXPECT_EQ(read_file(path), want);
}

TEST_F(UnitFile, RewritingOverALongerFileLeavesNoTrace) {
  const std::string path = dir.file("antigo.txt");
  write_file(path, std::string(5000, 'z') + "\r\n");
  open(path);
  statement(1, "('novo')", {});
  rt::close_unit(1);
  EXPECT_EQ(read_file(path), "novo\r\n");
}

TEST_F(UnitFile, AccentedLettersStaySingleBytes) {
  const std::string path = dir.file("acentos.txt");
  open(path);
  // clang-format off
  statement(1, "('Solu\xE7\xF5" "es ',I1)", {N(3)});
  // clang-format on
  rt::close_unit(1);
  // clang-format off
  EXPECT_EQ(read_file(path), "Solu\xE7\xF5" "es 3\r\n");
  // clang-format on
}

TEST_F(UnitFile, MalformedFormatLeavesTheOldFileUncut) {
  const std::string path = dir.file("intacto.txt");
  write_file(path, "antigo\r\n");
  open(path);
  try {
    statement(1, "(I10", {N(1)});
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number, 6980);
    EXPECT_NE(e.report.find("WRITE(" + path + ")"), std::string::npos) << e.report;
  }
  EXPECT_EQ(read_file(path), "antigo\r\n");
}

}  // namespace
