#include "engine/mtf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/psf.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr double kLambda = 550;

ImageSlot Wavefront(double radius, double eps, const ZernikeCoefficients& coefficients = {}, int side = 0)
{
    if (side == 0) side = static_cast<int>(2 * radius) + 8;
    ImageSlot image = NewImage(side, side);
    image->CentreX = (side + 1) / 2.0;
    image->CentreY = (side + 1) / 2.0;
    image->Radius = radius;
    image->Obstruction = eps;
    SetPupilAxes(image.get());
    SynthesiseWavefront(*image, ZernikeBasis::ForCount(28), coefficients, AllTermsSelected());
    return image;
}

OpticalTransfer Transfer(const TImageRec& w)
{
    auto t = ComputeOpticalTransfer(w, kLambda, 6);
    EXPECT_TRUE(t.ok()) << t.status().reason;
    return t.ok() ? t.take() : OpticalTransfer{};
}

// A clear circular aperture: MTF (2/pi)(acos s - s sqrt(1 - s^2)), EE 1 - J0^2(pi r) - J1^2(pi r).
TEST(OpticalTransfer, ClearApertureFollowsTheClosedForms)
{
    const OpticalTransfer t = Transfer(*Wavefront(40, 0));
    ASSERT_GT(t.frequency.size(), 70u);
    for (std::size_t i = 0; i < t.frequency.size(); ++i) {
        const double s = t.frequency[i];
        const double exact = 2 / std::numbers::pi * (std::acos(s) - s * std::sqrt(1 - s * s));
        EXPECT_NEAR(t.mtf[i], exact, 0.012) << "s = " << s;
        EXPECT_NEAR(t.mtfDiffraction[i], t.mtf[i], 1e-9);
    }
    for (std::size_t i = 0; i < t.radius.size(); ++i) {
        const double v = std::numbers::pi * t.radius[i];
        const double exact =
            1 - std::pow(std::cyl_bessel_j(0.0, v), 2) - std::pow(std::cyl_bessel_j(1.0, v), 2);
        EXPECT_NEAR(t.encircled[i], exact, 0.01) << "r = " << t.radius[i];
    }
    // Half the energy within 0.5348 lambda / D (1 - J0^2 - J1^2 = 1/2 at v = 1.680).
    EXPECT_NEAR(RadiusForEnergy(t.radius, t.encircled, 0.5), 0.5348, 0.005);
    EXPECT_NEAR(t.strehl, 1, 1e-9);
}

// The annulus of obstruction eps: the closed form of the obstructed pupil's MTF, and more energy in
// the rings than for the clear aperture (84 % radius further out).
TEST(OpticalTransfer, AnnularPupilFollowsItsClosedForm)
{
    const double eps = 0.35;
    const OpticalTransfer t = Transfer(*Wavefront(40, eps));
    const auto arc = [](double x) { return std::acos(x) - x * std::sqrt(1 - x * x); };
    for (std::size_t i = 0; i < t.frequency.size(); ++i) {
        const double s = t.frequency[i];
        const double a = 2 / std::numbers::pi * arc(s);
        const double b = s <= eps ? 2 * eps * eps / std::numbers::pi * arc(s / eps) : 0;
        double c = 0;
        if (s <= (1 - eps) / 2) {
            c = -2 * eps * eps;
        } else if (s < (1 + eps) / 2) {
            const double phi = std::acos((1 + eps * eps - 4 * s * s) / (2 * eps));
            c = 2 / std::numbers::pi *
                    (eps * std::sin(phi) + phi / 2 * (1 + eps * eps) -
                     (1 - eps * eps) * std::atan((1 + eps) / (1 - eps) * std::tan(phi / 2))) -
                2 * eps * eps;
        }
        EXPECT_NEAR(t.mtfDiffraction[i], (a + b + c) / (1 - eps * eps), 0.015) << "s = " << s;
    }
    const OpticalTransfer clear = Transfer(*Wavefront(40, 0));
    EXPECT_GT(RadiusForEnergy(t.radius, t.encircled, 0.84),
              RadiusForEnergy(clear.radius, clear.encircled, 0.84) + 0.3);
    for (std::size_t i = 1; i < t.encircled.size(); ++i) EXPECT_GE(t.encircled[i], t.encircled[i - 1] - 2e-3);
}

// An aberration lowers the MTF under the diffraction limit and widens the encircled energy; with a
// symmetric aberration (peak on the reference point) the OTF volume ratio is the ratio of the PSF
// peaks as the PSF computation gives them, and the small-aberration approximation exp(-(2 pi sigma /
// lambda)^2) near enough.
TEST(OpticalTransfer, AberrationLowersTheCurvesAndGivesThePsfStrehl)
{
    ZernikeCoefficients c{};
    c[10] = 50 * ZernikeBasis::ForCount(28).Norm(11);  // 50 nm RMS of spherical aberration
    ImageSlot w = Wavefront(30, 0.25, c, 64);          // a power of two: the PSF's zero frequency at (32, 32)
    const OpticalTransfer t = Transfer(*w);
    for (std::size_t i = 1; i + 1 < t.frequency.size(); ++i) EXPECT_LE(t.mtf[i], t.mtfDiffraction[i] + 1e-3);
    EXPECT_LT(t.mtf[t.mtf.size() / 3], 0.9 * t.mtfDiffraction[t.mtf.size() / 3]);
    EXPECT_GT(RadiusForEnergy(t.radius, t.encircled, 0.5),
              RadiusForEnergy(t.radius, t.encircledDiffraction, 0.5));
    auto psf = ComputePsf(*w, kLambda, 4);
    ASSERT_TRUE(psf.ok());
    EXPECT_NEAR(t.strehl, psf.value().aberrated->At(32, 32) / psf.value().aberrationFree->At(32, 32), 0.005);
    EXPECT_NEAR(t.strehl, std::exp(-std::pow(2 * std::numbers::pi * 50 / kLambda, 2)), 0.03);
}

TEST(OpticalTransfer, RefusesWhatItCannotUse)
{
    ImageSlot empty = NewImage(16, 16);
    EXPECT_FALSE(ComputeOpticalTransfer(*empty, kLambda).ok());
    ImageSlot w = Wavefront(10, 0);
    EXPECT_FALSE(ComputeOpticalTransfer(*w, 0).ok());
    EXPECT_FALSE(ComputeOpticalTransfer(*w, std::nan("")).ok());
    EXPECT_TRUE(ComputeOpticalTransfer(*w, kLambda).ok());
}

}  // namespace
}  // namespace frontlys
