#include "core/image_rec.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace frontlys {

ImageSlot NewImage(Planes3D<double> planes, int width, int height, int planeCount)
{
    assert(planes.planes() == planeCount && planes.rows() == height && planes.cols() == width);
    auto image = std::make_unique<TImageRec>();
    image->XAxis.assign(static_cast<std::size_t>(width), 0.0);
    image->YAxis.assign(static_cast<std::size_t>(height), 0.0);
    image->Width = width;
    image->Height = height;
    image->PlaneCount = static_cast<std::uint8_t>(planeCount);
    image->Planes = std::move(planes);
    image->CurrentPlane = 1;
    image->Mask = Planes3D<std::int16_t>(1, height, width);
    return image;
}

ImageSlot NewImage(int width, int height)
{
    return NewImage(Planes3D<double>(1, height, width), width, height, 1);
}

void ClearImage(TImageRec& image)
{
    std::fill(image.XAxis.begin(), image.XAxis.end(), 0.0);
    std::fill(image.YAxis.begin(), image.YAxis.end(), 0.0);
    image.Planes.Fill(0.0);
    image.Mask.Fill(0);
    image.CurrentPlane = 1;
}

void SetAxes(TImageRec& image,
             double colA,
             double rowA,
             double xA,
             double yA,
             double colB,
             double rowB,
             double xB,
             double yB)
{
    const double sx = colB == colA ? 0.0 : (xB - xA) / (colB - colA);
    const double sy = rowB == rowA ? 0.0 : (yB - yA) / (rowB - rowA);
    for (int i = 1; i <= image.Width; ++i) image.XAxis[i - 1] = xA + (i - colA) * sx;
    for (int j = 1; j <= image.Height; ++j) image.YAxis[j - 1] = yA + (j - rowA) * sy;
}

void SetPupilAxes(TImageRec* image)
{
    if (!image) return;
    SetAxes(*image,
            image->CentreX,
            image->CentreY,
            0,
            0,
            image->CentreX + image->Radius,
            image->CentreY + image->Radius,
            1,
            -1);
}

void TakePupilGeometry(const TImageRec& from, TImageRec& to)
{
    to.CentreX = from.CentreX;
    to.CentreY = from.CentreY;
    to.Radius = from.Radius;
    SetPupilAxes(&to);
}

void ScaleImage(TImageRec& image, double factor)
{
    for (double& v : std::span<double>(image.Planes.data(), image.Planes.size())) v *= factor;
}

void MinMaxInMask(TImageRec& image)
{
    image.Range = 0;
    bool first = true;
    double lo = 0, hi = 0;
    // Column by column: the order decides nothing but keeps ties reproducible.
    for (int c = 0; c < image.Width; ++c) {
        for (int r = 0; r < image.Height; ++r) {
            if (!image.InMask(r, c)) continue;
            const double v = image.At(r, c);
            if (first) {
                lo = hi = v;
                first = false;
            } else {
                if (v > hi) hi = v;
                if (v < lo) lo = v;
            }
        }
    }
    if (first) return;  // empty mask: the previous extremes stay
    image.MinValue = lo;
    image.MaxValue = hi;
    image.Range = hi - lo;
}

void MinMaxAll(TImageRec* image)
{
    if (!image || image->Width <= 0 || image->Height <= 0) return;
    double lo = image->At(0, 0), hi = lo;
    for (int r = 0; r < image->Height; ++r) {
        const double* row = image->Row(r);
        for (int c = 0; c < image->Width; ++c) {
            lo = std::min(lo, row[c]);
            hi = std::max(hi, row[c]);
        }
    }
    image->MinValue = lo;
    image->MaxValue = hi;
    image->Range = hi - lo;
}

void MeanStdInMask(TImageRec& image)
{
    long n = 0;
    double s = 0, q = 0;
    for (int r = 0; r < image.Height; ++r) {
        const double* row = image.Row(r);
        const std::int16_t* mask = image.Mask.Row(0, r);
        for (int c = 0; c < image.Width; ++c) {
            if (mask[c] != 1) continue;
            ++n;
            s += row[c];
            q += row[c] * row[c];
        }
    }
    image.MaskCount = static_cast<std::int32_t>(n);
    if (n == 0) {
        image.MeanValue = 0;
        image.StdDev = 0;
        return;
    }
    image.MeanValue = s / n;
    // Rounding can make the variance of a uniform image slightly negative: that is 0.
    image.StdDev = std::sqrt(std::max(0.0, q / n - image.MeanValue * image.MeanValue));
}

void AddImage(TImageRec& destination, const TImageRec& source)
{
    for (int r = 0; r < destination.Height; ++r) {
        double* d = destination.Planes.Row(0, r);
        const double* s = source.Planes.Row(0, r);
        for (int c = 0; c < destination.Width; ++c) d[c] += s[c];
    }
}

void CopyMask(const TImageRec& source, TImageRec& destination)
{
    for (int r = 0; r < source.Height; ++r)
        std::copy_n(source.Mask.Row(0, r), source.Width, destination.Mask.Row(0, r));
}

void CopyImage(const TImageRec* source, TImageRec* destination)
{
    if (!source || !destination || source == destination) return;
    assert(destination->Width == source->Width && destination->Height == source->Height &&
           destination->PlaneCount == source->PlaneCount);
    *destination = *source;  // value type: storage and scalars copied together
}

void ClampBelow(TImageRec& image, double floor)
{
    for (int r = 0; r < image.Height; ++r) {
        double* row = image.Row(r);
        for (int c = 0; c < image.Width; ++c)
            if (row[c] < floor) row[c] = floor;
    }
}

}  // namespace frontlys
