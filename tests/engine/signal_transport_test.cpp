#include <gtest/gtest.h>

#include <cmath>

#include "engine/curvature_signal.h"
#include "engine/poisson.h"
#include "engine/reconstruct.h"
#include "engine/transport.h"

namespace frontlys {
namespace {

ImageSlot Filled(int w, int h, double value)
{
    ImageSlot image = NewImage(w, h);
    image->Planes.Fill(value);
    return image;
}

// A disc pupil centred in an n x n image with reduced axes.
ImageSlot Disc(int n, double radiusPx, double value)
{
    ImageSlot image = NewImage(n, n);
    image->CentreX = image->CentreY = n / 2.0 + 0.5;
    image->Radius = radiusPx;
    SetPupilAxes(image.get());
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const bool inside = std::hypot(image->XAxis[c], image->YAxis[r]) <= 1.0;
            image->At(r, c) = inside ? value : 0.0;
            image->MaskAt(r, c) = inside ? 1 : 0;
        }
    }
    return image;
}

TEST(Signal, PixelValuesAndZeroSumKeepsThePreviousValue)
{
    ImageSlot a = Filled(4, 4, 1), b = Filled(4, 4, 1), s = Filled(4, 4, 9);
    a->At(0, 0) = 3;  // b = 1: 0.5
    b->At(0, 1) = 3;  // a = 1: -0.5
    a->At(0, 2) = 0;
    b->At(0, 2) = 0;  // sum 0: stays 9
    a->MaskAt(1, 1) = 1;
    ASSERT_TRUE(ComputeSignal(*a, *b, *s).ok());
    EXPECT_DOUBLE_EQ(s->At(0, 0), 0.5);
    EXPECT_DOUBLE_EQ(s->At(0, 1), -0.5);
    EXPECT_DOUBLE_EQ(s->At(0, 2), 9.0);
    EXPECT_DOUBLE_EQ(s->At(3, 3), 0.0);  // identical values give 0, mask or not
    EXPECT_EQ(s->Kind, static_cast<std::uint8_t>(ImageKind::Signal));
    EXPECT_EQ(s->MaskCount, 1);
}

TEST(Signal, MaskIsTheUnionOfBothPupils)
{
    const int n = 8;
    ImageSlot a = Filled(n, n, 1), b = Filled(n, n, 2), s = NewImage(n, n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) (c < n / 2 ? a : b)->MaskAt(r, c) = 1;
    ASSERT_TRUE(ComputeSignal(*a, *b, *s).ok());
    EXPECT_EQ(s->MaskCount, n * n);
    EXPECT_GT(s->Radius, 0);
    EXPECT_NEAR(s->XAxis[1] - s->XAxis[0], 1.0 / s->Radius, 1e-12);  // reduced axes set
}

TEST(Signal, DifferentSizesLeaveTheSignalUntouched)
{
    ImageSlot a = Filled(64, 64, 1), b = Filled(64, 63, 2), s = Filled(64, 64, 5);
    const TImageRec before = *s;
    EXPECT_FALSE(ComputeSignal(*a, *b, *s).ok());
    EXPECT_EQ(s->Planes, before.Planes);
    ImageSlot small = Filled(32, 32, 5);
    EXPECT_FALSE(ComputeSignal(*a, *a, *small).ok());
}

TEST(Signal, CentralHoleGivesTheObstruction)
{
    const int n = 128;
    ImageSlot a = Disc(n, 40, 1), b = Disc(n, 40, 1), s = NewImage(n, n);
    for (ImageSlot* img : {&a, &b}) {
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                if (std::hypot((*img)->XAxis[c], (*img)->YAxis[r]) < 0.3) (*img)->MaskAt(r, c) = 0;
    }
    ASSERT_TRUE(ComputeSignal(*a, *b, *s).ok());
    EXPECT_NEAR(s->Obstruction, 0.3, 0.02);
}

