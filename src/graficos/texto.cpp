#include "texto.h"

#include <cstdint>
#include <cstdio>

namespace graficos {

namespace {

constexpr char16_t faixa_80_9f[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void acrescentar(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the sequence at bytes[i]; returns its length, or 0 when malformed.
std::size_t decodificar(std::string_view bytes, std::size_t i, std::uint32_t& cp) {
  auto b = static_cast<unsigned char>(bytes[i]);
  std::size_t extra;
  std::uint32_t minimo;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    extra = 1, cp = b & 0x1Fu, minimo = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2, cp = b & 0x0Fu, minimo = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3, cp = b & 0x07u, minimo = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - i <= extra) return 0;
  for (std::size_t k = 1; k <= extra; ++k) {
    auto c = static_cast<unsigned char>(bytes[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

}  // namespace

std::string utf8_de_cp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    acrescentar(out, (b >= 0x80 && b < 0xA0) ? faixa_80_9f[b - 0x80] : b);
  }
  return out;
}

bool utf8_valido(std::string_view bytes) {
  std::uint32_t cp;
  for (std::size_t i = 0, n; i < bytes.size(); i += n)
    if ((n = decodificar(bytes, i, cp)) == 0) return false;
  return true;
}

bool cp1252_de_utf8(std::string_view utf8, std::string& out) {
  out.clear();
  out.reserve(utf8.size());
  bool ok = true;
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::uint32_t cp;
    std::size_t n = decodificar(utf8, i, cp);
    int byte = -1;
    if (n == 0) {
      n = 1;
    } else if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<int>(cp);
    } else {
      for (int k = 0; k < 32; ++k)
        if (faixa_80_9f[k] == cp) byte = 0x80 + k;
    }
    i += n;
    if (byte < 0) ok = false;
    out += static_cast<char>(byte < 0 ? 0x1A : byte);
  }
  return ok;
}

std::string formatar(const char* forma, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, forma, v);
  return buf;
}

}  // namespace graficos
