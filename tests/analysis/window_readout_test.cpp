#include "analysis/window_readout.h"

#include <gtest/gtest.h>

#include "core/numbers.h"

namespace frontlys {
namespace {

// A 128 x 128 record whose pixel (row, column), 1-based, holds 1000 x row + column, pupil of radius
// 40 about (64, 64).
TImageRec Ramp()
{
    ImageSlot image = NewImage(128, 128);
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 128; ++c) image->Planes(0, r, c) = 1000.0 * (r + 1) + (c + 1);
    image->CentreX = image->CentreY = 64;
    image->Radius = 40;
    SetPupilAxes(image.get());
    return *image;
}

TEST(ReadPixel, ZoomedPositionsMapToOneBasedPixelsInsideTheImage)
{
    ScopedDecimalSeparator point('.');
    const TImageRec image = Ramp();
    ReadoutOptions at200;
    at200.zoom = 2;
    Readout r = ReadPixel(image, {}, 0, 0, at200);
    EXPECT_EQ(r.column, 1);
    EXPECT_EQ(r.row, 1);
    EXPECT_EQ(r.valueText, "1001.000");
    r = ReadPixel(image, {}, 255, 255, at200);
    EXPECT_EQ(r.column, 128);
    EXPECT_EQ(r.xText, "128.0");
    // Beyond the picture (a window larger than its image) reads the last pixel, never outside.
    r = ReadPixel(image, {}, 900, 3, at200);
    EXPECT_EQ(r.column, 128);
    EXPECT_EQ(r.row, 2);
}

TEST(ReadPixel, PolarReducedMillimetreFormsAndWaves)
{
    ScopedDecimalSeparator point('.');
    const TImageRec image = Ramp();
    ReadoutOptions o;
    o.polar = true;
    Readout r = ReadPixel(image, {}, 2, 3, o);  // column 3, row 4, about pixel (0, 0)
    EXPECT_EQ(r.xText, "5.0");
    EXPECT_EQ(r.yText, "53.1");

    o = {};
    o.coord = CoordSystem::Reduced;
    r = ReadPixel(image, {}, 104, 24, o);  // column 105, row 25: x = 1.025, y = 0.975 (up)
    EXPECT_EQ(r.xText, "1.025");
    EXPECT_EQ(r.yText, "0.975");
    // Detector scale l tan u_max, sin u_max = R / F = 0.1: 0.5025 mm per reduced unit (paraxial 0.5).
    o.coord = CoordSystem::Millimetres;
    const TTestParams params{1e9, 1e8, 5e6, 0};
    r = ReadPixel(image, params, 104, 24, o);
    EXPECT_EQ(r.xText, "0.52");
    o.waves = true;
    o.lambdaRefNm = 500;
    EXPECT_DOUBLE_EQ(ReadPixel(image, params, 0, 0, o).value, 1001.0 / 500);
}

TEST(InfoTexts, SizeAndRadiusRows)
{
    ScopedDecimalSeparator point('.');
    TImageRec image = Ramp();
    image.MaskCount = 5024;
    image.Obstruction = 0.25;
    image.RadiusNm = 2e6;
    EXPECT_EQ(SizeText(image, false), "[128x128]");
    EXPECT_EQ(SizeText(image, true), "5024");
    EXPECT_EQ(PupilRadiusText(image, false, CoordSystem::Pixels), "40.0");
    EXPECT_EQ(PupilRadiusText(image, false, CoordSystem::Reduced), "1.00");
    EXPECT_EQ(PupilRadiusText(image, true, CoordSystem::Reduced), "0.25");
    EXPECT_EQ(PupilRadiusText(image, true, CoordSystem::Millimetres), "0.50");
}

}  // namespace
}  // namespace frontlys
