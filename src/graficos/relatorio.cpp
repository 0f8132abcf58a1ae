#include "relatorio.h"

#include <cstring>
#include <memory>
#include <string_view>

#include "campos.h"
#include "leiaute.h"
#include "texto.h"

namespace graficos {

namespace {

namespace L = leiaute;

// The name of a field's descriptor, for the messages.
// `t` in double quotes. Appended, not "\"" + std::string(t): GCC 12 at -O3 warns
// falsely (-Wrestrict) on the insertion at the front that operator+ makes.
std::string entre_aspas(std::string_view t) {
  std::string s(1, '"');
  s.append(t).push_back('"');
  return s;
}

std::string descritor(const L::Texto<8>& d) { return std::string(d.vista()); }

// Places `texto` from 1-based column `coluna`, blanks before it, like a tab.
void na_coluna(std::string& linha, std::size_t coluna, std::string_view texto) {
  if (linha.size() < coluna - 1) linha.resize(coluna - 1, ' ');
  linha += texto;
}

template <std::size_t N>
std::string cabecalho(const L::Coluna (&colunas)[N]) {
  std::string h;
  for (const L::Coluna& c : colunas) na_coluna(h, static_cast<std::size_t>(c.coluna), c.texto);
  return h;
}

// Records from a file or from memory, without their CR LF or LF.
class Linhas {
 public:
  explicit Linhas(std::FILE* f) : arquivo_(f) {}
  explicit Linhas(const std::string& texto) : memoria_(texto), fim_(texto.size()) {}

  // False at the end of the input, or when reading failed (see `falhou`).
  bool proxima(std::string& linha) {
    linha.clear();
    bool algo = false;
    for (;;) {
      if (pos_ == fim_ && !encher()) break;
      std::string_view resto = bloco().substr(pos_, fim_ - pos_);
      std::size_t nl = resto.find('\n');
      algo = true;
      if (nl == std::string_view::npos) {
        linha.append(resto);
        pos_ = fim_;
        continue;
      }
      linha.append(resto.substr(0, nl));
      pos_ += nl + 1;
      terminada_ = true;
      ++numero_;
      if (!linha.empty() && linha.back() == '\r') linha.pop_back();
      return true;
    }
    if (!algo || linha.empty()) return false;
    // A last record without its line end: the file was cut short. Keep it, so
    // the error names what it holds.
    terminada_ = false;
    ++numero_;
    if (!linha.empty() && linha.back() == '\r') linha.pop_back();
    return true;
  }

  long numero() const { return numero_; }
  bool falhou() const { return falhou_; }
  bool ultima_sem_fim() const { return !terminada_; }

 private:
  std::string_view bloco() const { return arquivo_ ? std::string_view(buffer_, fim_) : memoria_; }

  bool encher() {
    if (!arquivo_) return false;
    std::size_t n = std::fread(buffer_, 1, sizeof buffer_, arquivo_);
    if (n == 0 && std::ferror(arquivo_)) falhou_ = true;
    pos_ = 0;
    fim_ = n;
    return n > 0;
  }

  std::FILE* arquivo_ = nullptr;
  std::string_view memoria_;
  char buffer_[1 << 16];
  std::size_t pos_ = 0, fim_ = 0;
  long numero_ = 0;
  bool falhou_ = false;
  bool terminada_ = true;
};

class Leitor {
 public:
  Leitor(Linhas& in, Relatorio& rel, ErroLeitura& erro, const Progresso& progresso)
      : in_(in), rel_(rel), erro_(erro), progresso_(progresso) {}

