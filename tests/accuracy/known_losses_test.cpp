// Where the numeric correction loses accuracy, measured on simulated pairs. Each test pins the
// size of one loss as it stands (bounds around the measured value), so that a change of the method
// shows up here and these figures get revisited.
#include <gtest/gtest.h>

#include "accuracy_cases.h"

namespace frontlys {
namespace {

AccuracyCase Base(std::initializer_list<std::pair<int, double>> terms, bool giveDefocus = true)
{
    AccuracyCase c;
    c.name = "loss";
    c.params.diameterMm = 150;
    c.params.focalMm = 1200;
    c.params.obstruction = 0.25;
    c.params.pixelUm = 9;
    c.params.defocusMm = 2.5;
    c.params.size = 128;
    c.params.photons = 2e6;  // about 2250 e- per pixel in the donut
    c.params.seed = 11;
    c.giveDefocus = giveDefocus;
    for (auto [k, v] : terms) c.params.zernikeRmsNm[k - 1] = v;
    return c;
}

double Found(const AccuracyCase& c, int term)
{
    const AccuracyOutcome o = RunAccuracyCase(c);
    EXPECT_TRUE(o.ok) << o.failure;
    return o.ok ? o.foundRms[term - 1] : 0;
}

TEST(KnownLosses, BackgroundLeftInDilutesTheSignal)
{
    // The signal (I1 - I2) / (I1 + I2) is divided by (level + background) / level: with 1000 ADU
    // under a 2250 ADU donut, 0.69 expected; measured 0.63.
    auto clean = Base({{11, 40}, {5, 15}});
    auto biased = clean;
    biased.params.backgroundAdu = 1000;
    const double ratio = Found(biased, 11) / Found(clean, 11);
    EXPECT_GT(ratio, 0.58);
    EXPECT_LT(ratio, 0.69);
}

TEST(KnownLosses, RadiiAtHalfHeightMakeTheDefocusAndTheTermsShort)
{
    // The pupil edge of a diffracted donut lies at a quarter of its level, not at the half-height
    // threshold: radii, the computed defocus and every coefficient come out about 5.6 % short.
    const auto computed = RunAccuracyCase(Base({{11, 40}}, false));
    const auto given = RunAccuracyCase(Base({{11, 40}}, true));
    ASSERT_TRUE(computed.ok && given.ok);
    const double defocusRatio = computed.defocusMm / 2.5;
    EXPECT_GT(defocusRatio, 0.93);
    EXPECT_LT(defocusRatio, 0.96);
    EXPECT_NEAR(computed.foundRms[10] / given.foundRms[10], defocusRatio, 0.01);
}

TEST(KnownLosses, ComaFadesUnderACentralObstructionAtOnePass)
{
    // Fraction of 20 nm of coma recovered in one pass: 0.89 unobstructed, 0.31 at 25 %, and the
    // wrong sign (-0.25) at 35 %; three passes of the correction loop bring 25 % back to 0.97.
    auto coma = [](double eps, int niter) {
        auto c = Base({{7, 20}}, false);
        c.params.obstruction = eps;
        c.niter = niter;
        return Found(c, 7) / 20;
    };
    EXPECT_GT(coma(0, 1), 0.8);
    const double quarter = coma(0.25, 1);
    EXPECT_GT(quarter, 0.2);
    EXPECT_LT(quarter, 0.45);
    EXPECT_LT(coma(0.35, 1), 0.1);
    EXPECT_GT(coma(0.25, 3), 0.9);
}

TEST(KnownLosses, DiffractionSwampsTheSignalAtSmallDefocus)
{
    // At 1 mm (donut radius 7 px, Fresnel edge about sqrt(lambda l) = 23 um = 2.6 px) 40 nm of
    // spherical is mostly lost (measured -3 nm with the frame's own threshold cells, 10 nm with
    // those of the cut square); at 2.5 mm it comes back within 3 nm.
    auto small = Base({{11, 40}, {5, 15}});
    small.params.size = 160;
    small.params.defocusMm = 1;
    EXPECT_LT(std::abs(Found(small, 11)), 15);
    auto usual = small;
    usual.params.defocusMm = 2.5;
    EXPECT_NEAR(Found(usual, 11), 40, 3);
}

}  // namespace
}  // namespace frontlys
