#pragma once
// frontlys-cli plan: which defocus distance to use for a telescope and camera before going out.
//
// A defocus l (mm, from the focus to the detector) gives a donut of radius l R / F (R the aperture
// radius, F the focal length). The usable range is where three conditions hold together:
//   - the donut radius is 30 to 80 binned pixels (fewer: too coarse; more: the light spreads thin);
//   - the seeing FWHM stays under a tenth of the donut radius (it blurs the donut's edge);
//   - an aberration of the expected RMS size keeps every ray bundle clear of the caustic: the
//     smallest Jacobian of the pupil-to-image mapping, on either side of focus, stays above 0.5.
// The curvature signal is proportional to 1 / l, so the shortest usable defocus is the most
// sensitive; the recommended value is that one plus a 20 % margin, kept inside the range.

#include <optional>
#include <ostream>
#include <string>

namespace frontlys::cli {

struct PlanInput {
    double diameterMm = 0;
    double focalMm = 0;
    double pixelUm = 0;
    int binning = 1;
    double seeingArcsec = 2;
    double aberrationNm = 100;  // expected RMS of the worst low-order term
};

struct PlanResult {
    bool feasible = false;
    double minDefocusMm = 0, maxDefocusMm = 0, recommendedDefocusMm = 0;
    double minRadiusPx = 0, maxRadiusPx = 0, recommendedRadiusPx = 0;
    // The shortest defocus each condition allows (the radius condition also bounds from above).
    double radiusMinMm = 0, radiusMaxMm = 0, seeingMinMm = 0, causticMinMm = 0;
    std::string why;  // French sentence: which condition sets the recommended value, or why none
};

// Empty when an input is not positive and finite (the reason in *reason).
std::optional<PlanResult> PlanDefocus(const PlanInput& input, std::string* reason = nullptr);

// Donut radius in binned pixels at a defocus.
double DonutRadiusAt(const PlanInput& input, double defocusMm);

// The smallest Jacobian of the ray mapping over the pupil, on both sides of focus, for the worst of
// astigmatism, coma and spherical aberration at input.aberrationNm RMS.
double SmallestJacobian(const PlanInput& input, double defocusMm);

// Text summary or JSON object on out; 0 done, 2 refused input (reason on err).
int RunPlan(const PlanInput& input, bool json, std::ostream& out, std::ostream& err);

}  // namespace frontlys::cli

namespace CLI {
class App;
}

namespace frontlys::cli {
void AddPlanCommand(CLI::App& app, int* exitCode);
}
