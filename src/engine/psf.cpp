#include "engine/psf.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine/fft.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr char kPsfRefused[] = "Calcul de la PSF impossible.";
// Beyond this transform size the zero-padded field alone would take gigabytes.
constexpr int kLargestPaddedFft = 2048;

// The pupil function over the bounding box of the mask: rows y0.., columns x0.., bh x bw.
struct Pupil {
    int x0 = 0, y0 = 0, bw = 0, bh = 0;
    std::vector<double> amplitude;  // A
    std::vector<double> re, im;     // A cos(kW), A sin(kW)
};

Pupil MakePupil(const TImageRec& w, double k)
{
    int x0 = w.Width, x1 = -1, y0 = w.Height, y1 = -1;
    for (int r = 0; r < w.Height; ++r) {
        for (int c = 0; c < w.Width; ++c) {
            if (!w.InMask(r, c)) continue;
            x0 = std::min(x0, c), x1 = std::max(x1, c), y0 = std::min(y0, r), y1 = std::max(y1, r);
        }
    }
    Pupil p;
    if (x1 < 0) return p;
    p.x0 = x0, p.y0 = y0, p.bw = x1 - x0 + 1, p.bh = y1 - y0 + 1;
    const std::size_t size = std::size_t(p.bw) * p.bh;
    p.amplitude.assign(size, 0.0), p.re.assign(size, 0.0), p.im.assign(size, 0.0);
    for (int r = 0; r < p.bh; ++r) {
        for (int c = 0; c < p.bw; ++c) {
            if (!w.InMask(r + y0, c + x0)) continue;
            const double phase = k * w.At(r + y0, c + x0);
            const std::size_t i = std::size_t(r) * p.bw + c;
            p.amplitude[i] = 1;
            p.re[i] = std::cos(phase);
            p.im[i] = std::sin(phase);
        }
    }
    return p;
}

struct Layout {
    int w = 0, h = 0, n = 0, cx = 0, cy = 0;
};

Layout MakeLayout(int w, int h, int factor)
{
    const int pw = factor * w, ph = factor * h;
    return {w, h, FftSize(pw, ph), (pw - w) / 2, (ph - h) / 2};
}

// exp(-2 pi i freq * pos / n) for pos in [from, from + count) and each output index.
struct Kernel {
    std::vector<double> re, im;  // [pos][out], out contiguous
};

Kernel MakeKernel(const Layout& lay, int outputs, int offset, int from, int count)
{
    std::vector<double> cosT(lay.n), sinT(lay.n);
    for (int k = 0; k < lay.n; ++k) {
        const double angle = 2 * std::numbers::pi * k / lay.n;
        cosT[k] = std::cos(angle), sinT[k] = std::sin(angle);
    }
    Kernel kernel{std::vector<double>(std::size_t(count) * outputs),
                  std::vector<double>(std::size_t(count) * outputs)};
    for (int p = 0; p < count; ++p) {
        for (int o = 0; o < outputs; ++o) {
            const std::int64_t freq = o + offset - lay.n / 2;
            const std::int64_t index = ((freq * (from + p)) % lay.n + lay.n) % lay.n;
            kernel.re[std::size_t(p) * outputs + o] = cosT[index];
            kernel.im[std::size_t(p) * outputs + o] = -sinT[index];
        }
    }
    return kernel;
}

// acc += (a + ib) * (kr + i ki) over one row of `len` elements.
void MultiplyAdd(
    double* accRe, double* accIm, double a, double b, const double* kr, const double* ki, int len)
{
    for (int i = 0; i < len; ++i) {
        accRe[i] += a * kr[i] - b * ki[i];
        accIm[i] += a * ki[i] + b * kr[i];
    }
}

// |Ev * P * Eu^T|^2 / n^4: the power at the h x w needed frequencies only. `im` may be null.
std::vector<double> MatrixFourierPower(
    const Pupil& p, const double* re, const double* im, const Layout& lay, const Kernel& eu, const Kernel& ev)
{
    const int w = lay.w, h = lay.h;
    std::vector<double> tRe(std::size_t(p.bh) * w, 0.0), tIm(std::size_t(p.bh) * w, 0.0);
    for (int y = 0; y < p.bh; ++y) {
        for (int x = 0; x < p.bw; ++x) {
            const std::size_t i = std::size_t(y) * p.bw + x;
            const double a = re[i], b = im ? im[i] : 0.0;
            if (a == 0 && b == 0) continue;
            const std::size_t k = std::size_t(x) * w;
            MultiplyAdd(&tRe[std::size_t(y) * w], &tIm[std::size_t(y) * w], a, b, &eu.re[k], &eu.im[k], w);
        }
    }
    std::vector<double> power(std::size_t(h) * w);
    std::vector<double> xRe(w), xIm(w);
    const double scale = 1 / (double(lay.n) * lay.n * double(lay.n) * lay.n);
    for (int r = 0; r < h; ++r) {
        std::fill(xRe.begin(), xRe.end(), 0.0), std::fill(xIm.begin(), xIm.end(), 0.0);
        for (int y = 0; y < p.bh; ++y) {
            const std::size_t k = std::size_t(y) * h + r;
            const std::size_t t = std::size_t(y) * w;
            MultiplyAdd(xRe.data(), xIm.data(), ev.re[k], ev.im[k], &tRe[t], &tIm[t], w);
        }
        for (int c = 0; c < w; ++c)
            power[std::size_t(r) * w + c] = (xRe[c] * xRe[c] + xIm[c] * xIm[c]) * scale;
    }
    return power;
}

