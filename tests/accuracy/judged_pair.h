#pragma once
// A simulated pair with noise, its analysis at the exact defocus and the truth as a model estimate:
// the ground on which the image-space judge and the direct image fit are tried.

#include <optional>
#include <vector>

#include "compensated_suite.h"
#include "engine/compensated/refine.h"

namespace frontlys {

struct JudgedPair {
    SimulationParams p;
    std::vector<double> intra, extra;
    CompensatedOptions o;
    CompensatedResult analysed;
    ModelEstimate truth;
    RawFrame Intra() const { return {intra, p.size, p.size}; }
    RawFrame Extra() const { return {extra, p.size, p.size}; }
};

// Nothing when the simulation or the analysis fails.
inline std::optional<JudgedPair> MakeJudgedPair(const SimulationParams& p)
{
    auto pair = SimulatePair(p);
    if (!pair.ok()) return std::nullopt;
    JudgedPair j;
    j.p = p;
    j.intra = detail::Cut(pair.value().intra.adu, p.size, 0, 0, false, false);
    j.extra = detail::Cut(pair.value().extra.adu, p.size, 0, 0, true, false);
    j.o.focalNm = p.focalMm * 1e6;
    j.o.apertureRadiusNm = p.diameterMm * 5e5;
    j.o.pixelNm = BinnedPixelNm(p);
    j.o.defocusNm = p.defocusMm * 1e6;
    auto analysed = CompensatedAnalysis(j.Intra(), j.Extra(), j.o);
    if (!analysed.ok()) return std::nullopt;
    j.analysed = analysed.take();
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    j.truth = {{}, p.obstruction, p.defocusMm * 1e6};
    for (int k = 1; k <= 22; ++k) j.truth.coef[k - 1] = p.zernikeRmsNm[k - 1] * basis.Norm(k);
    return j;
}

}  // namespace frontlys
