#pragma once
// An image window prepared for cubic B-spline interpolation: sub-pixel samples that keep the
// light's shape better than bilinear weights and need no image derivatives. 0 outside the window.

#include <span>
#include <vector>

namespace frontlys {

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

private:
    int m_x0 = 0, m_y0 = 0, m_w = 0, m_h = 0;
    std::vector<double> m_coef;  // B-spline coefficients, row-major
};

}  // namespace frontlys
