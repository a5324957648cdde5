#include "engine/reconstruct.h"

#include "engine/transport.h"
#include "prep/pupil.h"

namespace frontlys {

namespace {

void TakePupil(const TImageRec& from, TImageRec& to)
{
    TakePupilGeometry(from, to);
    CopyMask(from, to);
}

}  // namespace

void ClearOutsideAnnulus(TImageRec& wavefront)
{
    const double inner = wavefront.Obstruction * wavefront.Obstruction;
    for (int r = 0; r < wavefront.Height; ++r) {
        const double y = wavefront.YAxis[r];
        for (int c = 0; c < wavefront.Width; ++c) {
            if (wavefront.MaskAt(r, c) != 1) continue;
            const double x = wavefront.XAxis[c];
            const double r2 = x * x + y * y;
            if (r2 > 1.0 || r2 < inner) {
                wavefront.Planes(0, r, c) = 0.0;
                wavefront.MaskAt(r, c) = 0;
            }
        }
    }
}

Result<ReconstructionSummary> ReconstructWavefront(const TestGeometry& geometry,
                                                   const TImageRec& signal,
                                                   TImageRec& wavefront)
{
    if (Status s = CheckSolverInput(signal); !s.ok()) return s;
    if (wavefront.Width != signal.Width || wavefront.Height != signal.Height) {
        return Status::Fail(StatusCode::OutOfRange,
                            "Le front d'onde n'a pas la taille du signal.",
                            "wavefront of another size");
    }
    TImageRec laplacian = signal;
    TImageRec result = wavefront;  // committed only on success
    TakePupil(laplacian, result);

    const double f = geometry.Focal, l = geometry.Defocus, radius = geometry.ApertureRadius;
    // K changes sign for l < 0 or l > F: the wavefront would come out turned over, not refused.
    if (!(l >= 0 && l <= f))
        return Status::Fail(StatusCode::OutOfRange,
                            "La défocalisation doit être positive et plus courte que la distance focale.",
                            "defocus outside [0, F]: the wavefront would be turned over");
    const double k = l != 0 ? -TransportFor(f, radius, l).intra * radius * radius : 0.0;
    ReconstructionSummary summary;
    if (k != 0) {
        ScaleImage(laplacian, radius * radius / k);
        MarkBoundaryRing(laplacian, kRingOuter);
        Result<PoissonSummary> solved = SolvePoisson(laplacian, result);
        if (!solved.ok()) return solved.status();
        summary.solved = true;
        summary.poisson = solved.take();
    }

    TakePupil(laplacian, result);
    MeasureObstruction(result);
    ClearOutsideAnnulus(result);
    for (std::int16_t& m : std::span<std::int16_t>(result.Mask.data(), result.Mask.size())) {
        if (m != 1) m = 0;
    }
    result.Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    wavefront = std::move(result);
    return summary;
}

}  // namespace frontlys
