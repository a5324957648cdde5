#pragma once
// Software binning: each block of n x n pixels summed into one, as a camera bins. The light is kept
// and the pixel grows n times, so the pixel scale of the binned frame is n times the original.
//
// Frames are row-major, 0-based columns and rows.

#include <span>
#include <vector>

namespace frontlys {

struct BinnedFrame {
    std::vector<double> pixels;
    int width = 0, height = 0;
};

// Sums n x n blocks; the last columns and rows that do not fill a block are left out (a part
// block would read as a darker pixel). A block with a non-finite pixel is non-finite, so the
// later cleaning repairs it as one bad pixel. n < 2 returns the frame as given.
BinnedFrame SumBlocks(std::span<const double> frame, int width, int height, int n);

}  // namespace frontlys
