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

    // out[k] = the spline at column xs[k], row y (0-based pixel centres), k < count, for columns a
    // pixel apart: the bits BSplineImage::Sample gives there; 0 outside the image. The points whose
    // column has the same fractional part share their weights (within a binade of the arithmetic
    // that placed them, all do).
    void SampleRow(const double* xs, int count, double y, double* out) const;

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

// Where a set of whole-pixel points falls on a spline: point p at (from + p) - to + by, each axis
// evaluated in that order.
struct PointShift {
    double fromX = 0, toX = 0, byX = 0;
    double fromY = 0, toY = 0, byY = 0;
};

// out[i] = the spline at point i of `runs`, moved by `shift`; `xs` is scratch.
void SampleRuns(const SplineRows& spline,
                std::span<const PixelRun> runs,
                const PointShift& shift,
                std::vector<double>& xs,
                double* out);

}  // namespace frontlys
