#pragma once
// Forward-model refinement of a compensated analysis. The analysis inverts a geometric model; real
// images also diffract at the pupil edges and are blurred by seeing and pixels, differently on the
// two sides of focus, which biases the rotationally symmetric terms and the obstruction. So: render
// the pair the estimate predicts (wave optics, one wavelength, a fitted blur), analyse it exactly as
// the data, and correct the estimate by the difference; the method's own bias cancels.

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
    bool coarseGrid = false;  // rendered with fewer samples per pixel than the wavelength asks
};

// `first` is CompensatedAnalysis(intra, extra, options). Refused when a render cannot be made.
Result<RefineOutcome> RefineCompensated(const RawFrame& intra,
                                        const RawFrame& extra,
                                        const CompensatedOptions& options,
                                        const CompensatedResult& first,
                                        const RefineOptions& refine);

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
    double defocusNm = 0;
};
// A model frame blurred by a Gaussian of sigma pixels (same side).
std::vector<double> BlurModelFrame(const ModelFrame& frame, double sigma);

Result<ModelFrame> RenderModelFrame(const CompensatedOptions& options,
                                    const ModelEstimate& estimate,
                                    double lambdaNm,
                                    bool extra,
                                    double blurPx);

}  // namespace frontlys
