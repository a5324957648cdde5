// The cut around the donut at the frame's edges, and the block means that locate very large frames.
#include "prep/crop.h"

#include <gtest/gtest.h>

#include <cmath>

namespace frontlys {
namespace {

TEST(Crop, CutHangingOverTheEdgesTakesTheFill)
{
    EXPECT_EQ(CropSide(39.5), 128);  // 2.6 r + 16 = 118.7
    EXPECT_EQ(CropSide(44), 256);    // 130.4
    std::vector<double> frame(24);   // 6 x 4, pixel (row, col) = 10 row + col
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = 10.0 * (i / 6) + i % 6;
    const ImageSlot cut = CutSquare(frame, 6, 4, WindowAround(5.2, -0.4, 4), -1);  // columns 3.., rows -2..
    EXPECT_EQ(cut->At(0, 0), -1);
    EXPECT_EQ(cut->At(2, 0), 3);
    EXPECT_EQ(cut->At(3, 2), 15);
    EXPECT_EQ(cut->At(3, 3), -1);
}

TEST(Crop, BlockMeansCoverPartialBlocksAndSkipBadPixels)
{
    const std::vector<double> frame{1, 3, 5, std::nan(""), 2, 4, 6, 8, 10};  // 3 x 3
    int w = 0, h = 0;
    EXPECT_EQ(BinFrame(frame, 3, 3, 2, &w, &h), (std::vector<double>{2, 4.5, 7, 10}));
    EXPECT_EQ(w * h, 4);
}

}  // namespace
}  // namespace frontlys
