// Reading a calor2d report back: the number fields as the inverse of their edit
// descriptors, the text encodings, and whole reports of real runs, sound or damaged.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graficos/campos.h"
#include "graficos/relatorio.h"
#include "graficos/texto.h"
#include "runtime/number_edit.h"
#include "support.h"

using graficos::ErroLeitura;
using graficos::ler_e25_15;
using graficos::ler_f15_3;
using graficos::ler_i10;
using graficos::ler_relatorio_texto;
using graficos::Listagem;
using graficos::Relatorio;

namespace {

std::string e25(double x) {
  char buf[25];
  rt::edit_e(buf, 25, 15, 1, x);
  return std::string(buf, 25);
}

std::string f15(double x) {
  char buf[15];
  rt::edit_f(buf, 15, 3, 0, x);
  return std::string(buf, 15);
}

std::uint64_t bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// The report of a real run of the case, as bytes.
std::string relatorio(const std::string& Lx, const std::string& Ly, int Nx, int Ny, int sol_mode, int hist_step,
                      int itmax = 5000) {
  testsupport::TempDir dir;
  testsupport::write_file(dir.file("entrada_geral.ent"),
                          testsupport::case_file("r.txt", Lx, Ly, Nx, Ny, itmax, "1.0d-8", sol_mode, hist_step));
  testsupport::RunResult r = testsupport::run_calor2d(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  return testsupport::read_file(dir.file("r.txt"));
}

std::vector<std::string> registros(const std::string& texto) {
  std::vector<std::string> out;
  std::size_t i = 0, j;
  while ((j = texto.find("\r\n", i)) != std::string::npos) out.push_back(texto.substr(i, j - i)), i = j + 2;
  return out;
}

std::string juntar(const std::vector<std::string>& linhas, const char* fim = "\r\n") {
  std::string s;
  for (const std::string& l : linhas) s += l + fim;
  return s;
}

std::size_t indice_de(const std::vector<std::string>& linhas, const std::string& inicio) {
  for (std::size_t k = 0; k < linhas.size(); ++k)
    if (linhas[k].rfind(inicio, 0) == 0) return k;
  ADD_FAILURE() << "no record starts with " << inicio;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Number fields

// The decimal the field shows, converted by an independent reader (from_chars).
double decimal_do_campo(std::string s) {
  s = s.substr(s.find_first_not_of(' '));
  std::size_t e = s.find('E');
  if (e == std::string::npos)
    e = s.find_last_of("+-"), s.insert(e, "e");
  else
    s[e] = 'e';
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

TEST(NumberFields, EveryPrintedValueReadsToTheNearestDouble) {
  // The writer is the independent side: any double (all exponents, both signs,
  // subnormals), edited, then read, gives the double nearest the printed decimal,
  // within 16 digits of the one that was edited.
  std::mt19937_64 gen(20240611);
  for (int n = 0; n < 200000; ++n) {
    std::uint64_t b = gen();
    double x;
    std::memcpy(&x, &b, sizeof x);
    if (!std::isfinite(x)) continue;
    std::string texto = e25(x);
    double lido;
    ASSERT_TRUE(ler_e25_15(texto, lido)) << texto;
    ASSERT_EQ(bits(lido), bits(decimal_do_campo(texto))) << texto;
    ASSERT_LE(std::fabs(lido - x), std::fabs(x) * 1e-15 + 1e-323) << texto;
  }
}

TEST(NumberFields, TwoStageRoundingOfTheWriterIsKept) {
  // The nearest double to 6.891049823045516e279 expands as ...5164|7...: the writer
  // rounds to 17 digits (...5165), then to 16 (...517). The export keeps what is
  // printed, which here is the next double up, not the one calor2d held.
  double x = 6.891049823045516e279, lido;
  ASSERT_EQ(e25(x), "    6.891049823045517+279");
  ASSERT_TRUE(ler_e25_15(e25(x), lido));
  EXPECT_EQ(bits(lido), bits(x) + 1);
  EXPECT_EQ(lido, 6.891049823045517e279);
}

TEST(NumberFields, WorkedExamplesOfTheWriter) {
  struct Caso {
    const char* campo;
    double valor;
  };
  const Caso casos[] = {
      {"    1.000000000000000E+00", 1.0},
      {"    1.000000000000000E-01", 0.1},
      {"   -2.500000000000000E-07", -2.5e-7},
      {"    0.000000000000000E+00", 0.0},
      {"    1.000000000000000+100", 1e100},
      {"    1.000000000000000-300", 1e-300},
      {"    9.999999999999999E+22", 9.999999999999999e22},
      {"    4.940656458412465-324", 4.9406564584124654e-324},
      {"    1.428571428571429E-01", 0.1428571428571429},
  };
  for (const Caso& c : casos) {
    double v;
    ASSERT_TRUE(ler_e25_15(c.campo, v)) << c.campo;
    EXPECT_EQ(bits(v), bits(c.valor)) << c.campo;
  }
}

TEST(NumberFields, LargestDoubleStaysFinite) {
  // DBL_MAX prints as 1.797693134862316E+308, a decimal above it that rounds to infinity.
  double v;
  ASSERT_TRUE(ler_e25_15(e25(1.7976931348623157e308), v));
  EXPECT_EQ(v, 1.7976931348623157e308);
  ASSERT_TRUE(ler_e25_15(e25(-1.7976931348623157e308), v));
  EXPECT_EQ(v, -1.7976931348623157e308);
}

TEST(NumberFields, ADecimalCommaLocaleChangesNoDigitRead) {
  testsupport::CommaDecimals comma;
  if (!comma.installed()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  double v;
  ASSERT_TRUE(ler_e25_15("   -2.500000000000000E-07", v));
  EXPECT_EQ(v, -2.5e-7);
  ASSERT_TRUE(ler_f15_3("         12.500", v));
  EXPECT_EQ(v, 12.5);
}

TEST(NumberFields, SpecialsKeepThePatternTheWriterTellsApart) {
  const double especiais[] = {INFINITY, -INFINITY, std::nan(""), -std::nan(""), 0.0 * INFINITY};
  for (double x : especiais) {
    double v;
    ASSERT_TRUE(ler_e25_15(e25(x), v)) << e25(x);
    EXPECT_EQ(e25(v), e25(x));
  }
  std::uint64_t snan = 0x7FF0000000000001u;
  double s;
  std::memcpy(&s, &snan, sizeof s);
  double v;
  ASSERT_TRUE(ler_e25_15(e25(s), v));
  EXPECT_EQ(e25(v), std::string("1#SNAN") + std::string(19, '.'));
  ASSERT_TRUE(ler_e25_15("1#INF....................", v));
  EXPECT_TRUE(std::isinf(v) && v > 0);
}

TEST(NumberFields, GarbledFieldsAreRefused) {
  const char* ruins[] = {
      "    1.000000000000000E+0",    // short
      "    1.000000000000000E+000",  // long
      "    1.00000000000x000E+00",   // letter among the digits
      "    1,000000000000000E+00",   // comma for the point
      "    1.000000000000000D+00",   // another exponent letter
      "    1.000000000000000+099",   // three digits where the letter form belongs
      "     .000000000000000E+00",   // no digit before the point
      "  --1.000000000000000E+00",   // two signs
      "   1.000000000000000E+00 ",   // shifted left
      "1#INF...................x",   // special not filled with full stops
      "1#XYZ....................",   // unknown special
      "*************************",   // E25.15 never overflows
      "                         ",   // blank
  };
  for (const char* r : ruins) {
    double v;
    EXPECT_FALSE(ler_e25_15(r, v)) << r;
  }
}

TEST(NumberFields, TimeFieldReadsTheWriterForms) {
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> d(-1e9, 1e10);
  for (int n = 0; n < 20000; ++n) {
    double x = n % 2 ? d(gen) : d(gen) * 1e-9;
    double v;
    ASSERT_TRUE(ler_f15_3(f15(x), v)) << f15(x);
    ASSERT_EQ(f15(v), f15(x));
  }
  double v;
  ASSERT_TRUE(ler_f15_3("           .500", v));
  EXPECT_EQ(v, 0.5);
  ASSERT_TRUE(ler_f15_3("          -.250", v));
  EXPECT_EQ(v, -0.25);
  ASSERT_TRUE(ler_f15_3("***************", v));  // 1e11 s or more: did not fit
  EXPECT_TRUE(std::isnan(v));
  for (const char* r : {"          0.500", "           .50 ", "            .50", "          1.2.3", "    12345678.9x"})
    EXPECT_FALSE(ler_f15_3(r, v)) << r;
}

TEST(NumberFields, CountFieldReadsIntegersOnly) {
  std::int32_t v;
  ASSERT_TRUE(ler_i10("         0", v));
  EXPECT_EQ(v, 0);
  ASSERT_TRUE(ler_i10("        -1", v));
  EXPECT_EQ(v, -1);
  ASSERT_TRUE(ler_i10("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  for (const char* r : {"**********", "      0012", "       1 2", "         +", "     1.0e3", "        21 "})
    EXPECT_FALSE(ler_i10(r, v)) << r;
}

// ---------------------------------------------------------------------------
// Text encodings

TEST(TextEncoding, Windows1252RoundTripsThroughUtf8) {
  std::string todos;
  for (int b = 1; b < 256; ++b) todos += static_cast<char>(b);
  std::string utf8 = graficos::utf8_de_cp1252(todos);
  EXPECT_TRUE(graficos::utf8_valido(utf8));
  std::string volta;
  EXPECT_TRUE(graficos::cp1252_de_utf8(utf8, volta));
  EXPECT_EQ(volta, todos);
  EXPECT_EQ(graficos::utf8_de_cp1252("Difus\xE3o \x80"), "Difusão €");
}

TEST(TextEncoding, CharactersOutsideWindows1252AreFlagged) {
  std::string out;
  EXPECT_FALSE(graficos::cp1252_de_utf8("π", out));
  EXPECT_EQ(out, "\x1A");
  EXPECT_FALSE(graficos::cp1252_de_utf8("\xE3o", out));  // Windows-1252 bytes are not UTF-8
  EXPECT_FALSE(graficos::utf8_valido("\xC0\xAF"));       // overlong
}

// ---------------------------------------------------------------------------
// Whole reports of real runs

TEST(ReportReader, FullListingIsTheGridRowByRow) {
  std::string texto = relatorio("2.0", "1.0", 5, 4, 1, 10);
  Relatorio rel;
  ErroLeitura erro;
  ASSERT_TRUE(ler_relatorio_texto(texto, rel, erro)) << erro.linha << ": " << erro.esperado;
  EXPECT_EQ(rel.titulo, "Difusão de Calor 2DP em Placa Plana sem Geração de Calor");
  EXPECT_EQ(rel.Lx, 2.0);
  EXPECT_EQ(rel.Ly, 1.0);
  EXPECT_EQ(rel.Nx, 5);
  EXPECT_EQ(rel.Ny, 4);
  EXPECT_EQ(rel.itmax, 5000);
  EXPECT_EQ(rel.tol, 1e-8);
  EXPECT_EQ(rel.listagem, Listagem::completa);
  ASSERT_EQ(rel.nos.size(), 20u);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) {
      const graficos::No& n = rel.nos[static_cast<std::size_t>(i + 5 * j)];
      EXPECT_NEAR(n.x, i * 0.5, 1e-15);
      EXPECT_NEAR(n.y, j / 3.0, 1e-15);
      EXPECT_NEAR(n.erro, n.analitica - n.numerica, 1e-15);
    }
  EXPECT_NEAR(rel.nos[17].numerica, 1.0, 1e-15);  // top edge at x = Lx/2: sin(pi/2)
  EXPECT_EQ(rel.historico.front().k, 0);
  EXPECT_EQ(rel.historico.front().L1, 1.0);
  EXPECT_EQ(rel.historico.back().k, rel.it);
}

TEST(ReportReader, EveryValueIsTheOnePrinted) {
  std::string texto = relatorio("1.0", "1.0", 6, 6, 1, 3);
  Relatorio rel;
  ErroLeitura erro;
  ASSERT_TRUE(ler_relatorio_texto(texto, rel, erro));
  std::vector<std::string> l = registros(texto);
  std::size_t h = indice_de(l, "  itera") + 1;
  for (const graficos::LinhaHistorico& lh : rel.historico) {
    EXPECT_EQ(l[h].substr(10), e25(lh.L1) + e25(lh.L2) + e25(lh.Linf));
    ++h;
  }
  std::size_t s = indice_de(l, "    Posi") + 1;
  for (const graficos::No& n : rel.nos) {
    EXPECT_EQ(l[s], e25(n.x) + e25(n.y) + e25(n.numerica) + e25(n.analitica) + e25(n.erro));
    ++s;
  }
  EXPECT_EQ(l[s + 2].substr(44), e25(rel.Tm_analitica));
  EXPECT_EQ(l.back().substr(44), f15(rel.tempo));
}

TEST(ReportReader, CentralNodeAndNoListing) {
  Relatorio rel;
  ErroLeitura erro;
  ASSERT_TRUE(ler_relatorio_texto(relatorio("1.0", "1.0", 21, 21, 2, 100), rel, erro));
  EXPECT_EQ(rel.listagem, Listagem::central);
  ASSERT_EQ(rel.nos.size(), 1u);
  EXPECT_NEAR(rel.nos[0].x, 0.5, 1e-15);
  EXPECT_NEAR(rel.nos[0].y, 0.5, 1e-15);
  ASSERT_TRUE(ler_relatorio_texto(relatorio("1.0", "1.0", 9, 9, 7, 100), rel, erro));
  EXPECT_EQ(rel.listagem, Listagem::nenhuma);
  EXPECT_TRUE(rel.nos.empty());
}

TEST(ReportReader, HistoryFollowsAnyStride) {
  for (int passo : {1, 7, 100, 100000}) {
    Relatorio rel;
    ErroLeitura erro;
    ASSERT_TRUE(ler_relatorio_texto(relatorio("1.0", "1.0", 7, 7, 3, passo), rel, erro)) << passo;
    std::vector<std::int32_t> esperado;
    for (std::int32_t k = 0; k <= rel.it; k += passo) esperado.push_back(k);
    if (esperado.back() != rel.it) esperado.push_back(rel.it);
    std::vector<std::int32_t> lidos;
    for (const auto& h : rel.historico) lidos.push_back(h.k);
    EXPECT_EQ(lidos, esperado) << "hist_step " << passo;
  }
}

TEST(ReportReader, LineFeedsAndUtf8ReadTheSame) {
  std::string texto = relatorio("1.0", "0.5", 5, 5, 1, 10);
  Relatorio a, b, c;
  ErroLeitura erro;
  ASSERT_TRUE(ler_relatorio_texto(texto, a, erro));
  std::vector<std::string> l = registros(texto);
  ASSERT_TRUE(ler_relatorio_texto(juntar(l, "\n"), b, erro)) << erro.linha;
  std::vector<std::string> u;
  for (const std::string& s : l) u.push_back(graficos::utf8_de_cp1252(s));
  ASSERT_TRUE(ler_relatorio_texto(juntar(u), c, erro)) << erro.linha << ": " << erro.esperado;
  for (const Relatorio* r : {&b, &c}) {
    EXPECT_EQ(r->it, a.it);
    ASSERT_EQ(r->nos.size(), a.nos.size());
    EXPECT_EQ(r->nos[7].numerica, a.nos[7].numerica);
    EXPECT_EQ(r->tempo, a.tempo);
  }
}

// ---------------------------------------------------------------------------
// Damaged reports: refused, with the record they fail on

TEST(DamagedReport, CutAfterAnyRecordIsRefusedAtTheNextOne) {
  std::vector<std::string> l = registros(relatorio("1.0", "1.0", 4, 4, 1, 5));
  for (std::size_t k = 0; k < l.size(); ++k) {
    Relatorio rel;
    ErroLeitura erro;
    std::vector<std::string> parte(l.begin(), l.begin() + static_cast<std::ptrdiff_t>(k));
    ASSERT_FALSE(ler_relatorio_texto(juntar(parte), rel, erro)) << k;
    EXPECT_EQ(erro.linha, static_cast<long>(k) + 1);
    EXPECT_EQ(erro.encontrado, "fim do arquivo");
  }
}

TEST(DamagedReport, CutInsideTheLastRecordIsRefused) {
  std::string texto = relatorio("1.0", "1.0", 4, 4, 1, 5);
  Relatorio rel;
  ErroLeitura erro;
  EXPECT_FALSE(ler_relatorio_texto(texto.substr(0, texto.size() - 2), rel, erro));  // no CR LF after the time
  EXPECT_FALSE(ler_relatorio_texto(texto.substr(0, texto.size() - 5), rel, erro));
  std::vector<std::string> l = registros(texto);
  std::size_t s = indice_de(l, "    Posi") + 3;
  std::string meio =
      juntar(std::vector<std::string>(l.begin(), l.begin() + static_cast<std::ptrdiff_t>(s))) + l[s].substr(0, 60);
  ASSERT_FALSE(ler_relatorio_texto(meio, rel, erro));
  EXPECT_EQ(erro.linha, static_cast<long>(s) + 1);
}

TEST(DamagedReport, GarbledNumberNamesItsLine) {
  std::vector<std::string> l = registros(relatorio("1.0", "1.0", 4, 4, 1, 5));
  struct Dano {
    std::string inicio;
    std::size_t coluna;
    char por;
  };
  const Dano danos[] = {{"    Posi", 1 + 60, 'x'},
                        {"  itera", 31, 'D'},
                        {"Norma L2", 72, '?'},
                        {"Temperatura m", 64, 'D'},
                        {"Tempo", 55, 'o'}};
  for (const Dano& d : danos) {
    std::vector<std::string> m = l;
    std::size_t k = indice_de(m, d.inicio) + (d.inicio[0] == ' ' ? 1 : 0);
    m[k][d.coluna] = d.por;
    Relatorio rel;
    ErroLeitura erro;
    ASSERT_FALSE(ler_relatorio_texto(juntar(m), rel, erro)) << d.inicio;
    EXPECT_EQ(erro.linha, static_cast<long>(k) + 1) << d.inicio;
    EXPECT_NE(erro.encontrado.find(d.por), std::string::npos);
  }
}

TEST(DamagedReport, OtherTextIsNotACalor2dReport) {
  Relatorio rel;
  ErroLeitura erro;
  ASSERT_FALSE(ler_relatorio_texto("x,y\n1,2\n", rel, erro));
  EXPECT_EQ(erro.linha, 1);
  EXPECT_NE(erro.esperado.find("não é um relatório do calor2d"), std::string::npos);
  ASSERT_FALSE(ler_relatorio_texto("", rel, erro));
  EXPECT_EQ(erro.linha, 1);
  std::string binario("\x89PNG\r\n\x1A\n\0\0\0", 11);
  EXPECT_FALSE(ler_relatorio_texto(binario, rel, erro));
}

TEST(DamagedReport, MissingOrExtraRecordsAreRefused) {
  std::vector<std::string> l = registros(relatorio("1.0", "1.0", 4, 4, 1, 2));
  std::size_t h = indice_de(l, "  itera");
  std::size_t s = indice_de(l, "    Posi");
  struct Caso {
    const char* nome;
    std::vector<std::string> linhas;
    long linha;
  };
  auto sem = [&](std::size_t k) {
    std::vector<std::string> m = l;
    m.erase(m.begin() + static_cast<std::ptrdiff_t>(k));
    return m;
  };
  auto com_mais = [&](std::string extra) {
    std::vector<std::string> m = l;
    m.push_back(extra);
    return m;
  };
  auto trocadas = [&](std::size_t a, std::size_t b) {
    std::vector<std::string> m = l;
    std::swap(m[a], m[b]);
    return m;
  };
  const Caso casos[] = {
      // The stride is learnt from the second line, so a lost third line shows two lines on.
      {"a middle history line", sem(h + 2), static_cast<long>(h + 4) + 1},
      {"the solution banner", sem(s - 3), static_cast<long>(s - 3) + 1},
      {"the last node", sem(s + 16), static_cast<long>(s + 16) + 1},
      {"a record after the time", com_mais(""), static_cast<long>(l.size()) + 1},
      {"nodes out of grid order", trocadas(s + 2, s + 6), static_cast<long>(s + 2) + 1},
  };
  for (const Caso& c : casos) {
    Relatorio rel;
    ErroLeitura erro;
    ASSERT_FALSE(ler_relatorio_texto(juntar(c.linhas), rel, erro)) << c.nome;
    EXPECT_EQ(erro.linha, c.linha) << c.nome << ": " << erro.esperado;
  }
}
