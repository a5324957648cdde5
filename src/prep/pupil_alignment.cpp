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

// The plane in the top-left corner of a zero frame at least rows x cols.
Planes3D<double> PadTo(Planes3D<double>& plane, int rows, int cols)
{
    if (plane.rows() >= rows && plane.cols() >= cols) return std::move(plane);
    Planes3D<double> frame(1, std::max(plane.rows(), rows), std::max(plane.cols(), cols));
    for (int r = 0; r < plane.rows(); ++r) std::copy_n(plane.Row(0, r), plane.cols(), frame.Row(0, r));
    return frame;
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
    const int width = image.Width, height = image.Height;
    Planes3D<double> plane(1, height, width);
    std::copy_n(image.Planes.Row(0, 0), plane.size(), plane.data());
    if (!SplineResample(plane, factor, factor).ok()) return;
    // A shrunk plane goes into a zero frame of the full size before it moves: shifted inside its own
    // smaller frame, the far side of a pupil near the middle would be cut off.
    Planes3D<double> frame = PadTo(plane, height, width);
    // Resampling maps position c to (c - 1) f + 1; this shift takes the centre back to c.
    ShiftImage(frame, (1 - factor) * (image.CentreY - 1), (1 - factor) * (image.CentreX - 1));
    for (int r = 0; r < height; ++r) std::copy_n(frame.Row(0, r), width, image.Planes.Row(0, r));
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
