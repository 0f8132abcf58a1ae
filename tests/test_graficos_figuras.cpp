// The figures as a person sees them: each one rendered to a file, then decoded
// (PNG) or parsed (SVG) and looked at where the plot and the plate are.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graficos/desenho.h"
#include "graficos/eixos.h"
#include "graficos/estudo.h"
#include "graficos/figuras_estudo.h"
#include "graficos/isotermas.h"
#include "graficos/perfis.h"
#include "graficos/figuras.h"
#include "graficos/relatorio.h"
#include "support.h"

using graficos::Campo;
using graficos::Formato;
using graficos::Relatorio;

namespace {

Relatorio caso(const std::string& Lx, const std::string& Ly, int Nx, int Ny, int sol_mode, int itmax = 5000) {
  testsupport::TempDir dir;
  testsupport::write_file(dir.file("entrada_geral.ent"),
                          testsupport::case_file("r.txt", Lx, Ly, Nx, Ny, itmax, "1.0d-8", sol_mode, 25));
  EXPECT_EQ(testsupport::run_calor2d(dir.path()).status, 0);
  Relatorio rel;
  graficos::ErroLeitura erro;
  EXPECT_TRUE(graficos::ler_relatorio_texto(testsupport::read_file(dir.file("r.txt")), rel, erro));
  return rel;
}

// A decoded PNG and its pixels as 0xRRGGBB.
struct Imagem {
  int largura = 0, altura = 0;
  std::vector<std::uint32_t> px;
  explicit Imagem(const std::string& caminho) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(caminho.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
      largura = cairo_image_surface_get_width(s);
      altura = cairo_image_surface_get_height(s);
      const unsigned char* d = cairo_image_surface_get_data(s);
      int passo = cairo_image_surface_get_stride(s);
      for (int y = 0; y < altura; ++y)
        for (int x = 0; x < largura; ++x)
          px.push_back(reinterpret_cast<const std::uint32_t*>(d + y * passo)[x] & 0xFFFFFF);
    }
    cairo_surface_destroy(s);
  }
  std::uint32_t operator()(int x, int y) const { return px[static_cast<std::size_t>(y * largura + x)]; }
};

// Neither white, black nor grey: a colour of a map or a curve.
bool colorido(std::uint32_t c) {
  int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  return std::max({r, g, b}) - std::min({r, g, b}) > 40;
}

int distancia(std::uint32_t c, graficos::Cor e) {
  auto canal = [](double v) { return static_cast<int>(std::lround(v * 255)); };
  return std::abs(static_cast<int>(c >> 16 & 0xFF) - canal(e.r)) +
         std::abs(static_cast<int>(c >> 8 & 0xFF) - canal(e.g)) + std::abs(static_cast<int>(c & 0xFF) - canal(e.b));
}

std::string gravar(const testsupport::TempDir& dir, Formato f, const std::string& nome, graficos::Tamanho t,
                   const std::function<void(cairo_t*)>& desenhar) {
  std::string caminho = dir.file(nome);
  std::string erro;
  EXPECT_TRUE(graficos::gravar_figura(f, caminho, t.largura, t.altura, desenhar, erro)) << erro;
  return caminho;
}

// Tags opened and closed in order, ignoring the XML declaration, comments and
// self-closing tags: enough to tell a whole SVG from a cut or garbled one.
bool tags_equilibradas(const std::string& s, std::vector<std::string>& pilha_final) {
  std::vector<std::string> pilha;
  for (std::size_t i = s.find('<'); i != std::string::npos; i = s.find('<', i + 1)) {
    std::size_t fim = s.find('>', i);
    if (fim == std::string::npos) return false;
    std::string tag = s.substr(i + 1, fim - i - 1);
    if (tag.empty() || tag[0] == '?' || tag[0] == '!' || tag.back() == '/') continue;
    std::string nome = tag.substr(tag[0] == '/' ? 1 : 0, tag.find_first_of(" \n\t/", 1) - (tag[0] == '/' ? 1 : 0));
    if (tag[0] != '/') {
      pilha.push_back(nome);
    } else if (pilha.empty() || pilha.back() != nome) {
      return false;
    } else {
      pilha.pop_back();
    }
  }
  pilha_final = pilha;
  return pilha.empty();
}

}  // namespace

