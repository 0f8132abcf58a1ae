// The report a run leaves behind, read back as a user reads it: record by record,
// byte by byte, with only the processing time left open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

using testsupport::case_file;
using testsupport::TempDir;

namespace {

using Records = std::vector<std::string>;

// Runs the case in a fresh folder and returns the report "r.txt" split into its
// records, after checking the bytes every record must obey: CR LF at the end,
// no other CR or LF, no trailing blank.
Records report_of(const std::string& case_text, std::string* bytes = nullptr) {
  TempDir dir;
  testsupport::write_file(dir.file("entrada_geral.ent"), case_text);
  testsupport::RunResult r = testsupport::run_calor2d(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::string text = testsupport::read_file(dir.file("r.txt"));
  if (bytes != nullptr) *bytes = text;
  Records records;
  std::size_t b = 0;
  while (b < text.size()) {
    std::size_t e = text.find("\r\n", b);
    if (e == std::string::npos) {
      ADD_FAILURE() << "bytes after the last CR LF: " << text.substr(b);
      break;
    }
    std::string rec = text.substr(b, e - b);
    EXPECT_EQ(rec.find_first_of("\r\n"), std::string::npos) << "record " << records.size() + 1;
    EXPECT_TRUE(rec.empty() || rec.back() != ' ') << "trailing blank in record " << records.size() + 1;
    records.push_back(rec);
    b = e + 2;
  }
  return records;
}

// The records after the one that starts with `heading`, up to the next empty one.
Records rows_after(const Records& records, const std::string& heading) {
  Records rows;
  std::size_t i = 0;
  while (i < records.size() && records[i].rfind(heading, 0) != 0) ++i;
  EXPECT_LT(i, records.size()) << "no record starts with " << heading;
  for (++i; i < records.size() && !records[i].empty(); ++i) rows.push_back(records[i]);
  return rows;
}

const std::string history_heading = "  itera\xE7\xE3o";
const std::string solution_heading = "    Posi\xE7\xE3o x";

// The E25.15 field of a whole number 0 to 9.
std::string whole(int v) { return "    " + std::to_string(v) + ".000000000000000E+00"; }

}  // namespace

// Lx = Ly = 1 on 3 x 3 nodes: one interior node, which the first sweep puts at
// exactly 0.25 with a zero residual, so the initial norms are 2, 4 and 2 and the
// run stops after sweep 2. The expected digits were worked out apart from the
// program: the same double operations redone in Python (math.sin, sinh, cosh and
// acos of the host's C library, as the program calls them), then each value's
// exact decimal expansion taken with fractions.Fraction and rounded twice, half
// up on the 18th digit and then on the 17th. Among them: tol = 1e-6 is
// stored as 9.99999999999999954...e-7 and prints as 1.000000000000000E-06 (a
// single rounding to 16 digits would give 9.999999999999999E-07); the centre's
// analytic value sinh(pi/2)/sinh(pi) is 0.19926840766919332...; the mean of the
// numerical field is 3/16; sin(pi) = 1.2246467991473532e-16 on the top-right
// corner, and the right column of Ta is sin(pi)*sinh(pi/2)/sinh(pi).
TEST(Report, SmallCaseIsWrittenRecordByRecord) {
  // clang-format off
  const std::string expected =
    "Difus\xE3o de Calor 2DP em Placa Plana sem Gera\xE7\xE3o de Calor\r\n"
    "\r\n"
    "********************************************************************************************************\r\n"
    "Par\xE2metros F\xEDsicos *************************************************************************************\r\n"
    "********************************************************************************************************\r\n"
    "\r\n"
    "    1.000000000000000E+00     = Lx:     comprimento do dom\xEDnio [m]\r\n"
    "    1.000000000000000E+00     = Ly:     altura do dom\xEDnio [m]\r\n"
    "\r\n"
    "\r\n"
    "********************************************************************************************************\r\n"
    "Par\xE2metros Num\xE9ricos ***********************************************************************************\r\n"
    "********************************************************************************************************\r\n"
    "\r\n"
    "         3                    = Nx:     n\xFAmero de n\xF3s da malha, dire\xE7\xE3o x\r\n"
    "         3                    = Ny:     n\xFAmero de n\xF3s da malha, dire\xE7\xE3o y\r\n"
    "         5                    = itmax:  n\xFAmero m\xE1ximo de itera\xE7\xF5" "es a ser efetuada\r\n"
    "    1.000000000000000E-06     = tol:    toler\xE2ncia m\xE1xima admitida\r\n"
    "         2                    = it:     itera\xE7\xF5" "es realizadas\r\n"
    "    0.000000000000000E+00     = L1(it): norma L1 adimensionalizada na \xFAltima itera\xE7\xE3o\r\n"
    "\r\n"
    "Norma L1 com base no campo inicial de temperaturas:            2.000000000000000E+00\r\n"
    "Norma L2 com base no campo inicial de temperaturas:            4.000000000000000E+00\r\n"
    "Norma L-infinito com base no campo inicial de temperaturas:    2.000000000000000E+00\r\n"
    "\r\n"
    "\r\n"
    "  itera\xE7\xE3o    L1(it)/L1(0)             L2(it)/L2(0)             Linf(it)/Linf(0)\r\n"
    "         0    1.000000000000000E+00    1.000000000000000E+00    1.000000000000000E+00\r\n"
    "         1    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "         2    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "\r\n"
    "\r\n"
    "********************************************************************************************************\r\n"
    "Solu\xE7\xF5" "es ***********************************************************************************************\r\n"
    "********************************************************************************************************\r\n"
    "\r\n"
    "    Posi\xE7\xE3o x                Posi\xE7\xE3o y                Temp. num\xE9rica           Temp. anal\xEDtica          Erro num\xE9rico\r\n"
    "    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "    5.000000000000000E-01    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "    1.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "    0.000000000000000E+00    5.000000000000000E-01    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "    5.000000000000000E-01    5.000000000000000E-01    2.500000000000000E-01    1.992684076691934E-01   -5.073159233080662E-02\r\n"
    "    1.000000000000000E+00    5.000000000000000E-01    0.000000000000000E+00    2.440334176232675E-17    2.440334176232675E-17\r\n"
    "    0.000000000000000E+00    1.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00    0.000000000000000E+00\r\n"
    "    5.000000000000000E-01    1.000000000000000E+00    1.000000000000000E+00    1.000000000000000E+00    0.000000000000000E+00\r\n"
    "    1.000000000000000E+00    1.000000000000000E+00    1.224646799147353E-16    1.224646799147353E-16    0.000000000000000E+00\r\n"
    "\r\n"
    "\r\n"
    "Temperatura m\xE9" "dia (anal\xEDtica):                  1.858539204602858E-01\r\n"
    "Temperatura m\xE9" "dia (num\xE9rica):                   1.875000000000000E-01\r\n"
    "Erro num\xE9rico:                                 -1.646079539714157E-03\r\n"
    "\r\n"
    "\r\n"
    "Tempo de processamento (em segundos):       ###############\r\n";
  // clang-format on
  std::string bytes;
  Records got = report_of(case_file("r.txt", "1.0", "1.0", 3, 3, 5, "1.0d-6", 1, 1), &bytes);
  ASSERT_EQ(got.size(), 54u);
  // Processing time: F15.3 in columns 45-59, no zero before the point.
  std::string& last = got.back();
  ASSERT_EQ(last.size(), 59u) << last;
  std::string time = last.substr(44);
  std::size_t lead = time.find_first_not_of(' ');
  ASSERT_NE(lead, std::string::npos);
  EXPECT_EQ(time.find_first_not_of("0123456789.", lead), std::string::npos) << time;
  EXPECT_EQ(time.substr(11, 1), ".") << time;
  EXPECT_NE(time.substr(lead, 2), "0.") << time;
  last.replace(44, 15, std::string(15, '#'));

  Records want;
  for (std::size_t b = 0, e; (e = expected.find("\r\n", b)) != std::string::npos; b = e + 2)
    want.push_back(expected.substr(b, e - b));
  ASSERT_EQ(want.size(), got.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "record " << i + 1;
  // Windows-1252 throughout: single bytes, never a UTF-8 sequence.
  EXPECT_EQ(bytes.find('\xC3'), std::string::npos);
  EXPECT_EQ(bytes.substr(0, 8), "Difus\xE3o ");
}

// tol < 0 is never met, so every run goes to itmax.
TEST(ReportHistory, RowsAtEveryMultipleOfTheStepThenTheLastIteration) {
  struct Case {
    int itmax, hist_step;
    std::vector<int> rows;
  } cases[] = {
      {250, 100, {0, 100, 200, 250}},
      {200, 100, {0, 100, 200}},  // it itself a multiple: no repeated row
      {5, 7, {0, 5}},             // step beyond it
      {5, 5, {0, 5}},
      {4, 1, {0, 1, 2, 3, 4}},
      {1, 3, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("itmax " + std::to_string(c.itmax) + ", hist_step " + std::to_string(c.hist_step));
    Records records = report_of(case_file("r.txt", "1.0", "1.0", 5, 5, c.itmax, "-1.0", 3, c.hist_step));
    ASSERT_GT(records.size(), 19u);
    // clang-format off
    EXPECT_EQ(records[18].substr(10), std::string(19, ' ') + " = it:     itera\xE7\xF5" "es realizadas");
    // clang-format on
    EXPECT_EQ(std::stoi(records[18].substr(0, 10)), c.itmax);
    Records rows = rows_after(records, history_heading);
    ASSERT_EQ(rows.size(), c.rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      ASSERT_EQ(rows[i].size(), 85u) << rows[i];
      EXPECT_EQ(std::stoi(rows[i].substr(0, 10)), c.rows[i]) << rows[i];
      EXPECT_EQ(rows[i].find_first_not_of(' '), 10 - std::to_string(c.rows[i]).size()) << rows[i];
    }
    EXPECT_EQ(rows[0], "         0" + whole(1) + whole(1) + whole(1));
  }
}

TEST(ReportSolutions, EveryNodeIsListedBottomRowFirstXIncreasing) {
  // dx = dy = 1, so the coordinates are whole numbers.
  Records rows = rows_after(report_of(case_file("r.txt", "3.0", "2.0", 4, 3, 50, "1.0d-8", 1, 10)), solution_heading);
  ASSERT_EQ(rows.size(), 12u);
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 4; ++i) {
      const std::string& row = rows[static_cast<std::size_t>(j * 4 + i)];
      ASSERT_EQ(row.size(), 125u) << row;
      EXPECT_EQ(row.substr(0, 50), whole(i) + whole(j)) << "node " << i + 1 << "," << j + 1;
    }
  }
  // The bottom row and the left column are 0 in both fields.
  EXPECT_EQ(rows[1].substr(50), whole(0) + whole(0) + whole(0));
  EXPECT_EQ(rows[4].substr(50), whole(0) + whole(0) + whole(0));
}

TEST(ReportSolutions, CentralNodeOnlyPicksTheMiddleOrTheNodeJustBelowIt) {
  struct Case {
    std::string Lx, Ly;
    int Nx, Ny;
    std::string xy;  // the listed node's coordinates
    std::size_t in_full_listing;
    std::string ta;  // its analytic value, where worked out by hand
  } cases[] = {
      // 5 x 5 on the unit square: node (3, 3), whose analytic value is the same
      // sinh(pi/2)/sinh(pi) as the centre of the 3 x 3 case.
      {"1.0", "1.0", 5, 5, "    5.000000000000000E-01    5.000000000000000E-01", 12, "    1.992684076691934E-01"},
      // 4 x 6 with dx = dy = 1: (4+1)/2 = 2 and (6+1)/2 = 3, node (2, 3).
      {"3.0", "5.0", 4, 6, whole(1) + whole(2), 9, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Nx) + " x " + std::to_string(c.Ny));
    Records one =
        rows_after(report_of(case_file("r.txt", c.Lx, c.Ly, c.Nx, c.Ny, 200, "1.0d-8", 2, 10)), solution_heading);
    Records all =
        rows_after(report_of(case_file("r.txt", c.Lx, c.Ly, c.Nx, c.Ny, 200, "1.0d-8", 1, 10)), solution_heading);
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(c.Nx * c.Ny));
    EXPECT_EQ(one[0].substr(0, 50), c.xy);
    EXPECT_EQ(one[0], all[c.in_full_listing]);
    if (!c.ta.empty()) {
      EXPECT_EQ(one[0].substr(75, 25), c.ta);
    }
  }
}

TEST(ReportSolutions, OtherModesKeepTheHeadingAndListNoNode) {
  for (int mode : {3, 0, -1, 7}) {
    SCOPED_TRACE("sol_mode " + std::to_string(mode));
    Records records = report_of(case_file("r.txt", "1.0", "1.0", 5, 5, 20, "1.0d-8", mode, 10));
    std::size_t h = 0;
    while (h < records.size() && records[h].rfind(solution_heading, 0) != 0) ++h;
    ASSERT_LT(h + 3, records.size());
    EXPECT_EQ(records[h + 1], "");
    EXPECT_EQ(records[h + 2], "");
    // clang-format off
    EXPECT_EQ(records[h + 3].rfind("Temperatura m\xE9" "dia (anal\xEDtica):", 0), 0u) << records[h + 3];
    // clang-format on
  }
}
