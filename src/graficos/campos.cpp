#include "campos.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/decimal.h"

namespace graficos {

namespace {

bool digito(char c) { return c >= '0' && c <= '9'; }

std::size_t brancos_iniciais(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return b;
}

double com_bits(std::uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// A special fills its whole field: its text, then full stops (text cut to the width).
bool ler_especial(std::string_view campo, double& v) {
  struct Especial {
    const char* texto;
    double valor;
  };
  const Especial especiais[] = {
      {"1#INF", std::numeric_limits<double>::infinity()},
      {"1#IND", com_bits(0xFFF8000000000000u)},
      {"1#QNAN", com_bits(0x7FF8000000000000u)},
      {"1#SNAN", com_bits(0x7FF4000000000000u)},
  };
  for (const Especial& e : especiais) {
    std::string_view t = e.texto;
    std::size_t n = t.size() < campo.size() ? t.size() : campo.size();
    if (campo.substr(0, n) != t.substr(0, n)) continue;
    if (campo.find_first_not_of('.', n) != std::string_view::npos) continue;
    v = e.valor;
    return true;
  }
  return false;
}

// `texto` is already checked; a value beyond the largest double is the largest.
double converter(std::string_view texto) {
  double d = rt::decimal_value(texto);
  if (std::isinf(d)) d = std::copysign(DBL_MAX, d);
  return d;
}

}  // namespace

bool ler_e25_15(std::string_view campo, double& v) {
  if (campo.size() != 25) return false;
  if (campo[0] == '1' && campo.size() > 1 && campo[1] == '#') return ler_especial(campo, v);
  std::size_t b = brancos_iniciais(campo);
  std::string_view s = campo.substr(b);
  bool negativo = !s.empty() && s[0] == '-';
  if (negativo) s.remove_prefix(1);
  // d.ddddddddddddddd then "E+dd" / "E-dd" or "+ddd" / "-ddd": 21 characters.
  if (s.size() != 21 || b != (negativo ? 3u : 4u)) return false;
  if (!digito(s[0]) || s[1] != '.') return false;
  for (std::size_t i = 2; i < 17; ++i)
    if (!digito(s[i])) return false;
  std::string_view exp = s.substr(17);
  char texto[32];
  std::size_t n = 0;
  if (negativo) texto[n++] = '-';
  std::memcpy(texto + n, s.data(), 17);
  n += 17;
  texto[n++] = 'e';
  if (exp[0] == 'E') {
    if ((exp[1] != '+' && exp[1] != '-') || !digito(exp[2]) || !digito(exp[3])) return false;
    // The three-digit form is used only beyond 99, and the letter form only within it.
  } else if (exp[0] == '+' || exp[0] == '-') {
    if (!digito(exp[1]) || !digito(exp[2]) || !digito(exp[3]) || exp[1] == '0') return false;
  } else {
    return false;
  }
  std::string_view sem_letra = exp[0] == 'E' ? exp.substr(1) : exp;
  std::memcpy(texto + n, sem_letra.data(), sem_letra.size());
  n += sem_letra.size();
  v = converter(std::string_view(texto, n));
  return true;
}

bool ler_f15_3(std::string_view campo, double& v) {
  if (campo.size() != 15) return false;
  if (campo.find_first_not_of('*') == std::string_view::npos) {
    v = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (campo[0] == '1' && campo[1] == '#') return ler_especial(campo, v);
  std::size_t b = brancos_iniciais(campo);
  if (b == 0) return false;  // the widest value that fits still leaves a blank: 11 digits need 15
  std::string_view s = campo.substr(b);
  std::size_t i = 0;
  if (s[i] == '-') ++i;
  std::size_t inteiros = 0;
  while (i < s.size() && digito(s[i])) ++i, ++inteiros;
  // No zero is written before the point, so an integer part never starts with 0.
  if (inteiros > 0 && s[s[0] == '-' ? 1 : 0] == '0') return false;
  if (i >= s.size() || s[i] != '.') return false;
  if (s.size() - i != 4) return false;
  for (std::size_t k = i + 1; k < s.size(); ++k)
    if (!digito(s[k])) return false;
  v = converter(s);
  return true;
}

bool ler_i10(std::string_view campo, std::int32_t& v) {
  if (campo.size() != 10) return false;
  std::size_t b = brancos_iniciais(campo);
  std::string_view s = campo.substr(b);
  bool negativo = !s.empty() && s[0] == '-';
  if (negativo) s.remove_prefix(1);
  if (s.empty() || (s.size() > 1 && s[0] == '0')) return false;
  std::int64_t n = 0;
  for (char c : s) {
    if (!digito(c)) return false;
    n = n * 10 + (c - '0');
  }
  if (negativo) n = -n;
  if (n > INT32_MAX || n < INT32_MIN) return false;
  v = static_cast<std::int32_t>(n);
  return true;
}

}  // namespace graficos