// Pixels of the warning line under the subtitle ("não convergiu ...", in red).
int vermelhos_do_aviso(const Imagem& im) {
  int n = 0;
  for (int y = 48; y < 70; ++y)
    for (int x = 0; x < im.largura; ++x) n += distancia(im(x, y), graficos::cor_aviso) < 90;
  return n;
}

TEST(HistoryFigure, CurvesInTheBoxLegendBesideItToleranceOnL1AboveTheFrame) {
  const graficos::Cor L1{0.12, 0.47, 0.71}, L2{1.0, 0.50, 0.05}, Linf{0.17, 0.63, 0.17};
  const graficos::Cor curvas[3] = {L1, L2, Linf};
  // Converged; and stopped at itmax with tol = 1e-8 the lowest value of the
  // figure, a whole decade, which once put the line on the frame.
  for (int itmax : {5000, 40}) {
    SCOPED_TRACE("itmax " + std::to_string(itmax));
    Relatorio rel = caso("1.0", "1.0", 15, 15, 2, itmax);
    graficos::Resumo r = graficos::resumir(rel);
    ASSERT_EQ(r.convergiu, itmax == 5000);
    testsupport::TempDir dir;
    graficos::Tamanho t = graficos::tamanho_historico();
    Imagem im(gravar(dir, Formato::png, "h.png", t, [&](cairo_t* cr) { graficos::desenhar_historico(cr, rel, r); }));
    ASSERT_EQ(im.largura, t.largura);
    ASSERT_EQ(im.altura, t.altura);
    const int x0 = 95, y0 = 80, x1 = 660, y1 = t.altura - 65;  // the plot box
    int cores[3] = {0, 0, 0};
    for (int y = y0 + 2; y < y1 - 1; ++y)
      for (int x = x0 + 2; x < x1 - 1; ++x)
        for (int k = 0; k < 3; ++k) cores[k] += distancia(im(x, y), curvas[k]) < 30;
    for (int k = 0; k < 3; ++k) EXPECT_GT(cores[k], 100) << "curve " << k;
    // The tolerance: a dashed row of the L1 colour across the box, clear of the frame.
    int linha_tol = -1;
    for (int y = y0 + 2; y < y1 - 1 && linha_tol < 0; ++y) {
      int n = 0;
      for (int x = x0 + 2; x < x1 - 1; ++x) n += distancia(im(x, y), L1) < 30;
      if (n > (x1 - x0) * 2 / 5) linha_tol = y;
    }
    EXPECT_GT(linha_tol, y0 + 5);
    EXPECT_LT(linha_tol, y1 - 5);
    // The legend's samples of L2 and Linf lie right of the box, not over the curves.
    int fora[2] = {0, 0};
    for (int y = y0; y < y0 + 120; ++y)
      for (int x = x1 + 10; x < t.largura; ++x) {
        fora[0] += distancia(im(x, y), L2) < 30;
        fora[1] += distancia(im(x, y), Linf) < 30;
      }
    EXPECT_GT(fora[0], 20);
    EXPECT_GT(fora[1], 20);
    EXPECT_EQ(vermelhos_do_aviso(im) > 20, !r.convergiu);
  }
}

TEST(HistoryFigure, SingleLineAndZeroRatiosStillDraw) {
  Relatorio rel = caso("1.0", "1.0", 5, 5, 3);
  rel.historico.resize(1);  // it = 0: one point
  rel.it = 0;
  rel.historico[0].L2 = 0;  // cannot sit on a log axis: left out, not a crash
  rel.tol = -1;             // no tolerance line either
  testsupport::TempDir dir;
  Imagem im(gravar(dir, Formato::png, "h.png", graficos::tamanho_historico(),
                   [&](cairo_t* cr) { graficos::desenhar_historico(cr, rel, graficos::resumir(rel)); }));
  EXPECT_EQ(im.largura, graficos::tamanho_historico().largura);
}

