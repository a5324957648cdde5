#include "engine/fft.h"

// The vector helpers below never cross a call (see V2c); the compilers note the AVX ABI anyway, GCC
// at the end of the unit, which no push/pop can reach.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numbers>
#include <type_traits>

namespace frontlys {

namespace {

using cd = std::complex<double>;

// std::complex's operator* guards against NaN with a library call; the transforms do not need it.
inline cd Mul(cd a, cd b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline cd TimesI(cd a) { return {-a.imag(), a.real()}; }

// Two complex numbers (re, im, re, im) in one vector; the compiler maps it onto the widest
// registers of the target the loader picked. The helpers are always inlined, so the vector never
// crosses a call and the ABI note on AVX vectors (-Wpsabi, silenced at the top) does not apply.
#define FRONTLYS_INLINE inline __attribute__((always_inline))
typedef double V2c __attribute__((vector_size(32)));
typedef long long V2i __attribute__((vector_size(32)));

#if defined(__clang__)
#define FRONTLYS_SHUFFLE(a, b, i, j, k, l) __builtin_shufflevector(a, b, i, j, k, l)
#else
#define FRONTLYS_SHUFFLE(a, b, i, j, k, l) __builtin_shuffle(a, b, V2i{i, j, k, l})
#endif

FRONTLYS_INLINE V2c Load(const cd* p)
{
    V2c v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
FRONTLYS_INLINE void Store(cd* p, V2c v) { std::memcpy(static_cast<void*>(p), &v, sizeof v); }
FRONTLYS_INLINE V2c Swap(V2c v) { return FRONTLYS_SHUFFLE(v, v, 1, 0, 3, 2); }
FRONTLYS_INLINE V2c Broadcast(cd w) { return V2c{w.real(), w.imag(), w.real(), w.imag()}; }
// x * w, w holding one twiddle per complex number.
FRONTLYS_INLINE V2c Mul(V2c x, V2c w)
{
    const V2c wr = FRONTLYS_SHUFFLE(w, w, 0, 0, 2, 2);
    const V2c wi = FRONTLYS_SHUFFLE(w, w, 1, 1, 3, 3);
    return x * wr + Swap(x) * (wi * V2c{-1, 1, -1, 1});
}
template <bool kInverse>
FRONTLYS_INLINE V2c TimesSignI(V2c x)  // i x forward, -i x inverse
{
    return kInverse ? Swap(x) * V2c{1, -1, 1, -1} : Swap(x) * V2c{-1, 1, -1, 1};
}

// The radix-4 butterfly of a, b, c, d (elements span/4 apart) with the twiddles of its index.
template <bool kInverse, class T>
FRONTLYS_INLINE void Butterfly4(
    T a, T b, T c, T d, T w1, T w2, T w3, T& y0, T& y1, T& y2, T& y3)
{
    const T apc = a + c, amc = a - c, bpd = b + d;
    T jbmd;
    if constexpr (std::is_same_v<T, cd>) {
        jbmd = kInverse ? -TimesI(b - d) : TimesI(b - d);
    } else {
        jbmd = TimesSignI<kInverse>(b - d);
    }
    y0 = apc + bpd;
    y1 = Mul(w1, amc - jbmd);
    y2 = Mul(w2, apc - bpd);
    y3 = Mul(w3, amc + jbmd);
}

// The radix-4 butterfly without twiddles.
template <bool kInverse, class T>
FRONTLYS_INLINE void Butterfly4Plain(T a, T b, T c, T d, T (&y)[4])
{
    const T apc = a + c, amc = a - c, bpd = b + d;
    T jbmd;
    if constexpr (std::is_same_v<T, cd>) {
        jbmd = kInverse ? -TimesI(b - d) : TimesI(b - d);
    } else {
        jbmd = TimesSignI<kInverse>(b - d);
    }
    y[0] = apc + bpd;
    y[1] = amc - jbmd;
    y[2] = apc - bpd;
    y[3] = amc + jbmd;
}

// One radix-4 Stockham stage: `span` is the sub-transform length entering the stage and `stride`
// the distance between its consecutive elements. Reads x, writes y in self-sorted order. The
// twiddles w^p, w^2p, w^3p are the arrays tw, tw + span/4, tw + span/2. Two elements at a time:
// along the stride when it is at least 2, else along the butterfly index p.
template <bool kInverse>
FRONTLYS_INLINE void Radix4Stage(const cd* x, cd* y, int span, int stride, const cd* tw)
{
    const int quarter = span / 4;
    const std::ptrdiff_t s = stride;
    const cd* t1 = tw;
    const cd* t2 = tw + quarter;
    const cd* t3 = tw + 2 * quarter;
    if (s == 1 && quarter >= 2) {
        for (int p = 0; p < quarter; p += 2) {
            V2c y0, y1, y2, y3;
            Butterfly4<kInverse>(Load(x + p), Load(x + p + quarter), Load(x + p + 2 * quarter),
                                 Load(x + p + 3 * quarter), Load(t1 + p), Load(t2 + p), Load(t3 + p),
                                 y0, y1, y2, y3);
            cd* out = y + 4 * p;  // outputs 4p .. 4p+3, then 4p+4 .. 4p+7
            Store(out, FRONTLYS_SHUFFLE(y0, y1, 0, 1, 4, 5));
            Store(out + 2, FRONTLYS_SHUFFLE(y2, y3, 0, 1, 4, 5));
            Store(out + 4, FRONTLYS_SHUFFLE(y0, y1, 2, 3, 6, 7));
            Store(out + 6, FRONTLYS_SHUFFLE(y2, y3, 2, 3, 6, 7));
        }
        return;
    }
    for (int p = 0; p < quarter; ++p) {
        const cd* xa = x + s * p;
        const cd* xb = xa + s * quarter;
        const cd* xc = xb + s * quarter;
        const cd* xd = xc + s * quarter;
        cd* y0 = y + s * 4 * p;
        cd* y1 = y0 + s;
        cd* y2 = y1 + s;
        cd* y3 = y2 + s;
        const V2c w1 = Broadcast(t1[p]), w2 = Broadcast(t2[p]), w3 = Broadcast(t3[p]);
        std::ptrdiff_t q = 0;
        for (; q + 1 < s; q += 2) {
            V2c o0, o1, o2, o3;
            Butterfly4<kInverse>(Load(xa + q), Load(xb + q), Load(xc + q), Load(xd + q), w1, w2, w3, o0, o1, o2, o3);
            Store(y0 + q, o0), Store(y1 + q, o1), Store(y2 + q, o2), Store(y3 + q, o3);
        }
        for (; q < s; ++q)
            Butterfly4<kInverse>(xa[q], xb[q], xc[q], xd[q], t1[p], t2[p], t3[p], y0[q], y1[q], y2[q], y3[q]);
    }
}

// The butterflies are compiled twice, with and without AVX2/FMA, and the loader picks one.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_FFT_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define FRONTLYS_FFT_CLONES
#endif

FRONTLYS_FFT_CLONES void Radix4Forward(const cd* x, cd* y, int span, int stride, const cd* twiddle)
{
    Radix4Stage<false>(x, y, span, stride, twiddle);
}

FRONTLYS_FFT_CLONES void Radix4Inverse(const cd* x, cd* y, int span, int stride, const cd* twiddle)
{
    Radix4Stage<true>(x, y, span, stride, twiddle);
}

template <bool kInverse>
FRONTLYS_INLINE cd SignI(cd x)  // i x forward, -i x inverse
{
    return kInverse ? -TimesI(x) : TimesI(x);
}
template <bool kInverse>
FRONTLYS_INLINE V2c SignI(V2c x)
{
    return TimesSignI<kInverse>(x);
}
FRONTLYS_INLINE cd Times(cd x, cd w) { return Mul(x, w); }
FRONTLYS_INLINE V2c Times(V2c x, cd w) { return Mul(x, Broadcast(w)); }

// Length-8 transform of x[0], x[s], ... x[7 s] into y[0], y[s], ... y[7 s]: two length-4
// transforms of the even and odd elements, joined with w^k = exp(-+ i pi k / 4).
template <bool kInverse, class T>
FRONTLYS_INLINE void Dft8(const cd* x, cd* y, std::ptrdiff_t s)
{
    constexpr double h = std::numbers::sqrt2 / 2;
    constexpr cd w1 = kInverse ? cd(h, h) : cd(h, -h);
    constexpr cd w3 = kInverse ? cd(-h, h) : cd(-h, -h);
    auto load = [&](int j) -> T {
        if constexpr (std::is_same_v<T, cd>) {
            return x[j * s];
        } else {
            return Load(x + j * s);
        }
    };
    auto store = [&](int k, T v) {
        if constexpr (std::is_same_v<T, cd>) {
            y[k * s] = v;
        } else {
            Store(y + k * s, v);
        }
    };
    T e[4], o[4];
    Butterfly4Plain<kInverse>(load(0), load(2), load(4), load(6), e);
    Butterfly4Plain<kInverse>(load(1), load(3), load(5), load(7), o);
    const T o1 = Times(o[1], w1), o2 = -SignI<kInverse>(o[2]), o3 = Times(o[3], w3);
    store(0, e[0] + o[0]);
    store(4, e[0] - o[0]);
    store(1, e[1] + o1);
    store(5, e[1] - o1);
    store(2, e[2] + o2);
    store(6, e[2] - o2);
    store(3, e[3] + o3);
    store(7, e[3] - o3);
}

// The last stage when log2 n is odd and n >= 8: length-8 sub-transforms, no twiddle.
template <bool kInverse>
FRONTLYS_INLINE void Radix8Stage(const cd* x, cd* y, int stride)
{
    const std::ptrdiff_t s = stride;
    std::ptrdiff_t q = 0;
    for (; q + 1 < s; q += 2) Dft8<kInverse, V2c>(x + q, y + q, s);
    for (; q < s; ++q) Dft8<kInverse, cd>(x + q, y + q, s);
}

FRONTLYS_FFT_CLONES void Radix8Forward(const cd* x, cd* y, int stride) { Radix8Stage<false>(x, y, stride); }

FRONTLYS_FFT_CLONES void Radix8Inverse(const cd* x, cd* y, int stride) { Radix8Stage<true>(x, y, stride); }

// The only stage of n = 2: length-2 sub-transforms, no twiddle.
FRONTLYS_FFT_CLONES void Radix2Stage(const cd* x, cd* y, int stride)
{
    const std::ptrdiff_t s = stride;
    std::ptrdiff_t q = 0;
    for (; q + 1 < s; q += 2) {
        const V2c a = Load(x + q), b = Load(x + q + s);
        Store(y + q, a + b);
        Store(y + q + s, a - b);
    }
    for (; q < s; ++q) {
        const cd a = x[q], b = x[q + s];
        y[q] = a + b;
        y[q + s] = a - b;
    }
}

// Columns per strip: a strip of n rows holds about 256 KiB.
int StripWidth(int n) { return std::min(std::max(16384 / std::max(n, 1), 4), std::max(n, 1)); }

}  // namespace

bool IsPowerOfTwo(int n) { return n >= 1 && (n & (n - 1)) == 0; }

int FftSize(int width, int height)
{
    int n = 2;
    while (n < width || n < height) n *= 2;
    return n;
}

FftPlan::FftPlan(int n) : m_n(n)
{
    assert(IsPowerOfTwo(n));
    // Radix 4 down to the last stage, which is radix 8 when log2 n is odd (radix 2 for n = 2).
    const bool odd = n >= 2 && (std::countr_zero(static_cast<unsigned>(n)) % 2) == 1;
    for (int span = n; span >= 2; span /= 4) {
        const int radix = span == 2 ? 2 : (odd && span == 8) ? 8 : 4;
        Stage stage{span, radix, {}, {}};
        if (radix == 8) span = 2;  // with the division below, ends the loop
        if (stage.radix == 4) {
            const double theta = -2.0 * std::numbers::pi / span;
            for (int j = 1; j <= 3; ++j) {
                for (int p = 0; p < span / 4; ++p) {
                    const double angle = theta * j * p;
                    stage.forward.emplace_back(std::cos(angle), std::sin(angle));
                    stage.inverse.emplace_back(std::cos(angle), -std::sin(angle));
                }
            }
        }
        m_stages.push_back(std::move(stage));
    }
}

cd* FftPlan::Run(cd* data, cd* scratch, int lanes, FftDirection direction) const
{
    const bool inverse = direction == FftDirection::Inverse;
    cd* x = data;
    cd* y = scratch;
    int stride = lanes;
    for (const Stage& stage : m_stages) {
        if (stage.radix == 2) {
            Radix2Stage(x, y, stride);
        } else if (stage.radix == 8) {
            inverse ? Radix8Inverse(x, y, stride) : Radix8Forward(x, y, stride);
        } else if (inverse) {
            Radix4Inverse(x, y, stage.span, stride, stage.inverse.data());
        } else {
            Radix4Forward(x, y, stage.span, stride, stage.forward.data());
        }
        std::swap(x, y);
        stride *= stage.radix;
    }
    return x;
}

void FftPlan::RunInPlace(cd* data, cd* scratch, int lanes, FftDirection direction) const
{
    const cd* result = Run(data, scratch, lanes, direction);
    if (result != data) std::memcpy(data, result, sizeof(cd) * static_cast<std::size_t>(m_n) * lanes);
}

cd* FftPlan::Strip(std::size_t elements) const
{
    if (m_strip.size() < elements) m_strip.resize(elements);
    return m_strip.data();
}

cd* FftPlan::Scratch(std::size_t elements) const
{
    if (m_scratch.size() < elements) m_scratch.resize(elements);
    return m_scratch.data();
}

void FftPlan::Transform1D(cd* data, FftDirection direction) const
{
    if (m_n > 1) RunInPlace(data, Scratch(m_n), 1, direction);
}

void FftPlan::Transform1D(cd* data, cd* scratch, FftDirection direction) const
{
    if (m_n > 1) RunInPlace(data, scratch, 1, direction);
}

void FftPlan::TransformLanes(cd* data, int count, FftDirection direction) const
{
    if (m_n == 1 || count <= 0) return;
    RunInPlace(data, Scratch(static_cast<std::size_t>(m_n) * count), count, direction);
}

void FftPlan::TransformColumns(cd* data, int columns, std::ptrdiff_t rowStride, FftDirection direction) const
{
    const int n = m_n;
    if (n == 1 || columns <= 0) return;
    const int width = std::min(StripWidth(n), columns);
    if (width == columns && rowStride == columns) {  // the whole array is one strip already
        RunInPlace(data, Scratch(static_cast<std::size_t>(n) * width), width, direction);
        return;
    }
    cd* strip = Strip(static_cast<std::size_t>(n) * width);
    cd* scratch = Scratch(static_cast<std::size_t>(n) * width);
    for (int c0 = 0; c0 < columns; c0 += width) {
        const int w = std::min(width, columns - c0);
        for (std::ptrdiff_t r = 0; r < n; ++r) std::memcpy(strip + r * w, data + r * rowStride + c0, sizeof(cd) * w);
        const cd* result = Run(strip, scratch, w, direction);
        for (std::ptrdiff_t r = 0; r < n; ++r) std::memcpy(data + r * rowStride + c0, result + r * w, sizeof(cd) * w);
    }
}

void FftPlan::FilterColumns(cd* data, int columns, const double* filter) const
{
    const int n = m_n;
    if (columns <= 0) return;
    const int width = std::min(StripWidth(n), columns);
    cd* strip = Strip(static_cast<std::size_t>(n) * width);
    cd* scratch = Scratch(static_cast<std::size_t>(n) * width);
    for (int c0 = 0; c0 < columns; c0 += width) {
        const int w = std::min(width, columns - c0);
        for (std::ptrdiff_t r = 0; r < n; ++r) std::memcpy(strip + r * w, data + r * columns + c0, sizeof(cd) * w);
        cd* spectrum = Run(strip, scratch, w, FftDirection::Forward);
        for (std::ptrdiff_t r = 0; r < n; ++r) {
            const double* f = filter + r * columns + c0;
            cd* s = spectrum + r * w;
            for (int c = 0; c < w; ++c) s[c] *= f[c];
        }
        const cd* result = Run(spectrum, spectrum == strip ? scratch : strip, w, FftDirection::Inverse);
        for (std::ptrdiff_t r = 0; r < n; ++r) std::memcpy(data + r * columns + c0, result + r * w, sizeof(cd) * w);
    }
}

void FftPlan::Transform2D(cd* data, FftDirection direction) const
{
    const int n = m_n;
    if (n == 1) return;
    // Each row stays in the first-level cache through all its stages.
    cd* scratch = Scratch(n);
    for (int r = 0; r < n; ++r) RunInPlace(data + static_cast<std::ptrdiff_t>(r) * n, scratch, 1, direction);
    TransformColumns(data, n, n, direction);
}

RealFft2Plan::RealFft2Plan(int n)
    : m_n(n),
      m_block(1),
      m_plan(n),
      m_row(static_cast<std::size_t>(n) * m_block),
      m_scratch(m_row.size())
{
    assert(n >= 2);
}

// Rows 2p and 2p+1 travel as the real and imaginary parts of one complex row: with Z its transform,
// A[k] = (Z[k] + conj Z[n-k]) / 2 and B[k] = (Z[k] - conj Z[n-k]) / 2i. A block of such rows is
// transformed as the lanes of one strip.
void RealFft2Plan::ForwardRows(const double* input, cd* half)
{
    const int n = m_n, hw = halfWidth(), lanes = m_block;
    for (int p0 = 0; p0 < n / 2; p0 += lanes) {
        for (int l = 0; l < lanes; ++l) {
            const double* a = input + static_cast<std::ptrdiff_t>(2 * (p0 + l)) * n;
            const double* b = a + n;
            for (std::ptrdiff_t c = 0; c < n; ++c) m_row[c * lanes + l] = cd(a[c], b[c]);
        }
        const cd* z = m_plan.Run(m_row.data(), m_scratch.data(), lanes, FftDirection::Forward);
        for (int l = 0; l < lanes; ++l) {
            cd* ha = half + static_cast<std::ptrdiff_t>(2 * (p0 + l)) * hw;
            cd* hb = ha + hw;
            for (int k = 0; k < hw; ++k) {
                const cd zk = z[static_cast<std::ptrdiff_t>(k) * lanes + l];
                const cd zc = std::conj(z[static_cast<std::ptrdiff_t>((n - k) & (n - 1)) * lanes + l]);
                ha[k] = 0.5 * (zk + zc);
                const cd d = 0.5 * (zk - zc);
                hb[k] = cd(d.imag(), -d.real());
            }
        }
    }
}

// Each pair of rows rebuilt as A + iB over the full row (A and B Hermitian), whose inverse
// transform carries row 2p in its real and row 2p+1 in its imaginary part.
void RealFft2Plan::InverseRows(const cd* half, double* output)
{
    const int n = m_n, hw = halfWidth(), lanes = m_block;
    for (int p0 = 0; p0 < n / 2; p0 += lanes) {
        for (int l = 0; l < lanes; ++l) {
            const cd* ha = half + static_cast<std::ptrdiff_t>(2 * (p0 + l)) * hw;
            const cd* hb = ha + hw;
            for (int k = 0; k < hw; ++k)
                m_row[static_cast<std::ptrdiff_t>(k) * lanes + l] = ha[k] + cd(-hb[k].imag(), hb[k].real());
            for (int k = hw; k < n; ++k) {
                const cd a = std::conj(ha[n - k]), b = std::conj(hb[n - k]);
                m_row[static_cast<std::ptrdiff_t>(k) * lanes + l] = a + cd(-b.imag(), b.real());
            }
        }
        const cd* z = m_plan.Run(m_row.data(), m_scratch.data(), lanes, FftDirection::Inverse);
        for (int l = 0; l < lanes; ++l) {
            double* a = output + static_cast<std::ptrdiff_t>(2 * (p0 + l)) * n;
            double* b = a + n;
            for (std::ptrdiff_t c = 0; c < n; ++c) {
                a[c] = z[c * lanes + l].real();
                b[c] = z[c * lanes + l].imag();
            }
        }
    }
}

void RealFft2Plan::Forward(const double* input, cd* half)
{
    ForwardRows(input, half);
    m_plan.TransformColumns(half, halfWidth(), halfWidth(), FftDirection::Forward);
}

// Inverse: the columns first, then the rows.
void RealFft2Plan::Inverse(cd* half, double* output)
{
    m_plan.TransformColumns(half, halfWidth(), halfWidth(), FftDirection::Inverse);
    InverseRows(half, output);
}

void RealFft2Plan::Filter(const double* input, const double* filter, double* output)
{
    const int n = m_n, hw = halfWidth();
    m_half.resize(static_cast<std::size_t>(n) * hw);
    ForwardRows(input, m_half.data());
    m_plan.FilterColumns(m_half.data(), hw, filter);
    InverseRows(m_half.data(), output);
}

void Fft1DInPlace(cd* data, int n, FftDirection direction) { FftPlan(n).Transform1D(data, direction); }

void Fft2DInPlace(cd* data, int n, FftDirection direction) { FftPlan(n).Transform2D(data, direction); }

namespace {

template <class T>
Planes3D<double> ForwardCentred(std::span<const T> real, std::span<const T> imag, int width, int height)
{
    const int n = FftSize(width, height);
    std::vector<cd> buffer(static_cast<std::size_t>(n) * n);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * width + c;
            const double im = imag.empty() ? 0.0 : static_cast<double>(imag[i]);
            buffer[static_cast<std::size_t>(r) * n + c] = cd(static_cast<double>(real[i]), im);
        }
    }
    FftPlan(n).Transform2D(buffer.data(), FftDirection::Forward);
    const double scale = 1.0 / (static_cast<double>(n) * n);
    const int half = n / 2;
    Planes3D<double> out(2, n, n);
    for (int r = 0; r < n; ++r) {
        const cd* source = &buffer[static_cast<std::size_t>((r + half) % n) * n];
        double* re = out.Row(0, r);
        double* im = out.Row(1, r);
        for (int c = 0; c < n; ++c) {
            const cd v = source[(c + half) % n];
            re[c] = v.real() * scale;
            im[c] = v.imag() * scale;
        }
    }
    return out;
}

}  // namespace

Planes3D<double> Fft2Real(std::span<const double> input, int width, int height)
{
    return ForwardCentred<double>(input, {}, width, height);
}

Planes3D<double> Fft2Real(std::span<const std::int16_t> input, int width, int height)
{
    return ForwardCentred<std::int16_t>(input, {}, width, height);
}

Planes3D<double> Fft2Complex(std::span<const double> real,
                             std::span<const double> imag,
                             int width,
                             int height)
{
    return ForwardCentred<double>(real, imag, width, height);
}

Planes3D<double> Fft2Inverse(const Planes3D<double>& spectrum)
{
    const int n = spectrum.rows();
    if (spectrum.planes() != 2 || spectrum.cols() != n || !IsPowerOfTwo(n) || n < 2) return {};
    const int half = n / 2;
    std::vector<cd> buffer(static_cast<std::size_t>(n) * n);
    for (int r = 0; r < n; ++r) {
        const double* re = spectrum.Row(0, (r + half) % n);
        const double* im = spectrum.Row(1, (r + half) % n);
        cd* target = &buffer[static_cast<std::size_t>(r) * n];
        for (int c = 0; c < n; ++c) target[c] = cd(re[(c + half) % n], im[(c + half) % n]);
    }
    FftPlan(n).Transform2D(buffer.data(), FftDirection::Inverse);
    Planes3D<double> out(1, n, n);
    for (std::size_t i = 0; i < buffer.size(); ++i) out.data()[i] = buffer[i].real();
    return out;
}

Planes3D<double> PowerSpectrum(const Planes3D<double>& spectrum)
{
    if (spectrum.planes() != 2) return {};
    Planes3D<double> out(1, spectrum.rows(), spectrum.cols());
    const auto re = spectrum.Plane(0);
    const auto im = spectrum.Plane(1);
    for (std::size_t i = 0; i < re.size(); ++i) out.data()[i] = re[i] * re[i] + im[i] * im[i];
    return out;
}

template <class T>
void QuadrantSwap(Planes3D<T>& array)
{
    const int rows = array.rows(), cols = array.cols();
    const int halfRows = rows / 2, halfCols = cols / 2;
    for (int p = 0; p < array.planes(); ++p) {
        for (int r = 0; r < halfRows; ++r) {
            T* top = array.Row(p, r);
            T* bottom = array.Row(p, r + halfRows);
            for (int c = 0; c < halfCols; ++c) {
                std::swap(top[c], bottom[c + halfCols]);
                std::swap(top[c + halfCols], bottom[c]);
            }
        }
    }
}

template <class T>
Planes3D<T> RotateLeft(const Planes3D<T>& array)
{
    const int rows = array.rows(), cols = array.cols();
    Planes3D<T> out(array.planes(), cols, rows);
    for (int p = 0; p < array.planes(); ++p) {
        for (int r = 0; r < cols; ++r) {
            for (int c = 0; c < rows; ++c) out(p, r, c) = array(p, c, cols - 1 - r);
        }
    }
    return out;
}

template <class T>
Planes3D<T> RotateRight(const Planes3D<T>& array)
{
    const int rows = array.rows(), cols = array.cols();
    Planes3D<T> out(array.planes(), cols, rows);
    for (int p = 0; p < array.planes(); ++p) {
        for (int r = 0; r < cols; ++r) {
            for (int c = 0; c < rows; ++c) out(p, r, c) = array(p, rows - 1 - c, r);
        }
    }
    return out;
}

template void QuadrantSwap(Planes3D<double>&);
template void QuadrantSwap(Planes3D<std::int16_t>&);
template Planes3D<double> RotateLeft(const Planes3D<double>&);
template Planes3D<std::int16_t> RotateLeft(const Planes3D<std::int16_t>&);
template Planes3D<double> RotateRight(const Planes3D<double>&);
template Planes3D<std::int16_t> RotateRight(const Planes3D<std::int16_t>&);

}  // namespace frontlys
