#include "prep/pupil_alignment.h"

#include <gtest/gtest.h>

#include <cmath>

#include "prep/pupil.h"
#include "prep/synthetic_pupil.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

using synthetic::Annulus;
using synthetic::AnnulusLight;
using synthetic::MakeImage;
using synthetic::SetMask;
using synthetic::StarImage;

ImageSlot Blank(int side)
{
    return MakeImage(side, side, [](int, int) { return 0.0; });
}

// Intensity-weighted centroid (1-based column, row) of plane 1.
std::pair<double, double> Centroid(const TImageRec& image)
{
    double s = 0, sx = 0, sy = 0;
    for (int r = 0; r < image.Height; ++r)
        for (int c = 0; c < image.Width; ++c) {
            const double v = image.At(r, c);
            s += v, sx += v * (c + 1), sy += v * (r + 1);
        }
    return {sx / s, sy / s};
}

TEST(CoCentre, ShiftsEachImageByItsOwnCentreOffset)
{
    // Masks laid so that FindPupil gives (60.3, 70.0) and (66.0, 64.5) on a 128 x 128 pair; the
    // threshold is out of reach so that the re-threshold after the shift empties the masks.
    auto intra = Blank(128), extra = Blank(128);
    SetMask(*intra, [](int c, int r) { return r >= 65 && r <= 75 && r != 70 && c == (r <= 72 ? 60 : 61); });
    SetMask(*extra, [](int c, int r) { return c == 66 && (r == 64 || r == 65); });
    intra->At(19, 19) = 1000;  // a marker at (column 20, row 20) in both
    extra->At(19, 19) = 1000;
    intra->Threshold = extra->Threshold = 1e9;
    FindPupil(intra.get());
    FindPupil(extra.get());
    ASSERT_DOUBLE_EQ(intra->CentreX, 60.3);
    ASSERT_DOUBLE_EQ(intra->CentreY, 70.0);

    CoCentre(intra.get(), extra.get());
    // Intra: -6.0 rows and +3.7 columns, so the marker lands on row 14 between columns 23 and 24.
    EXPECT_NEAR(intra->At(13, 22), 300.0, 1e-9);
    EXPECT_NEAR(intra->At(13, 23), 700.0, 1e-9);
    // Extra: -0.5 rows and -2.0 columns: rows 19 and 20 of column 18 share it.
    EXPECT_NEAR(extra->At(18, 17), 500.0, 1e-9);
    EXPECT_NEAR(extra->At(19, 17), 500.0, 1e-9);
    EXPECT_EQ(intra->MaskCount, 0);
}

TEST(CoCentre, LeavesMismatchedOrMissingImagesAlone)
{
    auto a = MakeImage(64, 64, [](int c, int) { return c; });
    auto b = MakeImage(32, 32, [](int c, int) { return c; });
    SetMask(*a, [](int c, int r) { return c < 10 && r < 10; });
    const TImageRec before = *a;
    CoCentre(a.get(), b.get());
    CoCentre(a.get(), nullptr);
    EXPECT_EQ(a->Planes, before.Planes);
    EXPECT_EQ(a->Mask, before.Mask);
}

TEST(CoCentre, ImageWithoutPupilIsNotThrownOffFrame)
{
    // No pixel reaches the threshold: the record's centre is stale (0, 0) and a shift by it would
    // push three quarters of the image out.
    auto intra = MakeImage(64, 64, [](int c, int r) { return c + r; });
    auto extra = MakeImage(64, 64, [](int c, int r) { return c * r; });
    intra->Threshold = 1e6;
    extra->Threshold = 1e6;
    ApplyThreshold(intra.get());
    ApplyThreshold(extra.get());
    const auto before = intra->Planes;
    CoCentre(intra.get(), extra.get());
    EXPECT_EQ(intra->Planes, before);
    EXPECT_DOUBLE_EQ(intra->Radius, 0.0);
}

