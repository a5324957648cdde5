#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "engine/curvature_model.h"  // tests/engine
#include "engine/curvature_signal.h"
#include "engine/reconstruct.h"
#include "engine/zernike_fit.h"

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

class EndToEnd : public ::testing::TestWithParam<int> {};

TEST_P(EndToEnd, FullPupilTermComesBackWithItsSign)
{
    const int k = GetParam();
    KnownWavefront w;
    w.coefficients[k - 1] = Amplitude(k);
    ModelPupil pupil;
    pupil.supersample = 3;
    const Recovered got = RecoverFromModel(w, pupil);
    const double want = w.coefficients[k - 1];
    Report("full pupil", k, want, got);
    EXPECT_GT(got.fitted[k - 1] * want, 0) << "wrong sign";
    const double tolerance = Harmonic(k) ? 0.4 : 0.1;
    EXPECT_NEAR(got.fitted[k - 1], want, tolerance * std::abs(want)) << ZernikeName(k);
}

// The annulus (eps = 0.25) is measured for the record, not held to a tolerance: the solver has no
// boundary condition at the inner edge, and spherical terms suffer there. The reference is the
// annular expansion of the same W over the same annulus.
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

INSTANTIATE_TEST_SUITE_P(Terms, EndToEnd, ::testing::Range(5, 23), [](const auto& info) {
    return "Z" + std::to_string(info.param);
});

}  // namespace
}  // namespace frontlys
