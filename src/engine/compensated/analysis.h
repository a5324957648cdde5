#pragma once
// The compensated analysis: the wavefront whose ray mapping, applied to both raw defocused frames,
// makes them agree. Each pass samples the two frames along the rays of the current estimate, weighs
// them by the exact Jacobian of that mapping, and corrects the estimate by a weak-form solve of
// I1 - I2 = (a2 - a1) div(S grad dW) on the Zernike terms. No image is shifted, resampled onto a
// grid or differentiated; the pupil edge and the central hole enter through the integrals.
//
// Frames are in the program's orientation (the extra-focal one already turned by 180 degrees),
// row-major, 0-based columns and rows, y up in the pupil. Lengths in nm; coefficients in nm on the
// peak-normalised annular terms, like the numeric correction's. Tilts are not measured: the light
// centroids fix the centres.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/status.h"
#include "engine/pupil_transmission.h"
#include "engine/test_geometry.h"
#include "engine/zernike.h"

namespace frontlys {

struct RawFrame {
    std::span<const double> pixels;
    int width = 0;
    int height = 0;
};

struct CompensatedOptions {
    double focalNm = 0;
    double apertureRadiusNm = 0;
    double pixelNm = 0;                 // pixel size times binning
    std::optional<double> defocusNm;    // nullopt: from the compensated pupil radius
    std::optional<double> obstruction;  // nullopt: measured from the compensated pupil
    // Known spider vanes (none by default). The loop needs no mask for them: their shadows are dark
    // in S as the central hole is, and the weak form integrates across them. The refinement's renders
    // include them, which corrects what they do to the scale and the obstruction.
    SpiderVanes vanes;
    // The vanes measured from the images instead (pipeline.h): `vanes` is then ignored.
    bool measureVanes = false;
    int terms = 22;                // P
    double stopNm = 0.02;          // RMS of an update over terms 4..P that ends the loop
    int maxPasses = 42;            // over all the rounds (each stops at 14)
    bool noiseCovariance = false;  // also the coefficients' covariance under the pair's noise
};

enum class CompensatedStop { Converged, PassLimit, Caustic };

// One frame's preparation.
struct FrameSetup {
    double cx = 0, cy = 0;  // light centroid, 0-based pixels
    double flux = 0;
    double background = 0;  // subtracted from the frame
    double noise = 0;
    double photonVariance =
        0;  // noise variance per ADU of signal, measured on the donut (with the covariance)
};

struct CompensatedResult {
    ZernikeCoefficients coef{};  // nm; piston 0
    double obstruction = 0;
    double defocusNm = 0;
    double rhoPx = 0;  // pupil radius on the frames
    std::array<FrameSetup, 2> frames{};
    int passes = 0;  // over every radius round
    CompensatedStop stop = CompensatedStop::PassLimit;
    double minJacobian = 1;  // smallest det of the final mapping over the lit pupil, of both images
    double lastUpdateNm = 0;
    // The compensated mean intensity S and difference D at the points of the last pass, on a square
    // grid of side 2 * half + 1 raw pixels centred on the pupil (row 0 at the top), 0 off the points.
    int half = 0;
    std::vector<double> meanImage, differenceImage;
    // With noiseCovariance: the covariance of the coefficients under the noise of the pair (photon,
    // read, sky), nm^2 of the peak-normalised terms, P x P row-major (term k at k - 1); piston's row 0.
    std::vector<double> covariance;
};

inline const char* StopCode(CompensatedStop s)
{
    return s == CompensatedStop::Converged   ? "converged"
           : s == CompensatedStop::PassLimit ? "pass limit"
                                             : "caustic";
}

// Refused when no donut is found on a frame, the geometry is incomplete, or the pupil is too
// small (radius under 4 pixels) to sample.
Result<CompensatedResult> CompensatedAnalysis(const RawFrame& intra,
                                              const RawFrame& extra,
                                              const CompensatedOptions& options);

}  // namespace frontlys