TEST(Transport, ZeroWavefrontKeepsImagesButTheLastRowAndColumn)
{
    const int n = 16;
    ImageSlot w = Disc(n, 6, 0.0), a = Disc(n, 6, 0.0), b = Disc(n, 6, 0.0);
    for (int i = 0; i < n * n; ++i) a->Planes.data()[i] = 1 + i, b->Planes.data()[i] = 2 * i;
    const TImageRec a0 = *a, b0 = *b;
    ASSERT_TRUE(TransportImages({1e9, 1e8, 2e6}, *a, *b, *w).ok());
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const bool last = r == n - 1 || c == n - 1;
            EXPECT_DOUBLE_EQ(a->At(r, c), last ? 0.0 : a0.At(r, c)) << r << "," << c;
            EXPECT_DOUBLE_EQ(b->At(r, c), last ? 0.0 : b0.At(r, c));
        }
    }
    EXPECT_EQ(a->Mask, a0.Mask);
}

// W = c x moves A by a1 c and B by a2 c reduced units; with a1 c = -1 pixel and a2 c = +2 pixels the
// interpolation is exact: the corrected A(x) samples A at x - 1 px, B at x + 2 px.
TEST(Transport, PureTiltShiftsTheImagesInOppositeDirections)
{
    const int n = 32;
    const double radiusPx = 10, f = 1e9, l = 1e9 / 3, r = 1e8;  // a2 = -2 a1
    const TestGeometry g{f, r, l};
    const auto k = TransportCoefficientsFor(g).value();
    ASSERT_NEAR(k.extra, -2 * k.intra, 1e-12 * std::abs(k.extra));
    const double c = -(1.0 / radiusPx) / k.intra;  // a1 c = -1 px in reduced units
    ImageSlot w = Disc(n, radiusPx, 0), a = Disc(n, radiusPx, 0), b = Disc(n, radiusPx, 0);
    for (int row = 0; row < n; ++row)
        for (int col = 0; col < n; ++col) {
            w->At(row, col) = c * w->XAxis[col];
            w->MaskAt(row, col) = 1;  // the slope is the same everywhere, no edge
            a->At(row, col) = 10 * col + row;
            b->At(row, col) = 100 + 3 * col - row;
        }
    const TImageRec a0 = *a, b0 = *b;
    ASSERT_TRUE(TransportImages(g, *a, *b, *w).ok());
    for (int row = 1; row < n - 2; ++row) {
        for (int col = 2; col < n - 3; ++col) {
            EXPECT_NEAR(a->At(row, col), a0.At(row, col - 1), 1e-9) << row << "," << col;
            EXPECT_NEAR(b->At(row, col), b0.At(row, col + 2), 1e-9) << row << "," << col;
        }
    }
}

TEST(Transport, DefocusScalesTheLevelByTheJacobian)
{
    const int n = 64;
    const TestGeometry g{1e9, 1e8, 2e6};
    const auto k = TransportCoefficientsFor(g).value();
    ImageSlot w = Disc(n, 20, 0), a = Disc(n, 20, 1), b = Disc(n, 20, 1);
    const double c = 50;  // nm: W = c (2 rho^2 - 1), lap = 8c, det = 16 c^2
    for (int r = 0; r < n; ++r)
        for (int col = 0; col < n; ++col) {
            const double x = w->XAxis[col], y = w->YAxis[r];
            w->At(r, col) = c * (2 * (x * x + y * y) - 1);
            a->At(r, col) = b->At(r, col) = 1;  // uniform, so only the Jacobian shows
        }
    ASSERT_TRUE(TransportImages(g, *a, *b, *w).ok());
    const int mid = n / 2;
    EXPECT_NEAR(a->At(mid, mid), 1 + 8 * c * k.intra + 16 * c * c * k.intra * k.intra, 1e-9);
    EXPECT_NEAR(b->At(mid, mid), 1 + 8 * c * k.extra + 16 * c * c * k.extra * k.extra, 1e-9);
}

