#include "engine/interferogram.h"

#include <cmath>
#include <numbers>

#include "engine/psf.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr char kInterferogramRefused[] = "Calcul de l'interférogramme impossible.";

bool SameSize(const TImageRec& a, const TImageRec& b) { return a.Width == b.Width && a.Height == b.Height; }

// The output takes the wavefront's pupil: centre, radius, axes and mask.
void TakePupil(const TImageRec& wavefront, TImageRec& image)
{
    TakePupilGeometry(wavefront, image);
    CopyMask(wavefront, image);
}

}  // namespace

void MakeInterferogram(const TImageRec& wavefront,
                       const TImageRec& tilt,
                       double lambdaInterfero,
                       TImageRec& output)
{
    if (!SameSize(wavefront, tilt) || !SameSize(wavefront, output) || !HasPupilGrid(wavefront) ||
        !HasPupilGrid(tilt) || !HasPupilGrid(output))
        return;
    const double k = 2 * std::numbers::pi / lambdaInterfero;
    for (int r = 0; r < output.Height; ++r) {
        for (int c = 0; c < output.Width; ++c)
            output.At(r, c) = 0.5 + 0.5 * std::cos(k * (tilt.At(r, c) - wavefront.At(r, c)));
    }
}

Status BuildInterferogram(const TImageRec& wavefront,
                          int fringes,
                          double angleDegrees,
                          double lambdaRef,
                          double lambdaInterfero,
                          TImageRec& output)
{
    if (!SameSize(wavefront, output) || !HasPupilGrid(wavefront) || !HasPupilGrid(output))
        return Status::Fail(
            StatusCode::MissingInput, kInterferogramRefused, "output and wavefront sizes differ");
    if (!(lambdaRef > 0) || !(lambdaInterfero > 0) || !std::isfinite(lambdaRef) ||
        !std::isfinite(lambdaInterfero))
        return Status::Fail(
            StatusCode::OutOfRange, kInterferogramRefused, "wavelength is not a positive number");
    const double g = fringes * lambdaRef / 2;
    const double theta = angleDegrees * std::numbers::pi / 180;
    ImageSlot tilt = NewImage(wavefront.Width, wavefront.Height);
    TakePupil(wavefront, *tilt);
    TiltPlane(*tilt, 1, g * std::sin(theta), g * std::cos(theta));
    MakeInterferogram(wavefront, *tilt, lambdaInterfero, output);
    TakePupil(wavefront, output);
    output.Kind = static_cast<std::uint8_t>(ImageKind::Interferogram);
    return Status::Ok();
}

}  // namespace frontlys
