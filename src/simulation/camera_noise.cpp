#include "simulation/camera_noise.h"

#include <algorithm>
#include <cmath>

namespace frontlys {
namespace {

double ShotNoise(double meanElectrons, std::mt19937_64& rng)
{
    if (meanElectrons <= 0) return 0;
    // Beyond 1e9 the Poisson law is a Gaussian to far better than any camera.
    if (meanElectrons > 1e9) {
        std::normal_distribution<double> gauss(meanElectrons, std::sqrt(meanElectrons));
        return std::max(0.0, gauss(rng));
    }
    std::poisson_distribution<long long> poisson(meanElectrons);
    return static_cast<double>(poisson(rng));
}

}  // namespace

ExposedFrame ExposeFrame(const Planes3D<double>& flux, const SimulationParams& params, std::mt19937_64& rng)
{
    ExposedFrame out{Planes3D<double>(1, flux.rows(), flux.cols()), 0};
    std::normal_distribution<double> read(0.0, 1.0);
    const auto in = flux.Plane(0);
    auto adu = out.adu.Plane(0);
    for (std::size_t i = 0; i < in.size(); ++i) {
        double electrons = params.photons * std::max(0.0, in[i]);
        if (params.poisson) electrons = ShotNoise(electrons, rng);
        if (params.readNoiseE > 0) electrons += params.readNoiseE * read(rng);
        double value = electrons / params.gainEPerAdu + params.backgroundAdu;
        const double top = params.clipAdu > 0 ? std::min(params.clipAdu, kSaturationAdu) : kSaturationAdu;
        if (value >= top) {
            value = top;
            ++out.saturated;
        }
        adu[i] = value;
    }
    return out;
}

}  // namespace frontlys
