#include "prep/pupil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "prep/synthetic_pupil.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

using synthetic::MakeImage;
using synthetic::SetMask;

ImageSlot Blank(int w, int h)
{
    return MakeImage(w, h, [](int, int) { return 0.0; });
}

bool InDisk(int c, int r, double cx, double cy, double radius)
{
    return (c - cx) * (c - cx) + (r - cy) * (r - cy) <= radius * radius;
}

TEST(FindPupil, DiskAndAnnulusShareCentreAndRadius)
{
    auto disk = Blank(100, 100);
    SetMask(*disk, [](int c, int r) { return InDisk(c, r, 50, 50, 10); });
    FindPupil(disk.get());
    EXPECT_DOUBLE_EQ(disk->CentreX, 50.0);
    EXPECT_DOUBLE_EQ(disk->CentreY, 50.0);
    EXPECT_NEAR(disk->Radius, 10.0, 0.1);

    auto annulus = Blank(100, 100);
    SetMask(*annulus, [](int c, int r) { return InDisk(c, r, 50, 50, 10) && !InDisk(c, r, 50, 50, 4); });
    FindPupil(annulus.get());
    EXPECT_DOUBLE_EQ(annulus->CentreX, 50.0);
    EXPECT_DOUBLE_EQ(annulus->CentreY, 50.0);
    EXPECT_DOUBLE_EQ(annulus->Radius, disk->Radius);  // the shadow is filled in row by row
}

TEST(FindPupil, SinglePixelsAndTheLastColumn)
{
    auto image = Blank(8, 8);
    image->MaskAt(4, 0) = 1;  // column 1 of row 5
    FindPupil(image.get());
    EXPECT_DOUBLE_EQ(image->CentreX, 1.0);
    EXPECT_DOUBLE_EQ(image->CentreY, 5.0);
    EXPECT_DOUBLE_EQ(image->Radius, std::sqrt(1 / std::numbers::pi));

    image->MaskAt(4, 0) = 0;
    image->MaskAt(2, 7) = 1;  // last column is never searched: empty pupil, centre kept
    FindPupil(image.get());
    EXPECT_DOUBLE_EQ(image->Radius, 0.0);
    EXPECT_DOUBLE_EQ(image->CentreX, 1.0);
    EXPECT_DOUBLE_EQ(image->CentreY, 5.0);

    image->MaskAt(2, 2) = 1;  // the right end is searched from column 7 down: the chord is column 3 alone
    FindPupil(image.get());
    EXPECT_DOUBLE_EQ(image->CentreX, 3.0);
    EXPECT_DOUBLE_EQ(image->CentreY, 3.0);
    EXPECT_DOUBLE_EQ(image->Radius, std::sqrt(1 / std::numbers::pi));
    FindPupil(nullptr);
}

TEST(FindPupil, OffCentreChordsWeighByLength)
{
    auto image = Blank(20, 20);
    // Row 3: columns 2..5 (length 4, middle 3.5); row 9: column 10 (length 1).
    SetMask(*image, [](int c, int r) { return (r == 3 && c >= 2 && c <= 5) || (r == 9 && c == 10); });
    FindPupil(image.get());
    EXPECT_DOUBLE_EQ(image->CentreX, (4 * 3.5 + 10) / 5);
    EXPECT_DOUBLE_EQ(image->CentreY, (4 * 3 + 9) / 5.0);
}

TEST(PupilSearch, BadPixelsAreIgnoredAndCountedInsideThePupil)
{
    // A bright disk of radius 20 on a 128 x 128 frame, a 3 x 3 NaN patch in the first corner (the
    // first reduced cell) and one infinite pixel inside the disk.
    auto image = MakeImage(128, 128, [](int c, int r) {
        if (c <= 3 && r <= 3) return std::nan("");
        if (c == 70 && r == 64) return HUGE_VAL;
        return InDisk(c, r, 64, 64, 20) ? 1000.0 : 10.0;
    });
    AutoThreshold(*image, 16, 50);
    ApplyThreshold(image.get());
    FindPupil(image.get());
    EXPECT_NEAR(image->Radius, 20, 0.2);
    EXPECT_NEAR(image->CentreX, 64, 0.05);
    EXPECT_EQ(CountBadPixelsInPupil(*image), 1);
}

TEST(MeasureObstruction, AnnulusGivesItsInnerRatio)
{
    auto image = Blank(128, 128);
    SetMask(*image, [](int c, int r) { return InDisk(c, r, 64, 64, 40) && !InDisk(c, r, 64, 64, 14); });
    FindPupil(image.get());
    SetPupilAxes(image.get());
    MeasureObstruction(*image);
    EXPECT_NEAR(image->Obstruction, 14.0 / 40.0, 0.01);
}

TEST(MeasureObstruction, CountsSquaredRadiusBelowPointNine)
{
    auto image = Blank(2, 1);
    image->Radius = 1;
    image->XAxis = {0.93, 0.96};  // squared: 0.8649 counts, 0.9216 does not
    image->YAxis = {0.0};
    MeasureObstruction(*image);
    EXPECT_DOUBLE_EQ(image->Obstruction, std::sqrt(1 / std::numbers::pi));

    image->Radius = 0;  // no pupil: no division by zero
    MeasureObstruction(*image);
    EXPECT_DOUBLE_EQ(image->Obstruction, 0.0);
}

TEST(UsefulRegionFrame, PowerOfTwoSideAndRoundedCorner)
{
    EXPECT_EQ(UsefulRegionFrame(50, 60, 20).side, 64);  // a = 23, 2a = 46
    EXPECT_EQ(UsefulRegionFrame(50, 60, 13).side, 32);  // a = 14.95
    EXPECT_EQ(UsefulRegionFrame(50, 60, 1).side, 4);
    EXPECT_EQ(UsefulRegionFrame(50, 60, 0).side, 4);
    const UsefulRegion r = UsefulRegionFrame(25.5, 60, 20);
    EXPECT_EQ(r.left, 2);  // 2.5 rounds to even
    EXPECT_EQ(r.top, 37);
}

}  // namespace
}  // namespace frontlys
