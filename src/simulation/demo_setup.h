#pragma once
// The built-in test of the demo: a 200 mm f/6 Newtonian with a 25 % obstruction, 40 nm RMS of
// spherical aberration, 15 nm RMS of astigmatism with its axis at 30 degrees, 10 nm RMS of coma
// along x, 1.5 arcsec of seeing, a 500-600 nm band, shot noise and 8 e- of read noise.

#include "simulation/simulation_params.h"

namespace frontlys {

inline constexpr double kDemoAstigAngleDeg = 30;

SimulationParams DemoParams();

}  // namespace frontlys
