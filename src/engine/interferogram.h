#pragma once
// Simulated interferogram: the fringes of the wavefront against a tilted reference plane.
//
// Conventions: wavefront and wavelengths in nanometres. The tilt plane spans fringes x lambdaRef
// across the pupil diameter, along the direction `angle` (degrees, counter-clockwise from +x with
// y up), so a flat wavefront shows `fringes` straight fringes perpendicular to it when the
// interferometric wavelength equals lambdaRef. Intensities lie in [0, 1].

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

// I = 0.5 + 0.5 cos(2 pi / lambdaInterfero * (tilt - wavefront)) at every pixel, mask or not, into
// the output's current plane. All three images must have the same size; nothing is done otherwise.
void MakeInterferogram(const TImageRec& wavefront,
                       const TImageRec& tilt,
                       double lambdaInterfero,
                       TImageRec& output);

// The whole interferogram of a wavefront into `output` (same size as the wavefront): the values,
// the wavefront's centre, radius, axes and mask, kind 5. Refused, with the output unchanged, for
// another size or a wavelength that is not a positive number.
Status BuildInterferogram(const TImageRec& wavefront,
                          int fringes,
                          double angleDegrees,
                          double lambdaRef,
                          double lambdaInterfero,
                          TImageRec& output);

}  // namespace frontlys
