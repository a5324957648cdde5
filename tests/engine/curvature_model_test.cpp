#include "engine/curvature_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

namespace frontlys {
namespace {

using testing::KnownWavefront;
using testing::ModelPupil;

double Flux(const TImageRec& image)
{
    double sum = 0;
    for (int r = 0; r < image.Height; ++r)
        for (int c = 0; c < image.Width; ++c) sum += image.At(r, c);
    return sum;
}

bool AllFinite(const TImageRec& image)
{
    for (int r = 0; r < image.Height; ++r)
        for (int c = 0; c < image.Width; ++c)
            if (!std::isfinite(image.At(r, c))) return false;
    return true;
}

// The rays only move light: each defocused image must hold the light of the annulus, however the
// edge is displaced. This checks the pixel integration at the edges and the Jacobian inside.
TEST(CurvatureModel, ImagesHoldTheLightOfTheAnnulus)
{
    const auto k = TransportCoefficientsFor(testing::ModelGeometry()).value();
    // Astigmatism over the disc (one edge), secondary spherical over an annulus (two edges).
    for (auto [term, eps] : {std::pair{5, 0.0}, std::pair{22, 0.25}}) {
        KnownWavefront w;
        w.coefficients[term - 1] = ZernikeTermInfo(term).n >= 5 ? 20 : 40;
        ModelPupil pupil;
        pupil.size = 64;  // small: the check is about the edges, and runs under the sanitizers
        pupil.radiusPx = 24;
        pupil.supersample = 3;
        pupil.obstruction = eps;
        const double ideal =
            pupil.level * std::numbers::pi * pupil.radiusPx * pupil.radiusPx * (1 - eps * eps);
        for (double a : {k.intra, k.extra}) {
            const ImageSlot image = testing::ModelImage(w, pupil, a, ImageKind::Intra);
            EXPECT_NEAR(Flux(*image) / ideal, 1.0, 2.5e-3) << "Z" << term << " eps " << eps << " a " << a;
        }
    }
}

// Beyond the edge W grows fast (secondary spherical as rho^6) and the inverse ray search diverges;
// those points receive no light, and must not turn into NaN that a blur carries into the pupil.
TEST(CurvatureModel, ImagesAreFiniteEvenWhereTheRaySearchDiverges)
{
    KnownWavefront w;
    w.coefficients[21] = 20;
    ModelPupil pupil;
    pupil.size = 64;
    pupil.radiusPx = 24;
    pupil.supersample = 3;
    pupil.obstruction = 0.25;
    pupil.blurPx = 1.0;
    const auto pair = testing::MakeModelPair(w, pupil, testing::ModelGeometry());
    EXPECT_TRUE(AllFinite(*pair.intra));
    EXPECT_TRUE(AllFinite(*pair.extra));
}

}  // namespace
}  // namespace frontlys
