// The pupil every model renders: the annulus less the spider vanes.
#include "engine/pupil_transmission.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

namespace frontlys {
namespace {

// Four vanes at 30 degrees make a cross turned by 30 degrees; light passes beside a vane, not on it,
// and the annulus keeps its edges. Soft edges pass half the light on the edge itself.
TEST(PupilTransmission, FourVanesCrossTheAnnulus)
{
    const SpiderVanes cross{4, 0.06, 30};
    const double a = 30 * std::numbers::pi / 180;
    for (int k = 0; k < 4; ++k) {
        const double t = a + k * std::numbers::pi / 2;
        EXPECT_EQ(PupilTransmission(0.7 * std::cos(t), 0.7 * std::sin(t), 0.3, cross, 0), 0.0) << k;
        // 0.05 across the vane's line: outside its half width of 0.03.
        const double x = 0.7 * std::cos(t) - 0.05 * std::sin(t), y = 0.7 * std::sin(t) + 0.05 * std::cos(t);
        EXPECT_EQ(PupilTransmission(x, y, 0.3, cross, 0), 1.0) << k;
        EXPECT_NEAR(VaneDistance(cross, x, y), 0.05, 1e-12);
    }
    // Half-way between two vanes: open; inside the hole and beyond the rim: dark.
    const double mid = a + std::numbers::pi / 4;
    EXPECT_EQ(PupilTransmission(0.7 * std::cos(mid), 0.7 * std::sin(mid), 0.3, cross, 0), 1.0);
    EXPECT_EQ(PupilTransmission(0.1, 0.2, 0.3, cross, 0), 0.0);
    EXPECT_EQ(PupilTransmission(0.9, 0.5, 0.3, cross, 0), 0.0);
    // The soft edge of a vane and of the rim.
    const double edge = 0.03;
    EXPECT_NEAR(
        PupilTransmission(
            0.7 * std::cos(a) - edge * std::sin(a), 0.7 * std::sin(a) + edge * std::cos(a), 0.3, cross, 0.02),
        0.5,
        1e-9);
    EXPECT_NEAR(PupilTransmission(1, 0, 0.3, {}, 0.02), 0.5, 1e-12);
    // Three vanes are not a cross: the direction opposite the first is open.
    const SpiderVanes three{3, 0.06, 0};
    EXPECT_EQ(PupilTransmission(0.7, 0, 0.3, three, 0), 0.0);
    EXPECT_EQ(PupilTransmission(-0.7, 0, 0.3, three, 0), 1.0);
}

// Two bars: the second (every other vane) narrower and turned from square; each bar shades its own
// width along its own direction.
TEST(PupilTransmission, TwoBarsKeepTheirOwnWidthsAndDirections)
{
    const SpiderVanes bars{4, 0.06, 0, 0.02, 10};
    const double t = 100 * std::numbers::pi / 180;
    const auto across = [&](double along, double off) {
        return PupilTransmission(
            along * std::cos(t) - off * std::sin(t), along * std::sin(t) + off * std::cos(t), 0.3, bars, 0);
    };
    for (double along : {0.7, -0.7}) {
        EXPECT_EQ(across(along, 0.0), 0.0);
        EXPECT_EQ(across(along, 0.015), 1.0);  // beside the narrow bar, inside the wide one's half width
    }
    EXPECT_EQ(PupilTransmission(0.7, 0.025, 0.3, bars, 0), 0.0);
    EXPECT_EQ(PupilTransmission(-0.7, 0.035, 0.3, bars, 0), 1.0);
    EXPECT_EQ(PupilTransmission(0, 0.7, 0.3, bars, 0), 1.0);  // where a square cross's second bar would be
    EXPECT_NEAR(VaneClearance(bars, 0.7, 0.05), 0.02, 1e-12);
    // Without a second bar of its own, the clearance is the distance less the half width.
    const SpiderVanes cross{4, 0.06, 30};
    EXPECT_DOUBLE_EQ(VaneClearance(cross, 0.5, 0.4), VaneDistance(cross, 0.5, 0.4) - 0.03);
}

// Along radii through the rim, the hole and the interior (where no radius is taken), the soft
// annulus is the two linear ramps and 1 between them; a vane still shades the interior.
TEST(PupilTransmission, SoftAnnulusIsItsRampsAtEveryRadius)
{
    const double eps = 0.3, soft = 0.004;
    const auto ramp = [&](double inside) { return std::clamp(inside / soft + 0.5, 0.0, 1.0); };
    for (double angle : {0.0, 0.4, 2.2}) {
        for (int k = 0; k <= 12000; ++k) {
            const double r = 1.1 * k / 12000;
            const double expected = ramp(1 - r) * ramp(r - eps);
            const double t = PupilTransmission(r * std::cos(angle), r * std::sin(angle), eps, {}, soft);
            ASSERT_NEAR(t, expected, 1e-12) << r;
            if (expected == 1) {
                ASSERT_EQ(t, 1.0) << r;
            }
        }
    }
    const SpiderVanes cross{4, 0.06, 0};
    EXPECT_EQ(PupilTransmission(0.6, 0, eps, cross, soft), 0.0);
    EXPECT_NEAR(PupilTransmission(0.6, 0.03, eps, cross, soft), 0.5, 1e-9);
    EXPECT_EQ(PupilTransmission(0.6, 0.1, eps, cross, soft), 1.0);
}

// A row taken at once gives every point's transmission to the bit, for each kind of pupil: open,
// obstructed, hard or soft edges, one family of vanes or two, and the points just beside a vane's ramp
// where the shortcut past the vanes must not be taken.
TEST(PupilTransmission, RowGivesEachPointsBits)
{
    const std::vector<SpiderVanes> spiders = {
        {}, {4, 0.06, 30}, {3, 0.02, -10}, {4, 0.05, 0, 0.02, 12}, {16, 0.01, 5}};
    std::vector<double> xs(997), out(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i)
        xs[i] = -1.05 + 2.1 * static_cast<double>(i) / (xs.size() - 1);
    std::size_t partial = 0;
    for (const SpiderVanes& vanes : spiders) {
        for (double eps : {0.0, 0.3}) {
            for (double soft : {0.0, 0.004}) {
                const PupilRowFunction row = MakePupilTransmissionRow(eps, vanes, soft);
                for (int j = -260; j <= 260; ++j) {
                    const double y = j / 250.0;
                    row(y, xs, out);
                    for (std::size_t i = 0; i < xs.size(); ++i) {
                        const double t = PupilTransmission(xs[i], y, eps, vanes, soft);
                        ASSERT_EQ(std::bit_cast<std::uint64_t>(out[i]), std::bit_cast<std::uint64_t>(t))
                            << "vanes " << vanes.count << " eps " << eps << " soft " << soft << " at "
                            << xs[i] << ", " << y;
                        partial += t > 0 && t < 1;
                    }
                }
                // The free function on a short row, as the fills may call it.
                std::vector<double> some(3);
                PupilTransmissionRow(
                    0.31, std::span<const double>(xs.data() + 500, 3), some, eps, vanes, soft);
                for (int i = 0; i < 3; ++i)
                    EXPECT_EQ(some[i], PupilTransmission(xs[500 + i], 0.31, eps, vanes, soft));
            }
        }
    }
    EXPECT_GT(partial, 10000u);  // the ramps were crossed, not only the clear interior
}

TEST(PupilTransmission, VanesOutsideTheirLimitsAreRefused)
{
    EXPECT_TRUE(VanesValid({}));
    EXPECT_TRUE(VanesValid({4, 0.05, -45}));
    EXPECT_FALSE(VanesValid({17, 0.05, 0}));
    EXPECT_FALSE(VanesValid({4, 1.0, 0}));
    EXPECT_FALSE(VanesValid({4, 0.05, std::nan("")}));
    EXPECT_TRUE(VanesValid({4, 0.05, 0, 0.02, 10}));
    EXPECT_FALSE(VanesValid({3, 0.05, 0, 0.02, 0}));
    EXPECT_FALSE(VanesValid({4, 0.05, 0, 0.02, 50}));
}

}  // namespace
}  // namespace frontlys
