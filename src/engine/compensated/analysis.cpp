#include "engine/compensated/analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/compensated/internal.h"
#include "engine/compensated/noise_covariance.h"

namespace frontlys {
namespace {

using namespace compensated;

constexpr int kMaxRounds = 3;
constexpr int kRoundPasses = 14;  // a round's loop still moving after this many passes is drifting
constexpr double kRhoTolerance = 0.002;
constexpr double kEpsTolerance = 0.003;
constexpr double kMinRadiusPx = 4;
constexpr double kHiddenObstruction = 0.12;

Status Refuse(std::string reason)
{
    return Status::Fail(StatusCode::MissingInput, "Paramètres du test incomplets", std::move(reason));
}

bool Positive(double v) { return std::isfinite(v) && v > 0; }

Status Validate(const CompensatedOptions& o)
{
    if (!Positive(o.focalNm) || !Positive(o.apertureRadiusNm) || !Positive(o.pixelNm))
        return Refuse("focal length, aperture and pixel size must be positive");
    if (o.defocusNm && !(Positive(*o.defocusNm) && *o.defocusNm < o.focalNm))
        return Refuse("the defocus must be positive and shorter than the focal length");
    if (o.obstruction && !(*o.obstruction >= 0 && *o.obstruction < 0.95))
        return Refuse("the obstruction must be in [0, 0.95)");
    if (!VanesValid(o.vanes)) return Refuse("0 to 16 spider vanes, each narrower than the aperture radius");
    return Status::Ok();
}

// Obstruction and outer radius (pupil units) from the light of the compensated pupil: the light
// missing in the hole, and the total light over the plateau level.
struct PupilSize {
    double eps = 0;
    double scale = 1;
};
PupilSize MeasurePupil(const Grid& g, const std::vector<double>& s, double meanFlux, bool measureEps)
{
    double plateau = 0;
    int count = 0;
    for (int p = 0; p < g.n; ++p) {
        if (!g.plateau[p]) continue;
        plateau += s[p];
        ++count;
    }
    PupilSize out{g.eps, 1};
    if (count == 0 || !(plateau > 0)) return out;
    plateau /= count;
    const double area = std::numbers::pi * plateau * g.rho * g.rho;
    double eps2 = g.eps * g.eps;
    if (measureEps) {
        double missing = 0;
        for (int p = 0; p < g.n; ++p)
            if (g.hole[p]) missing += plateau - s[p];
        eps2 = std::max(0.0, missing / area);
    }
    out.scale = std::sqrt(meanFlux / area + eps2);
    out.eps = std::sqrt(eps2) / out.scale;
    return out;
}

}  // namespace

Result<CompensatedResult> CompensatedAnalysis(const RawFrame& intra,
                                              const RawFrame& extra,
                                              const CompensatedOptions& o)
{
    Workspace work;
    return Analyse(intra, extra, o, work);
}

namespace compensated {

Result<CompensatedResult> Analyse(const RawFrame& intra,
                                  const RawFrame& extra,
                                  const CompensatedOptions& o,
                                  Workspace& work)
{
    if (Status s = Validate(o); !s.ok()) return s;
    PreparedPair prepared;
    if (Status s = PrepareFrames(intra, extra, prepared.frames); !s.ok()) return s;
    return Analyse(intra, extra, prepared, o, work);
}

Result<CompensatedResult> Analyse(const RawFrame& intra,
                                  const RawFrame& extra,
                                  const PreparedPair& prepared,
                                  const CompensatedOptions& o,
                                  Workspace& work)
{
    if (Status s = Validate(o); !s.ok()) return s;
    const PreparedFrame& p1 = prepared.frames[0];
    const PreparedFrame& p2 = prepared.frames[1];

    const double pixelsPerDefocus = DonutRadiusPerDefocus(o.focalNm, o.apertureRadiusNm) / o.pixelNm;
    double rho = o.defocusNm ? *o.defocusNm * pixelsPerDefocus : 0.5 * (p1.outerPx + p2.outerPx);
    double eps = 0;
    // An aberration can fill the hole of one image (spherical does on one side of focus): one inner
    // crossing is enough to call the pupil obstructed. On small donuts diffraction and the pixels
    // fill the hole of both: the light missing from the compensated pupil decides after the first loop.
    bool obstructed = o.obstruction ? *o.obstruction > 0 : (p1.innerPx > 0 || p2.innerPx > 0);
    if (o.obstruction) {
        eps = *o.obstruction;
    } else if (obstructed) {
        const double inner = std::max(p1.innerPx, p2.innerPx);
        eps = std::clamp(inner / (0.5 * (p1.outerPx + p2.outerPx)), 0.0, 0.9);
    }
    if (!(rho >= kMinRadiusPx)) return Refuse("pupil radius under 4 pixels");

    CompensatedResult r;
    r.frames = {p1.setup, p2.setup};
    ZernikeCoefficients c{};
    const double meanFlux = 0.5 * (p1.setup.flux + p2.setup.flux);
    // The pass cap counts every pass of every round: a user who asks for N passes gets N at most.
    // Each round also stops at kRoundPasses, where a loop that has not settled is drifting.
    const int passCap = std::max(1, o.maxPasses);
    for (int round = 0; round < kMaxRounds; ++round) {
        const double l = rho / pixelsPerDefocus;
        if (!(l < o.focalNm)) return Refuse("the computed defocus reaches the focal length");
        const TransportCoefficients m = TransportFor(o.focalNm, o.apertureRadiusNm, l);
        MakeGrid(rho, eps, o.terms, EdgeSine(o.focalNm, o.apertureRadiusNm), work.grid, false);
        const Grid& grid = work.grid;
        LoopOutcome loop = RunLoop(grid, p1, p2, m, c, o.stopNm, std::min(kRoundPasses, passCap - r.passes));
        c = loop.c;
        r.passes += loop.passes;
        r.stop = loop.stop;
        r.minJacobian = loop.minJacobian;
        r.lastUpdateNm = loop.lastUpdateNm;
        r.rhoPx = rho;
        r.obstruction = eps;
        r.defocusNm = l;
        r.half = grid.half;
        const int side = 2 * grid.half + 1;
        r.meanImage.assign(static_cast<std::size_t>(side) * side, 0.0);
        r.differenceImage.assign(r.meanImage.size(), 0.0);
        for (int p = 0; p < grid.n; ++p) {
            const std::size_t at =
                static_cast<std::size_t>(grid.half - grid.j[p]) * side + grid.half + grid.i[p];
            r.meanImage[at] = loop.s[p];
            r.differenceImage[at] = loop.d[p];
        }
        const auto keepCovariance = [&] {
            if (!o.noiseCovariance) return;
            auto noise = NoiseCovariance(grid, m, loop, p1, p2, intra, extra);
            r.covariance = std::move(noise.covariance);
            r.frames[0].photonVariance = noise.photonVariance[0];
            r.frames[1].photonVariance = noise.photonVariance[1];
        };
        if (loop.stop == CompensatedStop::Caustic) {
            keepCovariance();
            break;
        }
        PupilSize size = MeasurePupil(grid, loop.s, meanFlux, !o.obstruction);
        if (!obstructed && !o.obstruction && round == 0 && size.eps >= kHiddenObstruction) obstructed = true;
        if (!obstructed) size = MeasurePupil(grid, loop.s, meanFlux, false);
        const double newRho = o.defocusNm ? rho : rho * size.scale;
        const double newEps = obstructed && !o.obstruction ? size.eps : eps;
        const bool settled =
            std::abs(newRho - rho) < kRhoTolerance * rho && std::abs(newEps - eps) < kEpsTolerance;
        r.obstruction = newEps;
        const bool last = settled || round + 1 == kMaxRounds || r.passes >= passCap;
        if (!settled && r.passes >= passCap) r.stop = CompensatedStop::PassLimit;
        if (last) keepCovariance();
        if (last) break;
        rho = newRho;
        eps = newEps;
    }
    c[0] = 0;
    r.coef = c;
    return r;
}

}  // namespace compensated

}  // namespace frontlys
