#include "prep/binning.h"

#include <cstddef>

namespace frontlys {

BinnedFrame SumBlocks(std::span<const double> frame, int width, int height, int n)
{
    BinnedFrame out;
    if (n < 2) {
        out.pixels.assign(frame.begin(), frame.end());
        out.width = width;
        out.height = height;
        return out;
    }
    out.width = width / n;
    out.height = height / n;
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 0.0);
    for (int y = 0; y < out.height * n; ++y) {
        const double* row = frame.data() + static_cast<std::size_t>(y) * width;
        double* binned = out.pixels.data() + static_cast<std::size_t>(y / n) * out.width;
        for (int x = 0; x < out.width * n; ++x) binned[x / n] += row[x];
    }
    return out;
}

}  // namespace frontlys
