#include "engine/zernike_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "support/pupil_grid.h"

namespace frontlys {
namespace {

using testing::PupilImage;

ZernikeCoefficients RandomCoefficients(unsigned seed) { return testing::RandomCoefficients(seed, 200); }

double SumOfSquaredResiduals(const TImageRec& image,
                             const ZernikeBasis& basis,
                             const ZernikeCoefficients& coef)
{
    ImageSlot model = PupilImage(image.Width, image.Radius, image.Obstruction);
    SynthesiseWavefront(*model, basis, coef, AllTermsSelected());
    double sum = 0;
    for (int r = 0; r < image.Height; ++r)
        for (int c = 0; c < image.Width; ++c)
            if (image.InMask(r, c) && model->InMask(r, c))
                sum += std::pow(image.At(r, c) - model->At(r, c), 2);
    return sum;
}

class FitRoundTrip : public ::testing::TestWithParam<double> {};

TEST_P(FitRoundTrip, SynthesisedCoefficientsComeBack)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(28);
    const ZernikeCoefficients truth = RandomCoefficients(21);
    ImageSlot image = PupilImage(96, 44, GetParam());
    SynthesiseWavefront(*image, basis, truth, AllTermsSelected());
    ZernikeCoefficients fitted{};
    const ZernikeFitInfo info = FitZernike(*image, basis, AllTermsSelected(), fitted);
    EXPECT_EQ(info.terms, 28);
    EXPECT_EQ(info.rank, 28);
    EXPECT_TRUE(info.converged);
    EXPECT_GT(info.pixels, 4000);
    for (int k = 0; k < kZernikeTerms; ++k)
        EXPECT_NEAR(fitted[k], truth[k], 1e-6 * std::fabs(truth[k])) << k + 1;
}

INSTANTIATE_TEST_SUITE_P(Pupils, FitRoundTrip, ::testing::Values(0.0, 0.3));

TEST(FitZernike, UnselectedTermsGetZeroAndTermsPastTheCountStay)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(10);
    ZernikeCoefficients truth{};
    for (int k = 0; k < 10; ++k) truth[k] = 10.0 * (k + 1);
    ImageSlot image = PupilImage(64, 30, 0);
    SynthesiseWavefront(*image, basis, truth, AllTermsSelected());
    ZernikeSelection selection = AllTermsSelected();
    selection[4] = 0;
    ZernikeCoefficients fitted;
    fitted.fill(-1);
    FitZernike(*image, basis, selection, fitted);
    EXPECT_EQ(fitted[4], 0);
    EXPECT_NEAR(fitted[3], 40, 1e-6);  // astigmatism is orthogonal to defocus
    for (int k = 10; k < kZernikeTerms; ++k) EXPECT_EQ(fitted[k], -1) << k + 1;
}

TEST(FitZernike, NoPixelOrNoTermGivesZeros)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    ImageSlot empty = PupilImage(32, 14, 0);  // mask all 0
    ZernikeCoefficients fitted;
    fitted.fill(3);
    const ZernikeFitInfo info = FitZernike(*empty, basis, AllTermsSelected(), fitted);
    EXPECT_EQ(info.pixels, 0);
    EXPECT_EQ(info.rank, 0);
    for (int k = 0; k < 22; ++k) EXPECT_EQ(fitted[k], 0);
    EXPECT_EQ(fitted[22], 3);

    ImageSlot image = PupilImage(32, 14, 0);
    SynthesiseWavefront(*image, basis, RandomCoefficients(2), AllTermsSelected());
    fitted.fill(3);
    FitZernike(*image, basis, ZernikeSelection{}, fitted);
    for (int k = 0; k < 22; ++k) EXPECT_EQ(fitted[k], 0);
}

TEST(FitZernike, FewerPixelsThanTermsStaysFiniteAndInterpolates)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(28);
    ImageSlot image = PupilImage(16, 7, 0);
    const int pixels[3][2] = {{8, 8}, {5, 10}, {11, 4}};
    const double values[3] = {12, -30, 7};
    for (int i = 0; i < 3; ++i) {
        image->MaskAt(pixels[i][0], pixels[i][1]) = 1;
        image->At(pixels[i][0], pixels[i][1]) = values[i];
    }
    ZernikeCoefficients fitted{};
    const ZernikeFitInfo info = FitZernike(*image, basis, AllTermsSelected(), fitted);
    EXPECT_EQ(info.pixels, 3);
    EXPECT_EQ(info.rank, 3);
    for (double c : fitted) EXPECT_TRUE(std::isfinite(c));
    for (int i = 0; i < 3; ++i) {
        const int r = pixels[i][0], c = pixels[i][1];
        const ZernikeValues z = ZernikeEval(basis, image->XAxis[c], image->YAxis[r], 0).value();
        double model = 0;
        for (int k = 0; k < kZernikeTerms; ++k) model += fitted[k] * z[k];
        EXPECT_NEAR(model, values[i], 1e-9);
    }
}

TEST(FitZernike, NoisyFitIsALeastSquaresMinimum)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(15);
    ImageSlot image = PupilImage(48, 22, 0.2);
    SynthesiseWavefront(*image, basis, RandomCoefficients(8), AllTermsSelected());
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 20);
    for (int r = 0; r < 48; ++r)
        for (int c = 0; c < 48; ++c) image->At(r, c) += noise(rng);
    ZernikeCoefficients fitted{};
    FitZernike(*image, basis, AllTermsSelected(), fitted);
    const double best = SumOfSquaredResiduals(*image, basis, fitted);
    for (int k = 0; k < 15; ++k) {
        for (double step : {-0.5, 0.5}) {
            ZernikeCoefficients nudged = fitted;
            nudged[k] += step;
            EXPECT_GT(SumOfSquaredResiduals(*image, basis, nudged), best) << k + 1 << " " << step;
        }
    }
}

TEST(FitZernike, NonFinitePixelsAreLeftOut)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    ZernikeCoefficients truth = RandomCoefficients(4);
    for (int k = 22; k < kZernikeTerms; ++k) truth[k] = 0;
    ImageSlot image = PupilImage(48, 22, 0);
    SynthesiseWavefront(*image, basis, truth, AllTermsSelected());
    image->At(24, 24) = std::numeric_limits<double>::quiet_NaN();
    image->At(20, 30) = std::numeric_limits<double>::infinity();
    ZernikeCoefficients fitted{};
    const ZernikeFitInfo info = FitZernike(*image, basis, AllTermsSelected(), fitted);
    EXPECT_EQ(info.skipped, 2);
    for (int k = 0; k < 22; ++k) EXPECT_NEAR(fitted[k], truth[k], 1e-6 * std::fabs(truth[k])) << k + 1;
}

}  // namespace
}  // namespace frontlys
