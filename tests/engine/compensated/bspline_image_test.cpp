#include "engine/compensated/bspline_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace frontlys {
namespace {

// A frame of a smooth ramp plus a bump.
std::vector<double> Frame(int width, int height)
{
    std::vector<double> f(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            f[y * width + x] =
                10 + x + 2 * y + 5 * std::exp(-0.1 * ((x - 20) * (x - 20) + (y - 15) * (y - 15)));
    return f;
}

// The spline passes through the pixel values, less the level; outside the window it reads 0.
TEST(BSplineImage, InterpolatesThePixelsInsideItsWindow)
{
    const int width = 48, height = 40;
    const std::vector<double> f = Frame(width, height);
    const BSplineImage image(f, width, 2, 3, 40, 34, 10);
    double worst = 0;
    for (int y = 3; y < 37; ++y)
        for (int x = 2; x < 42; ++x)
            worst = std::max(worst, std::abs(image.Sample(x, y) - (f[y * width + x] - 10)));
    EXPECT_LT(worst, 1e-9);
    for (const auto& [x, y] : {std::pair{1.99, 20.0}, {41.01, 20.0}, {20.0, 2.5}, {20.0, 36.5}})
        EXPECT_EQ(image.Sample(x, y), 0.0) << x << ", " << y;
}

// Four points at once give each point's own bits: inside the window, at its mirrored edges and past
// it, a group that mixes them, and one on the interior's bounds with points that are not numbers.
TEST(BSplineImage, FourPointsAtOnceMatchEachAlone)
{
    const int width = 48, height = 40;
    const std::vector<double> f = Frame(width, height);
    const BSplineImage image(f, width, 2, 3, 40, 34, 10);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::array<double, 4>> xs = {{10.3, 20.77, 30.01, 39.9},
                                                   {2.2, 3.01, 40.5, 41.0},
                                                   {15.5, 1.0, 25.25, 17.125},
                                                   {3.0, 40.0, nan, 12.5}};
    const std::vector<std::array<double, 4>> ys = {
        {5.4, 20.2, 30.9, 33.3}, {10.5, 3.5, 35.99, 20.0}, {18.75, 12.0, 36.5, 4.01}, {4.0, 10.0, 10.0, nan}};
    for (std::size_t g = 0; g < xs.size(); ++g) {
        double out[4];
        image.Sample4(xs[g].data(), ys[g].data(), out);
        for (int l = 0; l < 4; ++l) EXPECT_EQ(out[l], image.Sample(xs[g][l], ys[g][l])) << g << ", " << l;
    }
}

// The 4 x 4 support mirrors at the window's edges; a window under three pixels a side has nothing to
// mirror into and reads as dark, at its corners as well as inside.
TEST(BSplineImage, AWindowUnderThreePixelsASideReadsDark)
{
    const std::vector<double> f = Frame(6, 5);
    for (const auto& [w, h] : {std::pair{2, 4}, {4, 2}, {1, 1}, {2, 2}}) {
        const BSplineImage image(f, 6, 1, 1, w, h);
        for (double y : {1.0, 1.5, 1.0 + h - 1})
            for (double x : {1.0, 1.5, 1.0 + w - 1}) EXPECT_EQ(image.Sample(x, y), 0.0) << w << " x " << h;
    }
    // Three a side is enough: the light is read.
    const BSplineImage three(f, 6, 1, 1, 3, 3);
    EXPECT_GT(three.Sample(2, 2), 10);
}

// Lines filtered together, adjacent or a stride apart, get the bits of each line filtered alone.
TEST(BSplineImage, LinesFilteredTogetherMatchEachAlone)
{
    const int n = 37, lines = 5;
    const std::vector<double> f = Frame(n, lines);
    std::vector<double> alone = f;
    for (int l = 0; l < lines; ++l) BSplinePrefilter(&alone[l * n], n, 1);
    std::vector<double> strided = f;  // line l at l * n, its samples adjacent
    BSplinePrefilter(strided.data(), n, 1, lines, n);
    std::vector<double> adjacent(f.size());  // sample i of line l at i * lines + l
    for (int l = 0; l < lines; ++l)
        for (int i = 0; i < n; ++i) adjacent[i * lines + l] = f[l * n + i];
    BSplinePrefilter(adjacent.data(), n, lines, lines);
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(strided[l * n + i], alone[l * n + i]) << l << ", " << i;
            EXPECT_EQ(adjacent[i * lines + l], alone[l * n + i]) << l << ", " << i;
        }
    }
}

}  // namespace
}  // namespace frontlys
