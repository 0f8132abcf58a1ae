// calor2d-graficos run as a user runs it: command line, exit status, messages,
// and the files it leaves beside the report.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graficos/figuras.h"
#include "graficos/figuras_estudo.h"
#include "graficos/perfis.h"
#include "graficos/relatorio.h"
#include "support.h"

using testsupport::file_exists;
using testsupport::read_file;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

RunResult graficos_em(const std::string& dir, const std::vector<std::string>& args) {
  return testsupport::run_in(dir, CALOR2D_GRAFICOS_EXE, args);
}

// Runs calor2d on the case in `dir`, leaving its report there as `nome`.
void rodar_caso(const TempDir& dir, const std::string& nome, int Nx, int Ny, int sol_mode, int itmax = 5000) {
  testsupport::write_file(dir.file("entrada_geral.ent"),
                          testsupport::case_file(nome, "2.0", "1.0", Nx, Ny, itmax, "1.0d-8", sol_mode, 10));
  ASSERT_EQ(testsupport::run_calor2d(dir.path()).status, 0);
}

std::vector<std::string> linhas(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

double numero(const std::string& s) {
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  EXPECT_EQ(r.ptr, s.data() + s.size()) << s;
  return v;
}

struct Png {
  int largura = 0, altura = 0;
  int coloridos = 0;  // in the box asked for
};

// Decodes a PNG as a viewer would and counts the pixels of the box
// [x0, x1) x [y0, y1) that carry a colour of a curve or a map (neither white,
// black nor grey): a figure left blank or with only its frame has none.
Png decodificar(const std::string& caminho, int x0, int y0, int x1, int y1) {
  Png png;
  cairo_surface_t* s = cairo_image_surface_create_from_png(caminho.c_str());
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    png.largura = cairo_image_surface_get_width(s);
    png.altura = cairo_image_surface_get_height(s);
    const unsigned char* d = cairo_image_surface_get_data(s);
    int passo = cairo_image_surface_get_stride(s);
    for (int y = std::max(y0, 0); y < std::min(y1, png.altura); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, png.largura); ++x) {
        std::uint32_t c = reinterpret_cast<const std::uint32_t*>(d + y * passo)[x];
        int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        png.coloridos += std::max({r, g, b}) - std::min({r, g, b}) > 40;
      }
  }
  cairo_surface_destroy(s);
  return png;
}

}  // namespace

