// The cut around the donut at the frame's edges, and the block means behind the location of very
// large frames.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "prep/crop.h"

namespace frontlys {
namespace {

TEST(Crop, SideWindowAndEdgesOfTheCut)
{
    EXPECT_EQ(CropSide(39.5), 128);  // 2.6 r + 16 = 118.7
    EXPECT_EQ(CropSide(44), 256);    // 130.4
    // A 6 x 4 frame whose pixel (row, col) holds 10 row + col; a 4-square centred on (5, 0) hangs
    // over the right and top edges, which take the fill.
    std::vector<double> frame(24);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) frame[static_cast<std::size_t>(r) * 6 + c] = 10 * r + c;
    const CropWindow w = WindowAround(5.2, -0.4, 4);
    EXPECT_EQ(w.left, 3);
    EXPECT_EQ(w.top, -2);
    const ImageSlot cut = CutSquare(frame, 6, 4, w, -1);
    ASSERT_EQ(cut->Width, 4);
    EXPECT_EQ(cut->At(0, 0), -1);
    EXPECT_EQ(cut->At(2, 0), 3);   // frame row 0, column 3
    EXPECT_EQ(cut->At(3, 2), 15);  // frame row 1, column 5
    EXPECT_EQ(cut->At(3, 3), -1);  // beyond the last column
}

TEST(Crop, BlockMeansCoverPartialBlocksAndSkipBadPixels)
{
    const std::vector<double> frame{1, 3, 5, std::nan(""), 2, 4, 6, 8, 10};  // 3 x 3
    int w = 0, h = 0;
    const std::vector<double> binned = BinFrame(frame, 3, 3, 2, &w, &h);
    ASSERT_EQ(w, 2);
    ASSERT_EQ(h, 2);
    EXPECT_DOUBLE_EQ(binned[0], (1 + 3 + 2) / 3.0);  // the NaN left out
    EXPECT_DOUBLE_EQ(binned[1], (5 + 4) / 2.0);
    EXPECT_DOUBLE_EQ(binned[2], (6 + 8) / 2.0);
    EXPECT_DOUBLE_EQ(binned[3], 10);
}

}  // namespace
}  // namespace frontlys
