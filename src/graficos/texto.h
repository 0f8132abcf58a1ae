// The report's bytes are Windows-1252; cairo, terminals and the exports want UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace graficos {

// Every byte becomes one code point: 0x00-0x7F and 0xA0-0xFF as themselves,
// 0x80-0x9F by the Windows-1252 table (0x80 is the euro sign, 0x93 a left double
// quotation mark). The five bytes the table leaves undefined keep their C1 code
// point, so no byte is lost.
std::string utf8_de_cp1252(std::string_view bytes);

// The inverse, for reports that were converted to UTF-8: every character with a
// Windows-1252 byte becomes that byte; any other character, and any malformed
// sequence, becomes the byte 0x1A (substitute), and the result is false.
bool cp1252_de_utf8(std::string_view utf8, std::string& out);

// One number in a printf format with a single double conversion ("%.3E").
std::string formatar(const char* forma, double v);

// True when `bytes` is well-formed UTF-8 (shortest forms, no surrogates).
bool utf8_valido(std::string_view bytes);

}  // namespace graficos
