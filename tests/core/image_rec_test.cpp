#include "core/image_rec.h"

#include <gtest/gtest.h>

#include <cmath>

namespace frontlys {
namespace {

TEST(ImageRec, EmptySlotIsNoImage)
{
    ImageSlot slot;
    FreeImage(slot);
    EXPECT_EQ(slot, nullptr);
    SetPupilAxes(slot.get());
    MinMaxAll(slot.get());
    CopyImage(slot.get(), nullptr);
    slot = NewImage(4, 3);
    FreeImage(slot);
    EXPECT_EQ(slot, nullptr);
}

TEST(ImageRec, PupilAxesOfWorkedExample)
{
    auto im = NewImage(256, 256);
    im->CentreX = im->CentreY = 128.5;
    im->Radius = 100;
    SetPupilAxes(im.get());
    EXPECT_DOUBLE_EQ(im->XAxis[0], -1.275);
    EXPECT_DOUBLE_EQ(im->XAxis[255], 1.275);
    EXPECT_DOUBLE_EQ(im->YAxis[0], 1.275);
    EXPECT_DOUBLE_EQ(im->YAxis[255], -1.275);
}

TEST(ImageRec, SetAxesWithEqualColumnsGivesConstant)
{
    auto im = NewImage(5, 4);
    SetAxes(*im, 2, 1, 7, 0, 2, 3, 9, 4);
    for (double x : im->XAxis) EXPECT_EQ(x, 7);
    EXPECT_DOUBLE_EQ(im->YAxis[0], 0);
    EXPECT_DOUBLE_EQ(im->YAxis[2], 4);
}

TEST(ImageRec, StatisticsCountOnlyMaskValueOne)
{
    auto im = NewImage(3, 2);
    const double values[2][3] = {{1, 2, 3}, {4, 100, -50}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) im->At(r, c) = values[r][c];
    im->MaskAt(0, 0) = 1;
    im->MaskAt(0, 1) = 1;
    im->MaskAt(0, 2) = 1;
    im->MaskAt(1, 0) = 1;
    im->MaskAt(1, 1) = 2;   // not exactly 1: outside
    im->MaskAt(1, 2) = -1;  // outside
    MeanStdInMask(*im);
    EXPECT_EQ(im->MaskCount, 4);
    EXPECT_DOUBLE_EQ(im->MeanValue, 2.5);
    EXPECT_DOUBLE_EQ(im->StdDev, std::sqrt(1.25));
    MinMaxInMask(*im);
    EXPECT_EQ(im->MinValue, 1);
    EXPECT_EQ(im->MaxValue, 4);
    EXPECT_EQ(im->Range, 3);
    MinMaxAll(im.get());
    EXPECT_EQ(im->MinValue, -50);
    EXPECT_EQ(im->MaxValue, 100);
}

TEST(ImageRec, EmptyMaskGivesZeroStatistics)
{
    auto im = NewImage(4, 4);
    im->Planes.Fill(3.0);
    MeanStdInMask(*im);
    EXPECT_EQ(im->MaskCount, 0);
    EXPECT_EQ(im->MeanValue, 0);
    EXPECT_EQ(im->StdDev, 0);
}

TEST(ImageRec, UniformImageHasZeroDeviation)
{
    auto im = NewImage(7, 7);
    im->Planes.Fill(0.1);
    im->Mask.Fill(1);
    MeanStdInMask(*im);
    // The one-pass formula leaves a rounding residue, but never a NaN from a negative variance.
    EXPECT_FALSE(std::isnan(im->StdDev));
    EXPECT_LT(im->StdDev, 1e-6);
}

TEST(ImageRec, ClearLeavesZeroesAndPlaneOne)
{
    auto im = NewImage(Planes3D<double>(2, 3, 3), 3, 3, 2);
    im->CurrentPlane = 2;
    im->At(1, 1) = 5;
    im->MaskAt(2, 2) = 1;
    im->XAxis[1] = 3;
    im->Radius = 9;
    ClearImage(*im);
    EXPECT_EQ(im->CurrentPlane, 1);
    EXPECT_EQ(im->Planes, Planes3D<double>(2, 3, 3));
    EXPECT_EQ(im->Mask, Planes3D<std::int16_t>(1, 3, 3));
    EXPECT_EQ(im->XAxis, std::vector<double>(3, 0.0));
    EXPECT_EQ(im->Radius, 9);
}

TEST(ImageRec, CopyIsDeepAndAddScaleClamp)
{
    auto a = NewImage(2, 2);
    a->At(0, 0) = -1;
    a->At(1, 1) = 4;
    a->MaskAt(0, 1) = 1;
    a->CentreX = 1.5;
    a->Kind = 3;
    auto b = NewImage(2, 2);
    CopyImage(a.get(), b.get());
    a->At(0, 0) = 10;
    EXPECT_EQ(b->At(0, 0), -1);
    EXPECT_EQ(b->MaskAt(0, 1), 1);
    EXPECT_EQ(b->CentreX, 1.5);
    EXPECT_EQ(b->Kind, 3);
    AddImage(*b, *a);
    EXPECT_EQ(b->At(0, 0), 9);
    EXPECT_EQ(b->At(1, 1), 8);
    ScaleImage(*b, 0.5);
    EXPECT_EQ(b->At(1, 1), 4);
    ClampBelow(*b, 1);
    EXPECT_EQ(b->At(0, 1), 1);
    EXPECT_EQ(b->At(0, 0), 4.5);
}

}  // namespace
}  // namespace frontlys
