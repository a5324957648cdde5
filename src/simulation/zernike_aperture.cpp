#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/pupil_transmission.h"
#include "simulation/opd_map.h"
#include "simulation/star_simulator.h"

namespace frontlys {
namespace {

constexpr int kOpdMapSide = 401;

ZernikeCoefficients PeakCoefficients(const SimulationParams& params)
{
    ZernikeCoefficients rms{};
    for (int k = 0; k < kZernikeTerms; ++k) rms[k] = params.zernikeRmsNm[k];
    const ZernikeBasis all = ZernikeBasis::ForCount(kZernikeTerms);
    return RmsToCoef(all, rms);
}

bool HasAberration(const ZernikeCoefficients& coefficients)
{
    for (double c : coefficients) {
        if (c != 0) return true;
    }
    return false;
}

// The Zernike sum, extended beyond the annulus by its value on the nearest edge along the radius so
// that the bilinear map stays smooth across the pupil border.
std::function<double(double, double)> ZernikeSum(const ZernikeCoefficients& coefficients, double obstruction)
{
    const ZernikeEvaluator evaluator(ZernikeBasis::ForCount(kZernikeTerms), obstruction);
    return [evaluator, coefficients, obstruction](double x, double y) {
        double rho = std::hypot(x, y);
        const double inner = obstruction * (1 + 1e-9);
        const double outer = 1 - 1e-9;
        if (rho < 1e-12) {
            x = 1;
            y = 0;
            rho = 1;
        }
        const double target = std::clamp(rho, inner, outer);
        ZernikeValues z{};
        if (!evaluator.Eval(x * target / rho, y * target / rho, z)) return 0.0;
        double sum = 0;
        for (int k = 0; k < kZernikeTerms; ++k) sum += coefficients[k] * z[k];
        return sum;
    };
}

}  // namespace

ZernikeCoefficients SimulatedCoefficients(const SimulationParams& params) { return PeakCoefficients(params); }

Aperture ZernikeAperture(const SimulationParams& params)
{
    const double eps = params.obstruction;
    Aperture aperture;
    const double radiusMm = 0.5 * params.diameterMm;
    const SpiderVanes vanes{params.vaneCount,
                            params.vaneWidthMm / radiusMm,
                            params.vaneAngleDeg,
                            params.vaneOtherWidthMm / radiusMm,
                            params.vaneOtherTurnDeg};
    aperture.transmission = MakePupilTransmission(eps, vanes, 0);
    const ZernikeCoefficients coefficients = PeakCoefficients(params);
    if (!HasAberration(coefficients)) {
        aperture.opdNm = [](double, double) { return 0.0; };
        return aperture;
    }
    auto map = std::make_shared<OpdMap>(ZernikeSum(coefficients, eps), kOpdMapSide);
    aperture.maxSlopeNm = map->MaxSlope();
    aperture.opdNm = [map](double x, double y) { return (*map)(x, y); };
    return aperture;
}

Result<SimulatedPair> SimulatePair(const SimulationParams& params)
{
    if (auto s = ValidateSimulationParams(params); !s.ok()) return s;
    auto pair = SimulatePair(params, ZernikeAperture(params));
    if (pair.ok()) pair.value().coefficientsNm = PeakCoefficients(params);
    return pair;
}

}  // namespace frontlys
