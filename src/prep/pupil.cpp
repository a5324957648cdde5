#include "prep/pupil.h"

#include <cmath>

#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr double kPi = 3.14159265358979324;

// First and last searched columns (1-based) of a row's pupil chord; left == width when none.
struct Chord {
    int left;
    int right;
};

Chord RowChord(const std::int16_t* mask, int width)
{
    int left = 1;
    while (left <= width - 1 && mask[left - 1] != 1) ++left;
    if (left > width - 1) return {width, width};
    int right = width - 1;
    while (right >= 2 && mask[right - 1] != 1) --right;
    if (right < 2) right = 1;
    return {left, right};
}

}  // namespace

void FindPupil(TImageRec* image)
{
    if (!image) return;
    const int width = image->Width;
    long long area = 0;
    double sx = 0, sy = 0;
    for (int r = 1; r <= image->Height; ++r) {
        const Chord chord = RowChord(image->Mask.Row(0, r - 1), width);
        if (chord.left == width) continue;
        const long long length = chord.right - chord.left + 1;
        area += length;
        sx += static_cast<double>(length) * (chord.left + chord.right) / 2.0;
        sy += static_cast<double>(length) * r;
    }
    image->Radius = std::sqrt(static_cast<double>(area) / kPi);
    if (area == 0) return;
    image->CentreX = sx / static_cast<double>(area);
    image->CentreY = sy / static_cast<double>(area);
}

void MeasureObstruction(TImageRec& image)
{
    const bool axesSet = image.XAxis.size() >= static_cast<std::size_t>(image.Width) &&
                         image.YAxis.size() >= static_cast<std::size_t>(image.Height);
    if (!(image.Radius > 0) || !axesSet) {
        image.Obstruction = 0;
        return;
    }
    long long count = 0;
    for (int r = 0; r < image.Height; ++r) {
        const double y = image.YAxis[r];
        const std::int16_t* mask = image.Mask.Row(0, r);
        for (int c = 0; c < image.Width; ++c) {
            const double x = image.XAxis[c];
            if (mask[c] == 0 && x * x + y * y < 0.9) ++count;
        }
    }
    image.Obstruction = std::sqrt(static_cast<double>(count) / kPi) / image.Radius;
}

int CountBadPixelsInPupil(const TImageRec& image)
{
    if (!(image.Radius > 0)) return 0;
    const double r2 = image.Radius * image.Radius;
    int count = 0;
    for (int r = 0; r < image.Height; ++r) {
        const double dy = r + 1 - image.CentreY;
        const double* row = image.Row(r);
        for (int c = 0; c < image.Width; ++c) {
            const double dx = c + 1 - image.CentreX;
            if (dx * dx + dy * dy <= r2 && !std::isfinite(row[c])) ++count;
        }
    }
    return count;
}

UsefulRegion UsefulRegionFrame(double centreX, double centreY, double radius)
{
    const double a = 1.15 * radius;
    UsefulRegion region;
    // Bounded: a side beyond 2^30 covers any image we can hold.
    while (region.side < 2 * a && region.side < (1 << 30)) region.side *= 2;
    region.left = static_cast<int>(RoundToInt(centreX - a));
    region.top = static_cast<int>(RoundToInt(centreY - a));
    return region;
}

}  // namespace frontlys