// A real night: soft-edged obstructed pupils with read noise, centred a fractional amount away from
// the middle, extracted with the automatic threshold and co-centred.
TEST(CoCentre, NoisySoftAnnuliEndOnTheFrameMiddle)
{
    const Annulus intraTrue{57.37, 69.81, 30.0, 10.5, 0.8};
    const Annulus extraTrue{70.62, 59.14, 33.0, 11.5, 0.8};
    auto intra = StarImage(128, intraTrue, 200, 3000, 25, 1);
    auto extra = StarImage(128, extraTrue, 180, 2500, 25, 2);
    for (TImageRec* image : {intra.get(), extra.get()}) {
        AutoThreshold(*image, 16, 50);
        ApplyThreshold(image);
    }
    CoCentre(intra.get(), extra.get());
    const double before = intra->MinValue;
    for (auto [image, truth] : {std::pair{intra.get(), intraTrue}, std::pair{extra.get(), extraTrue}}) {
        FindPupil(image);
        EXPECT_NEAR(image->CentreX, 64.0, 0.1);
        EXPECT_NEAR(image->CentreY, 64.0, 0.1);
        EXPECT_NEAR(image->Radius, truth.outer, 0.01 * truth.outer);
        EXPECT_DOUBLE_EQ(image->XAxis[63] * image->Radius, 64 - image->CentreX);  // pupil axes set
    }
    // The borders brought in by the shift are raised to the former minimum.
    MinMaxAll(intra.get());
    EXPECT_GE(intra->MinValue, before);

    // Resizing then brings the larger extra-focal pupil to the intra-focal radius, in place. The
    // re-thresholded mask of the resampled noisy edge moves the chord centre by a few hundredths.
    const double intraRadius = intra->Radius;
    MatchPupilSizes(intra.get(), extra.get());
    EXPECT_DOUBLE_EQ(intra->Radius, intraRadius);
    EXPECT_NEAR(extra->Radius, intraRadius, 0.01 * intraRadius);
    EXPECT_NEAR(extra->CentreX, 64.0, 0.15);
    EXPECT_NEAR(extra->CentreY, 64.0, 0.15);
}

TEST(ZoomAboutCentre, PupilCentreStaysWhereItWas)
{
    // A blob at a fractional position off the frame middle; zooming by 0.75 keeps its centroid. A
    // shift of (1 - f) x centre instead of (1 - f) x (centre - 1) would leave it 0.25 px off.
    const double cx = 40.3, cy = 45.6;
    auto image = MakeImage(96, 96, [&](int c, int r) {
        return 1000 * std::exp(-((c - cx) * (c - cx) + (r - cy) * (r - cy)) / 50);
    });
    image->CentreX = cx, image->CentreY = cy;
    image->Radius = 17;
    ZoomAboutCentre(*image, 0.75);
    const auto [x, y] = Centroid(*image);
    EXPECT_NEAR(x, cx, 0.02);
    EXPECT_NEAR(y, cy, 0.02);
    EXPECT_EQ(image->Width, 96);
    EXPECT_EQ(image->Planes.cols(), 96);
    EXPECT_DOUBLE_EQ(image->Radius, 17.0);  // geometry is the caller's to redo
}

TEST(ZoomAboutCentre, ShrunkPupilKeepsItsFarSide)
{
    // Radius 45 about the middle of 128, shrunk by 0.6 to radius 27: the pupil ends at column 91,
    // beyond the 77 samples of the shrunk plane, and must come out whole and symmetric.
    auto image = MakeImage(128, 128, [](int c, int r) {
        return 100.0 * AnnulusLight({64, 64, 45, 0, 0.7}, c, r);
    });
    image->CentreX = image->CentreY = 64;
    ZoomAboutCentre(*image, 0.6);
    EXPECT_NEAR(image->At(63, 63 + 24), 100.0, 0.5);
    EXPECT_NEAR(image->At(63 + 24, 63), 100.0, 0.5);
    EXPECT_NEAR(image->At(63, 63 + 24), image->At(63, 63 - 24), 0.1);
    EXPECT_NEAR(image->At(63, 63 + 32), 0.0, 0.01);
}

