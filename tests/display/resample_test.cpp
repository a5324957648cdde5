#include <gtest/gtest.h>

#include <cmath>

#include "display/render.h"

namespace frontlys {
namespace {

struct SizeCase {
    int side;
    double factor;
    int expected;
};

class ResampleSize : public testing::TestWithParam<SizeCase> {};

TEST_P(ResampleSize, RoundsTheScaledSpanHalfToEven)
{
    const SizeCase c = GetParam();
    Planes3D<double> planes(1, c.side, c.side);
    int w = c.side, h = c.side;
    BilinearResample(planes, w, h, c.factor, c.factor);
    EXPECT_EQ(w, c.expected);
    EXPECT_EQ(h, c.expected);
    EXPECT_EQ(planes.cols(), c.expected);
    EXPECT_EQ(planes.rows(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Zooms,
                         ResampleSize,
                         testing::Values(SizeCase{128, 0.5, 64},  // round(64.5) = 64
                                         SizeCase{128, 1.0, 128},
                                         SizeCase{128, 1.5, 192},
                                         SizeCase{128, 2.0, 255},
                                         SizeCase{128, 3.0, 382},
                                         SizeCase{128, 4.0, 509},
                                         SizeCase{1, 7.0, 1},
                                         SizeCase{3, 0.5, 2}));  // round(2.0)

TEST(Resample, FactorOneIsExact)
{
    Planes3D<double> planes(2, 3, 4);
    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) planes(p, r, c) = std::sin(p * 12 + r * 4 + c) * 1e3;
    const Planes3D<double> before = planes;
    int w = 4, h = 3;
    BilinearResample(planes, w, h, 1, 1);
    EXPECT_EQ(planes, before);
}

TEST(Resample, MidpointsAreAveragesOnEveryPlane)
{
    Planes3D<double> planes(2, 2, 2);
    const double v[2][2][2] = {{{0, 10}, {20, 30}}, {{-4, 4}, {8, 0}}};
    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c) planes(p, r, c) = v[p][r][c];
    int w = 2, h = 2;
    BilinearResample(planes, w, h, 2, 2);
    ASSERT_EQ(w, 3);
    ASSERT_EQ(h, 3);
    EXPECT_DOUBLE_EQ(planes(0, 0, 1), 5);
    EXPECT_DOUBLE_EQ(planes(0, 1, 0), 10);
    EXPECT_DOUBLE_EQ(planes(0, 1, 1), 15);
    EXPECT_DOUBLE_EQ(planes(0, 2, 2), 30);
    EXPECT_DOUBLE_EQ(planes(1, 1, 1), 2);
    EXPECT_DOUBLE_EQ(planes(1, 0, 1), 0);
}

TEST(Resample, RowsAndColumnsScaleIndependently)
{
    Planes3D<double> planes(1, 2, 3);
    for (int c = 0; c < 3; ++c) planes(0, 0, c) = planes(0, 1, c) = c;
    int w = 3, h = 2;
    BilinearResample(planes, w, h, 0.5, 3);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 4);
    for (int r = 0; r < 4; ++r) {
        EXPECT_DOUBLE_EQ(planes(0, r, 0), 0);
        EXPECT_DOUBLE_EQ(planes(0, r, 1), 2);
    }
}

TEST(Resample, ConstantsArePreservedWherePositionsFallInside)
{
    // At 150 % the last output row and column of a 16-pixel side reach position 16.33 and blend
    // with the zeros beyond the edge; every position up to the last input pixel keeps the constant.
    for (double factor : {0.5, 0.75, 1.5, 2.0, 2.5, 3.0, 4.0}) {
        Planes3D<double> planes(1, 16, 16);
        planes.Fill(7.25);
        int w = 16, h = 16;
        BilinearResample(planes, w, h, factor, factor);
        int inside = 0;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                if (r / factor + 1 > 16 || c / factor + 1 > 16) continue;
                ++inside;
                ASSERT_DOUBLE_EQ(planes(0, r, c), 7.25) << factor << " at " << r << "," << c;
            }
        EXPECT_GE(inside, (w - 1) * (h - 1)) << factor;
    }
}

TEST(Resample, PositionsBeyondTheLastColumnReadZero)
{
    // At 0.3 the fourth output column reads input column 11 of 10.
    Planes3D<double> planes(1, 1, 10);
    planes.Fill(1);
    int w = 10, h = 1;
    BilinearResample(planes, w, h, 0.3, 1);
    ASSERT_EQ(w, 4);
    EXPECT_DOUBLE_EQ(planes(0, 0, 2), 1);
    EXPECT_DOUBLE_EQ(planes(0, 0, 3), 0);
}

TEST(Resample, MaskValuesRoundHalfToEven)
{
    Planes3D<std::int16_t> mask(1, 1, 4);
    const std::int16_t v[4] = {0, 1, 2, 1};
    for (int c = 0; c < 4; ++c) mask(0, 0, c) = v[c];
    int w = 4, h = 1;
    BilinearResample(mask, w, h, 2, 1);
    ASSERT_EQ(w, 7);
    const std::int16_t expected[7] = {0, 0, 1, 2, 2, 2, 1};  // 0.5 -> 0, 1.5 -> 2, 1.5 -> 2
    for (int c = 0; c < 7; ++c) EXPECT_EQ(mask(0, 0, c), expected[c]) << c;
}

TEST(Resample, NonFiniteValuesStayLocalAtFactorOne)
{
    Planes3D<double> planes(1, 3, 3);
    planes.Fill(1);
    planes(0, 1, 1) = std::numeric_limits<double>::infinity();
    int w = 3, h = 3;
    BilinearResample(planes, w, h, 1, 1);
    int finite = 0;
    for (double v : planes.Plane(0)) finite += std::isfinite(v);
    EXPECT_EQ(finite, 8);
}

}  // namespace
}  // namespace frontlys
