#include "prep/shift_resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace frontlys {
namespace {

template <class T, class F>
Planes3D<T> Fill(int rows, int cols, F value)
{
    Planes3D<T> p(1, rows, cols);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c) p(0, r - 1, c - 1) = static_cast<T>(value(c, r));
    return p;
}

TEST(ShiftImage, ZeroShiftRoundsOnlySixteenBitElements)
{
    auto doubles = Fill<double>(2, 2, [](int c, int r) { return c + r + 0.5; });
    const auto before = doubles;
    ShiftImage(doubles, 0, 0);
    EXPECT_EQ(doubles, before);  // reals in [0, 1] must survive co-centring

    // Half a column between 2 and 3 gives 2.5 -> 2; between 3 and 4 gives 3.5 -> 4.
    Planes3D<std::int16_t> ints(1, 1, 3);
    ints(0, 0, 0) = 2, ints(0, 0, 1) = 3, ints(0, 0, 2) = 4;
    ShiftImage(ints, 0, 0.5);
    EXPECT_EQ(ints(0, 0, 0), 1);  // half of 2, with the zero outside: 1
    EXPECT_EQ(ints(0, 0, 1), 2);
    EXPECT_EQ(ints(0, 0, 2), 4);
}

TEST(ShiftImage, WholeColumnMovesRightAndBringsInZeros)
{
    auto p = Fill<double>(3, 4, [](int c, int r) { return 10.0 * r + c; });
    ShiftImage(p, 0, 1);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(p(0, r, 0), 0.0);
        for (int c = 1; c < 4; ++c) EXPECT_DOUBLE_EQ(p(0, r, c), 10.0 * (r + 1) + c);
    }
    auto q = Fill<double>(3, 4, [](int c, int r) { return 10.0 * r + c; });
    ShiftImage(q, -1, 0);  // one row up: the last row empties
    EXPECT_DOUBLE_EQ(q(0, 0, 2), 23.0);
    EXPECT_EQ(q(0, 2, 2), 0.0);
}

TEST(ShiftImage, HalfPixelAveragesFourNeighbours)
{
    auto p = Fill<double>(3, 3, [](int c, int r) { return std::pow(2.0, 3 * (r - 1) + (c - 1)); });
    ShiftImage(p, 0.5, 0.5);
    // Output (2, 2) samples (1.5, 1.5): the mean of pixels (1,1), (1,2), (2,1), (2,2).
    EXPECT_DOUBLE_EQ(p(0, 1, 1), (1 + 2 + 8 + 16) / 4.0);
    EXPECT_DOUBLE_EQ(p(0, 0, 0), 1 / 4.0);  // three of the four are outside
}

TEST(ShiftImage, SourceJustBeforeTheEdgeWeighsNegatively)
{
    // Row shift 1.5: output row 1 samples row -0.5, so trunc gives row 0 (zeros) and row 1 with
    // weight frac = -0.5. Callers clamp this overshoot afterwards.
    auto p = Fill<double>(3, 1, [](int, int r) { return 10.0 * r; });
    ShiftImage(p, 1.5, 0);
    EXPECT_DOUBLE_EQ(p(0, 0, 0), -5.0);
    EXPECT_DOUBLE_EQ(p(0, 1, 0), 5.0);  // row 0.5: half of row 1
    EXPECT_DOUBLE_EQ(p(0, 2, 0), 15.0);
}

TEST(ShiftImage, OnlyTheChosenPlaneAndNoHarmFromAbsurdShifts)
{
    Planes3D<double> p(2, 2, 2);
    p.Fill(1.0);
    ShiftImagePlane(p, 1, 0, 1);
    EXPECT_EQ(p(0, 0, 0), 1.0);
    EXPECT_EQ(p(1, 0, 0), 0.0);
    ShiftImagePlane(p, 5, 0, 1);  // no such plane: nothing

    const auto before = p;
    ShiftImage(p, std::numeric_limits<double>::quiet_NaN(), 0);
    EXPECT_EQ(p, before);
    ShiftImage(p, 1e300, -1e300);  // everything leaves the frame
    for (double v : p.Plane(0)) EXPECT_EQ(v, 0.0);
    Planes3D<double> empty;
    ShiftImage(empty, 1, 1);
}

