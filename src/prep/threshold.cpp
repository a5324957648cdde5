#include "prep/threshold.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/numbers.h"
#include "prep/crop.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

// Mean of plane 1 over one block of bw x bh pixels starting at 0-based (row0, col0). Bad pixels
// (NaN, infinite: how masked camera pixels are written) are left out, so a block of them gives NaN
// and takes no part instead of making the threshold NaN.
double BlockMean(const TImageRec& image, int row0, int col0, int bh, int bw)
{
    double sum = 0;
    long count = 0;
    for (int r = row0; r < row0 + bh; ++r) {
        const double* row = image.Planes.Row(0, r);
        for (int c = col0; c < col0 + bw; ++c) {
            if (!std::isfinite(row[c])) continue;
            sum += row[c];
            ++count;
        }
    }
    return count > 0 ? sum / static_cast<double>(count) : std::nan("");
}

}  // namespace

std::optional<ReducedRange> ReducedMinMax(const TImageRec* image, int extractDim)
{
    if (!image) return std::nullopt;
    const int n = std::max(extractDim, 0);
    const int bw = n > 0 ? image->Width / n : 0;
    const int bh = n > 0 ? image->Height / n : 0;
    const double area = static_cast<double>(bw) * bh;
    if (n == 0 || area == 0) return ReducedRange{};  // every cell stays 0
    ReducedRange range;
    bool first = true;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double cell = BlockMean(*image, r * bh, c * bw, bh, bw);
            if (std::isnan(cell)) continue;
            if (first || cell < range.min) range.min = cell;
            if (first || cell > range.max) range.max = cell;
            first = false;
        }
    }
    return range;
}

std::optional<ReducedRange> WindowReducedMinMax(const TImageRec& image,
                                                int extractDim,
                                                const CropWindow& window)
{
    const int n = std::max(extractDim, 0);
    const int b = n > 0 ? window.side / n : 0;
    if (b < 1) return std::nullopt;
    std::optional<ReducedRange> range;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const int row0 = window.top + r * b, col0 = window.left + c * b;
            if (row0 < 0 || col0 < 0 || row0 + b > image.Height || col0 + b > image.Width) continue;
            const double cell = BlockMean(image, row0, col0, b, b);
            if (std::isnan(cell)) continue;
            if (!range) range = ReducedRange{cell, cell};
            range->min = std::min(range->min, cell);
            range->max = std::max(range->max, cell);
        }
    }
    return range;
}

void AutoThreshold(TImageRec& image, int extractDim, double extractSeuil, bool asCut)
{
    MinMaxAll(&image);
    std::optional<ReducedRange> cutRange;
    if (asCut) {
        if (auto donut = LocateDonutInFrame(image.Planes.Plane(0), image.Width, image.Height); donut.ok()) {
            const DonutBlob& m = donut.value().main;
            cutRange = WindowReducedMinMax(image, extractDim, WindowAround(m.cx, m.cy, CropSide(m.radius)));
        }
    }
    const ReducedRange range =
        cutRange ? *cutRange : ReducedMinMax(&image, extractDim).value_or(ReducedRange{});
    const double p = extractSeuil;
    image.Threshold = ((100 - p) * range.min + p * range.max) / 100;
}

void ApplyThreshold(TImageRec* image)
{
    if (!image) return;
    std::int32_t count = 0;
    const double threshold = image->Threshold;
    for (int r = 0; r < image->Height; ++r) {
        const double* row = image->Row(r);
        std::int16_t* mask = image->Mask.Row(0, r);
        for (int c = 0; c < image->Width; ++c) {
            const bool inside = row[c] >= threshold;
            mask[c] = inside ? 1 : 0;
            count += inside ? 1 : 0;
        }
    }
    image->MaskCount = count;
}

double SliderThreshold(double minValue, double maxValue, int pos, int sliderMax)
{
    if (sliderMax <= 0) return minValue;
    const double share = static_cast<double>(sliderMax - pos) / sliderMax;
    return minValue + share * (maxValue - minValue);
}

int FollowThreshold(TImageRec& image, int sliderMax)
{
    MinMaxAll(&image);
    const double lo = image.MinValue, hi = image.MaxValue, t = image.Threshold;
    if (hi != lo && lo <= t && t <= hi)
        return static_cast<int>(RoundToInt((1 - (t - lo) / (hi - lo)) * sliderMax));
    image.Threshold = lo;
    return sliderMax;
}

}  // namespace frontlys
