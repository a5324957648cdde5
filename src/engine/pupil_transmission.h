#pragma once
// The light-passing part of a telescope pupil: the annulus between the central obstruction and the
// rim, less the spider vanes that hold the secondary mirror. One function for every model that
// renders or weighs a pupil (the simulator, the forward model of the analysis, the image fit).
//
// Reduced pupil coordinates: unit radius, x to the right, y up, as the intra-focal image shows the
// pupil (the program turns the extra-focal one to the same orientation).

#include "engine/wave_optics_core.h"

namespace frontlys {

// Straight radial vanes from the centre to the rim, evenly spread: four at 90 degrees make a cross.
// A spider of an even count may hold every other vane (the second bar of a cross) at a width and a turn
// of its own: vanes at different heights in the tube shade different widths of the converging beam,
// and two bars need not cross square.
struct SpiderVanes {
    int count = 0;            // 0: none
    double width = 0;         // full width of one vane, in aperture radii
    double angleDeg = 0;      // direction of the first vane, from +x towards +y
    double otherWidth = 0;    // full width of every other vane; 0: `width`
    double otherTurnDeg = 0;  // every other vane turned from its even place by this

    bool Present() const { return count > 0 && width > 0; }
    bool operator==(const SpiderVanes&) const = default;
};

// Limits the analyses accept: at most 16 vanes, each narrower than the aperture radius; a second bar
// only with an even count, turned by less than half the spacing.
inline constexpr int kMaxVanes = 16;
bool VanesValid(const SpiderVanes& vanes);

// Distance (pupil units) from (x, y) to the centre line of the nearest vane; a large value without
// vanes. Behind a vane's root the distance is the one to the centre.
double VaneDistance(const SpiderVanes& vanes, double x, double y);

// Signed distance (pupil units) from (x, y) to the nearest vane's edge, positive in the light.
double VaneClearance(const SpiderVanes& vanes, double x, double y);

// Transmission 0..1 at (x, y): eps <= r <= 1 outside the vanes. Each edge is a linear ramp `soft`
// wide (pupil units; the anti-aliasing of a sampled pupil), hard with soft = 0.
double PupilTransmission(double x, double y, double obstruction, const SpiderVanes& vanes, double soft);
PupilFunction MakePupilTransmission(double obstruction, const SpiderVanes& vanes, double soft);

// PupilTransmission of the points (x[i], y) of one row, to the bit, for renders that weigh whole rows:
// the clear interior takes neither a square root nor, away from the vanes, their angles.
void PupilTransmissionRow(double y,
                          std::span<const double> x,
                          std::span<double> out,
                          double obstruction,
                          const SpiderVanes& vanes,
                          double soft);
PupilRowFunction MakePupilTransmissionRow(double obstruction, const SpiderVanes& vanes, double soft);

}  // namespace frontlys
