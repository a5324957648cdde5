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
    Planes3D<double> frame = BinOntoFrame(fine, grid, placement, params);
    if (params.companionFlux > 0) {
        // The same donut elsewhere on the frame (a star of the field, same optics, same seeing).
        SimulationParams other = params;
        other.offsetXPx = params.companionXPx;
        other.offsetYPx = params.companionYPx;
        other.companionFlux = 0;
        const Planes3D<double> second = SimulateFlux(other, aperture, side, grid);
        auto out = frame.Plane(0);
        const auto in = second.Plane(0);
        for (std::size_t i = 0; i < out.size(); ++i) out[i] += params.companionFlux * in[i];
    }
    return frame;
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
