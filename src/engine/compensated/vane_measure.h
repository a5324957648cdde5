#pragma once
// Spider vanes measured from the two defocused images. A vane throws a thin radial shadow across
// both donuts at the same pupil angle, where the aberrations brighten one image as much as they
// darken the other: the sum of the two ring profiles keeps the shadows and loses most of the
// aberration. What remains smooth in angle (orders 0 to 2 of each ring) is divided out.
//
// A vane of width w (pupil units) seen along a ring of radius r (pupil units) takes w / r of its
// light in angle, whatever the blur spreads it over. So each ring's deficit is fitted by a comb of
// n evenly spread Gaussian dips of area w / r, for every count, angle and spread of the dips; the
// comb that explains the most of the deficit gives the count, the angle and the width. Every dip
// must stand out on its own against the same statistic taken at every other angle, or none is
// reported: a pair without vanes measures none. A thin vane's shadow takes more light than the vane
// blocks (its scattered light lands far beside it): the width is read back through the same fit of
// the Fresnel shadow of one vane.

#include <string>

#include "engine/compensated/analysis.h"

namespace frontlys {

struct VaneMeasurement {
    SpiderVanes vanes;             // count 0: none found
    double significance = 0;       // the weakest dip's area over the spread of the statistic elsewhere
    double shadowWidth = 0;        // the shadows' width read from their area, pupil units
    double spreadPx = 0;           // the dips' Gaussian spread across a ring, pixels (vane and blur)
    std::string reason;            // why none were reported (empty when vanes were found)
    std::string method = "rings";  // or "image_fit" (image_fit.h, FitVanes)
};

// Dips weaker than this many times the statistic's spread at other angles are not counted as vanes.
inline constexpr double kVaneSignificance = 5;

// `frames` gives each donut's centre and background, the pupil radius and the obstruction. Refused
// (InvalidArgument) when the pupil is too small to see a vane or a donut touches the frame's edge.
Result<VaneMeasurement> MeasureVanes(const RawFrame& intra,
                                     const RawFrame& extra,
                                     const CompensatedResult& frames,
                                     double pixelNm,
                                     double lambdaNm);

}  // namespace frontlys
