#include "simulation/simulation_params.h"

#include <cmath>
#include <string>

#include "engine/beam_geometry.h"

namespace frontlys {
namespace {

constexpr int kMaxFrame = 8192;

Status Refuse(const std::string& option, const std::string& why)
{
    return Status::Fail(StatusCode::OutOfRange, "Paramètre de simulation incorrect : " + option, why);
}

bool Positive(double v) { return std::isfinite(v) && v > 0; }

Status CheckOptics(const SimulationParams& p)
{
    if (!Positive(p.diameterMm)) return Refuse("--diameter", "the diameter must be positive");
    if (!Positive(p.focalMm)) return Refuse("--focal", "the focal length must be positive");
    if (p.focalMm < p.diameterMm) return Refuse("--focal", "the beam must be f/1 or slower");
    if (!std::isfinite(p.obstruction) || p.obstruction < 0 || p.obstruction >= 0.9)
        return Refuse("--obstruction", "the obstruction ratio must lie in [0, 0.9)");
    if (!Positive(p.defocusMm) || p.defocusMm >= 0.5 * p.focalMm)
        return Refuse("--defocus", "the defocus must be positive and well below the focal length");
    if (!std::isfinite(p.defocusAsymmetryMm) || std::abs(p.defocusAsymmetryMm) >= 0.5 * p.defocusMm)
        return Refuse("--defocus-asymmetry", "the asymmetry must stay under half the defocus");
    if (p.vaneCount < 0 || p.vaneCount > 16 || !std::isfinite(p.vaneWidthMm) || p.vaneWidthMm < 0 ||
        p.vaneWidthMm >= 0.5 * p.diameterMm || !std::isfinite(p.vaneAngleDeg))
        return Refuse("--vanes", "0 to 16 vanes, each narrower than the aperture radius");
    const bool even = p.vaneOtherWidthMm == 0 && p.vaneOtherTurnDeg == 0;
    if (!std::isfinite(p.vaneOtherWidthMm) || p.vaneOtherWidthMm < 0 ||
        p.vaneOtherWidthMm >= 0.5 * p.diameterMm || !std::isfinite(p.vaneOtherTurnDeg) ||
        (!even &&
         (p.vaneCount % 2 != 0 || p.vaneCount == 0 || std::abs(p.vaneOtherTurnDeg) >= 180.0 / p.vaneCount)))
        return Refuse("--vanes", "a second bar needs an even count and a turn under half the spacing");
    for (double v : p.zernikeRmsNm) {
        if (!std::isfinite(v) || std::abs(v) > 1e5) return Refuse("--zernike", "a term beyond 100000 nm RMS");
    }
    return Status::Ok();
}

Status CheckCamera(const SimulationParams& p)
{
    if (!Positive(p.pixelUm) || p.pixelUm > 1000)
        return Refuse("--pixel", "the pixel size must be in (0, 1000] um");
    if (p.binning < 1 || p.binning > 16) return Refuse("--binning", "the binning must be 1 to 16");
    if (p.size < 16 || p.size > kMaxFrame)
        return Refuse("--size", "the frame side must be 16 to 8192 pixels");
    const double limit = p.size;
    if (!std::isfinite(p.offsetXPx) || !std::isfinite(p.offsetYPx) || std::abs(p.offsetXPx) > limit ||
        std::abs(p.offsetYPx) > limit)
        return Refuse("--offset", "the offset must stay within the frame side");
    if (!(p.companionFlux >= 0) || !std::isfinite(p.companionFlux) || std::abs(p.companionXPx) > limit ||
        std::abs(p.companionYPx) > limit || !std::isfinite(p.companionXPx) || !std::isfinite(p.companionYPx))
        return Refuse("--companion",
                      "the second star needs a flux of 0 or more and a place within the frame side");
    if (!(p.clipAdu >= 0) || !std::isfinite(p.clipAdu))
        return Refuse("--clip", "the clip level must be 0 or more");
    if (!std::isfinite(p.gainEPerAdu) || p.gainEPerAdu <= 0)
        return Refuse("--gain", "the gain must be positive");
    return Status::Ok();
}

Status CheckLight(const SimulationParams& p)
{
    const bool band = p.bandMaxNm > p.bandMinNm;
    if (band && (!Positive(p.bandMinNm) || p.bandMaxNm > 20000 || p.bandSamples < 1 || p.bandSamples > 64))
        return Refuse("--band", "the band must lie in (0, 20000] nm");
    if (!band && (!Positive(p.lambdaNm) || p.lambdaNm > 20000))
        return Refuse("--lambda", "the wavelength must lie in (0, 20000] nm");
    if (!std::isfinite(p.seeingArcsec) || p.seeingArcsec < 0 || p.seeingArcsec > 60)
        return Refuse("--seeing", "the seeing must lie in [0, 60] arcsec");
    if (!Positive(p.photons) || p.photons > 1e15)
        return Refuse("--photons", "the photon count must be positive");
    if (!std::isfinite(p.readNoiseE) || p.readNoiseE < 0 || p.readNoiseE > 1e4)
        return Refuse("--read-noise", "the read noise must lie in [0, 10000] e-");
    if (!std::isfinite(p.backgroundAdu) || p.backgroundAdu < 0 || p.backgroundAdu > 65535)
        return Refuse("--background", "the background must lie in [0, 65535] ADU");
    return Status::Ok();
}

}  // namespace

Status ValidateSimulationParams(const SimulationParams& params)
{
    if (auto s = CheckOptics(params); !s.ok()) return s;
    if (auto s = CheckCamera(params); !s.ok()) return s;
    return CheckLight(params);
}

std::vector<double> SimulatedWavelengthsNm(const SimulationParams& params)
{
    if (params.bandMaxNm <= params.bandMinNm) return {params.lambdaNm};
    const int n = std::max(1, params.bandSamples);
    const double step = (params.bandMaxNm - params.bandMinNm) / n;
    std::vector<double> out;
    for (int i = 0; i < n; ++i) out.push_back(params.bandMinNm + (i + 0.5) * step);
    return out;
}

double BinnedPixelNm(const SimulationParams& params) { return params.pixelUm * 1000.0 * params.binning; }

double DonutRadiusPx(const SimulationParams& params)
{
    const double radiusNm = DonutRadius(params.focalMm, params.diameterMm / 2, params.defocusMm * 1e6);
    return radiusNm / BinnedPixelNm(params);
}

double SideDefocusMm(const SimulationParams& params, bool extra)
{
    return extra ? params.defocusMm + params.defocusAsymmetryMm
                 : params.defocusMm - params.defocusAsymmetryMm;
}

}  // namespace frontlys
