#pragma once
// From the curvature signal to the wavefront in nanometres over the pupil annulus.
//
// The signal times R^2 l / (F (F - l)) is the Laplacian of the wavefront in nanometres per squared
// reduced radius; the Poisson solver turns it into the wavefront, which is then cleared outside the
// annulus Obstruction <= r <= 1. The output has the signal's centre, radius and reduced axes, the
// mask of the annulus (exactly 1) and Kind 3.

#include "core/image_rec.h"
#include "core/status.h"
#include "engine/poisson.h"
#include "engine/test_geometry.h"

namespace frontlys {

struct ReconstructionSummary {
    bool solved = false;  // false when l = 0 or l = F: no solution, the output keeps its values
    PoissonSummary poisson;
};

// Pixels of mask 1 with x^2 + y^2 above 1 or below Obstruction^2 get value 0 and mask 0.
void ClearOutsideAnnulus(TImageRec& wavefront);

// The wavefront must have the signal's size. Refused, with the wavefront unchanged, when the signal
// is not square with a power-of-two side, has no pupil axes, or has non-finite pupil values.
Result<ReconstructionSummary> ReconstructWavefront(const TestGeometry& geometry,
                                                   const TImageRec& signal,
                                                   TImageRec& wavefront);

}  // namespace frontlys
