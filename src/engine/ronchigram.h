#pragma once
// Simulated Ronchi test: a grating of straight bars seen through the aberrated beam at a distance
// from focus, sampled where the rays of each pupil pixel land.
//
// Conventions: the wavefront is in nanometres with reduced pupil axes; the geometry in nanometres.
// A slope p (nm per unit reduced radius) moves the ray by a p reduced units, a = -F (F - l) / (l R^2),
// l the grating's distance from focus. Landing points are interpolated bilinearly in the grating;
// those whose base pixel is not strictly inside the image (and the last row and column) give 0.

#include "core/image_rec.h"
#include "core/status.h"
#include "engine/test_geometry.h"

namespace frontlys {

// The grating's distance from focus for a number of bars: 0.2 mm per bar, in nm.
double RonchiGratingDistance(int fringes);

// Value 1 where cos(pi bars (sin(angle) y + cos(angle) x)) > 0, else 0, in the first plane; every
// mask value becomes 1. Angle 0 gives vertical bars, `bars` pairs across the pupil diameter.
void RonchiGrating(TImageRec& image, int bars, double angleRadians);

// Replaces the grating's current plane by the grating seen through the wavefront. Refused, with the
// grating unchanged, when l or R is 0 or the sizes differ.
Status RonchiTransport(const TestGeometry& geometry, TImageRec& grating, const TImageRec& wavefront);

// The whole Ronchigram into `output` (the wavefront's size): the wavefront's centre, radius and
// axes, the grating, the wavefront's mask, the transport at RonchiGratingDistance(fringes) in place
// of the test's defocus, kind 7. Refused, with the output unchanged, on the conditions above.
Status BuildRonchigram(const TestGeometry& test,
                       const TImageRec& wavefront,
                       int fringes,
                       double angleDegrees,
                       TImageRec& output);

}  // namespace frontlys
