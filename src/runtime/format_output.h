// Formatted write statements: write_begin, one call per item, write_end.
//
// The format text is walked as it stands; it begins with "(" and ends at the ")"
// that matches it, whatever follows. Supported: 'literals' ('' for an apostrophe),
// r/, Tn, kP, Ew.d, Fw.d, Iw, r( ... ) groups. Records end in CR LF and go into
// the unit's buffer.
#pragma once

#include <cstdint>

namespace rt {

void write_begin(int unit, const char* format);
void write_real8(double v);
void write_int4(std::int32_t v);
void write_end();

}  // namespace rt
