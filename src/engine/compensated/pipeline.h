#pragma once
// The compensated analysis as a test runs it: the analysis, its forward-model refinement, and the
// check of the image scale against the geometry the user gave. The scale is measured from the
// compensated pupil with the defocus left free, then corrected by the refinement (which removes the
// bias that edge aberrations and diffraction give it). When the given defocus disagrees with it
// beyond the measurement's spread, the measured scale is used unless the user chose to trust theirs.

#include <optional>
#include <stop_token>
#include <string>

#include "engine/compensated/analysis.h"
#include "engine/compensated/image_fit.h"
#include "engine/compensated/misfit.h"
#include "engine/compensated/refine.h"
#include "engine/compensated/uncertainty.h"
#include "engine/compensated/vane_measure.h"

namespace frontlys {

// Spread of the scale measurement on simulated pairs: refined, within -1.2 % and +0.02 % of the
// truth; unrefined, -0.3 to -4 %. A disagreement beyond it is a geometry error, not noise.
inline constexpr double kScaleTolerance = 0.02;
inline constexpr double kUnrefinedScaleTolerance = 0.045;
// A measurement whose loop stopped at the caustic guard never settled its radius: on the real pairs
// of a 1.2 m f/18 telescope it lands 2 to 4 % from the distance a direct image fit finds.
inline constexpr double kUnsettledScaleTolerance = 0.05;

struct PipelineOptions {
    int refineRounds = 4;  // 0: no refinement
    double lambdaNm = 555;
    bool trustDefocus = false;  // keep the given defocus even when the images disagree with it
    std::stop_token stop;       // checked between the analyses and refinement rounds: refused when asked
    bool imageFit = true;       // the direct fit of the images where the loop stops short
};

struct ScaleCheck {
    double givenDefocusNm = 0;
    double measuredDefocusNm = 0;
    double givenRhoPx = 0, measuredRhoPx = 0;
    double mismatch = 0;  // given / measured - 1
    double tolerance = kScaleTolerance;
    bool settled = true;  // false: the measuring loop stopped at the caustic guard
    bool mismatched = false;
    bool usedMeasured = false;
};

struct PipelineOutcome {
    CompensatedResult result;              // the answer kept
    CompensatedResult unrefined;           // the analysis of the same geometry before the refinement
    std::optional<RefineOutcome> refined;  // empty: not asked, or could not run (refineFailure)
    std::string refineFailure;
    std::optional<ScaleCheck> scale;  // with a given defocus
    // The judge between the refined and the unrefined answers (only when the refinement ran): the
    // image-space misfit of each, chi-square per pixel; the lower one is kept.
    std::optional<ImageMisfit> misfitUnrefined, misfitRefined;
    bool keptRefined = true;
    // The direct fit of the images (image_fit.h), run where the loop stops short: why it ran
    // ("caustic", "refine_residual", "refine_unsteady", "geometry_mismatch" with the given distance kept;
    // empty: it did not), its outcome or why it failed, and whether its answer was kept (its misfit lower
    // than the start's).
    std::string imageFitReason;
    std::optional<ImageFitOutcome> imageFit;
    std::string imageFitFailure;
    bool keptImageFit = false;
    // With options.noiseCovariance, the bars of the refined answer when it is kept (uncertainty.h); empty
    // when they could not be measured (the unrefined analysis's covariance then stands).
    std::optional<RefinedUncertainty> refinedBars;
    // With options.measureVanes: the vanes measured from the images (none found: count 0, with the
    // reason) and used by every model above, or why they could not be measured (then none were used).
    std::optional<VaneMeasurement> vanes;
    std::string vanesFailure;
};

// The refinement's discrepancy above which the direct image fit runs, nm RMS over terms 5..22.
inline constexpr double kImageFitResidualNm = 2;

Result<PipelineOutcome> AnalysePair(const RawFrame& intra,
                                    const RawFrame& extra,
                                    const CompensatedOptions& options,
                                    const PipelineOptions& pipeline);

}  // namespace frontlys
