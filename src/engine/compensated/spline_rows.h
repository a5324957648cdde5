#pragma once
// A cubic B-spline image sampled a stretch of a row at a time, for fits that move a whole image by
// a sub-pixel offset: the points of a stretch share their fractional position, so their 4 x 4
// weights are computed once and the sums run over contiguous coefficients. The coefficients are
// those of BSplineImage over the whole image (mirror boundaries), and the buffers are kept from
// one image to the next, so that a fit trying many blurs of one render allocates nothing.

#include <cstddef>
#include <span>
#include <vector>

#include "core/large_buffer.h"

namespace frontlys {

class SplineRows {
public:
    // The spline of `pixels` (width x height, row-major); non-finite pixels count as 0.
    void Build(std::span<const double> pixels, int width, int height);

    // out[k] = the spline at column x + k, row y (0-based pixel centres), k < count: the value
    // BSplineImage::Sample gives there, to rounding; 0 outside the image.
    void SampleStretch(double x, double y, int count, double* out) const;

    int width() const { return m_w; }
    int height() const { return m_h; }

private:
    int m_w = 0, m_h = 0;
    Buffer<double> m_coef;
};

// A set of points on whole pixels, as runs along rows: each run holds `count` points from column x
// on row y, the first of them at index `first` of the set.
struct PixelRun {
    int y = 0, x = 0, count = 0;
    std::size_t first = 0;
};

// The runs of points given in row order (each row's columns increasing).
std::vector<PixelRun> RunsOf(std::span<const int> x, std::span<const int> y);

// out[i] = spline at (x_i + ox, y_i + oy) for every point of `runs`.
void SampleRuns(const SplineRows& spline, std::span<const PixelRun> runs, double ox, double oy, double* out);

}  // namespace frontlys