  bool ler() {
    if (!titulo()) return false;
    if (!vazia() || !faixa(L::faixa_fisicos) || !vazia()) return false;
    if (!valor_e(L::rotulo_Lx, rel_.Lx) || !valor_e(L::rotulo_Ly, rel_.Ly)) return false;
    if (!vazia() || !vazia() || !faixa(L::faixa_numericos) || !vazia()) return false;
    if (!valor_i(L::rotulo_Nx, rel_.Nx) || !valor_i(L::rotulo_Ny, rel_.Ny) || !valor_i(L::rotulo_itmax, rel_.itmax) ||
        !valor_e(L::rotulo_tol, rel_.tol) || !valor_i(L::rotulo_it, rel_.it) || !valor_e(L::rotulo_L1it, rel_.L1_it))
      return false;
    if (!vazia()) return false;
    if (!norma(L::rotulo_norma_L1, rel_.L1_0) || !norma(L::rotulo_norma_L2, rel_.L2_0) ||
        !norma(L::rotulo_norma_Linf, rel_.Linf_0))
      return false;
    if (!vazia() || !vazia() || !literal(cabecalho(L::cabecalho_historico))) return false;
    if (!historico()) return false;  // ends on the table's closing blank line
    if (!vazia() || !faixa(L::faixa_solucoes) || !vazia() || !literal(cabecalho(L::cabecalho_solucoes))) return false;
    rel_.linha_listagem = in_.numero() + 1;
    if (!solucoes()) return false;  // ends on the listing's closing blank line
    if (!vazia()) return false;
    if (!valor_final(L::rotulo_Tm_a, rel_.Tm_analitica) || !valor_final(L::rotulo_Tm_n, rel_.Tm_numerica) ||
        !valor_final(L::rotulo_Tm_erro, rel_.Tm_erro))
      return false;
    if (!vazia() || !vazia() || !tempo()) return false;
    if (in_.ultima_sem_fim()) return falha("o fim do registro (CR LF) depois do tempo de processamento");
    std::string resto;
    if (in_.proxima(resto)) {
      linha_ = resto;
      return falha("o fim do arquivo depois do tempo de processamento");
    }
    return !in_.falhou() || falha("o arquivo inteiro (a leitura falhou)");
  }

 private:
  // Sets the error for the current record and returns false.
  bool falha(const std::string& esperado) {
    erro_.linha = fim_ ? in_.numero() + 1 : in_.numero();
    erro_.esperado = utf8_de_cp1252(esperado);
    std::string achado = utf8_de_cp1252(linha_);
    if (fim_) achado = in_.falhou() ? "erro de leitura" : "fim do arquivo";
    if (achado.size() > 130) {
      std::size_t corte = 130;
      while (corte > 0 && (static_cast<unsigned char>(achado[corte]) & 0xC0) == 0x80) --corte;
      achado = achado.substr(0, corte) + "…";
    }
    erro_.encontrado = achado;
    return false;
  }

  // The next record in Windows-1252, whatever the file's encoding.
  bool proxima(const std::string& esperado) {
    if (!in_.proxima(linha_)) {
      fim_ = true;
      return falha(esperado);
    }
    if (utf8_) {
      bool alto = false;
      for (char c : linha_) alto = alto || static_cast<unsigned char>(c) >= 0x80;
      if (alto) {
        std::string convertido;
        cp1252_de_utf8(linha_, convertido);
        linha_.swap(convertido);
      }
    }
    return true;
  }

  bool titulo() {
    const std::string titulo(L::titulo);
    if (!proxima("o t\xEDtulo \"" + titulo + "\"")) return false;
    std::string_view t = linha_;
    if (t.substr(0, 3) == "\xEF\xBB\xBF") t.remove_prefix(3);  // a byte-order mark from a UTF-8 editor
    if (t != titulo) {
      std::string convertido;
      if (!utf8_valido(t) || !cp1252_de_utf8(t, convertido) || convertido != titulo) {
        linha_ = std::string(t);
        return falha("o t\xEDtulo \"" + titulo + "\" (isto n\xE3o \xE9 um relat\xF3rio do calor2d)");
      }
      utf8_ = true;
    }
    rel_.titulo = utf8_de_cp1252(titulo);
    return true;
  }

  bool literal(std::string_view texto) {
    const std::string esperado = entre_aspas(texto);
    if (!proxima(esperado)) return false;
    return linha_ == texto || falha(esperado);
  }
  bool vazia() {
    if (!proxima("uma linha vazia")) return false;
    return linha_.empty() || falha("uma linha vazia");
  }
  bool faixa(const L::Texto<L::largura_faixa>& banner) {
    return literal(L::estrelas.vista()) && literal(banner.vista()) && literal(L::estrelas.vista());
  }

