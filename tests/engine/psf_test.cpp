#include "engine/psf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr double kLambda = 632.8;

ImageSlot Wavefront(int width, int height, double radius, double eps = 0)
{
    ImageSlot image = NewImage(width, height);
    image->CentreX = (width + 1) / 2.0;
    image->CentreY = (height + 1) / 2.0;
    image->Radius = radius;
    image->Obstruction = eps;
    SetPupilAxes(image.get());
    SynthesiseWavefront(*image, ZernikeBasis::ForCount(28), ZernikeCoefficients{}, AllTermsSelected());
    return image;
}

PsfImages Psf(const TImageRec& w, int factor, PsfMethod method = PsfMethod::Automatic)
{
    Result<PsfImages> psf = ComputePsf(w, kLambda, factor, method);
    EXPECT_TRUE(psf.ok()) << psf.status().reason;
    return psf.ok() ? psf.take() : PsfImages{NewImage(w.Width, w.Height), NewImage(w.Width, w.Height)};
}

double Peak(const TImageRec& image)
{
    return *std::max_element(image.Planes.data(), image.Planes.data() + image.Planes.size());
}

double MaxDifference(const TImageRec& a, const TImageRec& b)
{
    double worst = 0;
    for (std::size_t i = 0; i < a.Planes.size(); ++i)
        worst = std::max(worst, std::fabs(a.Planes.data()[i] - b.Planes.data()[i]));
    return worst;
}

TEST(Psf, FlatWavefrontGivesTheAberrationFreePsf)
{
    ImageSlot w = Wavefront(64, 64, 28);
    const PsfImages psf = Psf(*w, 4);
    ASSERT_EQ(psf.aberrated->Width, 64);
    ASSERT_EQ(psf.aberrated->Height, 64);
    EXPECT_EQ(psf.aberrated->Kind, 4);
    EXPECT_EQ(psf.aberrationFree->Kind, 4);
    EXPECT_LT(MaxDifference(*psf.aberrated, *psf.aberrationFree), 1e-14 * Peak(*psf.aberrationFree));
    // Zero frequency at the centre: |sum A|^2 / N^4 with N = 256.
    double count = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) count += w->InMask(r, c);
    EXPECT_NEAR(psf.aberrationFree->At(32, 32),
                count * count / std::pow(256.0, 4),
                1e-12 * count * count / std::pow(256.0, 4));
    EXPECT_DOUBLE_EQ(psf.aberrationFree->MaxValue, psf.aberrationFree->At(32, 32));
}

struct MethodCase {
    int width, height, factor;
    double eps;
};

class PsfMethods : public ::testing::TestWithParam<MethodCase> {};

TEST_P(PsfMethods, MatrixFourierEqualsThePaddedTransform)
{
    const MethodCase m = GetParam();
    ImageSlot w = Wavefront(m.width, m.height, 0.45 * std::min(m.width, m.height), m.eps);
    std::mt19937 rng(m.width * 100 + m.factor);
    std::uniform_real_distribution<double> opd(-300, 300);
    for (int r = 0; r < m.height; ++r)
        for (int c = 0; c < m.width; ++c) w->At(r, c) = opd(rng);
    const PsfImages fft = Psf(*w, m.factor, PsfMethod::PaddedFft);
    const PsfImages mft = Psf(*w, m.factor, PsfMethod::MatrixFourier);
    const double scale = Peak(*fft.aberrationFree);
    EXPECT_LT(MaxDifference(*fft.aberrated, *mft.aberrated), 1e-12 * scale);
    EXPECT_LT(MaxDifference(*fft.aberrationFree, *mft.aberrationFree), 1e-12 * scale);
    EXPECT_GT(Peak(*mft.aberrated), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         PsfMethods,
                         ::testing::Values(MethodCase{16, 16, 1, 0},
                                           MethodCase{16, 16, 2, 0.3},
                                           MethodCase{16, 16, 8, 0},
                                           MethodCase{32, 32, 4, 0.25},
                                           MethodCase{12, 10, 3, 0},
                                           MethodCase{20, 14, 5, 0.2}));

TEST(Psf, StrehlOfASmallAberrationFollowsTheMarechalLaw)
{
    ImageSlot w = Wavefront(64, 64, 30);
    ZernikeCoefficients coef{};
    coef[4] = 60;   // astigmatism
    coef[10] = 25;  // spherical aberration
    SynthesiseWavefront(*w, ZernikeBasis::ForCount(28), coef, AllTermsSelected());
    double sum = 0, sumSq = 0, count = 0;
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) {
            if (!w->InMask(r, c)) continue;
            sum += w->At(r, c), sumSq += w->At(r, c) * w->At(r, c), ++count;
        }
    }
    const double sigma = std::sqrt(sumSq / count - (sum / count) * (sum / count));
    ASSERT_GT(sigma, kLambda / 30);
    ASSERT_LT(sigma, kLambda / 15);
    const PsfImages psf = Psf(*w, 4);
    const double strehl = psf.aberrated->At(32, 32) / psf.aberrationFree->At(32, 32);
    EXPECT_NEAR(strehl, std::exp(-std::pow(2 * M_PI * sigma / kLambda, 2)), 0.02);
    EXPECT_LT(strehl, 0.97);
}