TEST(ZoomAboutCentre, FactorOneIsIdentityAndBadFactorsChangeNothing)
{
    auto image = MakeImage(33, 33, [](int c, int r) { return std::sin(c * 0.3) * r + 0.125; });
    image->CentreX = 17.2, image->CentreY = 15.9;
    const auto before = image->Planes;
    ZoomAboutCentre(*image, 1.0);
    EXPECT_EQ(image->Planes, before);
    ZoomAboutCentre(*image, 0.0);
    ZoomAboutCentre(*image, -2.0);
    EXPECT_EQ(image->Planes, before);
}

TEST(MatchPupilSizes, LargerPupilShrinksAndKeepsItsFlux)
{
    // Flat soft-edged pupils of radius 50 (intra) and 40 (extra): the intra image is zoomed by about
    // 0.8, its values times about 1.5625 and its threshold divided by about 0.64.
    const auto disk = [](double radius) {
        return [radius](int c, int r) { return 100.0 * AnnulusLight({64.0, 64.0, radius, 0, 0.7}, c, r); };
    };
    auto intra = MakeImage(128, 128, disk(50)), extra = MakeImage(128, 128, disk(40));
    intra->Threshold = extra->Threshold = 50;
    ApplyThreshold(intra.get());
    ApplyThreshold(extra.get());
    const TImageRec extraBefore = *extra;
    FindPupil(intra.get());
    FindPupil(extra.get());
    const double f = extra->Radius / intra->Radius;
    ASSERT_NEAR(f, 0.8, 0.005);
    double fluxBefore = 0;
    for (double v : intra->Planes.Plane(0)) fluxBefore += v;

    MatchPupilSizes(intra.get(), extra.get());
    EXPECT_DOUBLE_EQ(intra->Threshold, 50 / (f * f));
    EXPECT_NEAR(intra->At(63, 63), 100 / (f * f), 1e-9);
    EXPECT_NEAR(intra->Radius, extra->Radius, 0.01 * extra->Radius);
    EXPECT_NEAR(intra->CentreX, 64.0, 0.05);
    EXPECT_NEAR(intra->CentreY, 64.0, 0.05);
    double fluxAfter = 0;
    for (double v : intra->Planes.Plane(0)) fluxAfter += v;
    EXPECT_NEAR(fluxAfter, fluxBefore, 0.01 * fluxBefore);
    EXPECT_EQ(extra->Planes, extraBefore.Planes);
    EXPECT_DOUBLE_EQ(extra->Threshold, 50.0);
}

TEST(MatchPupilSizes, TieOrEmptyPupilKeepsTheScale)
{
    auto intra = MakeImage(32, 32, [](int c, int r) { return c + r + 0.5; });
    auto extra = MakeImage(32, 32, [](int c, int r) { return c * r + 0.25; });
    intra->Threshold = 10;
    extra->Threshold = 1e9;  // empty mask, radius 0
    ApplyThreshold(intra.get());
    ApplyThreshold(extra.get());
    const auto before = intra->Planes;
    MatchPupilSizes(intra.get(), extra.get());
    EXPECT_EQ(intra->Planes, before);  // factor 1: no infinite scale from a zero radius
    EXPECT_DOUBLE_EQ(intra->Threshold, 10.0);
    MatchPupilSizes(nullptr, extra.get());
}

TEST(Rotate180, TurnsPlanesAndMaskAndTwiceRestores)
{
    Planes3D<double> planes(2, 3, 5);
    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c) planes(p, r, c) = 100 * p + 10 * r + c;
    auto image = NewImage(std::move(planes), 5, 3, 2);
    image->MaskAt(0, 1) = 1;
    image->CentreX = 2.5;
    const TImageRec before = *image;
    Rotate180(image.get());
    EXPECT_EQ(image->Planes(0, 2, 4), 0.0);  // (1, 1) went to (3, 5)
    EXPECT_EQ(image->Planes(1, 0, 0), 124.0);
    EXPECT_EQ(image->MaskAt(2, 3), 1);
    EXPECT_DOUBLE_EQ(image->CentreX, 2.5);
    Rotate180(image.get());
    EXPECT_EQ(image->Planes, before.Planes);
    EXPECT_EQ(image->Mask, before.Mask);
    Rotate180(nullptr);
}

}  // namespace
}  // namespace frontlys