  // A value in columns 1..w, blanks up to the label's column, and the label.
  bool rotulada(std::size_t w, std::string_view rotulo, std::string& campo) {
    const std::size_t antes = L::coluna_rotulo - 1;
    std::string esperado = "um n\xFAmero de " + std::to_string(w) + " colunas e \"" + std::string(rotulo) +
                           "\" na coluna " + std::to_string(L::coluna_rotulo);
    if (!proxima(esperado)) return false;
    std::string_view l = linha_;
    if (l.size() != antes + rotulo.size() || l.substr(antes) != rotulo ||
        l.substr(w, antes - w).find_first_not_of(' ') != std::string_view::npos)
      return falha(esperado);
    campo = l.substr(0, w);
    return true;
  }
  bool valor_e(std::string_view rotulo, double& v) {
    std::string campo;
    if (!rotulada(L::largura_e, rotulo, campo)) return false;
    return ler_e25_15(campo, v) || falha("um n\xFAmero leg\xEDvel (" + descritor(L::descritor_e) + ") antes de \"" +
                                         std::string(rotulo) + "\"");
  }
  bool valor_i(std::string_view rotulo, std::int32_t& v) {
    std::string campo;
    if (!rotulada(L::largura_i, rotulo, campo)) return false;
    return (ler_i10(campo, v) && v >= 0) || falha("um inteiro n\xE3o negativo (" + descritor(L::descritor_i) +
                                                  ") antes de \"" + std::string(rotulo) + "\"");
  }

  // Label then a value from `coluna`, `w` wide: the norms' label fills the columns
  // before its value, the means' and the time's is followed by blanks.
  bool rotulo_e_valor(std::string_view rotulo, std::size_t coluna, std::size_t w, std::string& campo) {
    std::string esperado = entre_aspas(rotulo) + " e um n\xFAmero nas colunas " + std::to_string(coluna) + " a " +
                           std::to_string(coluna + w - 1);
    if (!proxima(esperado)) return false;
    std::string_view l = linha_;
    std::size_t n = rotulo.size();
    if (l.size() != coluna - 1 + w || l.substr(0, n) != rotulo ||
        l.substr(n, coluna - 1 - n).find_first_not_of(' ') != std::string_view::npos)
      return falha(esperado);
    campo = l.substr(coluna - 1);
    return true;
  }
  bool real_depois(std::string_view rotulo, std::size_t coluna, double& v) {
    std::string campo;
    if (!rotulo_e_valor(rotulo, coluna, L::largura_e, campo)) return false;
    return ler_e25_15(campo, v) || falha("um n\xFAmero leg\xEDvel (" + descritor(L::descritor_e) + ") depois de \"" +
                                         std::string(rotulo) + "\"");
  }
  bool norma(std::string_view rotulo, double& v) { return real_depois(rotulo, L::coluna_norma, v); }
  bool valor_final(std::string_view rotulo, double& v) { return real_depois(rotulo, L::coluna_final, v); }
  bool tempo() {
    std::string campo;
    if (!rotulo_e_valor(L::rotulo_tempo, L::coluna_final, L::largura_f, campo)) return false;
    return ler_f15_3(campo, rel_.tempo) || falha("um n\xFAmero leg\xEDvel (" + descritor(L::descritor_f) +
                                                 ") depois de \"" + std::string(L::rotulo_tempo) + "\"");
  }

  // Lines for k = 0, s, 2s, ... up to it, then one for it when it is not a multiple
  // of s. Anything else means lines were lost or altered.
  bool historico() {
    static_assert(L::reais_historico == 3);  // "três" below
    const std::string forma = "uma linha do hist\xF3rico (" + descritor(L::descritor_i) + " e tr\xEAs n\xFAmeros " +
                              descritor(L::descritor_e) + ") ou a linha vazia que o encerra";
    std::int32_t passo = 0;
    bool final_irregular = false;
    for (;;) {
      if (!proxima(forma)) return false;
      if (linha_.empty()) break;
      std::string_view l = linha_;
      LinhaHistorico h;
      constexpr std::size_t i = L::largura_i, e = L::largura_e;
      if (l.size() != L::largura_historico || !ler_i10(l.substr(0, i), h.k) || !ler_e25_15(l.substr(i, e), h.L1) ||
          !ler_e25_15(l.substr(i + e, e), h.L2) || !ler_e25_15(l.substr(i + 2 * e, e), h.Linf))
        return falha(forma);
      std::size_t n = rel_.historico.size();
      if (n == 0) {
        if (h.k != 0) return falha("a linha do hist\xF3rico da itera\xE7\xE3o 0");
      } else {
        std::int32_t anterior = rel_.historico.back().k;
        if (n == 1) passo = h.k;
        bool regular = passo > 0 && static_cast<std::int64_t>(passo) * static_cast<std::int64_t>(n) == h.k;
        bool ultima = h.k > anterior && h.k - anterior < passo;
        if (final_irregular || h.k > rel_.it || (!regular && !ultima))
          return falha("a linha do hist\xF3rico da itera\xE7\xE3o " +
                       std::to_string(static_cast<std::int64_t>(passo) * static_cast<std::int64_t>(n)) + " (passo " +
                       std::to_string(passo) + ", at\xE9 it = " + std::to_string(rel_.it) + ")");
        final_irregular = !regular;
      }
      rel_.historico.push_back(h);
    }
    if (rel_.historico.empty() || rel_.historico.back().k != rel_.it)
      return falha("a linha do hist\xF3rico da \xFAltima itera\xE7\xE3o, it = " + std::to_string(rel_.it));
    return true;
  }

