#include "prep/pupil_alignment.h"

#include <algorithm>

#include "prep/pupil.h"
#include "prep/shift_resample.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

void CentreOnFrame(TImageRec& image)
{
    if (image.Radius <= 0) return;
    const double rowShift = image.Height / 2.0 - image.CentreY;
    const double colShift = image.Width / 2.0 - image.CentreX;
    ShiftImagePlane(image.Planes, 0, rowShift, colShift);
}

void Remeasure(TImageRec& image, double floor)
{
    ApplyThreshold(&image);
    FindPupil(&image);
    ClampBelow(image, floor);
    SetPupilAxes(&image);
}

}  // namespace

void CoCentre(TImageRec* intra, TImageRec* extra)
{
    if (!intra || !extra || intra->Width != extra->Width || intra->Height != extra->Height) return;
    for (TImageRec* image : {intra, extra}) {
        FindPupil(image);
        MinMaxAll(image);
    }
    for (TImageRec* image : {intra, extra}) {
        CentreOnFrame(*image);
        Remeasure(*image, image->MinValue);
    }
}

void MatchPupilSizes(TImageRec* intra, TImageRec* extra)
{
    if (!intra || !extra) return;
    for (TImageRec* image : {intra, extra}) {
        FindPupil(image);
        MinMaxAll(image);
    }
    TImageRec& large = intra->Radius > extra->Radius ? *intra : *extra;
    const TImageRec& small = &large == intra ? *extra : *intra;
    // A small pupil of radius 0 would give a factor 0 and values scaled by infinity.
    const double f = (large.Radius > 0 && small.Radius > 0) ? small.Radius / large.Radius : 1.0;
    const double floor = large.MinValue;
    ZoomAboutCentre(large, f);
    ScaleImage(large, 1 / (f * f));
    large.Threshold = large.Threshold / (f * f);
    Remeasure(large, floor);
}

void ZoomAboutCentre(TImageRec& image, double factor)
{
    if (image.Planes.empty()) return;
    Result<Planes3D<double>> zoomed = SplineResampled(image.Planes, 0, factor, factor);
    if (!zoomed.ok()) return;
    // Resampling maps position c to (c - 1) f + 1; this shift takes the centre back to c. The shift
    // reads the resampled plane through a zero border into the full frame: shifted inside its own
    // smaller frame, the far side of a pupil near the middle would be cut off.
    ShiftPlaneInto(zoomed.value(),
                   image.Planes,
                   0,
                   (1 - factor) * (image.CentreY - 1),
                   (1 - factor) * (image.CentreX - 1));
}

void Rotate180(TImageRec* image)
{
    if (!image) return;
    // A plane stored row after row, read backwards, is the plane turned by 180 degrees.
    for (int p = 0; p < image->Planes.planes(); ++p) {
        auto plane = image->Planes.Plane(p);
        std::reverse(plane.begin(), plane.end());
    }
    for (int p = 0; p < image->Mask.planes(); ++p) {
        auto plane = image->Mask.Plane(p);
        std::reverse(plane.begin(), plane.end());
    }
}

}  // namespace frontlys
