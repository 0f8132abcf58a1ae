// Stencil coefficients and edge values, on the shared state.
#pragma once

namespace coeficientes {

void coefficients();  // aE, aN, aP from dx, dy
void bc_top();        // T = sin((x/Lx)*pi) on row Ny, corners included
void bc_bottom();     // T = 0 on row 1
void bc_left();       // T = 0 on column 1, rows 2..Ny-1
void bc_right();      // T = 0 on column Nx, rows 2..Ny-1

}  // namespace coeficientes