  // None, one (the central node) or every node, rows from the bottom.
  bool solucoes() {
    static_assert(L::reais_solucao == 5);  // "cinco" below
    const std::string forma = "uma linha de solu\xE7\xE3o (cinco n\xFAmeros " + descritor(L::descritor_e) +
                              ") ou a linha vazia que encerra a listagem";
    const std::int64_t nx = rel_.Nx, total = static_cast<std::int64_t>(rel_.Nx) * rel_.Ny;
    const std::int64_t passo_progresso = total / 100 + 1;
    for (;;) {
      if (!proxima(forma)) return false;
      if (linha_.empty()) break;
      std::string_view l = linha_;
      No no;
      constexpr std::size_t e = L::largura_e;
      if (l.size() != L::largura_solucao || !ler_e25_15(l.substr(0, e), no.x) || !ler_e25_15(l.substr(e, e), no.y) ||
          !ler_e25_15(l.substr(2 * e, e), no.numerica) || !ler_e25_15(l.substr(3 * e, e), no.analitica) ||
          !ler_e25_15(l.substr(4 * e, e), no.erro))
        return falha(forma);
      const auto n = static_cast<std::int64_t>(rel_.nos.size());
      if (n >= total && n >= 1)
        return falha("a linha vazia que encerra a listagem (Nx\xB7Ny = " + std::to_string(total) + " n\xF3s)");
      // From the second line on this can only be the full listing: hold it to the grid.
      if (n >= 1) {
        const std::int64_t i = n % nx, j = n / nx;
        if (j > 0 && !mesmo(no.x, rel_.nos[static_cast<std::size_t>(i)].x))
          return falha("x igual ao do n\xF3 " + std::to_string(i + 1) + " da primeira fila");
        if (i > 0 && !mesmo(no.y, rel_.nos[static_cast<std::size_t>(j * nx)].y))
          return falha("y igual ao do primeiro n\xF3 da fila " + std::to_string(j + 1));
      }
      rel_.nos.push_back(no);
      if (progresso_ && (n + 1) % passo_progresso == 0) progresso_(n + 1, total);
    }
    const auto n = static_cast<std::int64_t>(rel_.nos.size());
    if (n == total && n > 0) {
      rel_.listagem = Listagem::completa;
    } else if (n == 1) {
      rel_.listagem = Listagem::central;
    } else if (n == 0) {
      rel_.listagem = Listagem::nenhuma;
    } else {
      return falha("mais linhas de solu\xE7\xE3o: a listagem tem 0, 1 ou Nx\xB7Ny = " + std::to_string(total) +
                   " linhas, e esta tem " + std::to_string(n));
    }
    if (progresso_ && n > 0) progresso_(n, total);
    return true;
  }

  // The same text reads as the same double, NaNs included.
  static bool mesmo(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

  Linhas& in_;
  Relatorio& rel_;
  ErroLeitura& erro_;
  const Progresso& progresso_;
  std::string linha_;
  bool utf8_ = false;
  bool fim_ = false;
};

}  // namespace

bool ler_relatorio(std::FILE* f, Relatorio& rel, ErroLeitura& erro, const Progresso& progresso) {
  rel = Relatorio{};
  erro = ErroLeitura{};
  auto linhas = std::make_unique<Linhas>(f);  // its 64 KiB buffer stays off the stack
  return Leitor(*linhas, rel, erro, progresso).ler();
}

bool ler_relatorio_texto(const std::string& texto, Relatorio& rel, ErroLeitura& erro) {
  rel = Relatorio{};
  erro = ErroLeitura{};
  auto linhas = std::make_unique<Linhas>(texto);
  return Leitor(*linhas, rel, erro, Progresso{}).ler();
}

}  // namespace graficos
