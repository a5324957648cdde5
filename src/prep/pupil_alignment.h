#pragma once
// Bringing the intra- and extra-focal pupil images onto one geometry before the curvature signal:
// each pupil centre on the middle of its frame, both pupils of the same radius. Everything works in
// place and keeps the frame size; nothing is cut out.
//
// Conventions: centres are 1-based (column, row) as FindPupil gives them; the frame middle is
// (Width / 2, Height / 2) in real division (64.0 for 128). Only plane 1 moves; the mask is redone
// from the existing Threshold. Pixels moved out of the frame are lost, pixels moved in are raised
// to the image's former minimum. A missing image (null) makes the pair operations do nothing.

#include "core/image_rec.h"

namespace frontlys {

// Shifts each image so that its pupil centre falls on the middle of the frame, then re-thresholds,
// re-measures and sets the pupil axes. Nothing for images of different sizes. An image whose mask
// holds no pupil is not shifted (its centre would be meaningless) but is still re-measured.
void CoCentre(TImageRec* intra, TImageRec* extra);

// Shrinks the image with the larger pupil radius about its centre to the radius of the other and
// multiplies its values (and threshold) by 1 / f^2, which keeps its total flux. On a tie, or when
// either radius is 0, the factor is 1.
void MatchPupilSizes(TImageRec* intra, TImageRec* extra);

// Resamples plane 1 by f about (CentreX, CentreY) and puts it back into a frame of the same size;
// the pupil centre stays on the same position. A shrunk plane moves inside the full frame, so a
// pupil near the middle keeps its far side. Size, mask, statistics and geometry are unchanged. A
// factor that is not positive and finite leaves the image as it is.
void ZoomAboutCentre(TImageRec& image, double factor);

// Every plane and the mask turned by 180 degrees; statistics and geometry unchanged.
void Rotate180(TImageRec* image);

}  // namespace frontlys
