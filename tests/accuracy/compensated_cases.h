#pragma once
// Simulated pairs analysed by the compensated analysis, without and with the forward-model
// refinement, with the defocus measured (auto) unless the case gives it.

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "engine/compensated/analysis.h"
#include "engine/compensated/pipeline.h"
#include "engine/compensated/refine.h"
#include "simulation/star_simulator.h"

namespace frontlys {

struct CompensatedCase {
    std::string name;
    SimulationParams params;
    // Frames cut to this rectangle (columns x rows) around the donut's side of the frame; 0 keeps it.
    int cutWidth = 0, cutHeight = 0;
    bool floatFrames = true;  // false: values rounded to whole ADU as a 16-bit camera gives them
};

struct CompensatedMeasure {
    bool ok = false;
    std::string failure;
    double rmsErrorNm = 0;  // over terms 5..22, nm RMS
    double worstNm = 0;
    int wrongSigns = 0;  // terms of 5 nm or more found with the wrong sign
    double obstruction = 0;
    double defocusError = 0;  // relative
    CompensatedResult result;
};

struct CompensatedOutcome {
    CompensatedMeasure plain, refined;
    double blurPx = 0;
};

namespace detail {

inline std::vector<double> Cut(const Planes3D<double>& frame, int size, int w, int h, bool turn, bool round)
{
    std::vector<double> full(frame.Plane(0).begin(), frame.Plane(0).end());
    if (round)
        for (double& v : full) v = std::round(v);
    if (turn) std::reverse(full.begin(), full.end());
    if (w <= 0 || h <= 0) return full;
    std::vector<double> out(static_cast<std::size_t>(w) * h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            out[static_cast<std::size_t>(r) * w + c] = full[static_cast<std::size_t>(r) * size + c];
    return out;
}

// The simulated vanes, known to the analysis as the test parameters give them.
inline SpiderVanes VanesOf(const SimulationParams& p)
{
    return {p.vaneCount, p.vaneWidthMm / (0.5 * p.diameterMm), p.vaneAngleDeg};
}

inline CompensatedMeasure Measure(const CompensatedResult& r, const SimulationParams& p)
{
    CompensatedMeasure m;
    m.ok = true;
    m.result = r;
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    double sq = 0;
    for (int k = 5; k <= 22; ++k) {
        const double found = r.coef[k - 1] / basis.Norm(k), truth = p.zernikeRmsNm[k - 1];
        sq += (found - truth) * (found - truth);
        m.worstNm = std::max(m.worstNm, std::abs(found - truth));
        if (std::abs(truth) >= 5 && found * truth <= 0) ++m.wrongSigns;
    }
    m.rmsErrorNm = std::sqrt(sq / 18);
    m.obstruction = r.obstruction;
    m.defocusError = r.defocusNm / (p.defocusMm * 1e6) - 1;
    return m;
}

}  // namespace detail

// defocusFactor: the defocus given to the analysis, as a multiple of the true one; 0 leaves it to the
// analysis to measure.
inline CompensatedOutcome RunCompensatedCase(const CompensatedCase& c,
                                             int refineRounds = 4,
                                             double defocusFactor = 0)
{
    CompensatedOutcome out;
    auto pair = SimulatePair(c.params);
    if (!pair.ok()) {
        out.plain.failure = "simulation: " + pair.status().reason;
        return out;
    }
    const int size = c.params.size;
    const bool cut = c.cutWidth > 0;
    const int w = cut ? c.cutWidth : size, h = cut ? c.cutHeight : size;
    // The extra-focal frame is turned on opening, as the program does.
    const auto intra = detail::Cut(pair.value().intra.adu, size, w, h, false, !c.floatFrames);
    const auto extra = detail::Cut(pair.value().extra.adu, size, w, h, true, !c.floatFrames);
    CompensatedOptions o;
    o.focalNm = c.params.focalMm * 1e6;
    o.apertureRadiusNm = c.params.diameterMm * 5e5;
    o.pixelNm = BinnedPixelNm(c.params);
    if (defocusFactor > 0) o.defocusNm = defocusFactor * c.params.defocusMm * 1e6;
    o.vanes = detail::VanesOf(c.params);
    auto first = CompensatedAnalysis({intra, w, h}, {extra, w, h}, o);
    if (!first.ok()) {
        out.plain.failure = "analysis: " + first.status().reason;
        return out;
    }
    out.plain = detail::Measure(first.value(), c.params);
    if (refineRounds <= 0) return out;
    RefineOptions refine;
    refine.rounds = refineRounds;
    refine.lambdaNm = c.params.lambdaNm;
    auto refined = RefineCompensated({intra, w, h}, {extra, w, h}, o, first.value(), refine);
    if (!refined.ok()) {
        out.refined.failure = "refinement: " + refined.status().reason;
        return out;
    }
    out.refined = detail::Measure(refined.value().result, c.params);
    out.blurPx = refined.value().blurPx;
    return out;
}

// The pipeline a test runs (analysis, refinement, scale check), with the defocus given as a multiple
// of the true one (0: measured).
struct PipelineCaseOutcome {
    CompensatedMeasure measure;
    std::optional<ScaleCheck> scale;
    bool caustic = false;
    // The two candidates the judge chose between (refined: not ok when the refinement did not run).
    CompensatedMeasure unrefined, refined;
    double misfitUnrefined = 0, misfitRefined = 0;
    bool keptRefined = true;
    std::string imageFitReason;  // empty: the direct image fit did not run
};

inline PipelineCaseOutcome RunPipelineCase(const CompensatedCase& c, double defocusFactor, bool trust = false)
{
    PipelineCaseOutcome out;
    auto pair = SimulatePair(c.params);
    if (!pair.ok()) {
        out.measure.failure = "simulation: " + pair.status().reason;
        return out;
    }
    const int size = c.params.size;
    const int w = c.cutWidth > 0 ? c.cutWidth : size, h = c.cutWidth > 0 ? c.cutHeight : size;
    const auto intra = detail::Cut(pair.value().intra.adu, size, w, h, false, !c.floatFrames);
    const auto extra = detail::Cut(pair.value().extra.adu, size, w, h, true, !c.floatFrames);
    CompensatedOptions o;
    o.focalNm = c.params.focalMm * 1e6;
    o.apertureRadiusNm = c.params.diameterMm * 5e5;
    o.pixelNm = BinnedPixelNm(c.params);
    if (defocusFactor > 0) o.defocusNm = defocusFactor * c.params.defocusMm * 1e6;
    o.vanes = detail::VanesOf(c.params);
    PipelineOptions p;
    p.lambdaNm = c.params.lambdaNm;
    p.trustDefocus = trust;
    auto run = AnalysePair({intra, w, h}, {extra, w, h}, o, p);
    if (!run.ok()) {
        out.measure.failure = "pipeline: " + run.status().reason;
        return out;
    }
    out.measure = detail::Measure(run.value().result, c.params);
    out.scale = run.value().scale;
    out.caustic = run.value().result.stop == CompensatedStop::Caustic;
    out.unrefined = detail::Measure(run.value().unrefined, c.params);
    if (run.value().refined) out.refined = detail::Measure(run.value().refined->result, c.params);
    if (run.value().misfitUnrefined) out.misfitUnrefined = run.value().misfitUnrefined->chi2PerPixel;
    if (run.value().misfitRefined) out.misfitRefined = run.value().misfitRefined->chi2PerPixel;
    out.keptRefined = run.value().keptRefined;
    out.imageFitReason = run.value().imageFitReason;
    return out;
}

}  // namespace frontlys
