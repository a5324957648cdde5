#pragma once
// Pupil geometry measured from the mask.
//
// Conventions: positions are 1-based pixel units, CentreX a column and CentreY a row, both
// fractional; Radius is in pixels. Only mask value 1 counts as pupil. The row-chord method fills
// every row between its outermost pupil pixels, so the shadow of a central obstruction counts as
// pupil: Radius is that of the disk with the area of the filled pupil. The last column is never
// searched for a row's first pupil pixel, so a row whose only pupil pixel is there adds nothing.
// An empty mask gives Radius 0 and keeps the previous centre; a null image does nothing.

#include "core/image_rec.h"

namespace frontlys {

// Sets Radius, and CentreX, CentreY when the mask is not empty.
void FindPupil(TImageRec* image);

// Obstruction := radius of the disk of the area of the pixels outside the mask within squared
// reduced radius 0.9, over Radius. Needs the pupil axes (SetPupilAxes after FindPupil); an image
// without a pupil (Radius <= 0) or without axes gets Obstruction 0.
void MeasureObstruction(TImageRec& image);

// Bad pixels (NaN or infinite) of the current plane inside the pupil disk (Radius about the centre);
// 0 when there is no pupil. The threshold search ignores them; inside the pupil they spoil the signal.
int CountBadPixelsInPupil(const TImageRec& image);

// The useful-region frame: a square of a power-of-two side (at least 4) covering 1.15 x Radius about
// the centre, with its top-left corner in image pixels.
struct UsefulRegion {
    int left = 0;
    int top = 0;
    int side = 4;
};
UsefulRegion UsefulRegionFrame(double centreX, double centreY, double radius);

}  // namespace frontlys
