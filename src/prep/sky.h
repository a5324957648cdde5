#pragma once
// The smooth sky under a star: a plane fitted to the frame with the donut (and any other star)
// left out, and removed when it is measured to slope. The sky's level at the donut is kept, so the
// background every later stage measures around the donut is unchanged; only the slope goes, which
// would otherwise read as a light difference across the pupil (coma and tilt of the wavefront).
//
// Frames are row-major, 0-based columns and rows.

#include <span>

namespace frontlys {

struct SkyPlane {
    double level = 0;               // at (x0, y0)
    double slopeX = 0, slopeY = 0;  // ADU per pixel along the columns and the rows
    double x0 = 0, y0 = 0;
    double slopeSigma = 0;  // standard error of each slope
    int samples = 0;        // pixels that entered the fit (0: no fit)
    double At(double x, double y) const { return level + slopeX * (x - x0) + slopeY * (y - y0); }
};

// Fits the plane to the pixels farther than excludeRadius from (cx, cy), rejecting what stands
// out of it (stars, remaining defects) over three rounds; (x0, y0) = (cx, cy).
SkyPlane FitSkyPlane(
    std::span<const double> frame, int width, int height, double cx, double cy, double excludeRadius);

// Whether the slope stands beyond five standard errors (a flat sky's noise does not).
bool SlopeIsMeasured(const SkyPlane& sky);

// Subtracts the slope in place, keeping the level at (x0, y0).
void RemoveSlope(std::span<double> frame, int width, int height, const SkyPlane& sky);

}  // namespace frontlys
