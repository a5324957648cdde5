#include "prep/binning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace frontlys {
namespace {

TEST(SumBlocks, SumsWholeBlocksAndLeavesPartOnesOut)
{
    // 5 x 3 frame, value = column + 10 row; blocks of 2: two columns and one row of blocks.
    std::vector<double> frame;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) frame.push_back(x + 10 * y);
    frame[2] = NAN;
    const BinnedFrame b = SumBlocks(frame, 5, 3, 2);
    ASSERT_EQ(b.width, 2);
    ASSERT_EQ(b.height, 1);
    EXPECT_DOUBLE_EQ(b.pixels[0], 0 + 1 + 10 + 11);  // the light is kept
    EXPECT_TRUE(std::isnan(b.pixels[1]));            // a bad pixel spoils its block only
    EXPECT_EQ(SumBlocks(frame, 5, 3, 1).pixels.size(), frame.size());
}

}  // namespace
}  // namespace frontlys
