#pragma once
// Error bars of a compensated analysis from the noise of one pair: each coefficient's 1-sigma from
// the covariance of the solve (CompensatedOptions::noiseCovariance), the wavefront RMS and the Strehl
// ratio with theirs, and a parametric bootstrap that checks them: noisy pairs rendered from the
// answer with the refinement's forward model and the data's own noise, analysed the same way.
//
// The refinement moves the estimate x by the data's analysis a less the analysis of the pair rendered
// from x, A(R(x)). The renders are noise-free, but the analysis responds to a change of the rendered
// coefficients with a gain J = d A(R(x)) / dx below 1 where blur and diffraction smooth the images
// (0.4 for the fifth-order spherical term on a 17-pixel donut): a noise da in the data moves the
// estimate after n corrections by (I + (I - J) + ... + (I - J)^n) da, which tends to J^-1 da. The bars
// of the refined answer propagate the first analysis's covariance through that sum
// (RefinedCovariance). They count the noise of the pixels only, not a model error; the outputs add
// in quadrature the rounds' remaining distance to their fixed point (RefinedUncertainty), an error of
// the estimate that the finite number of rounds leaves, independent of the noise.

#include <array>
#include <cstdint>
#include <vector>

#include "engine/compensated/analysis.h"
#include "engine/compensated/refine.h"

namespace frontlys {

// 1-sigma of each term in nm RMS (term k at k - 1, `terms` values; 0 for piston and the tilts, which
// the light centroids fix); empty without a covariance.
std::vector<double> SigmaRmsNm(const std::vector<double>& covariance, int terms);

// 1-sigma of the RMS sqrt(sum over the selected terms of (c_k / Norm(k))^2), linearised: sound while
// the RMS is well above its sigma. 0 without a covariance.
double RmsSigmaNm(const std::vector<double>& covariance,
                  int terms,
                  const ZernikeCoefficients& coef,
                  const ZernikeSelection& selection);
// 1-sigma of exp(-(2 pi rms / lambda)^2) for the RMS's sigma.
double StrehlSigma(double rmsNm, double rmsSigmaNm, double lambdaNm);

// How far a set of coefficients lies from a reference in units of the bars: chi-square per term over
// terms 5..22 (or the terms there are). NaN without bars.
double ChiSquarePerTerm(const ZernikeCoefficients& found,
                        const ZernikeCoefficients& reference,
                        const std::vector<double>& covariance,
                        int terms);

// The covariance of the refined coefficients: `first`'s covariance through the refinement's
// corrections, with J measured by finite differences of render-and-analyse about the kept estimate. A
// round-symmetric pupil and blur keep the azimuthal order and the cos / sin parity of a term, so J
// links only the terms of one (m, parity) family: one render per measured member of the largest family
// measures it, every family perturbed at once (two for 22 terms: the defocus column is known, the two
// sphericals are not), about the refinement's own last render. The renders are analysed at the data's
// defocus and obstruction. A pupil without that symmetry (vanes) would link families, which this J
// leaves out. The noise of the measured obstruction and defocus is not counted. Refused when a render
// or its analysis fails.
struct RefinedUncertainty {
    std::vector<double> covariance;  // P x P as CompensatedResult::covariance
    // Per term (k at k - 1), nm RMS: how far the kept estimate x lies from the refinement's fixed
    // point, J^-1 (a - A(R(x))) with a the data's analysis; the rounds stopped short of it by this much.
    std::vector<double> remainingRmsNm;
};
Result<RefinedUncertainty> RefinedCovariance(const CompensatedOptions& options,
                                             const CompensatedResult& first,
                                             const RefineOutcome& refined,
                                             double lambdaNm,
                                             ModelRenderCache* cache = nullptr);

// The error the model leaves, per term (k at k - 1, nm RMS), from the judge between two answers: the
// kept one and the other (the unrefined answer beside the refined one, or the reverse). Each misfit's
// excess over the noise, chi-square per pixel less 1, grows as the square of the answer's error where
// the images hold what the model can render; the kept answer's error is then sqrt(excess kept / excess
// other) of the other's, and the difference between the two answers stands for the other's error, term
// by term. Where the kept answer explains the images down to the noise, nothing; where the judge cannot
// tell them apart, their whole difference. The judge reads an excess no finer than the spread of a
// chi-square per pixel over its `pixels` (sqrt(2 / pixels)): on faint frames the model's error hides
// under it, and an excess below it counts as that spread, not as none (0 pixels: no such limit).
std::vector<double> ModelErrorRmsNm(const ZernikeCoefficients& kept,
                                    const ZernikeCoefficients& other,
                                    double misfitKept,
                                    double misfitOther,
                                    int pixels,
                                    int terms);

struct BootstrapRequest {
    CompensatedOptions options;  // those of the data's analysis
    int refineRounds = 0;        // the copies are refined as the data was (0: not at all)
    double lambdaNm = 555;
    ModelEstimate answer;  // the pair rendered from it
    double blurPx = 0;
    std::array<FrameSetup, 2> frames{};  // of the data: flux, background, sky noise, photon variance
    int samples = 0;
    std::uint64_t seed = 1;
    int threads = 0;  // 0: one per core
};

struct BootstrapOutcome {
    int samples = 0;                            // analysed copies
    int failed = 0;                             // copies the analysis refused
    std::vector<double> sigmaRmsNm, meanRmsNm;  // spread and mean of each term over the copies, nm RMS
};

// Refused when the answer cannot be rendered or fewer than two copies could be analysed.
Result<BootstrapOutcome> ParametricBootstrap(const BootstrapRequest& request);

}  // namespace frontlys
