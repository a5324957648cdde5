#include "engine/psf.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine/fft.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr char kPsfRefused[] = "Calcul de la PSF impossible.";

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

using cd = std::complex<double>;

// Natural FFT index of the frequency that sits at centred position `centred` (0 .. n-1).
int NaturalIndex(int centred, int n) { return (centred + n / 2) & (n - 1); }

// Which column transform serves each output column. A real pupil function has a point-symmetric
// spectrum, X(-u, -v) = conj X(u, v): an output column whose mirror column is also an output takes
// the mirror's transform read at -v, which halves the column pass of the aberration-free PSF.
struct ColumnPlan {
    std::vector<int> computed;   // output columns whose transform is computed
    std::vector<int> source;     // per output column: index into `computed`
    std::vector<bool> mirrored;  // per output column: read at -v
};

ColumnPlan PlanColumns(const Layout& lay, bool realInput)
{
    ColumnPlan plan{{}, std::vector<int>(lay.w), std::vector<bool>(lay.w, false)};
    std::vector<int> slot(lay.w, -1);
    for (int c = 0; c < lay.w; ++c) {
        const int u = c + lay.cx - lay.n / 2;
        const int mirror = c - 2 * u;  // the output column of -u
        if (realInput && u > 0 && mirror >= 0 && mirror < lay.w && slot[mirror] >= 0) {
            plan.source[c] = slot[mirror];
            plan.mirrored[c] = true;
            continue;
        }
        slot[c] = static_cast<int>(plan.computed.size());
        plan.source[c] = slot[c];
        plan.computed.push_back(c);
    }
    return plan;
}

// The zero-padded transform without its zeros: the row pass runs on the pupil's rows only and keeps
// the computed columns, the column pass runs on those columns only; the crop reads the h output
// rows. The values are those of the full transform (the same row and column butterflies). A real
// input (`im` null) transforms two rows at once, as the real and imaginary parts of one row.
std::vector<double> PrunedFftPower(const Pupil& p, const double* re, const double* im, const Layout& lay)
{
    const int n = lay.n, w = lay.w;
    const ColumnPlan columns = PlanColumns(lay, im == nullptr);
    const int m = static_cast<int>(columns.computed.size());
    std::vector<int> freq(m);
    for (int j = 0; j < m; ++j) freq[j] = NaturalIndex(columns.computed[j] + lay.cx, n);
    const FftPlan plan(n);
    std::vector<cd> rows(std::size_t(p.bh) * m);  // the row pass at the computed columns
    std::vector<cd> row(n), scratch(n);
    const int step = im ? 1 : 2;
    for (int y = 0; y < p.bh; y += step) {
        const bool pair = !im && y + 1 < p.bh;
        std::fill(row.begin(), row.end(), cd{});
        for (int x = 0; x < p.bw; ++x) {
            const std::size_t i = std::size_t(y) * p.bw + x;
            row[x + p.x0] = cd(re[i], im ? im[i] : pair ? re[i + p.bw] : 0.0);
        }
        plan.Transform1D(row.data(), scratch.data(), FftDirection::Forward);
        cd* first = &rows[std::size_t(y) * m];
        if (!pair) {
            for (int j = 0; j < m; ++j) first[j] = row[freq[j]];
            continue;
        }
        cd* second = first + m;  // A = (Z[k] + conj Z[-k]) / 2, B = (Z[k] - conj Z[-k]) / 2i
        for (int j = 0; j < m; ++j) {
            const cd z = row[freq[j]], zc = std::conj(row[(n - freq[j]) & (n - 1)]);
            first[j] = 0.5 * (z + zc);
            const cd d = 0.5 * (z - zc);
            second[j] = cd(d.imag(), -d.real());
        }
    }
    // The column pass in chunks, so that a large transform size never needs the whole field.
    const int chunk = std::clamp((1 << 20) / n, 1, m);
    std::vector<cd> grid(std::size_t(n) * chunk);
    // Each output row r reads frequency v of its column, or -v of the mirror column.
    std::vector<int> v(lay.h), minusV(lay.h);
    for (int r = 0; r < lay.h; ++r) v[r] = NaturalIndex(r + lay.cy, n), minusV[r] = (n - v[r]) & (n - 1);
    std::vector<cd> direct(std::size_t(lay.h) * m), mirror(std::size_t(lay.h) * m);
    for (int j0 = 0; j0 < m; j0 += chunk) {
        const int k = std::min(chunk, m - j0);
        std::fill(grid.begin(), grid.end(), cd{});
        for (int y = 0; y < p.bh; ++y)
            std::copy_n(&rows[std::size_t(y) * m + j0], k, &grid[std::size_t(y + p.y0) * k]);
        plan.TransformColumns(grid.data(), k, k, FftDirection::Forward);
        for (int r = 0; r < lay.h; ++r) {
            std::copy_n(&grid[std::size_t(v[r]) * k], k, &direct[std::size_t(r) * m + j0]);
            std::copy_n(&grid[std::size_t(minusV[r]) * k], k, &mirror[std::size_t(r) * m + j0]);
        }
    }
    const double scale = 1.0 / (double(n) * n);
    std::vector<double> power(std::size_t(lay.h) * w);
    for (int r = 0; r < lay.h; ++r) {
        double* out = &power[std::size_t(r) * w];
        for (int c = 0; c < w; ++c) {
            const cd z = (columns.mirrored[c] ? mirror : direct)[std::size_t(r) * m + columns.source[c]];
            const double a = z.real() * scale, b = z.imag() * scale;
            out[c] = a * a + b * b;
        }
    }
    return power;
}