TEST(SplineSecondDerivatives, StraightLineHasNone)
{
    std::vector<double> y(9), y2(9, 99.0);
    for (int i = 0; i < 9; ++i) y[i] = 3 - 0.25 * (i + 1);
    SplineSecondDerivatives(y, y2);
    for (double v : y2) EXPECT_DOUBLE_EQ(v + 1.0, 1.0);
    // Between samples the spline is the line itself.
    EXPECT_DOUBLE_EQ(SplineValue(y, y2, 4.3), 3 - 0.25 * 4.3);
    EXPECT_DOUBLE_EQ(SplineValue(y, y2, 9.0), y[8]);
}

TEST(SplineSecondDerivatives, SmoothCurveInterpolatesClosely)
{
    const int n = 64;
    std::vector<double> y(n), y2(n);
    const auto f = [](double x) { return std::sin(x / 5); };
    for (int i = 1; i <= n; ++i) y[i - 1] = f(i);
    SplineSecondDerivatives(y, y2);
    for (int i = 1; i <= n; ++i) EXPECT_DOUBLE_EQ(SplineValue(y, y2, i), y[i - 1]);
    for (double x = 8.5; x < n - 8; x += 1.0) EXPECT_NEAR(SplineValue(y, y2, x), f(x), 1e-5);
    // The second derivative of sin(x / 5) is -sin(x / 5) / 25.
    EXPECT_NEAR(y2[31], -f(32) / 25, 1e-4);
}

TEST(SplineResample, EvenWidthHalvedSamplesOddPositions)
{
    auto p = Fill<double>(128, 128, [](int c, int r) { return std::sin(c * 0.37) + std::cos(r * 0.11) * c; });
    const auto src = p;
    ASSERT_TRUE(SplineResample(p, 0.5, 0.5).ok());
    ASSERT_EQ(p.cols(), 64);  // 127 x 0.5 = 63.5 is not whole
    ASSERT_EQ(p.rows(), 64);
    for (int m = 1; m <= 64; ++m)
        for (int k = 1; k <= 64; ++k) ASSERT_DOUBLE_EQ(p(0, m - 1, k - 1), src(0, 2 * m - 2, 2 * k - 2));
}

TEST(SplineResample, OddWidthHalvedEndsOnTheLastSample)
{
    auto p = Fill<double>(1, 129, [](int c, int) { return c * c * 0.01; });
    ASSERT_TRUE(SplineResample(p, 0.5, 0.5).ok());
    ASSERT_EQ(p.cols(), 65);
    EXPECT_EQ(p.rows(), 1);
    EXPECT_DOUBLE_EQ(p(0, 0, 64), 129 * 129 * 0.01);
    EXPECT_DOUBLE_EQ(p(0, 0, 31), 63 * 63 * 0.01);
}

TEST(SplineResample, FactorOneKeepsTheSamplesAndConstantsStayConstant)
{
    auto p = Fill<double>(17, 23, [](int c, int r) { return std::exp(-0.01 * (c * c + r)); });
    const auto src = p;
    ASSERT_TRUE(SplineResample(p, 1, 1).ok());
    EXPECT_EQ(p, src);

    auto flat = Fill<double>(40, 40, [](int, int) { return 7.25; });
    ASSERT_TRUE(SplineResample(flat, 0.73, 0.73).ok());
    EXPECT_EQ(flat.cols(), 29);  // 39 x 0.73 = 28.47
    for (double v : flat.Plane(0)) ASSERT_NEAR(v, 7.25, 1e-12);
}

TEST(SplineResample, EnlargingPutsTheSplineBetweenSamples)
{
    auto p = Fill<double>(1, 5, [](int c, int) { return 2.0 * c; });
    ASSERT_TRUE(SplineResample(p, 2, 2).ok());
    ASSERT_EQ(p.cols(), 9);
    for (int k = 1; k <= 9; ++k) EXPECT_DOUBLE_EQ(p(0, 0, k - 1), 2.0 * ((k - 1) / 2.0 + 1));
}

