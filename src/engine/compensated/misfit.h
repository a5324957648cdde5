#pragma once
// An independent judge of candidate answers: how well each explains the observed pixels. Each
// candidate is rendered with wave optics (refine.h's model) and fitted to each image with the same
// nuisances — sub-pixel centre, Gaussian blur, flux and sky — and the misfit is a chi-square with the
// data's own noise model (variance = sky variance + alpha x signal, alpha estimated from the frame),
// so that every candidate is weighed the same way.

#include "engine/compensated/analysis.h"
#include "engine/compensated/refine.h"

namespace frontlys {

struct ImageMisfit {
    double chi2PerPixel = 0;  // both images
    int pixels = 0;
    std::array<double, 2> blurPx{};
};

// The noise model of a frame: sky variance (ADU^2) and variance per ADU of signal.
struct FrameNoise {
    double skyVariance = 0;
    double alpha = 0;
};
FrameNoise EstimateFrameNoise(const RawFrame& frame, const FrameSetup& setup, double rhoPx);

// `options.defocusNm` and `obstruction` are ignored: the estimate carries them.
Result<ImageMisfit> MeasureImageMisfit(const RawFrame& intra,
                                       const RawFrame& extra,
                                       const CompensatedResult& frames,
                                       const CompensatedOptions& options,
                                       const ModelEstimate& estimate,
                                       double lambdaNm,
                                       ModelRenderCache* cache = nullptr);

}  // namespace frontlys
