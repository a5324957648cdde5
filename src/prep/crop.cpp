#include "prep/crop.h"

#include <algorithm>
#include <cmath>

namespace frontlys {

int CropSide(double radiusPx)
{
    const double need = 2.6 * std::max(0.0, radiusPx) + 16;
    int side = 128;
    while (side < need && side < (1 << 30)) side *= 2;
    return side;
}

CropWindow WindowAround(double cx, double cy, int side)
{
    const int col = static_cast<int>(std::lround(cx)), row = static_cast<int>(std::lround(cy));
    return {col - side / 2, row - side / 2, side};
}

ImageSlot CutSquare(
    std::span<const double> frame, int width, int height, const CropWindow& window, double fill)
{
    ImageSlot image = NewImage(window.side, window.side);
    for (int r = 0; r < window.side; ++r) {
        double* out = image->Row(r);
        const int y = window.top + r;
        if (y < 0 || y >= height) {
            std::fill(out, out + window.side, fill);
            continue;
        }
        const double* in = frame.data() + static_cast<std::size_t>(y) * width;
        for (int c = 0; c < window.side; ++c) {
            const int x = window.left + c;
            out[c] = x >= 0 && x < width ? in[x] : fill;
        }
    }
    return image;
}

std::vector<double> BinFrame(
    std::span<const double> frame, int width, int height, int factor, int* binnedWidth, int* binnedHeight)
{
    const int bw = (width + factor - 1) / factor, bh = (height + factor - 1) / factor;
    std::vector<double> sum(static_cast<std::size_t>(bw) * bh, 0.0);
    std::vector<int> count(sum.size(), 0);
    for (int y = 0; y < height; ++y) {
        const double* in = frame.data() + static_cast<std::size_t>(y) * width;
        const std::size_t rowStart = static_cast<std::size_t>(y / factor) * bw;
        for (int x = 0; x < width; ++x) {
            if (!std::isfinite(in[x])) continue;
            sum[rowStart + x / factor] += in[x];
            ++count[rowStart + x / factor];
        }
    }
    for (std::size_t i = 0; i < sum.size(); ++i) sum[i] = count[i] > 0 ? sum[i] / count[i] : std::nan("");
    *binnedWidth = bw;
    *binnedHeight = bh;
    return sum;
}

}  // namespace frontlys
