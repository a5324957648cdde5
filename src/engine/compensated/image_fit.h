#pragma once
// A final stage for hard pairs: fit the observed pixels directly. Each image is modelled by the
// wave-optics intensity of the candidate wavefront at its own distance from focus, integrated over
// the pixels, moved to a sub-pixel centre and blurred by a Gaussian, plus a wide halo (a broad
// Gaussian of the same image with a flux of its own) and a flat background. Terms 5..22 and every
// nuisance (per image: centre, blur, halo width, distance within 5 % of the nominal one; the
// obstruction unless it was given) are fitted together by Levenberg-Marquardt from the analysis's
// answer, its defocus term as the two distances it amounts to; fluxes and background are solved
// linearly at each step. The fine intensity is rendered once per wavefront and distance: a centre
// or blur change only multiplies its spectrum.
//
// The misfit is a chi-square with the judge's noise weights (misfit.h), their variance per ADU shared
// by the two images (the mean of the two), over a disc of 1.35 rho + 30 pixels around each donut.

#include <array>
#include <optional>
#include <stop_token>
#include <string>

#include "engine/compensated/misfit.h"

namespace frontlys {

struct ImageFitOptions {
    double lambdaNm = 555;
    int maxIterations = 8;
    std::stop_token stop;  // checked between iterations: a stop request refuses the fit
};

struct ImageFitOutcome {
    // Terms 5..22 and the obstruction fitted; the other terms and the defocus the start's, but the
    // defocus term, which comes from the difference of the two fitted distances (each image's
    // distance from focus takes its place in the fit).
    ModelEstimate estimate;
    ZernikeCoefficients startCoef{};     // the answer it started from
    std::array<double, 2> distanceNm{};  // each image's fitted distance from focus (intra, extra)
    std::array<double, 2> blurPx{}, haloPx{};
    std::array<double, 2> haloShare{};   // halo flux over the total
    double misfitStart = 0, misfit = 0;  // chi-square per pixel: the start with its nuisances fitted, the end
    int iterations = 0;
    int evaluations = 0;  // renders of one image
    SpiderVanes vanes;    // the vanes fitted (FitVanes), the first one's angle within one period
};

// `frames` gives the donuts' centres and backgrounds; `noise` the weights (as the judge's).
Result<ImageFitOutcome> FitImages(const RawFrame& intra,
                                  const RawFrame& extra,
                                  const CompensatedResult& frames,
                                  const CompensatedOptions& options,
                                  const ModelEstimate& start,
                                  const PairNoise& noise,
                                  const ImageFitOptions& fit);

// Spider vanes measured by the fit: the open pupil's fit, then a scan of the vanes' angle over one
// period for each count (a plausible width, the open pupil's nuisances held), then each count's best
// angle fitted with the angle and width free; from the two vanes' fit, a second bar of its own width and
// turn scanned and fitted. The candidate kept is the lowest by an information criterion (ln N a
// parameter), and vanes are kept only when they lower the chi-square by more than it asks for their
// parameters.
inline constexpr int kScanVaneCounts[] = {2, 3, 4};
inline constexpr double kScanVaneWidth = 0.02;  // pupil units

struct VaneFitOutcome {
    SpiderVanes vanes;        // count 0: none kept (reason)
    double significance = 0;  // the scaled chi-square drop over its penalty; above 1 kept
    std::string reason;
    ImageFitOutcome withoutVanes;              // the open pupil's fit
    std::optional<ImageFitOutcome> withVanes;  // the best vanes' fit, when any angle lowered the misfit
    int scanned = 0;                           // angles tried
};

Result<VaneFitOutcome> FitVanes(const RawFrame& intra,
                                const RawFrame& extra,
                                const CompensatedResult& frames,
                                const CompensatedOptions& options,
                                const ModelEstimate& start,
                                const PairNoise& noise,
                                const ImageFitOptions& fit);

}  // namespace frontlys
