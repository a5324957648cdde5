// The repair of camera defects and the sky's slope on small frames drawn here: a sharp-rimmed disc
// keeps every pixel, spikes and holes are found, counted and filled, and a slope is measured only
// when it stands out of the noise.
#include "prep/defects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "prep/sky.h"

namespace frontlys {
namespace {

constexpr int kSide = 96;

// A uniform disc of radius 30 with a hole of 8 (obstruction), sharp and noiseless, on a sky of 100.
std::vector<double> Disc()
{
    std::vector<double> f(kSide * kSide, 100.0);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double r = std::hypot(x - 47.3, y - 48.6);
            if (r <= 30 && r >= 8) f[y * kSide + x] = 2300;
        }
    return f;
}

TEST(Defects, TheRimStaysAndSpikesTracksAndHolesAreFilled)
{
    std::vector<double> f = Disc();
    const std::vector<double> clean = f;
    EXPECT_TRUE(RepairDefects(f, kSide, kSide).repaired.empty());
    EXPECT_EQ(f, clean);

    f[60 * kSide + 40] = 65535;                                        // a hot pixel on the ring
    f[5 * kSide + 5] = 9000;                                           // and one on the sky
    for (int i = 0; i < 6; ++i) f[(30 + i) * kSide + 55 + i] += 5000;  // a diagonal track
    for (int y = 40; y < 43; ++y)
        for (int x = 20; x < 23; ++x) f[y * kSide + x] = NAN;
    const DefectReport r = RepairDefects(f, kSide, kSide);
    EXPECT_EQ(r.hotPixels, 2);
    EXPECT_EQ(r.cosmicRays, 1);
    EXPECT_EQ(r.cosmicRayPixels, 6);
    EXPECT_EQ(r.badPixels, 9);
    for (std::size_t i = 0; i < f.size(); ++i) EXPECT_EQ(f[i], clean[i]) << i % kSide << ", " << i / kSide;
}

TEST(Sky, ASlopeIsMeasuredAndRemovedOnlyWhenItStandsOutOfTheNoise)
{
    std::mt19937 rng(2);
    std::normal_distribution<double> noise(0, 5);
    std::vector<double> flat = Disc(), ramp = Disc();
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double n = noise(rng);
            flat[y * kSide + x] += n;
            ramp[y * kSide + x] += n + 0.4 * x - 0.2 * y;
        }
    EXPECT_FALSE(SlopeIsMeasured(FitSkyPlane(flat, kSide, kSide, 47.3, 48.6, 40)));
    const SkyPlane sky = FitSkyPlane(ramp, kSide, kSide, 47.3, 48.6, 40);
    ASSERT_TRUE(SlopeIsMeasured(sky));
    EXPECT_NEAR(sky.slopeX, 0.4, 0.03);
    EXPECT_NEAR(sky.slopeY, -0.2, 0.03);
    const double atDonut = ramp[48 * kSide + 47];
    RemoveSlope(ramp, kSide, kSide, sky);
    EXPECT_NEAR(ramp[48 * kSide + 47], atDonut, 0.2);  // the level at the donut is kept
    EXPECT_NEAR(ramp[2 * kSide + 93] - ramp[2 * kSide + 2], flat[2 * kSide + 93] - flat[2 * kSide + 2], 3);
}

}  // namespace
}  // namespace frontlys