TEST(HeatMap, PlateKeepsItsAspectRatioAndItsColours) {
  Relatorio rel = caso("3.0", "1.0", 31, 11, 1);
  testsupport::TempDir dir;
  graficos::Tamanho t = graficos::tamanho_mapa(rel);
  // Both temperature fields: the same plate, hot along the middle of the top edge
  // (T = 1, the top of the scale) and cold along the bottom.
  for (Campo campo : {Campo::numerica, Campo::analitica}) {
    SCOPED_TRACE(campo == Campo::numerica ? "numerica" : "analitica");
    Imagem im(gravar(dir, Formato::png, "m.png", t,
                     [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, graficos::resumir(rel), campo); }));
    ASSERT_EQ(im.largura, t.largura);
    ASSERT_EQ(im.altura, t.altura);
    // The plate: the coloured run along its middle row and its middle column.
    // Its centre has a colour of the map; find the plate by walking out from a
    // point known to be inside it (just right of the left margin, mid-height).
    // Isotherms and their labels cross the plate: gaps of a few pixels are part of it.
    auto ate_a_borda = [&](int x, int y, int dx, int dy) {
      for (;;) {
        int salto = 1;
        while (salto <= 26) {
          int u = x + salto * dx, v = y + salto * dy;
          if (u < 0 || v < 0 || u >= im.largura || v >= im.altura) return dx != 0 ? x : y;
          if (colorido(im(u, v))) break;
          ++salto;
        }
        if (salto > 26) return dx != 0 ? x : y;
        x += salto * dx, y += salto * dy;
      }
    };
    int ymeio = -1, x0 = 110;
    for (int y = 0; y + 20 < im.altura && ymeio < 0; ++y)
      if (colorido(im(x0, y)) && colorido(im(x0, y + 20))) ymeio = y + 20;
    ASSERT_GE(ymeio, 0);
    int xa = ate_a_borda(x0, ymeio, -1, 0), xb = ate_a_borda(x0, ymeio, 1, 0);
    int xm = (xa + xb) / 2;
    int ya = ate_a_borda(xm, ymeio, 0, -1), yb = ate_a_borda(xm, ymeio, 0, 1);
    double largura = xb - xa + 1, altura = yb - ya + 1;
    EXPECT_NEAR(largura / altura, 3.0, 0.06) << largura << " x " << altura;
    EXPECT_LT(distancia(im(xm, ya + 1), graficos::mapa_sequencial(1.0)), 40);
    EXPECT_LT(distancia(im(xm, yb - 1), graficos::mapa_sequencial(0.0)), 40);
  }
}

TEST(HeatMap, ErrorMapIsWhiteOnTheFixedEdges) {
  Relatorio rel = caso("1.0", "1.0", 11, 11, 1);
  testsupport::TempDir dir;
  graficos::Tamanho t = graficos::tamanho_mapa(rel);
  Imagem im(gravar(dir, Formato::png, "e.png", t,
                   [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, graficos::resumir(rel), Campo::erro); }));
  ASSERT_EQ(im.largura, t.largura);
  // The centre of the plate carries the largest error, far from white.
  int cx = 100 + 260, cy = 80 + 260;
  EXPECT_TRUE(colorido(im(cx, cy)));
  // Just inside the left edge (x = 0, error 0): white, the middle of the diverging map.
  EXPECT_LT(distancia(im(102, cy), graficos::mapa_divergente(0.5)), 40);
}

TEST(HeatMap, HugeGridsAreSampledNotRefused) {
  Relatorio rel;
  rel.titulo = "t";
  rel.Nx = 40000, rel.Ny = 2, rel.listagem = graficos::Listagem::completa;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < rel.Nx; ++i) rel.nos.push_back({i * 1e-4, j * 1.0, 1.0 * j, 1.0 * j, 0});
  rel.nos[5].numerica = NAN;  // shown in grey, not a failure
  ASSERT_EQ(graficos::motivo_sem_mapa(rel), "");
  testsupport::TempDir dir;
  Imagem im(gravar(dir, Formato::png, "g.png", graficos::tamanho_mapa(rel),
                   [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, graficos::resumir(rel), Campo::numerica); }));
  EXPECT_GT(im.largura, 500);
}

