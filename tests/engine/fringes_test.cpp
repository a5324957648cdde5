// The interferogram and the Ronchigram: both turn a wavefront into fringes.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/interferogram.h"
#include "engine/psf.h"
#include "engine/ronchigram.h"
#include "engine/transport.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr double kLambda = 632.8;

ImageSlot Wavefront(int side, double radius, const ZernikeCoefficients& coef = {})
{
    ImageSlot image = NewImage(side, side);
    image->CentreX = image->CentreY = (side + 1) / 2.0;
    image->Radius = radius;
    SetPupilAxes(image.get());
    SynthesiseWavefront(*image, ZernikeBasis::ForCount(28), coef, AllTermsSelected());
    return image;
}

// Crossings of `level` along row r (or column when alongColumn) over mask pixels.
int Crossings(const TImageRec& image, int index, double level, bool alongColumn = false)
{
    int count = 0, previous = 0;
    const int n = alongColumn ? image.Height : image.Width;
    for (int i = 0; i < n; ++i) {
        const int r = alongColumn ? i : index, c = alongColumn ? index : i;
        if (!image.InMask(r, c)) continue;
        const int side = image.At(r, c) > level ? 1 : -1;
        if (previous != 0 && side != previous) ++count;
        previous = side;
    }
    return count;
}

TEST(Interferogram, FlatWavefrontShowsTheRequestedFringes)
{
    ImageSlot w = Wavefront(256, 120);
    ImageSlot out = NewImage(256, 256);
    ASSERT_TRUE(BuildInterferogram(*w, 8, 0, kLambda, kLambda, *out).ok());
    EXPECT_EQ(out->Kind, 5);
    EXPECT_EQ(out->Mask, w->Mask);
    EXPECT_EQ(Crossings(*out, 128, 0.5), 16);  // 8 periods across the diameter
    for (int c = 20; c < 236; c += 7)
        EXPECT_NEAR(out->At(128, c), 0.5 + 0.5 * std::cos(8 * M_PI * out->XAxis[c]), 1e-9);
    // Vertical fringes: every row of the pupil reads the same.
    EXPECT_NEAR(out->At(100, 140), out->At(150, 140), 1e-12);
}

TEST(Interferogram, AngleAndWavelengthTurnAndScaleTheFringes)
{
    ImageSlot w = Wavefront(256, 120);
    ImageSlot out = NewImage(256, 256);
    ASSERT_TRUE(BuildInterferogram(*w, 6, 90, kLambda, kLambda, *out).ok());
    EXPECT_EQ(Crossings(*out, 128, 0.5, true), 12);
    EXPECT_NEAR(out->At(100, 110), out->At(100, 150), 1e-9);  // horizontal fringes
    ASSERT_TRUE(BuildInterferogram(*w, 6, 0, kLambda, kLambda / 2, *out).ok());
    EXPECT_EQ(Crossings(*out, 128, 0.5), 24);
}

TEST(Interferogram, WavefrontEqualToTheTiltIsUniform)
{
    const double g = 8 * kLambda / 2;
    ImageSlot w = Wavefront(64, 30);
    TiltPlane(*w, 1, 0, g);
    ImageSlot out = NewImage(64, 64);
    ASSERT_TRUE(BuildInterferogram(*w, 8, 0, kLambda, kLambda, *out).ok());
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            if (w->InMask(r, c)) {
                EXPECT_NEAR(out->At(r, c), 1, 1e-12);
            }
}

TEST(Interferogram, RefusalsLeaveTheOutputAlone)
{
    ImageSlot w = Wavefront(32, 14);
    ImageSlot wrong = NewImage(16, 16);
    wrong->At(3, 3) = 4;
    const TImageRec before = *wrong;
    EXPECT_FALSE(BuildInterferogram(*w, 8, 0, kLambda, kLambda, *wrong).ok());
    ImageSlot out = NewImage(32, 32);
    EXPECT_FALSE(BuildInterferogram(*w, 8, 0, kLambda, 0, *out).ok());
    EXPECT_EQ(wrong->Planes, before.Planes);
    EXPECT_EQ(out->Planes, NewImage(32, 32)->Planes);
}

TestGeometry Telescope() { return {1.2e9, 1.0e8, 0}; }  // F = 1200 mm, D = 200 mm

ImageSlot Ronchi(const TImageRec& w, int fringes, double angle, const TestGeometry& test = Telescope())
{
    ImageSlot out = NewImage(w.Width, w.Height);
    EXPECT_TRUE(BuildRonchigram(test, w, fringes, angle, *out).ok());
    return out;
}

