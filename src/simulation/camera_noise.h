#pragma once
// What the camera makes of the light: photo-electrons with their shot noise, read noise, the
// background level, the conversion to ADU and the saturation of a 16-bit converter.

#include <random>

#include "core/planes.h"
#include "simulation/simulation_params.h"

namespace frontlys {

inline constexpr double kSaturationAdu = 65535.0;

struct ExposedFrame {
    Planes3D<double> adu;
    int saturated = 0;  // pixels at or above kSaturationAdu (clipped there)
};

// `flux` is the share of the light in each pixel (summing to at most 1). Pixels get
// photons x flux electrons (Poisson-drawn when params.poisson), plus Gaussian read noise, then
// electrons / gain + background ADU. The generator carries the seed from one frame to the next.
ExposedFrame ExposeFrame(const Planes3D<double>& flux, const SimulationParams& params, std::mt19937_64& rng);

}  // namespace frontlys
