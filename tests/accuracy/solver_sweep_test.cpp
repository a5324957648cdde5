#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "engine/correction_loop.h"
#include "engine/curvature_model.h"  // tests/engine
#include "engine/reconstruct.h"
#include "engine/zernike_fit.h"

namespace frontlys {
namespace {

using testing::KnownWavefront;
using testing::ModelPupil;

double Amplitude(int k) { return (ZernikeTermInfo(k).n >= 5 ? 20.0 : 40.0) * (k % 2 ? -1.0 : 1.0); }

ZernikeCoefficients Reference(const KnownWavefront& w, const ModelPupil& pupil)
{
    ImageSlot exact = NewImage(pupil.size, pupil.size);
    exact->CentreX = exact->CentreY = pupil.size / 2.0 + 0.5;
    exact->Radius = pupil.radiusPx;
    exact->Obstruction = pupil.obstruction;
    SetPupilAxes(exact.get());
    for (int r = 0; r < pupil.size; ++r)
        for (int c = 0; c < pupil.size; ++c) {
            const double x = exact->XAxis[c], y = exact->YAxis[r], rho = std::hypot(x, y);
            if (rho > 1 || rho < pupil.obstruction) continue;
            exact->At(r, c) = w(x, y);
            exact->MaskAt(r, c) = 1;
        }
    ZernikeCoefficients out{};
    FitZernike(*exact, ZernikeBasis::ForCount(28), AllTermsSelected(), out);
    return out;
}

double RelativeError(int k, double obstruction, double blur, int nIter)
{
    KnownWavefront w;
    w.coefficients[k - 1] = Amplitude(k);
    ModelPupil pupil;
    pupil.supersample = 3;
    pupil.obstruction = obstruction;
    pupil.blurPx = blur;
    const auto g = testing::ModelGeometry();
    auto pair = testing::MakeModelPair(w, pupil, g);
    ImageSlot signal = NewImage(pupil.size, pupil.size), residual = NewImage(pupil.size, pupil.size),
              total = NewImage(pupil.size, pupil.size);
    auto run = CorrectionLoop(g, *pair.intra, *pair.extra, *residual, *total, *signal, nIter);
    if (!run.ok()) return NAN;
    ZernikeCoefficients got{};
    FitZernike(*total, ZernikeBasis::ForCount(28), AllTermsSelected(), got);
    const double want = obstruction > 0 ? Reference(w, pupil)[k - 1] : w.coefficients[k - 1];
    return (got[k - 1] - want) / want;
}

// The sweep behind the error tables: every term, full pupil and annulus, sharp and blurred, one
// and several passes. Slow (~1 min); run with --gtest_also_run_disabled_tests.
TEST(SolverSweep, DISABLED_PrintsTable)
{
    for (double eps : {0.0, 0.25})
        for (double blur : {0.0, 0.5, 1.0})
            for (int nIter : {1, 3, 5}) {
                std::printf("eps %.2f blur %.1f NIter %d:", eps, blur, nIter);
                for (int k = 5; k <= 22; ++k) {
                    const double e = RelativeError(k, eps, blur, nIter);
                    std::printf(" Z%d %+.1f", k, 100 * e);
                    EXPECT_TRUE(std::isfinite(e)) << k;
                }
                std::printf("\n");
                std::fflush(stdout);
            }
}

}  // namespace
}  // namespace frontlys