TEST(Psf, AberrationFreeProfileIsTheAiryPattern)
{
    ImageSlot w = Wavefront(64, 64, 30);
    const PsfImages psf = Psf(*w, 8);
    double count = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) count += w->InMask(r, c);
    const double diameter = 2 * std::sqrt(count / M_PI);  // pixels, from the pupil's area
    const double peak = psf.aberrationFree->At(32, 32);
    for (int u = 1; u <= 12; ++u) {
        const double arg = M_PI * diameter * u / 512.0;
        const double airy = std::pow(2 * std::cyl_bessel_j(1, arg) / arg, 2);
        EXPECT_NEAR(psf.aberrationFree->At(32, 32 + u) / peak, airy, 0.01) << u;
        EXPECT_NEAR(psf.aberrationFree->At(32 - u, 32) / peak, airy, 0.01) << u;
    }
}

// Peak position of the aberrated PSF.
std::pair<int, int> PeakAt(const TImageRec& psf)
{
    int best = 0;
    for (int i = 1; i < psf.Width * psf.Height; ++i)
        if (psf.Planes.data()[i] > psf.Planes.data()[best]) best = i;
    return {best / psf.Width, best % psf.Width};
}

TEST(Psf, TiltsMoveThePeakAlongTheirOwnAxis)
{
    // g nm of tilt at the pupil edge moves the peak by g N / (lambda R) samples towards the tilt:
    // up (towards row 0, as y points up) for +y and right for +x.
    const double radius = 30, g = 2 * kLambda;
    const int n = 256;
    ImageSlot wy = Wavefront(64, 64, radius);
    TiltPlane(*wy, 1, g, 0);
    const auto [ry, cy] = PeakAt(*Psf(*wy, 4).aberrated);
    EXPECT_EQ(cy, 32);
    EXPECT_NEAR(ry, 32 - g * n / (kLambda * radius), 1.0);
    ImageSlot wx = Wavefront(64, 64, radius);
    TiltPlane(*wx, 1, 0, g);
    const auto [rx, cx] = PeakAt(*Psf(*wx, 4).aberrated);
    EXPECT_EQ(rx, 32);
    EXPECT_NEAR(cx, 32 + g * n / (kLambda * radius), 1.0);
}

TEST(Psf, BadInputsAreRefused)
{
    ImageSlot w = Wavefront(32, 32, 14);
    EXPECT_FALSE(ComputePsf(*w, 0, 4).ok());
    EXPECT_FALSE(ComputePsf(*w, std::nan(""), 4).ok());
    EXPECT_FALSE(ComputePsf(*w, kLambda, 0).ok());
    EXPECT_FALSE(ComputePsf(*w, kLambda, 1 << 20).ok());
    const Result<PsfImages> empty = ComputePsf(TImageRec{}, kLambda, 2);
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.status().message, "Calcul de la PSF impossible.");
}

TEST(Psf, EmptyMaskGivesDarkImages)
{
    ImageSlot w = NewImage(16, 16);
    SetPupilAxes(w.get());
    const PsfImages psf = Psf(*w, 2);
    EXPECT_EQ(Peak(*psf.aberrated), 0);
    EXPECT_EQ(Peak(*psf.aberrationFree), 0);
}

TEST(Psf, MemoOfTheAberrationFreePsfServesTheSamePupilOnly)
{
    ImageSlot w = Wavefront(32, 32, 14);
    AberrationFreePsfMemo memo;
    auto psf = [&](double lambda, int factor) {
        const PsfImages images = ComputePsf(*w, lambda, factor, PsfMethod::Automatic, &memo).take();
        const double centre = images.aberrationFree->At(16, 16);
        memo.power.assign(memo.power.size(), 7.0);  // a reused memo shows through
        return centre;
    };
    const double fresh = psf(kLambda, 2);
    EXPECT_EQ(psf(2 * kLambda, 2), 7.0);  // same pupil, another wavelength
    EXPECT_NE(psf(kLambda, 4), 7.0);      // another factor
    w->MaskAt(16, 3) = 0;
    const double otherPupil = psf(kLambda, 4);
    EXPECT_NE(otherPupil, 7.0);
    EXPECT_NEAR(psf(kLambda, 2), fresh, 0.01 * fresh);  // computed afresh for the new pupil
}

TEST(TiltPlane, WritesMaskPixelsOnly)
{
    ImageSlot w = Wavefront(16, 16, 7);
    w->At(0, 0) = 9;
    TiltPlane(*w, 2, 3, 4);
    EXPECT_EQ(w->At(0, 0), 9);
    EXPECT_DOUBLE_EQ(w->At(8, 10), 2 * w->XAxis[10] + 1.5 * w->YAxis[8]);
    const TImageRec before = *w;
    TiltPlane(*w, 0, 1, 1);
    EXPECT_EQ(w->Planes, before.Planes);
}

}  // namespace
}  // namespace frontlys
