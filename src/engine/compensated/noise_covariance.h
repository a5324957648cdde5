#pragma once
// The covariance of the compensated analysis's coefficients under the noise of the pixels.
//
// At the loop's fixed point a change dF of the weak-form right-hand side F_i = sum v_i D moves the
// coefficients by M^-1 dF. F is linear in the pixels: each compensated sample is a B-spline
// interpolation of the frame (prefilter, then a 4 x 4 stencil), times the Jacobian and the flux scale.
// Pushing the test functions back through that chain gives, for each term, its weight on every pixel
// (G_i), so Cov(F) = sum over pixels var(pixel) G_i G_j: the correlation of neighbouring samples (the
// grid is one pixel apart and each sample reads sixteen coefficients, each of which reads the whole
// row and column) is counted exactly, not assumed away. Cov(c) = M^-1 Cov(F) M^-T.
//
// The variance of a pixel is the sky's (the robust sigma of the frame border: read noise and sky)
// plus alpha times its background-free signal; alpha (1 / gain for a photon-counting camera) is
// measured on the donut itself, from the scatter of each pixel about the mean of its four neighbours.

#include <array>
#include <vector>

#include "engine/compensated/internal.h"

namespace frontlys::compensated {

// alpha of the frame: noise variance per ADU of background-free signal, 0 when the donut shows none.
double EstimatePhotonVariance(const RawFrame& frame, const PreparedFrame& prepared);

struct NoiseCovarianceOutcome {
    std::vector<double> covariance;  // P x P, nm^2, term k at k - 1
    std::array<double, 2> photonVariance{};
};

// `loop` is the last loop run on `grid` with `mapping`; the raw frames are those the frames were
// prepared from. Empty covariance when the system cannot be solved.
NoiseCovarianceOutcome NoiseCovariance(const Grid& grid,
                                       const TransportCoefficients& mapping,
                                       const LoopOutcome& loop,
                                       const PreparedFrame& intra,
                                       const PreparedFrame& extra,
                                       const RawFrame& rawIntra,
                                       const RawFrame& rawExtra);

}  // namespace frontlys::compensated
