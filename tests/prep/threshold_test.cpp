#include "prep/threshold.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "prep/synthetic_pupil.h"

namespace frontlys {
namespace {

using synthetic::MakeImage;

TEST(ReducedMinMax, AveragesWholeBlocksAndIgnoresTheRemainder)
{
    // 256 / 8 = 32-pixel blocks; one block holds a different level.
    auto image = MakeImage(256, 256, [](int c, int r) { return (c <= 32 && r > 224) ? 40.0 : 10.0; });
    auto range = ReducedMinMax(image.get(), 8);
    ASSERT_TRUE(range.has_value());
    EXPECT_DOUBLE_EQ(range->min, 10.0);
    EXPECT_DOUBLE_EQ(range->max, 40.0);

    // 250 / 8 = 31: rows and columns 249 and 250 take no part, row 248 does.
    auto odd = MakeImage(250, 250, [](int c, int r) { return (r >= 249 || c >= 249) ? 1e6 : 0.0; });
    range = ReducedMinMax(odd.get(), 8);
    EXPECT_DOUBLE_EQ(range->max, 0.0);
    odd->At(247, 0) = 961.0;  // row 248 sits in the last block row: 961 / (31 x 31) = 1
    EXPECT_DOUBLE_EQ(ReducedMinMax(odd.get(), 8)->max, 1.0);
}

TEST(ReducedMinMax, ReadsPlaneOneWhateverTheCurrentPlane)
{
    Planes3D<double> planes(2, 16, 16);
    planes(0, 0, 0) = 64.0;    // plane 1: one 8 x 8 block averages to 1
    planes(1, 0, 0) = 6400.0;  // plane 2 must not count
    auto image = NewImage(std::move(planes), 16, 16, 2);
    image->CurrentPlane = 2;
    EXPECT_DOUBLE_EQ(ReducedMinMax(image.get(), 2)->max, 1.0);
}

TEST(ReducedMinMax, DegenerateInputs)
{
    EXPECT_FALSE(ReducedMinMax(nullptr, 8).has_value());
    auto tiny = MakeImage(5, 5, [](int, int) { return 7.0; });  // smaller than n: empty blocks, cells 0
    auto range = ReducedMinMax(tiny.get(), 8);
    EXPECT_DOUBLE_EQ(range->min, 0.0);
    EXPECT_DOUBLE_EQ(range->max, 0.0);
    EXPECT_DOUBLE_EQ(ReducedMinMax(tiny.get(), 0)->max, 0.0);
}

TEST(AutoThreshold, PositionBetweenReducedExtremes)
{
    // 2 x 2 cells of 8 x 8 pixels: one cell at 100, three at 300, plus a hot pixel that the
    // block average dilutes but the all-pixel statistics see.
    auto image = MakeImage(16, 16, [](int c, int r) { return (c <= 8 && r <= 8) ? 100.0 : 300.0; });
    image->At(15, 15) = 300.0 + 64 * 50;  // its cell averages 350
    AutoThreshold(*image, 2, 50);
    EXPECT_DOUBLE_EQ(image->Threshold, 225.0);
    EXPECT_DOUBLE_EQ(image->MinValue, 100.0);
    EXPECT_DOUBLE_EQ(image->MaxValue, 3500.0);
    image->At(15, 15) = 300.0;
    AutoThreshold(*image, 2, 50);
    EXPECT_DOUBLE_EQ(image->Threshold, 200.0);
    AutoThreshold(*image, 2, 25);
    EXPECT_DOUBLE_EQ(image->Threshold, 150.0);
    AutoThreshold(*image, 2, 0);
    EXPECT_DOUBLE_EQ(image->Threshold, 100.0);
    AutoThreshold(*image, 2, 100);
    EXPECT_DOUBLE_EQ(image->Threshold, 300.0);
}

TEST(ApplyThreshold, EqualValueIsInsideAndPixelsStandAlone)
{
    auto image = MakeImage(4, 3, [](int c, int r) { return c * 10.0 + r; });
    image->Threshold = 32.0;
    image->At(0, 0) = 32.0;                                      // isolated but equal: inside
    image->At(2, 3) = std::numeric_limits<double>::quiet_NaN();  // never inside
    ApplyThreshold(image.get());
    EXPECT_EQ(image->MaskAt(0, 0), 1);
    EXPECT_EQ(image->MaskAt(1, 2), 1);  // 32
    EXPECT_EQ(image->MaskAt(0, 2), 0);  // 31
    EXPECT_EQ(image->MaskAt(2, 3), 0);
    // 41 and 42 in column 4 (43 became NaN), 32 and 33 in column 3, and the corner.
    EXPECT_EQ(image->MaskCount, 2 + 2 + 1);
    ApplyThreshold(nullptr);
}

TEST(Slider, PositionToThresholdAndBack)
{
    EXPECT_DOUBLE_EQ(SliderThreshold(0, 1000, 30), 700.0);
    EXPECT_DOUBLE_EQ(SliderThreshold(-50, 50, 100), -50.0);
    EXPECT_DOUBLE_EQ(SliderThreshold(-50, 50, 0), 50.0);

    auto image = MakeImage(10, 1, [](int c, int) { return (c - 1) * 1000.0 / 9; });  // 0 .. 1000
    image->Threshold = 700.0;
    EXPECT_EQ(FollowThreshold(*image), 30);
    EXPECT_DOUBLE_EQ(image->Threshold, 700.0);
    image->Threshold = 1000.0;
    EXPECT_EQ(FollowThreshold(*image), 0);
    image->Threshold = 1000.5;  // outside: back to the minimum
    EXPECT_EQ(FollowThreshold(*image), kSliderMax);
    EXPECT_DOUBLE_EQ(image->Threshold, 0.0);

    auto flat = MakeImage(3, 3, [](int, int) { return 5.0; });
    flat->Threshold = 5.0;
    EXPECT_EQ(FollowThreshold(*flat), kSliderMax);
    EXPECT_DOUBLE_EQ(flat->Threshold, 5.0);
}

}  // namespace
}  // namespace frontlys