TEST(HeatMap, ListingsThatAreNoPlateAreNamed) {
  Relatorio rel = caso("1.0", "1.0", 5, 5, 2);
  EXPECT_NE(graficos::motivo_sem_mapa(rel), "");
  rel = caso("1.0", "1.0", 5, 5, 1);
  EXPECT_EQ(graficos::motivo_sem_mapa(rel), "");
  for (graficos::No& n : rel.nos) n.x = 0;
  EXPECT_NE(graficos::motivo_sem_mapa(rel), "");
}

TEST(SvgFigures, AreWholeDocumentsOfTheirSize) {
  Relatorio rel = caso("2.0", "1.0", 9, 5, 1);
  testsupport::TempDir dir;
  std::string h =
      testsupport::read_file(gravar(dir, Formato::svg, "h.svg", graficos::tamanho_historico(), [&](cairo_t* cr) {
        graficos::desenhar_historico(cr, rel, graficos::resumir(rel));
      }));
  graficos::Tamanho t = graficos::tamanho_mapa(rel);
  std::string m = testsupport::read_file(gravar(dir, Formato::svg, "m.svg", t, [&](cairo_t* cr) {
    graficos::desenhar_mapa(cr, rel, graficos::resumir(rel), Campo::analitica);
  }));
  for (const std::string* s : {&h, &m}) {
    EXPECT_EQ(s->rfind("<?xml", 0), 0u);
    std::vector<std::string> resto;
    EXPECT_TRUE(tags_equilibradas(*s, resto)) << (resto.empty() ? "" : resto.back());
    EXPECT_NE(s->find("<path"), std::string::npos);
  }
  graficos::Tamanho th = graficos::tamanho_historico();
  EXPECT_NE(h.find("width=\"" + std::to_string(th.largura) + "pt\" height=\"" + std::to_string(th.altura) + "pt\""),
            std::string::npos);
  EXPECT_NE(m.find("width=\"" + std::to_string(t.largura) + "pt\" height=\"" + std::to_string(t.altura) + "pt\""),
            std::string::npos);
  EXPECT_NE(m.find("<image"), std::string::npos);  // the field
}

TEST(FigureFiles, FailedDrawingLeavesTheOlderFileAndNoTemporary) {
  testsupport::TempDir dir;
  std::string caminho = dir.file("f.png");
  testsupport::write_file(caminho, "older");
  std::string erro;
  for (Formato f : {Formato::png, Formato::svg}) {
    EXPECT_FALSE(graficos::gravar_figura(
        f, caminho, 100, 100, [](cairo_t* cr) { cairo_restore(cr); }, erro));
    EXPECT_NE(erro.find("f.png"), std::string::npos);
    EXPECT_EQ(testsupport::read_file(caminho), "older");
  }
  EXPECT_FALSE(graficos::gravar_figura(
      Formato::png, dir.file("nao-existe/f.png"), 10, 10, [](cairo_t*) {}, erro));
  int arquivos = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++arquivos;
  EXPECT_EQ(arquivos, 1);
}

