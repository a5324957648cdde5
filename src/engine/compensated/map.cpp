#include "engine/compensated/map.h"

#include <cmath>

#include "engine/poisson.h"
#include "engine/reconstruct.h"
#include "engine/transport.h"
#include "engine/zernike_fit.h"

namespace frontlys {
namespace {

ImageSlot PupilRecord(int side, double radius, double eps)
{
    ImageSlot image = NewImage(side, side);
    image->CentreX = image->CentreY = side / 2 + 1;  // 1-based: the grid centre sits on a pixel
    image->Radius = radius;
    image->Obstruction = eps;
    SetPupilAxes(image.get());
    return image;
}

// The Laplacian the last difference asks for, D = (a2 - a1) S lap W, where the pupil is well lit.
ImageSlot ResidualLaplacian(const CompensatedResult& r, int side, double gain)
{
    ImageSlot lap = PupilRecord(side, r.rhoPx, r.obstruction);
    const int grid = 2 * r.half + 1;
    double plateau = 0;
    int count = 0;
    for (double s : r.meanImage) {
        if (s > 0) {
            plateau += s;
            ++count;
        }
    }
    plateau = count > 0 ? plateau / count : 0;
    const int offset = side / 2 - r.half;
    for (int gr = 0; gr < grid; ++gr) {
        for (int gc = 0; gc < grid; ++gc) {
            const int row = offset + gr, col = offset + gc;
            if (row < 0 || col < 0 || row >= side || col >= side) continue;
            const double x = lap->XAxis[col], y = lap->YAxis[row], r2 = x * x + y * y;
            if (r2 > 1 || r2 < r.obstruction * r.obstruction) continue;
            const double s = r.meanImage[static_cast<std::size_t>(gr) * grid + gc];
            lap->MaskAt(row, col) = 1;
            lap->At(row, col) = s > 0.2 * plateau
                                    ? r.differenceImage[static_cast<std::size_t>(gr) * grid + gc] / (gain * s)
                                    : 0;
        }
    }
    return lap;
}

}  // namespace

Result<CompensatedMap> MakeCompensatedMap(
    const CompensatedResult& r, const ZernikeBasis& basis, int side, double focalNm, double apertureRadiusNm)
{
    if (side < 2 * (r.rhoPx + 2) || (side & (side - 1)) != 0 || !(r.defocusNm > 0))
        return Status::Fail(StatusCode::OutOfRange,
                            "Le front d'onde n'a pas la taille du signal.",
                            "map side too small or not a power of two");
    CompensatedMap map;
    map.wavefront = PupilRecord(side, r.rhoPx, r.obstruction);
    SynthesiseWavefront(*map.wavefront, basis, r.coef, AllTermsSelected());
    map.zonal = PupilRecord(side, r.rhoPx, r.obstruction);
    CopyMask(*map.wavefront, *map.zonal);
    // D = (a2 - a1) div(S grad W).
    const double gain = TransportFor(focalNm, apertureRadiusNm, r.defocusNm).difference;
    ImageSlot lap = ResidualLaplacian(r, side, gain);
    MarkBoundaryRing(*lap, kRingOuter);
    ImageSlot solved = PupilRecord(side, r.rhoPx, r.obstruction);
    if (auto s = SolvePoisson(*lap, *solved); s.ok()) {
        ClearOutsideAnnulus(*solved);
        ZernikeCoefficients fitted{};
        (void)FitZernike(*solved, basis, AllTermsSelected(), fitted);
        ZernikeSelection none{};
        AddZernikeTerms(*solved, basis, fitted, none, -1);  // removes every term among the first P
        for (int row = 0; row < side; ++row) {
            for (int col = 0; col < side; ++col) {
                if (!map.wavefront->InMask(row, col) || !solved->InMask(row, col)) continue;
                const double z = solved->At(row, col);
                map.zonal->At(row, col) = z;
                map.wavefront->At(row, col) += z;
            }
        }
    }
    map.wavefront->Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    map.zonal->Kind = static_cast<std::uint8_t>(ImageKind::Residual);
    MeanStdInMask(*map.wavefront);
    MeanStdInMask(*map.zonal);
    return map;
}

}  // namespace frontlys
