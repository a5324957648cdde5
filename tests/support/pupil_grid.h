#pragma once
// A square record with its pupil centred and the reduced axes set, and random coefficients, for the
// Zernike tests.

#include <random>

#include "core/image_rec.h"
#include "engine/zernike.h"

namespace frontlys::testing {

inline ImageSlot PupilImage(int side, double radius, double eps)
{
    ImageSlot image = NewImage(side, side);
    image->CentreX = image->CentreY = (side + 1) / 2.0;
    image->Radius = radius;
    image->Obstruction = eps;
    SetPupilAxes(image.get());
    return image;
}

// Every coefficient uniform in [-amplitude, amplitude].
inline ZernikeCoefficients RandomCoefficients(unsigned seed, double amplitude)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-amplitude, amplitude);
    ZernikeCoefficients coef{};
    for (double& c : coef) c = value(rng);
    return coef;
}

}  // namespace frontlys::testing
