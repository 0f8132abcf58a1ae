// Constants and tables of the elementary functions (written by
// tools/elementary_tables.py).
#pragma once

#include "runtime/double_double.h"

namespace rt::elem {

// pi/2 and ln2/256 cut into doubles whose products with an integer below 2^20
// (pi/2) or 2^19 (ln2/256) are exact, the last piece of full precision. What the
// pieces leave out: below 2^-156 (pi/2) and 2^-132 (ln2/256).
extern const double pio2_cut[4];
extern const double ln2_256_cut[3];
extern const DD pi_dd, pio2_dd, sixth_dd, inv24_dd, inv120_dd;

extern const DD sin_tab[52];    // sin(i/64)
extern const DD cos_tab[52];    // cos(i/64)
extern const DD exp2_tab[256];  // 2^(j/256)

}  // namespace rt::elem
