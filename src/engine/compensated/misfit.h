#pragma once
// An independent judge of candidate answers: how well each explains the observed pixels. Each
// candidate is rendered with wave optics (refine.h's model) and fitted to each image with the same
// nuisances — sub-pixel centre, Gaussian blur, flux and sky — and the misfit is a chi-square with the
// data's own noise model (variance = sky variance + alpha x signal, alpha estimated from the frame),
// so that every candidate is weighed the same way.
//
// alpha from the frame alone (neighbour differences inside the donut) also counts the image's own
// structure: on a simulated pair with unit gain it read 19-25, and the chi-square 0.36 per pixel.
// The residuals of a fitted candidate lose most of that structure, so alpha is the smaller of the
// two readings (both are upper bounds of the noise), measured once on a reference candidate and
// then held for every other.

#include "engine/compensated/analysis.h"
#include "engine/compensated/refine.h"

namespace frontlys {

// The noise model of a frame: sky variance (ADU^2) and variance per ADU of signal.
struct FrameNoise {
    double skyVariance = 0;
    double alpha = 0;
};
using PairNoise = std::array<FrameNoise, 2>;  // intra, extra
FrameNoise EstimateFrameNoise(const RawFrame& frame, const FrameSetup& setup, double rhoPx);

struct ImageMisfit {
    double chi2PerPixel = 0;  // both images
    int pixels = 0;
    std::array<double, 2> blurPx{};
    PairNoise noise{};  // the weights used: pass them on to judge other candidates the same way
};

// `options.defocusNm` and `obstruction` are ignored: the estimate carries them. Without `noise`, the
// noise model is measured on this estimate's own fit (see above) and returned in the misfit.
Result<ImageMisfit> MeasureImageMisfit(const RawFrame& intra,
                                       const RawFrame& extra,
                                       const CompensatedResult& frames,
                                       const CompensatedOptions& options,
                                       const ModelEstimate& estimate,
                                       double lambdaNm,
                                       ModelRenderCache* cache = nullptr,
                                       const PairNoise* noise = nullptr);

}  // namespace frontlys
