#pragma once
// The intra-focal and extra-focal star images a CCD camera records behind a telescope, by wave
// optics (see wave_optics.h for the method, the sampling and the orientation, and
// simulation_params.h for the units and the sign of the aberration).
//
// Frames are size x size camera pixels in ADU, row 0 first, as they are written to the FITS files.
// The intra-focal frame shows the pupil upright and the extra-focal one turned by 180 degrees, as a
// real camera sees them; the program's own turn of the extra-focal image on opening brings the two
// together. The same seed gives the same frames.

#include <random>

#include "core/planes.h"
#include "core/status.h"
#include "engine/zernike.h"
#include "simulation/simulation_params.h"
#include "simulation/wave_optics.h"

namespace frontlys {

struct SimulatedFrame {
    Planes3D<double> adu;
    int saturated = 0;
};

struct SimulatedPair {
    SimulatedFrame intra;
    SimulatedFrame extra;
    FineGrid grid;
    ZernikeCoefficients coefficientsNm{};  // the simulated terms, peak-normalised (engine convention)
};

// The annulus obstruction <= rho <= 1 carrying the Zernike terms of params (RMS nm).
Aperture ZernikeAperture(const SimulationParams& params);
// The terms of params as engine coefficients (RMS times the norm of each term, piston 0).
ZernikeCoefficients SimulatedCoefficients(const SimulationParams& params);

// Validates params, then simulates both frames through the given aperture (coefficientsNm stays 0).
Result<SimulatedPair> SimulatePair(const SimulationParams& params, const Aperture& aperture);
// Through ZernikeAperture, with coefficientsNm filled.
Result<SimulatedPair> SimulatePair(const SimulationParams& params);

// The noiseless share of the light in each camera pixel of one side (sums to 1 when the donut lies
// inside the frame).
Planes3D<double> SimulateFlux(const SimulationParams& params,
                              const Aperture& aperture,
                              FocalSide side,
                              const FineGrid& grid);

}  // namespace frontlys