// The documented road: zero-padded field, full centred transform, power spectrum, crop.
std::vector<double> PaddedFftPower(
    const Pupil& p, const double* re, const double* im, const Layout& lay, int factor)
{
    const int pw = factor * lay.w, ph = factor * lay.h;
    std::vector<double> fieldRe(std::size_t(pw) * ph, 0.0), fieldIm(im ? fieldRe.size() : 0, 0.0);
    for (int y = 0; y < p.bh; ++y) {
        for (int x = 0; x < p.bw; ++x) {
            const std::size_t to = std::size_t(y + p.y0) * pw + x + p.x0;
            fieldRe[to] = re[std::size_t(y) * p.bw + x];
            if (im) fieldIm[to] = im[std::size_t(y) * p.bw + x];
        }
    }
    const Planes3D<double> spectrum = im ? Fft2Complex(fieldRe, fieldIm, pw, ph) : Fft2Real(fieldRe, pw, ph);
    const Planes3D<double> full = PowerSpectrum(spectrum);
    std::vector<double> power(std::size_t(lay.h) * lay.w);
    for (int r = 0; r < lay.h; ++r)
        for (int c = 0; c < lay.w; ++c) power[std::size_t(r) * lay.w + c] = full(0, r + lay.cy, c + lay.cx);
    return power;
}

// Rough operation counts of the two roads for both pupils. The padded road pays about three times
// its transform count once the allocation, the copies and the full power spectrum are included.
bool PaddedFftIsCheaper(const Pupil& p, const Layout& lay)
{
    if (lay.n > kLargestPaddedFft) return false;
    const double fft = 3 * 2 * 5.0 * double(lay.n) * lay.n * 2 * std::log2(double(lay.n));
    const double mft = 2 * 8.0 * double(lay.w) * p.bh * (double(p.bw) + lay.h);
    return fft < mft;
}

ImageSlot PsfImage(const Layout& lay, const std::vector<double>& power)
{
    ImageSlot image = NewImage(lay.w, lay.h);
    std::copy(power.begin(), power.end(), image->Planes.data());
    image->Kind = static_cast<std::uint8_t>(ImageKind::Psf);
    MinMaxAll(image.get());
    return image;
}

Status CheckInputs(const TImageRec& wavefront, double lambdaRef, int factor)
{
    if (wavefront.Width < 1 || wavefront.Height < 1 || !HasPupilGrid(wavefront))
        return Status::Fail(StatusCode::MissingInput, kPsfRefused, "no wavefront pixels");
    if (!(lambdaRef > 0) || !std::isfinite(lambdaRef))
        return Status::Fail(
            StatusCode::OutOfRange, kPsfRefused, "reference wavelength is not a positive number");
    const std::int64_t side = std::int64_t(std::max(wavefront.Width, wavefront.Height)) * std::max(factor, 0);
    if (factor < 1 || side > kMaxPsfTransformSize)
        return Status::Fail(StatusCode::OutOfRange, kPsfRefused, "enlargement factor out of range");
    return Status::Ok();
}

}  // namespace

Result<PsfImages> ComputePsf(const TImageRec& wavefront, double lambdaRef, int factor, PsfMethod method)
{
    if (Status status = CheckInputs(wavefront, lambdaRef, factor); !status.ok()) return status;
    const Layout lay = MakeLayout(wavefront.Width, wavefront.Height, factor);
    const Pupil pupil = MakePupil(wavefront, 2 * std::numbers::pi / lambdaRef);
    const bool padded =
        method == PsfMethod::PaddedFft || (method == PsfMethod::Automatic && PaddedFftIsCheaper(pupil, lay));
    std::vector<double> free, real;
    if (pupil.bw == 0) {
        free.assign(std::size_t(lay.w) * lay.h, 0.0);
        real = free;
    } else if (padded) {
        free = PaddedFftPower(pupil, pupil.amplitude.data(), nullptr, lay, factor);
        real = PaddedFftPower(pupil, pupil.re.data(), pupil.im.data(), lay, factor);
    } else {
        const Kernel eu = MakeKernel(lay, lay.w, lay.cx, pupil.x0, pupil.bw);
        const Kernel ev = MakeKernel(lay, lay.h, lay.cy, pupil.y0, pupil.bh);
        free = MatrixFourierPower(pupil, pupil.amplitude.data(), nullptr, lay, eu, ev);
        real = MatrixFourierPower(pupil, pupil.re.data(), pupil.im.data(), lay, eu, ev);
    }
    return PsfImages{PsfImage(lay, free), PsfImage(lay, real)};
}

void TiltPlane(TImageRec& image, double a, double b, double c)
{
    if (a == 0 || !HasPupilGrid(image)) return;
    for (int r = 0; r < image.Height; ++r) {
        for (int col = 0; col < image.Width; ++col) {
            if (image.InMask(r, col))
                image.At(r, col) = (c / a) * image.XAxis[col] + (b / a) * image.YAxis[r];
        }
    }
}

}  // namespace frontlys
