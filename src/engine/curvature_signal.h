#pragma once
// The curvature signal: (intra - extra) / (intra + extra) per pixel, with the union of both pupils
// as its mask, its pupil centre and radius measured from that mask, reduced pupil axes
// (x right, y up, edge at radius 1) and the obstruction ratio.
//
// Only plane 1 of each input is read. A pixel whose sum is exactly 0 keeps the signal's previous
// value, so the correction loop can reuse the signal image. Values are computed inside and outside
// the mask alike; the mask (exactly 1) says which pixels belong to the pupil.

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

// Refused (nothing changed) when the inputs differ in size or the signal image has another size.
Status ComputeSignal(const TImageRec& intra, const TImageRec& extra, TImageRec& signal);

}  // namespace frontlys
