#include "engine/curvature_signal.h"

#include "prep/pupil.h"

namespace frontlys {

namespace {

constexpr const char* kSizeMismatch = "Les images intra et extra-focale n'ont pas la même taille.";

bool SameSize(const TImageRec& a, const TImageRec& b) { return a.Width == b.Width && a.Height == b.Height; }

}  // namespace

Status ComputeSignal(const TImageRec& intra, const TImageRec& extra, TImageRec& signal)
{
    if (!SameSize(intra, extra) || !SameSize(intra, signal)) {
        return Status::Fail(StatusCode::OutOfRange, kSizeMismatch, "signal inputs of different sizes");
    }
    signal.MaskCount = 0;
    for (int r = 0; r < intra.Height; ++r) {
        const double* a = intra.Planes.Row(0, r);
        const double* b = extra.Planes.Row(0, r);
        double* s = signal.Planes.Row(0, r);
        for (int c = 0; c < intra.Width; ++c) {
            const double sum = a[c] + b[c];
            if (sum != 0.0) s[c] = (a[c] - b[c]) / sum;
            const bool inside = intra.InMask(r, c) || extra.InMask(r, c);
            signal.MaskAt(r, c) = inside ? 1 : 0;
            if (inside) ++signal.MaskCount;
        }
    }
    FindPupil(&signal);
    SetPupilAxes(&signal);
    signal.Kind = static_cast<std::uint8_t>(ImageKind::Signal);
    MeasureObstruction(signal);
    return Status::Ok();
}

}  // namespace frontlys
