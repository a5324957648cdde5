#include "simulation/star_simulator.h"

#include "core/thread_pool.h"
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
    // The two planes at once when there is a single wavelength; otherwise the wavelengths of each
    // plane share the threads. The noise comes after, in a fixed order.
    Planes3D<double> flux[2];
    const auto simulate = [&](int side) {
        flux[side] =
            SimulateFlux(params, aperture, side == 0 ? FocalSide::Intra : FocalSide::Extra, pair.grid);
    };
    if (SimulatedWavelengthsNm(params).size() == 1) {
        ParallelFor(2, simulate);
    } else {
        simulate(0);
        simulate(1);
    }
    std::mt19937_64 rng(params.seed);
    auto intra = ExposeFrame(flux[0], params, rng);
    auto extra = ExposeFrame(flux[1], params, rng);
    pair.intra = {std::move(intra.adu), intra.saturated};
    pair.extra = {std::move(extra.adu), extra.saturated};
    return pair;
}

}  // namespace frontlys
