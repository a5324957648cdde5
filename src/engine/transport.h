#pragma once
// Geometric transport of defocused pupil images along the ray aberrations of a wavefront.
//
// A wavefront slope (nm per unit reduced radius) moves the light by a * slope in reduced units of
// the defocused plane, with a1 = -F (F - l) / (l R^2) for the intra-focal image and
// a2 = F (F + l) / (l R^2) for the extra-focal one, both times cos u_max for the exact donut radius
// l tan u_max of a fast beam (engine/beam_geometry.h); the intensity is multiplied by the Jacobian
// 1 + a lap W + a^2 det(Hessian W). Slopes use the wavefront's grid steps, positions the image's own
// axes. Pixels whose source lands outside the image (and the last row and column) become 0.

#include "core/image_rec.h"
#include "core/status.h"
#include "engine/test_geometry.h"

namespace frontlys {

// Per-pixel differences of the current plane along the row (DiffX) or column (DiffY, towards
// increasing row index), not divided by the grid step, written into plane 1 of `out`; one-sided
// where a neighbour is outside the mask, 0 off the mask. The first and last column (DiffX) or row
// (DiffY) are not written. `out` must have the input's size.
void DiffX(const TImageRec& in, TImageRec& out);
void DiffY(const TImageRec& in, TImageRec& out);

struct TransportCoefficients {
    double intra = 0;       // a1 = -F (F - l) / (l R^2) cos u_max
    double extra = 0;       // a2 = F (F + l) / (l R^2) cos u_max
    double difference = 0;  // a2 - a1 = 2 F^2 / (l R^2) cos u_max, without the cancellation
};
// The coefficients for focal length F, aperture radius R and defocus l, all in one length unit (the
// coefficients then per that unit); unchecked: infinite for l = 0 or R = 0.
TransportCoefficients TransportFor(double focal, double apertureRadius, double defocus);

// Refused when l = 0 or R = 0 (the displacement would be infinite).
Result<TransportCoefficients> TransportCoefficientsFor(const TestGeometry& geometry);

// Replaces the current plane of A (coefficient a1) and of B (a2); masks and axes unchanged.
// Refused, with both images unchanged, for a geometry refused above or images of another size.
Status TransportImages(const TestGeometry& geometry, TImageRec& a, TImageRec& b, const TImageRec& wavefront);

}  // namespace frontlys
