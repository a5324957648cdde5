#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "engine/curvature_model.h"  // tests/engine
#include "engine/curvature_signal.h"
#include "engine/reconstruct.h"
#include "engine/zernike_fit.h"
#include "prep/pupil.h"

namespace frontlys {
namespace {

using testing::KnownWavefront;
using testing::ModelGeometry;
using testing::ModelPupil;

struct Recovered {
    ZernikeCoefficients fitted{};
    ReconstructionSummary summary;
};

// Model images -> signal -> wavefront -> 28-term fit.
Recovered RecoverFromModel(const KnownWavefront& w, const ModelPupil& pupil)
{
    const TestGeometry geometry = ModelGeometry();
    const auto pair = testing::MakeModelPair(w, pupil, geometry);
    ImageSlot signal = NewImage(pupil.size, pupil.size);
    EXPECT_TRUE(ComputeSignal(*pair.intra, *pair.extra, *signal).ok());
    ImageSlot front = NewImage(pupil.size, pupil.size);
    auto rec = ReconstructWavefront(geometry, *signal, *front);
    EXPECT_TRUE(rec.ok()) << rec.status().reason;
    Recovered out;
    if (!rec.ok()) return out;
    out.summary = rec.value();
    FitZernike(*front, ZernikeBasis::ForCount(28), AllTermsSelected(), out.fitted);
    return out;
}

// Exact samples of W over the annulus of `pupil`, fitted with the annular basis: the coefficients a
// perfect reconstruction would give.
ZernikeCoefficients ReferenceCoefficients(const KnownWavefront& w, const ModelPupil& pupil)
{
    ImageSlot exact = NewImage(pupil.size, pupil.size);
    exact->CentreX = exact->CentreY = pupil.size / 2.0 + 0.5;
    exact->Radius = pupil.radiusPx;
    exact->Obstruction = pupil.obstruction;
    SetPupilAxes(exact.get());
    for (int r = 0; r < pupil.size; ++r) {
        for (int c = 0; c < pupil.size; ++c) {
            const double x = exact->XAxis[c], y = exact->YAxis[r], rho = std::hypot(x, y);
            if (rho > 1 || rho < pupil.obstruction) continue;
            exact->At(r, c) = w(x, y);
            exact->MaskAt(r, c) = 1;
        }
    }
    ZernikeCoefficients reference{};
    FitZernike(*exact, ZernikeBasis::ForCount(28), AllTermsSelected(), reference);
    return reference;
}

// Amplitudes small enough that no caustic forms in the model (|a Hess W| well below 1).
double Amplitude(int k) { return (ZernikeTermInfo(k).n >= 5 ? 20.0 : 40.0) * (k % 2 ? -1.0 : 1.0); }

// Terms with m = n are harmonic: no Laplacian inside the pupil, all their information is in the
// edge of the signal. The pixel-normalised signal weighs that edge by the local sum of the two
// images, so with sharp edges these terms come back high (and low once the edge is blurred over a
// pixel or more): they are held to a looser bound that still catches a solver returning about half.
bool Harmonic(int k) { return ZernikeTermInfo(k).m == ZernikeTermInfo(k).n; }

void Report(const char* label, int k, double want, const Recovered& got)
{
    std::printf("%s Z%-2d %-20s want %8.3f got %8.3f error %+6.1f %% (%d iterations)\n",
                label,
                k,
                std::string(ZernikeName(k)).c_str(),
                want,
                got.fitted[k - 1],
                100 * (got.fitted[k - 1] - want) / want,
                got.summary.poisson.iterations);
}

// The reconstruction with the central shadow held flat: the hole pixels join the ring (mask 2),
// so the solver keeps the gradient at 0 there as it does outside the pupil. The inner-edge signal is
// the Laplacian of W continued flat into the shadow, as the outer-edge signal is of W continued flat
// beyond the pupil; without this condition nothing ties the solution inside the hole.
Recovered RecoverWithShadowHeldFlat(const KnownWavefront& w, const ModelPupil& pupil)
{
    const TestGeometry g = ModelGeometry();
    const auto pair = testing::MakeModelPair(w, pupil, g);
    ImageSlot signal = NewImage(pupil.size, pupil.size);
    EXPECT_TRUE(ComputeSignal(*pair.intra, *pair.extra, *signal).ok());
    TImageRec lap = *signal;
    ScaleImage(lap, g.ApertureRadius * g.ApertureRadius * g.Defocus / (g.Focal * (g.Focal - g.Defocus)));
    MarkBoundaryRing(lap, kRingOuter);
    for (int r = 0; r < lap.Height; ++r)
        for (int c = 0; c < lap.Width; ++c)
            if (lap.MaskAt(r, c) == 0 && std::hypot(lap.XAxis[c], lap.YAxis[r]) < kRingInner)
                lap.MaskAt(r, c) = 2;
    ImageSlot front = NewImage(pupil.size, pupil.size);
    front->CentreX = lap.CentreX;
    front->CentreY = lap.CentreY;
    front->Radius = lap.Radius;
    SetPupilAxes(front.get());
    Recovered out;
    auto solved = SolvePoisson(lap, *front);
    EXPECT_TRUE(solved.ok());
    if (!solved.ok()) return out;
    out.summary.solved = true;
    out.summary.poisson = solved.take();
    for (std::int16_t& m : std::span<std::int16_t>(front->Mask.data(), front->Mask.size()))
        if (m != 1) m = 0;
    MeasureObstruction(*front);
    ClearOutsideAnnulus(*front);
    FitZernike(*front, ZernikeBasis::ForCount(28), AllTermsSelected(), out.fitted);
    return out;
}

class EndToEnd : public ::testing::TestWithParam<int> {};

// Term k alone over a full pupil: right sign, and within the tolerance (a fraction of the value) that
// applies to its kind, edge-only (m = n) or not.
void CheckFullPupilTerm(int k, double blurPx, double edgeOnlyTolerance, const char* label)
{
    KnownWavefront w;
    w.coefficients[k - 1] = Amplitude(k);
    ModelPupil pupil;
    pupil.supersample = 3;
    pupil.blurPx = blurPx;
    const Recovered got = RecoverFromModel(w, pupil);
    const double want = w.coefficients[k - 1];
    Report(label, k, want, got);
    EXPECT_GT(got.fitted[k - 1] * want, 0) << "wrong sign";
    const double tolerance = Harmonic(k) ? edgeOnlyTolerance : 0.1;
    EXPECT_NEAR(got.fitted[k - 1], want, tolerance * std::abs(want)) << ZernikeName(k);
}

TEST_P(EndToEnd, FullPupilTermComesBackWithItsSign)
{
    CheckFullPupilTerm(GetParam(), 0.0, 0.4, "full pupil");
}

// Real star images never have sharp pupil edges: a seeing of 2 arc seconds FWHM at F = 1000 mm is
// 9.7 um, sigma 4.1 um, and the defocused pupil of the model geometry (radius R l / F = 0.2 mm over
// 48 pixels) has 4.2 um pixels, so sigma = 1 pixel. With that blur the edge-only terms come back
// within 12.6 % (measured: astigmatism +11.0/+8.6 %, trefoil -1.1 %, tetrafoil -6.5/+0.7 %,
// pentafoil -12.6 %) and every other term within 5.1 %. No setup measured (sharp, 0.5 or 1 pixel,
// NIter 1, 3 or 5) brings every edge-only term within 10 %.
TEST_P(EndToEnd, FullPupilWithSeeingBlur)
{
    CheckFullPupilTerm(GetParam(), 1.0, 0.15, "full pupil, seeing 1 px");
}

// The annulus (eps = 0.25) is measured for the record, not held to a tolerance: the solver has no
// boundary condition in the central shadow, and spherical comes back with the wrong sign (-162 %),
// secondary spherical +280 %, coma -25 %. Neither the obstruction measure (0.239 for 0.25) nor the
// fit is the cause: fitting the same reconstruction over the true annulus with eps = 0.25 gives
// spherical +22.7 for +22.0. Holding the shadow flat (below) restores the sign. The reference is
// the annular expansion of the same W over the same annulus.
TEST_P(EndToEnd, AnnulusQuarterIsMeasured)
{
    const int k = GetParam();
    KnownWavefront w;
    w.coefficients[k - 1] = Amplitude(k);
    ModelPupil pupil;
    pupil.supersample = 3;
    pupil.obstruction = 0.25;
    const ZernikeCoefficients want = ReferenceCoefficients(w, pupil);
    const Recovered got = RecoverFromModel(w, pupil);
    Report("annulus 0.25", k, want[k - 1], got);
    EXPECT_TRUE(got.summary.solved);
    for (double v : got.fitted) EXPECT_TRUE(std::isfinite(v));
}

TEST_P(EndToEnd, AnnulusQuarterWithShadowHeldFlat)
{
    const int k = GetParam();
    KnownWavefront w;
    w.coefficients[k - 1] = Amplitude(k);
    ModelPupil pupil;
    pupil.supersample = 3;
    pupil.obstruction = 0.25;
    const ZernikeCoefficients want = ReferenceCoefficients(w, pupil);
    const Recovered got = RecoverWithShadowHeldFlat(w, pupil);
    Report("annulus 0.25 shadow flat", k, want[k - 1], got);
    // Measured: spherical +10.9 %, secondary spherical +8.9 %, coma +7.8 %, secondary coma -47 %;
    // the solver as it stands gives spherical with the wrong sign (-162 %) on the same pair.
    EXPECT_GT(got.fitted[k - 1] * want[k - 1], 0) << "wrong sign";
    if (ZernikeTermInfo(k).m == 0) {
        EXPECT_NEAR(got.fitted[k - 1], want[k - 1], 0.15 * std::abs(want[k - 1]));
    }
}

INSTANTIATE_TEST_SUITE_P(Terms, EndToEnd, ::testing::Range(5, 23), [](const auto& info) {
    return "Z" + std::to_string(info.param);
});

}  // namespace
}  // namespace frontlys
