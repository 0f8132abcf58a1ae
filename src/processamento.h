// Post-processing: analytical field, mean temperatures, then the report.
#pragma once

namespace processamento {

void post_processing();    // analytic_solution; Tm_n = mean_temperature(Nx, Ny, T); report
void analytic_solution();  // fills Ta, sets Tm_a
// Cell-by-cell mean of a 1-based field of nx*ny nodes (f[0] unused).
double mean_temperature(int nx, int ny, const double* f);

}  // namespace processamento