TEST(Ticks, EveryAxisLabelsAllItsTicksInOneFormat) {
  struct Caso {
    double a, b;
    int fator;
    std::vector<std::string> rotulos;
  } casos[] = {
      {0, 1, 0, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
      {0, 3, 0, {"0.0", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0"}},
      {0, 684, 0, {"0", "200", "400", "600"}},
      // Small steps: one power of ten for the axis, never "0.0001" beside "5e-05".
      {-7.1e-4, 7.1e-4, -4, {"-5", "0", "5"}},
      {-3.1e-4, 3.1e-4, -4, {"-2", "0", "2"}},
      {0, 1.2e-4, -4, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0", "1.2"}},
      {0, 3e6, 6, {"0.0", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0"}},
  };
  for (const Caso& c : casos) {
    graficos::Marcas m = graficos::marcas_lineares(c.a, c.b, 6);
    std::vector<std::string> rotulos;
    for (const graficos::Marca& k : m.lista) rotulos.push_back(k.rotulo);
    EXPECT_EQ(m.fator, c.fator) << c.a << " .. " << c.b;
    EXPECT_EQ(rotulos, c.rotulos) << c.a << " .. " << c.b;
  }
  // A log axis over less than a decade labels 1, 2, 5 in one fixed format.
  graficos::Marcas m = graficos::marcas_log(0.018, 0.14, 10);
  std::vector<std::string> rotulos;
  for (const graficos::Marca& k : m.lista)
    if (!k.rotulo.empty()) rotulos.push_back(k.rotulo);
  EXPECT_EQ(rotulos, (std::vector<std::string>{"0.02", "0.05", "0.10"}));
}

TEST(Isotherms, LevelCurvesFollowTheFieldAndSaddlesFollowTheirCentre) {
  // T = x on a 5 x 3 grid of unit cells: the level 1.5 is the line x = 1.5.
  Relatorio rel;
  rel.Nx = 5, rel.Ny = 3, rel.listagem = graficos::Listagem::completa;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 5; ++i) rel.nos.push_back({1.0 * i, 1.0 * j, 1.0 * i, 1.0 * i, 0});
  std::vector<graficos::Segmento> s = graficos::isolinha(rel, Campo::numerica, 1.5);
  ASSERT_EQ(s.size(), 2u);
  for (const graficos::Segmento& g : s) {
    EXPECT_EQ(g.x0, 1.5);
    EXPECT_EQ(g.x1, 1.5);
    EXPECT_EQ(std::fabs(g.y1 - g.y0), 1.0);
  }
  EXPECT_TRUE(graficos::isolinha(rel, Campo::numerica, 7).empty());
  // Every second column: cells 0..2 and 2..4, the line where it was.
  s = graficos::isolinha(rel, Campo::numerica, 1.5, 2, 1);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].x0, 1.5);
  rel.nos[7].numerica = NAN;  // the cells around a NaN node are left out
  EXPECT_EQ(graficos::isolinha(rel, Campo::numerica, 1.5).size(), 0u);

  // One cell, 1 at two opposite corners and 0 at the others: the centre (0.5)
  // is at or above the level 0.5 and joins the high corners, cutting the low
  // ones off; at level 0.6 it is below and the high corners are cut off.
  Relatorio sela;
  sela.Nx = 2, sela.Ny = 2, sela.listagem = graficos::Listagem::completa;
  sela.nos = {{0, 0, 1, 1, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {1, 1, 1, 1, 0}};
  for (double nivel : {0.5, 0.6}) {
    std::vector<graficos::Segmento> g = graficos::isolinha(sela, Campo::numerica, nivel);
    ASSERT_EQ(g.size(), 2u);
    double d = 1 - nivel;  // distance of each crossing from the high corner before it
    bool corta_baixos = nivel == 0.5;
    // The first segment cuts off corner (1, 0) or corner (0, 0).
    double xm = (g[0].x0 + g[0].x1) / 2, ym = (g[0].y0 + g[0].y1) / 2;
    EXPECT_EQ(xm > 0.5 && ym < 0.5, corta_baixos) << nivel << " " << d;
    EXPECT_EQ(xm < 0.5 && ym < 0.5, !corta_baixos) << nivel;
  }
}

// Runs of rows of column `x` between y0 and y1 where a thin dark line crosses:
// a quarter darker than the pixels three rows above and below.
int linhas_escuras(const Imagem& im, int x, int y0, int y1) {
  auto luz = [&](int y) {
    std::uint32_t c = im(x, y);
    return static_cast<int>((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF));
  };
  int n = 0;
  bool dentro = false;
  for (int y = y0 + 3; y < y1 - 3; ++y) {
    bool escura = luz(y) * 4 < 3 * std::min(luz(y - 3), luz(y + 3));
    n += escura && !dentro;
    dentro = escura;
  }
  return n;
}

TEST(HeatMap, TemperatureMapsCarryTheirIsothermsTheErrorMapNone) {
  Relatorio rel = caso("1.0", "1.0", 21, 21, 1);
  graficos::Resumo r = graficos::resumir(rel);
  testsupport::TempDir dir;
  graficos::Tamanho t = graficos::tamanho_mapa(rel);
  // The plate is 520 x 520 from (100, 80); the column at x = 0.6 m is crossed
  // once by each level 0.1 .. 0.9, since sin(0.6 pi) > 0.9.
  const int x = 100 + 312;
  for (Campo campo : {Campo::numerica, Campo::analitica, Campo::erro}) {
    Imagem im(gravar(dir, Formato::png, "m.png", t, [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, r, campo); }));
    EXPECT_EQ(linhas_escuras(im, x, 81, 599), campo == Campo::erro ? 0 : 9) << static_cast<int>(campo);
  }
}

TEST(Profiles, CentreLinesAreTheReportsCentralNodesOnesAndBothPanelsDraw) {
  // An even count: the nearest line below the middle, like the report's central node.
  for (int n : {20, 21}) {
    Relatorio rel = caso("1.0", "1.0", n, n, 1);
    std::size_t c = static_cast<std::size_t>((n + 1) / 2 - 1);
    EXPECT_EQ(graficos::indice_mais_proximo(rel, 0, 1, static_cast<std::size_t>(n), &graficos::No::x, 0.5), c);
    EXPECT_EQ(graficos::indice_mais_proximo(rel, 0, static_cast<std::size_t>(n), static_cast<std::size_t>(n),
                                            &graficos::No::y, 0.5),
              c);
  }
  Relatorio rel = caso("2.0", "1.0", 21, 11, 1);
  testsupport::TempDir dir;
  graficos::Tamanho t = graficos::tamanho_perfis();
  Imagem im(gravar(dir, Formato::png, "p.png", t,
                   [&](cairo_t* cr) { graficos::desenhar_perfis(cr, rel, graficos::resumir(rel)); }));
  ASSERT_EQ(im.largura, t.largura);
  // Each panel holds the numerical curve and the error curve.
  for (auto [x0, x1] : {std::pair{85, 440}, std::pair{605, 960}}) {
    int numerica = 0, erro = 0;
    for (int y = 100; y < t.altura - 150; ++y)
      for (int x = x0; x < x1; ++x) {
        numerica += distancia(im(x, y), {0.12, 0.47, 0.71}) < 30;
        erro += distancia(im(x, y), {0.84, 0.15, 0.16}) < 30;
      }
    EXPECT_GT(numerica, 200) << x0;
    EXPECT_GT(erro, 200) << x0;
  }
}

TEST(Subtitles, EveryFigureOfARunThatStoppedShortSaysSo) {
  for (int itmax : {5000, 30}) {
    SCOPED_TRACE("itmax " + std::to_string(itmax));
    std::vector<Relatorio> rels = {caso("1.0", "1.0", 9, 9, 1, itmax), caso("1.0", "1.0", 17, 17, 1, itmax)};
    graficos::Resumo r = graficos::resumir(rels[0]);
    std::vector<graficos::Malha> malhas;
    std::string erro;
    ASSERT_TRUE(graficos::montar_estudo(rels, {"a.txt", "b.txt"}, malhas, erro)) << erro;
    const Relatorio& rel = rels[0];
    struct Figura {
      const char* nome;
      graficos::Tamanho t;
      std::function<void(cairo_t*)> desenhar;
    } figuras[] = {
        {"historico", graficos::tamanho_historico(), [&](cairo_t* cr) { graficos::desenhar_historico(cr, rel, r); }},
        {"numerica", graficos::tamanho_mapa(rel),
         [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, r, Campo::numerica); }},
        {"analitica", graficos::tamanho_mapa(rel),
         [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, r, Campo::analitica); }},
        {"erro", graficos::tamanho_mapa(rel), [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, r, Campo::erro); }},
        {"perfis", graficos::tamanho_perfis(), [&](cairo_t* cr) { graficos::desenhar_perfis(cr, rel, r); }},
        {"estudo", graficos::tamanho_estudo(), [&](cairo_t* cr) { graficos::desenhar_estudo(cr, malhas); }},
        {"historicos", graficos::tamanho_estudo(), [&](cairo_t* cr) { graficos::desenhar_historicos(cr, malhas); }},
    };
    testsupport::TempDir dir;
    for (const Figura& f : figuras) {
      Imagem im(gravar(dir, Formato::png, std::string(f.nome) + ".png", f.t, f.desenhar));
      ASSERT_EQ(im.largura, f.t.largura) << f.nome;
      EXPECT_EQ(vermelhos_do_aviso(im) > 20, itmax == 30) << f.nome;
    }
  }
}
