#pragma once
// Point spread function of a wavefront and of the same pupil without aberration.
//
// Conventions: the wavefront is in nanometres, the wavelength too. The pupil function is
// A * exp(i k W), k = 2 pi / lambda, A = 1 on mask pixels and 0 elsewhere, placed in the top-left
// corner of a (f w) x (f h) field whose transform size N is the smallest power of two >= 2 and >= f
// times the larger side. Each output is w x h (the wavefront's size), kind 4: output (r, c) is
// |X(u, v)|^2 with X the DFT divided by N^2 at u = c + cx - N/2, v = r + cy - N/2,
// cx = trunc((f w - w) / 2), cy = trunc((f h - h) / 2). So with f w a power of two the zero frequency
// is at row h/2, column w/2 (0-based), and both outputs share one scale: the ratio of their peaks is
// the Strehl ratio. Only the needed samples are computed (matrix Fourier transform) when that is
// cheaper than the zero-padded transform; both give the same values to rounding.

#include <cstdint>
#include <vector>

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

enum class PsfMethod { Automatic, PaddedFft, MatrixFourier };

struct PsfImages {
    ImageSlot aberrationFree;  // "Théorique"
    ImageSlot aberrated;       // "Réelle"
};

inline constexpr int kMaxPsfTransformSize = 1 << 16;

// The aberration-free PSF depends only on the pupil (the mask), the size, the factor and the
// method: a caller that keeps this record between calls gets it back without a transform while
// they are unchanged.
struct AberrationFreePsfMemo {
    int width = 0, height = 0, factor = 0;
    PsfMethod method = PsfMethod::Automatic;
    std::vector<std::uint8_t> pupil;  // InMask per pixel
    std::vector<double> power;
};

// Refused, with nothing produced, for a wavefront without pixels or axes, a wavelength that is not
// a positive number, or a factor below 1 or whose transform size would pass kMaxPsfTransformSize.
Result<PsfImages> ComputePsf(const TImageRec& wavefront,
                             double lambdaRef,
                             int factor,
                             PsfMethod method = PsfMethod::Automatic,
                             AberrationFreePsfMemo* memo = nullptr);

// At every mask pixel, value = (c / a) x + (b / a) y in reduced pupil coordinates; other pixels are
// left alone. a = 0 changes nothing.
void TiltPlane(TImageRec& image, double a, double b, double c);

}  // namespace frontlys
