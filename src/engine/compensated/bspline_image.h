#pragma once
// An image window prepared for cubic B-spline interpolation: sub-pixel samples that keep the
// light's shape better than bilinear weights and need no image derivatives. 0 outside the window.

#include <cstddef>
#include <span>
#include <vector>

#include "core/large_buffer.h"

namespace frontlys {

// In-place cubic B-spline prefilter of n samples spaced by `stride` (mirror boundaries), each sample
// `lanes` values laneStride apart filtered alike (adjacent by default). Symmetric away from the
// ends, so it also serves as its own transpose there.
void BSplinePrefilter(double* c, int n, std::ptrdiff_t stride, int lanes = 1, std::ptrdiff_t laneStride = 1);

// The prefilter of a whole width x height image (row-major), rows then columns: the coefficients of
// every spline image of the program, so that its samplers agree to the bit.
void BSplinePrefilterImage(double* c, int width, int height);

// The four cubic B-spline weights at fraction t of a pixel.
inline void BSplineWeights(double t, double w[4])
{
    const double s = 1 - t;
    w[0] = s * s * s / 6;
    w[1] = (4 - 6 * t * t + 3 * t * t * t) / 6;
    w[2] = (4 - 6 * s * s + 3 * s * s * s) / 6;
    w[3] = t * t * t / 6;
}

class BSplineImage {
public:
    BSplineImage() = default;
    // The window [x0, x0 + width) x [y0, y0 + height) of a frame of frameWidth columns (row-major);
    // `level` is subtracted from every pixel; non-finite pixels count as 0.
    BSplineImage(std::span<const double> frame,
                 int frameWidth,
                 int x0,
                 int y0,
                 int width,
                 int height,
                 double level = 0);

    // Value at frame column x, row y (0-based pixel centres); 0 outside the window.
    double Sample(double x, double y) const;
    // Sample at four points, out[l] the same bits as Sample(x[l], y[l]): the weights and sums of the
    // four run side by side.
    void Sample4(const double* x, const double* y, double* out) const;

    // The 4 x 4 coefficients and weights that Sample(x, y) combines; false where it gives 0.
    struct Stencil {
        int rows[4], cols[4];  // within the window
        double wx[4], wy[4];
    };
    bool StencilAt(double x, double y, Stencil& s) const;

    int x0() const { return m_x0; }
    int y0() const { return m_y0; }
    int width() const { return m_w; }
    int height() const { return m_h; }

private:
    int m_x0 = 0, m_y0 = 0, m_w = 0, m_h = 0;
    Buffer<double> m_coef;  // B-spline coefficients, row-major, each written by the constructor
};

}  // namespace frontlys
