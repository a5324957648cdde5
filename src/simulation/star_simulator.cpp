#include "simulation/star_simulator.h"

#include "simulation/camera_noise.h"

namespace frontlys {
Planes3D<double> SimulateFlux(const SimulationParams& params,
                              const Aperture& aperture,
                              FocalSide side,
                              const FineGrid& grid)
{
    const FramePlacement placement = PlaceOnFrame(grid, params);
    Planes3D<double> fine = FocalPlaneIntensity(params, aperture, side, grid, placement);
    BlurGaussian(fine, SeeingSigmaNm(params) / grid.stepNm);
    return BinOntoFrame(fine, grid, placement, params);
}

Result<SimulatedPair> SimulatePair(const SimulationParams& params, const Aperture& aperture)
{
    if (auto s = ValidateSimulationParams(params); !s.ok()) return s;
    auto grid = ChooseFineGrid(params, aperture.maxSlopeNm);
    if (!grid.ok()) return grid.status();
    SimulatedPair pair;
    pair.grid = grid.value();
    std::mt19937_64 rng(params.seed);
    auto intra = ExposeFrame(SimulateFlux(params, aperture, FocalSide::Intra, pair.grid), params, rng);
    auto extra = ExposeFrame(SimulateFlux(params, aperture, FocalSide::Extra, pair.grid), params, rng);
    pair.intra = {std::move(intra.adu), intra.saturated};
    pair.extra = {std::move(extra.adu), extra.saturated};
    return pair;
}

}  // namespace frontlys
