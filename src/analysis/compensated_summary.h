#pragma once
// What a compensated analysis reports beside its coefficients, for the JSON and the text summary.

#include <array>
#include <optional>
#include <string>

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
    std::string stop;  // "converged", "pass limit", "caustic"
    double minJacobian = 1;
    double blurPx = 0;  // the model's blur (0 without the refinement)
    // Self-consistency of the refined answer; empty when no refinement ran (refineSkipped says why
    // when one was asked).
    std::optional<double> refineResidualNm;
    int refineRounds = 0;
    std::string refineSkipped;
    bool refineCoarse = false;  // rendered on a grid coarser than the wavelength asks
    double obstruction = 0;
    double defocusNm = 0;
    double radiusPx = 0;
    std::optional<ScaleSummary> scale;
    // Image-space misfits (chi-square per pixel) of the unrefined and refined answers, and which was kept.
    std::optional<double> misfitUnrefined, misfitRefined;
    std::string kept = "unrefined";
};

}  // namespace frontlys