// Rough operation counts of the two roads for one pupil function.
bool PaddedFftIsCheaper(const Pupil& p, const Layout& lay)
{
    const double fft = 5.0 * lay.n * std::log2(double(lay.n)) * (double(p.bh) + lay.w);
    const double mft = 8.0 * double(lay.w) * p.bh * (double(p.bw) + lay.h);
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

std::vector<std::uint8_t> PupilOf(const TImageRec& w)
{
    std::vector<std::uint8_t> pupil(std::size_t(w.Width) * w.Height);
    for (int r = 0; r < w.Height; ++r)
        for (int c = 0; c < w.Width; ++c) pupil[std::size_t(r) * w.Width + c] = w.InMask(r, c);
    return pupil;
}

}  // namespace

Result<PsfImages> ComputePsf(
    const TImageRec& wavefront, double lambdaRef, int factor, PsfMethod method, AberrationFreePsfMemo* memo)
{
    if (Status status = CheckInputs(wavefront, lambdaRef, factor); !status.ok()) return status;
    const Layout lay = MakeLayout(wavefront.Width, wavefront.Height, factor);
    const Pupil pupil = MakePupil(wavefront, 2 * std::numbers::pi / lambdaRef);
    const bool padded =
        method == PsfMethod::PaddedFft || (method == PsfMethod::Automatic && PaddedFftIsCheaper(pupil, lay));
    std::vector<std::uint8_t> mask = memo ? PupilOf(wavefront) : std::vector<std::uint8_t>{};
    const bool known = memo && memo->width == lay.w && memo->height == lay.h && memo->factor == factor &&
                       memo->method == method && memo->pupil == mask;
    std::vector<double> free, real;
    if (pupil.bw == 0) {
        free.assign(std::size_t(lay.w) * lay.h, 0.0);
        real = free;
    } else if (padded) {
        if (!known) free = PrunedFftPower(pupil, pupil.amplitude.data(), nullptr, lay);
        real = PrunedFftPower(pupil, pupil.re.data(), pupil.im.data(), lay);
    } else {
        const Kernel eu = MakeKernel(lay, lay.w, lay.cx, pupil.x0, pupil.bw);
        const Kernel ev = MakeKernel(lay, lay.h, lay.cy, pupil.y0, pupil.bh);
        if (!known) free = MatrixFourierPower(pupil, pupil.amplitude.data(), nullptr, lay, eu, ev);
        real = MatrixFourierPower(pupil, pupil.re.data(), pupil.im.data(), lay, eu, ev);
    }
    if (known) {
        free = memo->power;
    } else if (memo) {
        *memo = {lay.w, lay.h, factor, method, std::move(mask), free};
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