// The column pass runs down all columns at once; it must equal the plain spline of each column.
TEST(SplineResample, EqualsTheSeparableSplineLineByLine)
{
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-100, 100);
    const int w = 23, h = 19;
    const double f = 0.7;
    auto p = Fill<double>(h, w, [&](int, int) { return u(gen); });
    const auto src = p;
    ASSERT_TRUE(SplineResample(p, f, f).ok());
    const int wOut = 16, hOut = 13;  // 22 x 0.7 = 15.4, 18 x 0.7 = 12.6
    ASSERT_EQ(p.cols(), wOut);
    ASSERT_EQ(p.rows(), hOut);
    std::vector<std::vector<double>> work(h, std::vector<double>(wOut));
    for (int r = 0; r < h; ++r) {
        std::vector<double> y(src.Row(0, r), src.Row(0, r) + w), y2(w);
        SplineSecondDerivatives(y, y2);
        for (int k = 1; k <= wOut; ++k) work[r][k - 1] = SplineValue(y, y2, (k - 1) / f + 1);
    }
    for (int k = 0; k < wOut; ++k) {
        std::vector<double> y(h), y2(h);
        for (int r = 0; r < h; ++r) y[r] = work[r][k];
        SplineSecondDerivatives(y, y2);
        for (int m = 1; m <= hOut; ++m) ASSERT_DOUBLE_EQ(p(0, m - 1, k), SplineValue(y, y2, (m - 1) / f + 1));
    }
}

TEST(SplineResample, SixteenBitResultsAreRounded)
{
    Planes3D<std::int16_t> p(1, 1, 3);
    p(0, 0, 0) = 1, p(0, 0, 1) = 2, p(0, 0, 2) = 4;
    ASSERT_TRUE(SplineResample(p, 2, 2).ok());
    ASSERT_EQ(p.cols(), 5);
    EXPECT_EQ(p(0, 0, 4), 4);
    EXPECT_EQ(p(0, 0, 2), 2);
    // Between 1 and 2 the spline bends below the chord; a whole number comes out.
    EXPECT_EQ(p(0, 0, 1), 1);
}

TEST(SplineResample, OnePlaneIntoANewSetAndShiftedIntoALargerFrame)
{
    Planes3D<double> p(2, 9, 9);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c) p(1, r, c) = r + 0.5 * c;  // a plane: the spline keeps it
    auto half = SplineResampled(p, 1, 0.5, 0.5);
    ASSERT_TRUE(half.ok());
    ASSERT_EQ(half.value().planes(), 1);
    ASSERT_EQ(half.value().cols(), 5);
    EXPECT_DOUBLE_EQ(half.value()(0, 2, 3), 4 + 0.5 * 6);
    EXPECT_EQ(p(1, 8, 8), 12.0);  // the source is left as it is
    EXPECT_FALSE(SplineResampled(p, 2, 0.5, 0.5).ok());

    // Into a 9 x 9 frame, one row and two columns on: beyond the 5 x 5 source the frame reads 0.
    Planes3D<double> frame(1, 9, 9);
    frame.Fill(-1);
    ShiftPlaneInto(half.value(), frame, 0, 1, 2);
    EXPECT_EQ(frame(0, 0, 4), 0.0);
    EXPECT_DOUBLE_EQ(frame(0, 1, 2), half.value()(0, 0, 0));
    EXPECT_DOUBLE_EQ(frame(0, 5, 6), half.value()(0, 4, 4));
    EXPECT_EQ(frame(0, 6, 6), 0.0);
    EXPECT_EQ(frame(0, 8, 8), 0.0);
}

TEST(SplineResample, RefusesAbsurdFactorsAndKeepsThePlanes)
{
    auto p = Fill<double>(4, 4, [](int c, int r) { return c * r; });
    const auto src = p;
    for (double f : {0.0,
                     -0.5,
                     std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(),
                     1e9}) {
        const Status s = SplineResample(p, f, f);
        EXPECT_FALSE(s.ok()) << f;
        EXPECT_EQ(p, src);
    }
    EXPECT_EQ(ResampledSize(128, 0.5), 64);
    EXPECT_EQ(ResampledSize(129, 0.5), 65);
    EXPECT_EQ(ResampledSize(129, -1), 0);
}

}  // namespace
}  // namespace frontlys