TEST(Transport, DifferencesAreOneSidedAtTheMaskEdge)
{
    ImageSlot in = NewImage(5, 3), out = NewImage(5, 3);
    const double values[5] = {1, 4, 9, 16, 25};
    for (int c = 0; c < 5; ++c) in->At(1, c) = values[c];
    for (int c = 1; c < 5; ++c) in->MaskAt(1, c) = 1;  // column 0 outside
    DiffX(*in, *out);
    EXPECT_DOUBLE_EQ(out->At(1, 1), 9 - 4);           // left neighbour outside: forward
    EXPECT_DOUBLE_EQ(out->At(1, 2), (16 - 4) / 2.0);  // centred
    EXPECT_DOUBLE_EQ(out->At(1, 4), 0.0);             // last column never written
    in->MaskAt(1, 3) = 0;
    DiffX(*in, *out);
    EXPECT_DOUBLE_EQ(out->At(1, 2), 9 - 4);  // right outside: backward
    EXPECT_DOUBLE_EQ(out->At(1, 3), 0.0);    // off the mask
    DiffY(*in, *out);
    EXPECT_DOUBLE_EQ(out->At(1, 2), 0.0);  // no neighbour above or below in the mask
}

TEST(Transport, RefusesZeroDefocusAndOtherSizes)
{
    ImageSlot w = Disc(16, 6, 0), a = Disc(16, 6, 1), b = Disc(8, 3, 1);
    const TImageRec a0 = *a;
    EXPECT_FALSE(TransportImages({1e9, 1e8, 0}, *a, *a, *w).ok());
    EXPECT_FALSE(TransportImages({1e9, 1e8, 2e6}, *a, *b, *w).ok());
    EXPECT_EQ(a->Planes, a0.Planes);
}

TEST(Solver, BoundaryRingMarksOnlyTheAnnulusOutsideThePupil)
{
    ImageSlot image = Disc(64, 20, 0);
    image->MaskAt(32, 32 + 24) = 1;  // r = 1.2: dropped
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            if (std::hypot(image->XAxis[c], image->YAxis[r]) < 0.3) image->MaskAt(r, c) = 0;
    MarkBoundaryRing(*image);
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) {
            const double rho = std::hypot(image->XAxis[c], image->YAxis[r]);
            const int m = image->MaskAt(r, c);
            if (rho > 1.15) {
                EXPECT_EQ(m, 0);
            } else if (rho > 1.0) {
                EXPECT_EQ(m, 2);
            } else if (rho < 0.3) {
                EXPECT_EQ(m, 0) << "no ring in the central hole";
            }
        }
    }
}

TEST(Solver, RefusesSignalsOutsideTheGridItSolves)
{
    ImageSlot wide = NewImage(64, 32), odd = NewImage(48, 48), out = NewImage(64, 64);
    for (TImageRec* s : {wide.get(), odd.get()}) {
        s->Radius = 10;
        s->CentreX = s->CentreY = 16;
        SetPupilAxes(s);
        auto result = ReconstructWavefront({1e9, 1e8, 2e6}, *s, *out);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.status().message,
                  "Le signal doit être une image carrée dont le côté est une puissance de deux.");
    }
    ImageSlot noAxes = NewImage(64, 64);
    EXPECT_FALSE(ReconstructWavefront({1e9, 1e8, 2e6}, *noAxes, *out).ok());
}

TEST(Solver, ZeroSignalRunsAllIterationsAndGivesZero)
{
    ImageSlot signal = Disc(64, 20, 0), out = NewImage(64, 64);
    auto result = ReconstructWavefront({1e9, 1e8, 2e6}, *signal, *out);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().poisson.iterations, kPoissonMaxIterations);
    EXPECT_EQ(result.value().poisson.stop, PoissonStop::IterationLimit);
    for (int i = 0; i < 64 * 64; ++i) EXPECT_EQ(out->Planes.data()[i], 0.0);
    EXPECT_EQ(out->Kind, static_cast<std::uint8_t>(ImageKind::Wavefront));
}

TEST(Solver, FocusAtTheDefocusDistanceSolvesNothing)
{
    ImageSlot signal = Disc(64, 20, 0.1), out = NewImage(64, 64);
    auto result = ReconstructWavefront({1e9, 1e8, 1e9}, *signal, *out);  // l = F: K = 0
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.value().solved);
    EXPECT_EQ(out->Mask, signal->Mask);
}

