#pragma once
// The modulation transfer function and the encircled energy of a wavefront, beside those of the same
// pupil without aberration.
//
// Method: the pupil function A exp(i k W) (A = 1 on the mask) is zero-padded to twice its extent, its
// PSF |FT|^2 computed and transformed back: the optical transfer function, the autocorrelation of the
// pupil, without wrap-around. The MTF is |OTF| averaged over rings of one pupil pixel, normalised to
// 1 at zero frequency. The energy inside a circle of radius r centred on the reference image point
// (tilt removed from the wavefront: the chief ray) follows from the OTF as
//     EE(r) = integral OTF(nu) r J1(2 pi r |nu|) / |nu| d2nu = 2 pi r int_0^nc T(nu) J1(2 pi r nu) dnu,
// T the azimuthal mean of Re OTF, so it is exact for any PSF shape, not limited by its pixel grid.
//
// Units: frequency as a fraction of the cutoff nc = D / lambda (cycles per radian), so 1 is the
// cutoff; radius in lambda / D (radians; multiply by the focal length for the focal plane).

#include <vector>

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

struct OpticalTransfer {
    std::vector<double> frequency;       // fraction of the cutoff, 0 .. 1, one sample per pupil pixel
    std::vector<double> mtf;             // of the wavefront
    std::vector<double> mtfDiffraction;  // of the same pupil, no aberration
    std::vector<double> radius;          // lambda / D
    std::vector<double> encircled;       // fraction of the energy inside the radius
    std::vector<double> encircledDiffraction;
    double strehl = 0;  // volume ratio of the two OTFs: the PSFs' ratio at the reference point
};

// Refused for a wavefront without a pupil grid or mask, a wavelength that is not positive, or a pupil
// whose padded transform would pass 4096 pixels a side. maxRadius: the largest radius of the
// encircled energy, lambda / D.
Result<OpticalTransfer> ComputeOpticalTransfer(const TImageRec& wavefront,
                                               double lambdaNm,
                                               double maxRadius = 8);

// Radius (lambda / D) inside which the given fraction of the energy lies; NaN when the curve does not
// reach it.
double RadiusForEnergy(const std::vector<double>& radius,
                       const std::vector<double>& encircled,
                       double fraction);

}  // namespace frontlys
