#pragma once
// Least-squares fit of Zernike terms to a wavefront image, solved through a singular value
// decomposition.
//
// Conventions: the image is in nanometres (current plane), with its mask, reduced pupil axes and
// Obstruction as the annulus of the polynomials. Every pixel of mask 1 inside the annulus with a
// finite value takes part with weight 1. Only the first P terms of the basis count; among them the
// selected ones are fitted and the others get 0; coefficients beyond P are left unchanged.
// Singular values that are negligible against the largest (dependent terms, too few pixels)
// contribute nothing, so the fit always returns finite values; with no pixel it returns zeros.

#include "core/image_rec.h"
#include "engine/zernike.h"

namespace frontlys {

struct ZernikeFitInfo {
    int pixels = 0;         // rows of the design matrix
    int terms = 0;          // selected terms fitted
    int rank = 0;           // singular values that contributed
    int skipped = 0;        // pupil pixels left out because their value was not finite
    bool converged = true;  // every singular value converged within the sweep limit
};

ZernikeFitInfo FitZernike(const TImageRec& wavefront,
                          const ZernikeBasis& basis,
                          const ZernikeSelection& selection,
                          ZernikeCoefficients& coefficients);

}  // namespace frontlys