// For l < 0 or l > F the factor K changes sign: the wavefront would come out turned over.
TEST(Solver, ADefocusOutsideTheFocalLengthIsRefusedNotTurnedOver)
{
    ImageSlot signal = Disc(64, 20, 0.1), out = NewImage(64, 64);
    const TImageRec before = *out;
    for (double l : {-2e6, 1.5e9}) {
        EXPECT_FALSE(ReconstructWavefront({1e9, 1e8, l}, *signal, *out).ok()) << l;
        EXPECT_EQ(out->Planes, before.Planes);
    }
}

TEST(Solver, NonFiniteValuesInThePupilAreRefusedOutsideIgnored)
{
    ImageSlot signal = Disc(64, 20, 0.01), out = NewImage(64, 64);
    signal->At(0, 0) = std::nan("");  // background: carries no measurement
    ASSERT_TRUE(ReconstructWavefront({1e9, 1e8, 2e6}, *signal, *out).ok());
    for (int i = 0; i < 64 * 64; ++i) ASSERT_TRUE(std::isfinite(out->Planes.data()[i]));
    signal->At(32, 32) = std::numeric_limits<double>::infinity();
    const TImageRec before = *out;
    EXPECT_FALSE(ReconstructWavefront({1e9, 1e8, 2e6}, *signal, *out).ok());
    EXPECT_EQ(out->Planes, before.Planes);
}

// A central hole lies between pupil cells of the same rows: values there that are not finite carry
// no measurement and reach neither the solution nor the residual.
TEST(Solver, NonFiniteValuesInACentralHoleChangeNothing)
{
    ImageSlot clear = Disc(64, 20, 0.01);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) clear->At(r, c) *= 1.0 + 0.3 * clear->XAxis[c];
    for (int r = 28; r < 36; ++r) {
        for (int c = 28; c < 36; ++c) {
            clear->At(r, c) = 0.0;
            clear->MaskAt(r, c) = 0;
        }
    }
    MarkBoundaryRing(*clear);
    ImageSlot filled = NewImage(64, 64);
    *filled = *clear;
    filled->At(30, 30) = std::nan("");
    filled->At(31, 33) = -std::numeric_limits<double>::infinity();
    ImageSlot a = NewImage(64, 64), b = NewImage(64, 64);
    auto first = SolvePoisson(*clear, *a);
    auto second = SolvePoisson(*filled, *b);
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first.value().residuals, second.value().residuals);
    EXPECT_EQ(a->Planes, b->Planes);
}

// Solutions one after another on one thread share their work arrays: no trace of one reaches the next.
TEST(Solver, AnEarlierSolutionLeavesNoTraceOnTheNext)
{
    ImageSlot first = Disc(64, 20, 0.01), other = Disc(64, 12, -0.02), small = Disc(32, 10, 0.01);
    for (TImageRec* s : {first.get(), other.get(), small.get()}) {
        for (int r = 0; r < s->Height; ++r)
            for (int c = 0; c < s->Width; ++c) s->At(r, c) *= 1.0 + 0.5 * s->YAxis[r];
        MarkBoundaryRing(*s);
    }
    ImageSlot out = NewImage(64, 64), again = NewImage(64, 64), smallOut = NewImage(32, 32);
    auto before = SolvePoisson(*first, *out);
    ASSERT_TRUE(before.ok());
    ASSERT_TRUE(SolvePoisson(*other, *again).ok());
    ASSERT_TRUE(SolvePoisson(*small, *smallOut).ok());
    ASSERT_TRUE(SolvePoisson(*other, *again).ok());
    auto after = SolvePoisson(*first, *again);
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(after.value().residuals, before.value().residuals);
    EXPECT_EQ(again->Planes, out->Planes);
    EXPECT_EQ(again->Mask, out->Mask);
}

}  // namespace
}  // namespace frontlys
