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
#include "graficos/figuras.h"
#include "graficos/relatorio.h"
#include "support.h"

using graficos::Campo;
using graficos::Formato;
using graficos::Relatorio;

namespace {

Relatorio caso(const std::string& Lx, const std::string& Ly, int Nx, int Ny, int sol_mode) {
  testsupport::TempDir dir;
  testsupport::write_file(dir.file("entrada_geral.ent"),
                          testsupport::case_file("r.txt", Lx, Ly, Nx, Ny, 5000, "1.0d-8", sol_mode, 25));
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

TEST(HistoryFigure, PngShowsTheThreeCurvesAndTheTolerance) {
  Relatorio rel = caso("1.0", "1.0", 15, 15, 2);
  testsupport::TempDir dir;
  std::string png = gravar(dir, Formato::png, "h.png", graficos::tamanho_historico(),
                           [&](cairo_t* cr) { graficos::desenhar_historico(cr, rel); });
  Imagem im(png);
  ASSERT_EQ(im.largura, 900);
  ASSERT_EQ(im.altura, 560);
  // Colours of the curves and of the tolerance line appear inside the plot box.
  int l1 = 0, l2 = 0, linf = 0, tol = 0;
  for (int y = 80; y < 490; ++y)
    for (int x = 105; x < 860; ++x) {
      std::uint32_t c = im(x, y);
      l1 += distancia(c, {0.12, 0.47, 0.71}) < 30;
      l2 += distancia(c, {1.0, 0.50, 0.05}) < 30;
      linf += distancia(c, {0.17, 0.63, 0.17}) < 30;
      tol += distancia(c, {0.84, 0.15, 0.16}) < 30;
    }
  EXPECT_GT(l1, 300);
  EXPECT_GT(l2, 300);
  EXPECT_GT(linf, 300);
  EXPECT_GT(tol, 200);
  // The first point (ratio 1 at iteration 0) sits at the top left of the box.
  bool canto = false;
  for (int y = 70; y < 85; ++y)
    for (int x = 95; x < 110; ++x) canto = canto || colorido(im(x, y));
  EXPECT_TRUE(canto);
}

TEST(HistoryFigure, SingleLineAndZeroRatiosStillDraw) {
  Relatorio rel = caso("1.0", "1.0", 5, 5, 3);
  rel.historico.resize(1);  // it = 0: one point
  rel.it = 0;
  rel.historico[0].L2 = 0;  // cannot sit on a log axis: left out, not a crash
  rel.tol = -1;             // no tolerance line either
  testsupport::TempDir dir;
  Imagem im(gravar(dir, Formato::png, "h.png", graficos::tamanho_historico(),
                   [&](cairo_t* cr) { graficos::desenhar_historico(cr, rel); }));
  EXPECT_EQ(im.largura, 900);
}

TEST(HeatMap, PlateKeepsItsAspectRatioAndItsColours) {
  Relatorio rel = caso("3.0", "1.0", 31, 11, 1);
  testsupport::TempDir dir;
  graficos::Tamanho t = graficos::tamanho_mapa(rel);
  // Both temperature fields: the same plate, hot along the middle of the top edge
  // (T = 1, the top of the scale) and cold along the bottom.
  for (Campo campo : {Campo::numerica, Campo::analitica}) {
    SCOPED_TRACE(campo == Campo::numerica ? "numerica" : "analitica");
    Imagem im(gravar(dir, Formato::png, "m.png", t, [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, campo); }));
    ASSERT_EQ(im.largura, t.largura);
    ASSERT_EQ(im.altura, t.altura);
    // The plate: the coloured run along its middle row and its middle column.
    // Its centre has a colour of the map; find the plate by walking out from a
    // point known to be inside it (just right of the left margin, mid-height).
    int ymeio = -1, x0 = 110;
    for (int y = 0; y + 20 < im.altura && ymeio < 0; ++y)
      if (colorido(im(x0, y)) && colorido(im(x0, y + 20))) ymeio = y + 20;
    ASSERT_GE(ymeio, 0);
    int xa = x0, xb = x0;
    while (xa > 0 && colorido(im(xa - 1, ymeio))) --xa;
    while (xb + 1 < im.largura && colorido(im(xb + 1, ymeio))) ++xb;
    int xm = (xa + xb) / 2, ya = ymeio, yb = ymeio;
    while (ya > 0 && colorido(im(xm, ya - 1))) --ya;
    while (yb + 1 < im.altura && colorido(im(xm, yb + 1))) ++yb;
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
  Imagem im(gravar(dir, Formato::png, "e.png", t, [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, Campo::erro); }));
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
                   [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, Campo::numerica); }));
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
  std::string h = testsupport::read_file(gravar(dir, Formato::svg, "h.svg", graficos::tamanho_historico(),
                                                [&](cairo_t* cr) { graficos::desenhar_historico(cr, rel); }));
  graficos::Tamanho t = graficos::tamanho_mapa(rel);
  std::string m = testsupport::read_file(
      gravar(dir, Formato::svg, "m.svg", t, [&](cairo_t* cr) { graficos::desenhar_mapa(cr, rel, Campo::analitica); }));
  for (const std::string* s : {&h, &m}) {
    EXPECT_EQ(s->rfind("<?xml", 0), 0u);
    std::vector<std::string> resto;
    EXPECT_TRUE(tags_equilibradas(*s, resto)) << (resto.empty() ? "" : resto.back());
    EXPECT_NE(s->find("<path"), std::string::npos);
  }
  EXPECT_NE(h.find("width=\"900pt\" height=\"560pt\""), std::string::npos);
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
    EXPECT_FALSE(graficos::gravar_figura(f, caminho, 100, 100, [](cairo_t* cr) { cairo_restore(cr); }, erro));
    EXPECT_NE(erro.find("f.png"), std::string::npos);
    EXPECT_EQ(testsupport::read_file(caminho), "older");
  }
  EXPECT_FALSE(graficos::gravar_figura(Formato::png, dir.file("nao-existe/f.png"), 10, 10, [](cairo_t*) {}, erro));
  int arquivos = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++arquivos;
  EXPECT_EQ(arquivos, 1);
}
