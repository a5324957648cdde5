#pragma once
// What a compensated analysis reports beside its coefficients, for the JSON and the text summary.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/compensated/analysis.h"

namespace frontlys {

// The image scale against the given defocus (only when one was given).
struct ScaleSummary {
    double givenDefocusNm = 0, measuredDefocusNm = 0;
    double givenRhoPx = 0, measuredRhoPx = 0;
    double mismatch = 0;   // given / measured - 1
    double tolerance = 0;  // the measurement's spread
    bool mismatched = false;
    bool usedMeasured = false;
};

struct CompensatedSummary {
    std::array<double, 2> backgroundAdu{};  // intra, extra
    int passes = 0;
    CompensatedStop stop = CompensatedStop::PassLimit;
    double minJacobian = 1;
    double blurPx = 0;  // the model's blur (0 without the refinement)
    // Self-consistency of the refined answer; empty when no refinement ran (refineSkipped says why
    // when one was asked).
    std::optional<double> refineResidualNm;
    int refineRounds = 0;
    std::string refineSkipped;
    bool refineCoarse = false;     // rendered on a grid coarser than the wavelength asks
    bool refineUnsettled = false;  // the rounds oscillated without converging: the unrefined answer kept
    double obstruction = 0;
    double defocusNm = 0;
    // Each image's own distance from focus: the defocus term read as an unequal focuser travel.
    double defocusIntraNm = 0, defocusExtraNm = 0;
    double radiusPx = 0;

    // Error bars from the noise of the pair (see engine/compensated/uncertainty.h).
    int terms = 0;
    std::vector<double> covariance;          // nm^2 of the peak coefficients, terms x terms; empty: none
    std::vector<double> sigmaRmsNm;          // each term's 1-sigma, nm RMS
    std::array<double, 2> skyNoiseAdu{};     // intra, extra: robust sigma of the frame border
    std::array<double, 2> photonVariance{};  // noise variance per ADU of signal, measured on the donut
    // The bars count the noise only; these say why the true error may be larger (stable codes:
    // "caustic", "geometry_mismatch", "model_misfit").
    std::vector<std::string> lowerBoundReasons;
    int bootstrapSamples = 0;  // --bootstrap: noisy copies analysed, and their spread per term
    int bootstrapFailed = 0;
    std::vector<double> bootstrapSigmaRmsNm;
    std::optional<ScaleSummary> scale;
    // Image-space misfits (chi-square per pixel) of the unrefined and refined answers, and which was kept.
    std::optional<double> misfitUnrefined, misfitRefined;
    std::string kept = "unrefined";  // "unrefined", "refined" or "image_fit"
    // The direct fit of the images, where the loop stopped short: why it ran (empty: it did not), its
    // misfits (its start with the nuisances fitted, its end), each image's fitted distance from focus,
    // or why it failed.
    struct ImageFit {
        std::string reason;
        std::string failure;
        double misfitStart = 0, misfit = 0;
        std::array<double, 2> distanceNm{};
        std::vector<double> startRmsNm;  // the answer it started from, nm RMS of each term
        bool kept = false;
    };
    std::optional<ImageFit> imageFit;
    // The spider vanes measured from the images when asked (count 0: none found, with why; the
    // reason also says why they could not be measured).
    struct VanesMeasured {
        int count = 0;
        double widthMm = 0, angleDeg = 0;
        double significance = 0;  // rings: the weakest shadow over the noise; image fit: the misfit drop
                                  // over its penalty
        std::string reason;
        std::string method;  // "rings" or "image_fit"
        // A cross whose second bar has a width and direction of its own: that bar's width, and its
        // turn from square to the first (0 and 0 where every vane is alike).
        double otherWidthMm = 0, otherTurnDeg = 0;
    };
    std::optional<VanesMeasured> vanesMeasured;
};

}  // namespace frontlys
