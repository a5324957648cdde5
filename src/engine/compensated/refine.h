#pragma once
// Forward-model refinement of a compensated analysis. The analysis inverts a geometric model; real
// images also diffract at the pupil edges and are blurred by seeing and pixels, differently on the
// two sides of focus, which biases the rotationally symmetric terms and the obstruction. So: render
// the pair the estimate predicts (wave optics, one wavelength, a fitted blur), analyse it exactly as
// the data, and correct the estimate by the difference; the method's own bias cancels.

#include <memory>
#include <stop_token>

#include "engine/compensated/analysis.h"

namespace frontlys {

struct RefineOptions {
    int rounds = 4;
    double lambdaNm = 555;
    std::stop_token stop;  // checked before each round: a stop request ends the refinement, refused
};

struct RefineOutcome {
    CompensatedResult result;  // the data's analysis with the refined coefficients, obstruction, defocus
    double blurPx = 0;         // Gaussian sigma of the model, camera pixels
    double residualNm = 0;     // RMS over terms 5..22 of (data - rendered) analyses of the kept estimate
    int rounds = 0;
    int updates = 0;  // corrections that led to the kept estimate (0: the unrefined answer)
    // The coefficients rendered last up to the kept estimate (the kept ones themselves when they were
    // rendered) and those its render's analysis gave: where the error bars linearise the refinement.
    ZernikeCoefficients nearestCoef{}, nearestAnalysis{};
    bool coarseGrid = false;  // rendered with fewer samples per pixel than the wavelength asks
    bool settled = true;      // false: the rounds oscillated without converging, the unrefined answer is kept
};

// Plans and buffers of the model renders (one set a side of focus) and of the analyses of the
// rendered pairs, for a caller that renders many times: a refinement, the misfits of its answers.
// They are tens of megabytes, whose allocation and first touch cost as much as some transforms.
// Serves one caller at a time.
class ModelRenderCache {
public:
    ModelRenderCache();
    ~ModelRenderCache();
    ModelRenderCache(const ModelRenderCache&) = delete;
    ModelRenderCache& operator=(const ModelRenderCache&) = delete;
    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

// CompensatedAnalysis on the cache's buffers, the frames prepared once for the refinement that follows.
Result<CompensatedResult> CompensatedAnalysis(const RawFrame& intra,
                                              const RawFrame& extra,
                                              const CompensatedOptions& options,
                                              ModelRenderCache& cache);

// `first` is CompensatedAnalysis(intra, extra, options). Refused when a render cannot be made.
// Without a cache, one lives for the call.
Result<RefineOutcome> RefineCompensated(const RawFrame& intra,
                                        const RawFrame& extra,
                                        const CompensatedOptions& options,
                                        const CompensatedResult& first,
                                        const RefineOptions& refine,
                                        ModelRenderCache* cache = nullptr);

// Which estimate a refinement keeps, from the discrepancy |data - render| of each round's estimate
// (round 0: the unrefined answer): residuals.size() for the estimate after the last update, else the
// index of the round whose estimate is kept (0 when oscillating rounds never converged).
std::size_t KeptRefinementRound(const std::vector<double>& residuals);

// One rendered frame of the model, in the program's orientation, light summing to 1 (the bootstrap
// draws its noisy pairs from it).
struct ModelFrame {
    std::vector<double> pixels;
    int side = 0;
};
// What the refinement varies: the estimate the model pair is rendered from.
struct ModelEstimate {
    ZernikeCoefficients coef{};  // tilts ignored
    double obstruction = 0;
    double defocusNm = 0;  // mean distance of the two images from focus
    // The extra-focal image this much farther from focus, the intra-focal one this much nearer (real
    // focusers are not symmetric). The defocus term is the same shape: see DistancesForDefocusTerm.
    double asymmetryNm = 0;
};
// Distance of one image from focus.
inline double SideDefocusNm(const ModelEstimate& e, bool extra)
{
    return extra ? e.defocusNm + e.asymmetryNm : e.defocusNm - e.asymmetryNm;
}
// The same estimate with its defocus term moved into the two distances (the term then 0), or back
// (the asymmetry then 0). A quadratic wavefront and a change of the image planes' distances shape
// the images alike, so both estimates render the same pair.
ModelEstimate DistancesForDefocusTerm(const CompensatedOptions& options, const ModelEstimate& estimate);
ModelEstimate DefocusTermForDistances(const CompensatedOptions& options, const ModelEstimate& estimate);
// A model frame blurred by a Gaussian of sigma pixels (same side).
std::vector<double> BlurModelFrame(const ModelFrame& frame, double sigma);

// The same for many sigmas on one frame: the padded spectra are kept, only the inverse is redone.
// The frame must outlive it.
class ModelBlurrer {
public:
    explicit ModelBlurrer(const ModelFrame& frame);
    ~ModelBlurrer();
    ModelBlurrer(ModelBlurrer&&) noexcept;
    std::vector<double> Apply(double sigma);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

Result<ModelFrame> RenderModelFrame(const CompensatedOptions& options,
                                    const ModelEstimate& estimate,
                                    double lambdaNm,
                                    bool extra,
                                    double blurPx,
                                    ModelRenderCache* cache = nullptr);

}  // namespace frontlys
