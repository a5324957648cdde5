#include "engine/correction_loop.h"

#include <cmath>

#include "engine/curvature_signal.h"
#include "engine/fft.h"
#include "engine/transport.h"

namespace frontlys {

namespace {

bool SameSize(const TImageRec& a, const TImageRec& b) { return a.Width == b.Width && a.Height == b.Height; }

Status CheckLoopInput(const TestGeometry& geometry,
                      const TImageRec& intra,
                      const TImageRec& extra,
                      const TImageRec& residual,
                      const TImageRec& total,
                      const TImageRec& signal,
                      int nIter)
{
    if (nIter < 1) {
        return Status::Fail(StatusCode::OutOfRange,
                            "Le nombre d'itérations doit être au moins 1.",
                            "NIter " + std::to_string(nIter));
    }
    if (Result<TransportCoefficients> k = TransportCoefficientsFor(geometry); !k.ok()) return k.status();
    const int n = intra.Width;
    if (n != intra.Height || !IsPowerOfTwo(n) || n < 4 || !SameSize(intra, extra) ||
        !SameSize(intra, residual) || !SameSize(intra, total) || !SameSize(intra, signal)) {
        return Status::Fail(StatusCode::OutOfRange,
                            "Le signal doit être une image carrée dont le côté est une puissance de deux.",
                            "correction loop images of different or unsupported sizes");
    }
    return Status::Ok();
}

}  // namespace

double RmsInMask(const TImageRec& image)
{
    long long n = 0;
    double s = 0, q = 0;
    for (int r = 0; r < image.Height; ++r) {
        for (int c = 0; c < image.Width; ++c) {
            if (!image.InMask(r, c)) continue;
            const double v = image.Planes(0, r, c);
            ++n;
            s += v;
            q += v * v;
        }
    }
    if (n == 0) return 0.0;
    const double mean = s / n;
    return std::sqrt(std::max(0.0, q / n - mean * mean));
}

Result<CorrectionSummary> CorrectionLoopInPlace(const TestGeometry& geometry,
                                                TImageRec& a,
                                                TImageRec& b,
                                                TImageRec& pass,
                                                TImageRec& sum,
                                                TImageRec& sig,
                                                int nIter,
                                                std::stop_token stop)
{
    if (Status s = CheckLoopInput(geometry, a, b, pass, sum, sig, nIter); !s.ok()) return s;
    ClearImage(sum);
    CorrectionSummary summary;
    for (int i = 0; i < nIter; ++i) {
        if (stop.stop_requested()) return Status::Fail(StatusCode::Cancelled, {}, kCancelledReason);
        if (Status s = ComputeSignal(a, b, sig); !s.ok()) return s;
        ClearImage(pass);
        Result<ReconstructionSummary> rec = ReconstructWavefront(geometry, sig, pass);
        if (!rec.ok()) return rec.status();
        summary.passes.push_back(rec.take());
        summary.residualRms.push_back(RmsInMask(pass));
        CopyMask(pass, sum);
        AddImage(sum, pass);
        if (Status s = TransportImages(geometry, a, b, pass); !s.ok()) return s;
        TakePupilGeometry(pass, sum);
        sum.Obstruction = pass.Obstruction;
        sum.Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    }
    return summary;
}

Result<CorrectionSummary> CorrectionLoop(const TestGeometry& geometry,
                                         TImageRec& intra,
                                         TImageRec& extra,
                                         TImageRec& residual,
                                         TImageRec& total,
                                         TImageRec& signal,
                                         int nIter)
{
    if (Status s = CheckLoopInput(geometry, intra, extra, residual, total, signal, nIter); !s.ok()) return s;
    // Work on copies: a pass refused half-way leaves the caller's images as they were.
    TImageRec a = intra, b = extra, pass = residual, sum = total, sig = signal;
    Result<CorrectionSummary> summary = CorrectionLoopInPlace(geometry, a, b, pass, sum, sig, nIter);
    if (!summary.ok()) return summary;
    intra = std::move(a);
    extra = std::move(b);
    residual = std::move(pass);
    total = std::move(sum);
    signal = std::move(sig);
    return summary;
}

}  // namespace frontlys