TEST(Ronchigram, FlatWavefrontShowsTheStraightGrating)
{
    ImageSlot w = Wavefront(128, 60);
    ImageSlot out = Ronchi(*w, 8, 0);
    EXPECT_EQ(out->Kind, 7);
    EXPECT_EQ(out->Mask, w->Mask);
    ImageSlot grating = NewImage(128, 128);
    grating->CentreX = grating->CentreY = 64.5;
    grating->Radius = 60;
    SetPupilAxes(grating.get());
    RonchiGrating(*grating, 8, 0);
    for (int r = 0; r < 128; ++r) {
        for (int c = 0; c < 128; ++c) {
            const double expected = (r == 127 || c == 127) ? 0 : grating->At(r, c);
            ASSERT_EQ(out->At(r, c), expected) << r << "," << c;
        }
    }
    EXPECT_EQ(Crossings(*out, 64, 0.5), 16);  // 8 bar pairs across the pupil
}

TEST(Ronchigram, AngleTurnsTheBars)
{
    ImageSlot w = Wavefront(128, 60);
    ImageSlot flat = Ronchi(*w, 6, 90);
    EXPECT_EQ(Crossings(*flat, 64, 0.5, true), 12);
    EXPECT_EQ(Crossings(*flat, 64, 0.5), 0);  // horizontal bars
    ImageSlot diagonal = Ronchi(*w, 6, 45);
    EXPECT_EQ(diagonal->At(40, 40), diagonal->At(60, 60));  // x + y constant where c - r is
    EXPECT_GT(Crossings(*diagonal, 64, 0.5), 0);
}

TEST(Ronchigram, TiltShiftsTheGratingByTheRayAberration)
{
    const TestGeometry test = Telescope();
    TestGeometry atGrating = test;
    atGrating.Defocus = RonchiGratingDistance(8);
    EXPECT_EQ(atGrating.Defocus, 1.6e6);
    // On the exact pupil image, radius l tan u_max: the paraxial coefficient times cos u_max.
    const double a = -test.Focal * (test.Focal - atGrating.Defocus) /
                     (atGrating.Defocus * test.ApertureRadius * test.ApertureRadius) *
                     std::cos(std::asin(test.ApertureRadius / test.Focal));
    ImageSlot w = Wavefront(128, 60);
    const double step = w->XAxis[1] - w->XAxis[0];
    TiltPlane(*w, 1, 0, 3 * step / a);  // a three-pixel displacement
    ImageSlot out = Ronchi(*w, 8, 0, test);
    ImageSlot flat = Ronchi(*Wavefront(128, 60), 8, 0, test);
    for (int c = 20; c < 100; ++c) EXPECT_NEAR(out->At(64, c), flat->At(64, c + 3), 1e-6) << c;
}

TEST(Ronchigram, DefocusKeepsBarsStraightAndSphericalBendsThem)
{
    ZernikeCoefficients defocus{};
    defocus[3] = 3000;
    ImageSlot wd = Wavefront(128, 60, defocus);
    ImageSlot outD = Ronchi(*wd, 8, 0);
    ImageSlot flat = Ronchi(*Wavefront(128, 60), 8, 0);
    EXPECT_NE(Crossings(*outD, 64, 0.5), Crossings(*flat, 64, 0.5));
    for (int r = 30; r < 98; r += 4)
        for (int c = 30; c < 98; ++c) ASSERT_NEAR(outD->At(r, c), outD->At(64, c), 1e-9) << r << "," << c;

    ZernikeCoefficients spherical{};
    spherical[10] = 3000;
    ImageSlot outS = Ronchi(*Wavefront(128, 60, spherical), 8, 0);
    int bent = 0;
    for (int r = 10; r < 118; ++r)
        for (int c = 10; c < 118; ++c)
            bent += outS->InMask(r, c) && std::fabs(outS->At(r, c) - outS->At(64, c)) > 0.5;
    EXPECT_GT(bent, 50);
}

TEST(Ronchigram, RefusalsLeaveTheGratingAlone)
{
    ImageSlot w = Wavefront(32, 14);
    ImageSlot out = NewImage(32, 32);
    out->At(5, 5) = 3;
    const TImageRec before = *out;
    EXPECT_FALSE(BuildRonchigram({1e9, 0, 0}, *w, 8, 0, *out).ok());
    EXPECT_FALSE(BuildRonchigram(Telescope(), *w, 0, 0, *out).ok());
    ImageSlot small = NewImage(16, 16);
    EXPECT_FALSE(RonchiTransport({1e9, 1e8, 1e6}, *small, *w).ok());
    EXPECT_EQ(out->Planes, before.Planes);
}

}  // namespace
}  // namespace frontlys
