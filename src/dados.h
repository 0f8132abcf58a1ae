// The case file in, the report out.
#pragma once

namespace dados {

// Offers the case file to the editor, reads its nine values on unit 1, then refuses
// values the run cannot survive (itmax, hist_step, Nx or Ny below 1, Nx*Ny beyond
// 32 bits, a report name that is the case file itself).
void read_case();

// The nine list-directed reads of the case file alone (no editor, no checks).
void read_values();

// Writes the report on unit 1 and offers it to the editor.
void write_report();

}  // namespace dados
