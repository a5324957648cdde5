#include "prep/donut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace frontlys {
namespace {

struct Frame {
    int w, h;
    std::vector<double> px;
};

// Annulus of level `light` over a bias with Gaussian noise; a second, fainter disk if asked.
Frame DonutFrame(int w,
                 int h,
                 double cx,
                 double cy,
                 double outer,
                 double inner,
                 double bias,
                 double light,
                 double noise,
                 unsigned seed,
                 double star2x = -1)
{
    Frame f{w, h, std::vector<double>(static_cast<std::size_t>(w) * h)};
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double r = std::hypot(x - cx, y - cy);
            double v = bias + (r <= outer && r >= inner ? light : 0);
            if (star2x >= 0 && std::hypot(x - star2x, y - 20.0) <= 6) v += 0.5 * light;
            f.px[static_cast<std::size_t>(y) * w + x] = v + (noise > 0 ? n(rng) : 0);
        }
    }
    return f;
}

TEST(Donut, OffCentreDonutOnWideFrameOverBiasWithSecondStar)
{
    Frame f = DonutFrame(300, 180, 201.3, 97.6, 40, 12, 500, 60, 5, 1, 40);
    f.px[10 * 300 + 10] = std::numeric_limits<double>::quiet_NaN();
    f.px[170 * 300 + 290] = std::numeric_limits<double>::infinity();
    const auto loc = LocateDonut(f.px, f.w, f.h);
    ASSERT_TRUE(loc.ok()) << loc.status().reason;
    EXPECT_NEAR(loc.value().main.cx, 201.3, 0.15);
    EXPECT_NEAR(loc.value().main.cy, 97.6, 0.15);
    EXPECT_NEAR(loc.value().main.radius, 43, 4);  // the smoothing widens the lit component a little
    EXPECT_NEAR(loc.value().background, 500, 0.5);
    EXPECT_NEAR(loc.value().noise, 5, 0.5);
    const double trueFlux = 60 * std::numbers::pi * (40 * 40 - 12 * 12);
    EXPECT_NEAR(loc.value().main.flux, trueFlux, 0.02 * trueFlux);
    ASSERT_EQ(loc.value().others.size(), 1u);
    EXPECT_NEAR(loc.value().others[0].cx, 40, 1);
}

TEST(Donut, RefusesPureNoiseAndTinyFrames)
{
    const Frame noise = DonutFrame(128, 128, 64, 64, 30, 0, 100, 0, 3, 2);
    EXPECT_FALSE(LocateDonut(noise.px, noise.w, noise.h).ok());
    const std::vector<double> tiny(8 * 8, 1.0);
    EXPECT_FALSE(LocateDonut(tiny, 8, 8).ok());
    EXPECT_FALSE(LocateDonut(tiny, 16, 16).ok());  // size mismatch
}

}  // namespace
}  // namespace frontlys