TEST(CommandLine, UsageErrorsExitWithTwo) {
  TempDir dir;
  const std::vector<std::vector<std::string>> errados = {
      {}, {"--cor", "r.txt"}, {"-f", "jpeg", "r.txt"}, {"a/r.txt", "b/r.txt"}, {"r.txt", "-o"}, {"--saida=", "r.txt"}};
  for (const auto& args : errados) {
    RunResult r = graficos_em(dir.path(), args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("--help"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
}

TEST(CommandLine, HelpAndVersionExitWithZero) {
  TempDir dir;
  RunResult r = graficos_em(dir.path(), {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Uso: calor2d-graficos"), std::string::npos);
  r = graficos_em(dir.path(), {"-V"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("calor2d-graficos ", 0), 0u);
}

TEST(CommandLine, FileThatIsNotAReportNamesItsLine) {
  TempDir dir;
  testsupport::write_file(dir.file("notas.txt"), "lista de compras\r\n");
  RunResult r = graficos_em(dir.path(), {"notas.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("calor2d-graficos: notas.txt:1: esperado o título", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("encontrado \"lista de compras\""), std::string::npos);
  r = graficos_em(dir.path(), {"falta.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("falta.txt"), std::string::npos);
  r = graficos_em(dir.path(), {"."});
  EXPECT_EQ(r.status, 1);
}

TEST(CommandLine, FullListingGivesFiguresCsvAndVtkBesideTheReport) {
  TempDir dir;
  rodar_caso(dir, "placa.txt", 9, 5, 1);
  RunResult r = graficos_em(dir.path(), {"--formato", "ambos", "placa.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // small report: no progress
  std::vector<std::string> escritos = linhas(r.out);
  const std::vector<std::string> esperados = {
      "placa_historico.png", "placa_historico.svg", "placa_numerica.png", "placa_numerica.svg", "placa_analitica.png",
      "placa_analitica.svg", "placa_erro.png",      "placa_erro.svg",     "placa_perfis.png",   "placa_perfis.svg",
      "placa_historico.csv", "placa_resumo.json",   "placa_nos.csv",      "placa.vtk"};
  EXPECT_EQ(escritos, esperados);
  for (const std::string& f : esperados) EXPECT_TRUE(file_exists(dir.file(f))) << f;

  graficos::Relatorio rel;
  graficos::ErroLeitura erro;
  ASSERT_TRUE(graficos::ler_relatorio_texto(read_file(dir.file("placa.txt")), rel, erro));

  // Each PNG decodes to its figure's size with colour where the data is: the
  // curves in the left half of the history's plot box (the legend is on the
  // right); the field all over the middle of the plate, which this 2 m x 1 m
  // case has drawn 520 x 260 from (100, 80).
  const struct {
    const char* nome;
    graficos::Tamanho t;
    int x0, y0, x1, y1, minimo;
  } pngs[] = {{"placa_historico.png", graficos::tamanho_historico(), 100, 80, 380, 495, 300},
              {"placa_perfis.png", graficos::tamanho_perfis(), 85, 100, 440, 450, 300},
              {"placa_numerica.png", graficos::tamanho_mapa(rel), 355, 205, 365, 215, 100},
              {"placa_analitica.png", graficos::tamanho_mapa(rel), 355, 205, 365, 215, 100},
              {"placa_erro.png", graficos::tamanho_mapa(rel), 355, 205, 365, 215, 100}};
  for (const auto& f : pngs) {
    Png png = decodificar(dir.file(f.nome), f.x0, f.y0, f.x1, f.y1);
    EXPECT_EQ(png.largura, f.t.largura) << f.nome;
    EXPECT_EQ(png.altura, f.t.altura) << f.nome;
    EXPECT_GE(png.coloridos, f.minimo) << f.nome;
  }

  // CSV: a header and one row per node, each number the report's value exactly.
  std::vector<std::string> csv = linhas(read_file(dir.file("placa_nos.csv")));
  ASSERT_EQ(csv.size(), 46u);
  EXPECT_EQ(csv[0], "x,y,temperatura_numerica,temperatura_analitica,erro_numerico");
  for (std::size_t k = 0; k < rel.nos.size(); ++k) {
    std::vector<double> v;
    std::istringstream in(csv[k + 1]);
    for (std::string c; std::getline(in, c, ',');) v.push_back(numero(c));
    const graficos::No& n = rel.nos[k];
    EXPECT_EQ(v, (std::vector<double>{n.x, n.y, n.numerica, n.analitica, n.erro})) << csv[k + 1];
  }

  // VTK: the grid, then the three fields, each with every node in the report's order.
  std::vector<std::string> vtk = linhas(read_file(dir.file("placa.vtk")));
  ASSERT_GE(vtk.size(), 10u);
  EXPECT_EQ(vtk[0], "# vtk DataFile Version 3.0");
  EXPECT_EQ(vtk[2], "ASCII");
  EXPECT_EQ(vtk[3], "DATASET STRUCTURED_POINTS");
  EXPECT_EQ(vtk[4], "DIMENSIONS 9 5 1");
  EXPECT_EQ(vtk[5], "ORIGIN 0 0 0");
  EXPECT_EQ(vtk[6], "SPACING 0.25 0.25 1");
  EXPECT_EQ(vtk[7], "POINT_DATA 45");
  ASSERT_EQ(vtk.size(), 8u + 3 * 47);
  const char* nomes[] = {"temperatura_numerica", "temperatura_analitica", "erro_numerico"};
  for (int c = 0; c < 3; ++c) {
    std::size_t base = 8 + 47 * static_cast<std::size_t>(c);
    EXPECT_EQ(vtk[base], std::string("SCALARS ") + nomes[c] + " double 1");
    EXPECT_EQ(vtk[base + 1], "LOOKUP_TABLE default");
    for (std::size_t k = 0; k < 45; ++k) {
      const graficos::No& n = rel.nos[k];
      double esperado = c == 0 ? n.numerica : c == 1 ? n.analitica : n.erro;
      EXPECT_EQ(numero(vtk[base + 2 + k]), esperado);
    }
  }
}

TEST(CommandLine, CentralNodeGivesHistoryAndCsvOnly) {
  TempDir dir;
  rodar_caso(dir, "centro.dat", 9, 5, 2);
  RunResult r = graficos_em(dir.path(), {"-o", "figs/sub", "centro.dat"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(linhas(r.out), (std::vector<std::string>{"figs/sub/centro_historico.png", "figs/sub/centro_historico.csv",
                                                     "figs/sub/centro_resumo.json", "figs/sub/centro_nos.csv"}));
  EXPECT_EQ(linhas(read_file(dir.file("figs/sub/centro_nos.csv"))).size(), 2u);
  EXPECT_FALSE(file_exists(dir.file("centro_historico.png")));
}

TEST(CommandLine, NeverWritesOverTheReport) {
  TempDir dir;
  rodar_caso(dir, "a.vtk", 5, 5, 1);  // its VTK export would be a.vtk itself
  std::string antes = read_file(dir.file("a.vtk"));
  RunResult r = graficos_em(dir.path(), {"a.vtk"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("próprio relatório"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("a.vtk")), antes);
  EXPECT_EQ(r.out, "");
}

TEST(CommandLine, UnwritableFolderIsAFailure) {
  // Below a file; and a file itself, the report even, which stays as it was.
  const std::pair<const char*, const char*> pastas[] = {{"arquivo/dentro", "calor2d-graficos: arquivo/dentro: "},
                                                        {"r.txt", "calor2d-graficos: r.txt: não é uma pasta\n"}};
  for (const auto& [pasta, mensagem] : pastas) {
    SCOPED_TRACE(pasta);
    TempDir dir;
    rodar_caso(dir, "r.txt", 5, 5, 1);
    testsupport::write_file(dir.file("arquivo"), "x");
    const std::string antes = read_file(dir.file("r.txt"));
    RunResult r = graficos_em(dir.path(), {"-o", pasta, "r.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(mensagem, 0), 0u) << r.err;
    EXPECT_EQ(read_file(dir.file("r.txt")), antes);
  }
}

TEST(CommandLine, LargeReportShowsProgress) {
  TempDir dir;
  rodar_caso(dir, "grande.txt", 400, 260, 1, 1);  // 104 000 nodes
  RunResult r = graficos_em(dir.path(), {"grande.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("lendo a solução: 50% ("), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("100%"), std::string::npos);
  EXPECT_NE(r.err.find("escrevendo grande.vtk"), std::string::npos);
  EXPECT_EQ(linhas(read_file(dir.file("grande_nos.csv"))).size(), 104001u);
}

namespace {

// `"key": value` lines of the summary, in order.
std::vector<std::pair<std::string, std::string>> campos_json(const std::string& json) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& l : linhas(json)) {
    std::string::size_type a = l.find('"'), b = l.find("\": ");
    if (a == std::string::npos || b == std::string::npos) continue;
    std::string v = l.substr(b + 3);
    if (!v.empty() && v.back() == ',') v.pop_back();
    out.push_back({l.substr(a + 1, b - a - 1), v});
  }
  return out;
}

std::vector<std::vector<std::string>> celulas(const std::string& csv) {
  std::vector<std::vector<std::string>> out;
  for (const std::string& l : linhas(csv)) {
    std::vector<std::string> c;
    std::istringstream in(l);
    for (std::string x; std::getline(in, x, ',');) c.push_back(x);
    out.push_back(c);
  }
  return out;
}

void rodar(const TempDir& dir, const std::string& caso) {
  testsupport::write_file(dir.file("entrada_geral.ent"), caso);
  ASSERT_EQ(testsupport::run_calor2d(dir.path()).status, 0);
}

}  // namespace

TEST(CommandLine, HistoryCsvAndSummaryHoldTheReportsValues) {
  struct Caso {
    int itmax, sol_mode, hist_step;
    const char* sol_mode_json;
    const char* hist_step_json;
    bool convergiu;
  } casos[] = {
      {5000, 1, 10, "1", "10", true},
      // Stopped at itmax, no listing, a stride beyond it: what the report does not tell is null.
      {30, 3, 100, "null", "null", false},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE("sol_mode " + std::to_string(c.sol_mode));
    TempDir dir;
    rodar(dir, testsupport::case_file("r.txt", "2.0", "1.0", 9, 5, c.itmax, "1.0d-8", c.sol_mode, c.hist_step));
    RunResult r = graficos_em(dir.path(), {"r.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    graficos::Relatorio rel;
    graficos::ErroLeitura erro;
    ASSERT_TRUE(graficos::ler_relatorio_texto(read_file(dir.file("r.txt")), rel, erro));

    auto hist = celulas(read_file(dir.file("r_historico.csv")));
    ASSERT_EQ(hist.size(), rel.historico.size() + 1);
    EXPECT_EQ(hist[0], (std::vector<std::string>{"k", "L1_L1_0", "L2_L2_0", "Linf_Linf_0"}));
    for (std::size_t k = 0; k < rel.historico.size(); ++k) {
      const graficos::LinhaHistorico& h = rel.historico[k];
      ASSERT_EQ(hist[k + 1].size(), 4u);
      EXPECT_EQ(hist[k + 1][0], std::to_string(h.k));
      EXPECT_EQ((std::vector<double>{numero(hist[k + 1][1]), numero(hist[k + 1][2]), numero(hist[k + 1][3])}),
                (std::vector<double>{h.L1, h.L2, h.Linf}));
    }

    auto json = campos_json(read_file(dir.file("r_resumo.json")));
    std::vector<std::string> chaves;
    for (const auto& kv : json) chaves.push_back(kv.first);
    EXPECT_EQ(chaves, (std::vector<std::string>{"Lx", "Ly", "Nx", "Ny", "itmax", "tol", "sol_mode", "hist_step", "it",
                                                "L1_it", "L1_it_L1_0", "L1_0", "L2_0", "Linf_0", "Tm_a", "Tm_n",
                                                "Tm_a_menos_Tm_n", "erro_max", "convergiu"}));
    std::map<std::string, std::string> v(json.begin(), json.end());
    const std::pair<const char*, double> reais[] = {{"Lx", rel.Lx},
                                                    {"Ly", rel.Ly},
                                                    {"tol", rel.tol},
                                                    {"L1_it", rel.L1_it},
                                                    {"L1_it_L1_0", rel.historico.back().L1},
                                                    {"L1_0", rel.L1_0},
                                                    {"L2_0", rel.L2_0},
                                                    {"Linf_0", rel.Linf_0},
                                                    {"Tm_a", rel.Tm_analitica},
                                                    {"Tm_n", rel.Tm_numerica},
                                                    {"Tm_a_menos_Tm_n", rel.Tm_erro}};
    for (const auto& [chave, esperado] : reais) EXPECT_EQ(numero(v[chave]), esperado) << chave;
    EXPECT_EQ(v["Nx"], "9");
    EXPECT_EQ(v["it"], std::to_string(rel.it));
    EXPECT_EQ(v["sol_mode"], c.sol_mode_json);
    EXPECT_EQ(v["hist_step"], c.hist_step_json);
    EXPECT_EQ(v["convergiu"], c.convergiu ? "true" : "false");
    double maior = 0;
    for (const graficos::No& n : rel.nos) maior = std::max(maior, std::fabs(n.erro));
    if (rel.nos.empty()) {
      EXPECT_EQ(v["erro_max"], "null");
    } else {
      EXPECT_EQ(numero(v["erro_max"]), maior);
    }
  }
}

TEST(RefinementStudy, SquarePlatesOnThreeGridsShowSecondOrder) {
  TempDir dir;
  for (int n : {41, 11, 21}) {
    const std::string nome = "r" + std::to_string(n) + ".txt";
    rodar(dir, testsupport::case_file(nome, "1.0", "1.0", n, n, 20000, "1.0d-13", 1, 100));
  }
  // Given in any order, without -o: the study goes beside its reports.
  RunResult r = graficos_em(dir.path(), {"-f", "ambos", "r41.txt", "r11.txt", "r21.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(linhas(r.out),
            (std::vector<std::string>{"convergencia_malha.csv", "convergencia_malha.png", "convergencia_malha.svg",
                                      "convergencia_historicos.png", "convergencia_historicos.svg"}));
  auto csv = celulas(read_file(dir.file("convergencia_malha.csv")));
  ASSERT_EQ(csv.size(), 4u);
  EXPECT_EQ(csv[0], (std::vector<std::string>{"dx", "dy", "Nx", "Ny", "it", "convergiu", "erro_max", "erro_rms",
                                              "erro_Tm", "ordem"}));
  const int grades[] = {11, 21, 41};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(grades[k]);
    const std::vector<std::string>& c = csv[static_cast<std::size_t>(k) + 1];
    ASSERT_EQ(c.size(), 10u);
    graficos::Relatorio rel;
    graficos::ErroLeitura erro;
    ASSERT_TRUE(
        graficos::ler_relatorio_texto(read_file(dir.file("r" + std::to_string(grades[k]) + ".txt")), rel, erro));
    EXPECT_EQ(numero(c[0]), 1.0 / (grades[k] - 1.0));
    EXPECT_EQ(c[2], std::to_string(grades[k]));
    EXPECT_EQ(c[4], std::to_string(rel.it));
    EXPECT_EQ(c[5], "1");
    double maior = 0, soma = 0;
    for (const graficos::No& n : rel.nos) maior = std::max(maior, std::fabs(n.erro)), soma += n.erro * n.erro;
    EXPECT_EQ(numero(c[6]), maior);
    EXPECT_EQ(numero(c[7]), std::sqrt(soma / static_cast<double>(rel.nos.size())));
    EXPECT_EQ(numero(c[8]), std::fabs(rel.Tm_erro));
    if (k == 0) {
      EXPECT_EQ(c[9], "nan");
    } else {
      EXPECT_NEAR(numero(c[9]), 2.0, 0.05);  // five-point scheme: second order
    }
  }
  Png png = decodificar(dir.file("convergencia_malha.png"), 95, 80, 660, 495);
  EXPECT_EQ(png.largura, graficos::tamanho_estudo().largura);
  EXPECT_GT(png.coloridos, 200);
}

TEST(RefinementStudy, RefusesReportsItCannotCompareAndWritesNothing) {
  const std::string base = testsupport::case_file("a.txt", "1.0", "1.0", 9, 9, 5000, "1.0d-8", 1, 50);
  struct Caso {
    const char* nome;
    std::string segundo;   // the second report's case
    std::string mensagem;  // after "calor2d-graficos: b.txt:"; "LL" stands for the listing's line
  } casos[] = {
      {"another width", testsupport::case_file("b.txt", "2.0", "1.0", 17, 17, 5000, "1.0d-8", 1, 50),
       "7: Lx = 2.000000000000000E+00, mas a.txt tem Lx = 1.000000000000000E+00; o estudo de malha precisa da mesma "
       "placa"},
      {"another height", testsupport::case_file("b.txt", "1.0", "0.5", 17, 17, 5000, "1.0d-8", 1, 50),
       "8: Ly = 5.000000000000000E-01, mas a.txt tem Ly = 1.000000000000000E+00; o estudo de malha precisa da mesma "
       "placa"},
      {"no listing", testsupport::case_file("b.txt", "1.0", "1.0", 17, 17, 5000, "1.0d-8", 3, 50),
       "LL: o relatório não lista nenhum nó; o estudo de malha precisa do erro nos nós (sol_mode 1 ou 2)"},
      {"other nodes", testsupport::case_file("b.txt", "1.0", "1.0", 17, 17, 5000, "1.0d-8", 2, 50),
       "LL: lista só o nó central, e a.txt lista todos os nós; o estudo compara o erro sobre os mesmos nós (use o "
       "mesmo sol_mode)"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    TempDir dir;
    rodar(dir, base);
    rodar(dir, c.segundo);
    std::string b = read_file(dir.file("b.txt"));
    graficos::Relatorio rel;
    graficos::ErroLeitura erro;
    ASSERT_TRUE(graficos::ler_relatorio_texto(b, rel, erro));
    // The line named is the one after the solution heading.
    std::vector<std::string> registros = linhas(b);
    ASSERT_GE(registros.size(), static_cast<std::size_t>(rel.linha_listagem));
    EXPECT_EQ(registros[static_cast<std::size_t>(rel.linha_listagem) - 2].rfind("    Posi", 0), 0u);
    std::string mensagem = c.mensagem;
    if (mensagem.rfind("LL", 0) == 0) mensagem = std::to_string(rel.linha_listagem) + mensagem.substr(2);
    RunResult r = graficos_em(dir.path(), {"-o", "estudo", "a.txt", "b.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "calor2d-graficos: b.txt:" + mensagem + "\n");
    EXPECT_FALSE(file_exists(dir.file("estudo")));
  }
  // One report under two names is one grid, not a study.
  TempDir dir;
  rodar(dir, base);
  RunResult r = graficos_em(dir.path(), {"-o", "estudo", "a.txt", "./a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "calor2d-graficos: ./a.txt: é o mesmo relatório que a.txt; o estudo de malha compara malhas "
            "diferentes\n");
  EXPECT_FALSE(file_exists(dir.file("estudo")));
}

TEST(RefinementStudy, NeverWritesOverAReportOfTheStudy) {
  TempDir dir;
  rodar(dir, testsupport::case_file("convergencia_malha.csv", "1.0", "1.0", 9, 9, 5000, "1.0d-8", 1, 50));
  rodar(dir, testsupport::case_file("b.txt", "1.0", "1.0", 17, 17, 5000, "1.0d-8", 1, 50));
  std::string antes = read_file(dir.file("convergencia_malha.csv"));
  RunResult r = graficos_em(dir.path(), {"convergencia_malha.csv", "b.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("próprio relatório"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_file(dir.file("convergencia_malha.csv")), antes);
  EXPECT_FALSE(file_exists(dir.file("convergencia_malha.png")));
}

TEST(Documentation, ManualPageAndReadmeNameEveryFileColumnAndKeyWritten) {
  // What the companion writes for a full listing and for a study, each file by
  // the part of its name after the stem ("placa_perfis.svg" is "_perfis", the
  // figures' extensions coming from -f), each CSV column and summary key by name.
  TempDir dir;
  rodar_caso(dir, "placa.txt", 9, 5, 1);
  testsupport::write_file(dir.file("entrada_geral.ent"),
                          testsupport::case_file("fina.txt", "2.0", "1.0", 17, 9, 5000, "1.0d-8", 1, 10));
  ASSERT_EQ(testsupport::run_calor2d(dir.path()).status, 0);
  RunResult um = graficos_em(dir.path(), {"placa.txt"});
  RunResult estudo = graficos_em(dir.path(), {"-o", "estudo", "placa.txt", "fina.txt"});
  ASSERT_EQ(um.status, 0) << um.err;
  ASSERT_EQ(estudo.status, 0) << estudo.err;
  std::vector<std::string> nomes;
  for (std::string f : linhas(um.out)) {
    f = f.substr(std::string("placa").size());
    nomes.push_back(f.substr(0, f.rfind('.')));
    if (f.rfind(".csv") != std::string::npos) {
      std::istringstream cabecalho(linhas(read_file(dir.file("placa" + f))).front());
      for (std::string c; std::getline(cabecalho, c, ',');) nomes.push_back(c);
    }
  }
  for (const std::string& l : linhas(read_file(dir.file("placa_resumo.json")))) {
    std::string::size_type a = l.find('"');
    if (a != std::string::npos) nomes.push_back(l.substr(a + 1, l.find('"', a + 1) - a - 1));
  }
  for (const std::string& f : linhas(estudo.out)) {
    std::string::size_type barra = f.find('/');
    nomes.push_back(f.substr(barra + 1, f.rfind('.') - barra - 1));
  }
  std::istringstream colunas(linhas(read_file(dir.file("estudo/convergencia_malha.csv"))).front());
  for (std::string c; std::getline(colunas, c, ',');) nomes.push_back(c);
  ASSERT_GT(nomes.size(), 40u);

  const std::string manual = read_file(std::string(CALOR2D_SOURCE_DIR) + "/docs/man/calor2d-graficos.1");
  const std::string readme = read_file(std::string(CALOR2D_SOURCE_DIR) + "/README.md");
  for (const std::string& n : nomes) {
    if (n.empty()) continue;  // the VTK file is the stem itself
    std::string roff;         // the manual page writes "-" as "\-"
    for (char c : n) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(manual.find(roff), std::string::npos) << n << " is not in calor2d-graficos.1";
    EXPECT_NE(readme.find(n), std::string::npos) << n << " is not in the README";
  }
}
