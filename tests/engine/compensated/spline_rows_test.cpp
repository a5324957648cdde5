#include "engine/compensated/spline_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/compensated/bspline_image.h"

namespace frontlys {
namespace {

// A ring of light on a dark frame, one pixel not finite.
std::vector<double> Frame(int width, int height)
{
    std::vector<double> f(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double r = std::hypot(x - 0.45 * width, y - 0.55 * height);
            f[y * width + x] = 100 * std::exp(-0.05 * (r - 9) * (r - 9)) + 0.3 * x;
        }
    }
    f[7 * width + 11] = std::numeric_limits<double>::quiet_NaN();
    return f;
}

// Rows of points a column apart that start left of, inside and right of the image, on rows near its
// edges and beyond them, read the bits of the point-by-point spline, rebuilt over an image of another
// size too. Points placed by arithmetic that rounds differently along the row (across 64 here) get
// their own weights.
TEST(SplineRows, RowsReadThePointByPointSplinesBits)
{
    SplineRows rows;
    for (const auto& [w, h] : {std::pair{37, 29}, {24, 31}, {80, 12}}) {
        const std::vector<double> f = Frame(w, h);
        rows.Build(f, w, h);
        const BSplineImage reference(f, w, 0, 0, w, h);
        std::vector<double> xs(w + 12), out(xs.size());
        for (double y : {-0.5, 0.0, 0.3, 1.7, 5.25, h - 1.6, h - 1.0, h - 0.9})
            for (double x : {-6.3, -0.75, 0.0, 0.6, 2.125, w - 5.4, w - 1.0, 0.1 + 1.0 / 3}) {
                for (std::size_t k = 0; k < xs.size(); ++k)
                    xs[k] = x + 0.7 * 3 + static_cast<double>(k) - 2.1;
                rows.SampleRow(xs.data(), static_cast<int>(xs.size()), y, out.data());
                for (std::size_t k = 0; k < xs.size(); ++k)
                    EXPECT_EQ(out[k], reference.Sample(xs[k], y))
                        << w << " x " << h << " at " << xs[k] << ", " << y;
            }
    }
}

// A disc's pixels in row order become one run per row (two where a pixel is missing), and the
// runs' samples land at their points' places, moved as the shift says.
TEST(SplineRows, RunsCoverTheirPointsInOrder)
{
    const int w = 30, h = 26;
    const std::vector<double> f = Frame(w, h);
    SplineRows rows;
    rows.Build(f, w, h);
    std::vector<int> x, y;
    for (int r = 2; r < 24; ++r)
        for (int c = 2; c < 28; ++c)
            if ((c - 15) * (c - 15) + (r - 13) * (r - 13) <= 100 && !(r == 13 && c == 15)) {
                x.push_back(c);
                y.push_back(r);
            }
    const std::vector<PixelRun> runs = RunsOf(x, y);
    EXPECT_EQ(runs.size(), 22u);  // 21 rows, the middle one split
    std::vector<double> out(x.size()), scratch;
    const PointShift shift{13.37, 14.1, 0.25, 12.9, 13.4, -0.125};
    SampleRuns(rows, runs, shift, scratch, out.data());
    const BSplineImage reference(f, w, 0, 0, w, h);
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_EQ(out[i], reference.Sample(13.37 + x[i] - 14.1 + 0.25, 12.9 + y[i] - 13.4 - 0.125)) << i;
}

}  // namespace
}  // namespace frontlys
