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

#include "core/large_buffer.h"
#include "core/thread_pool.h"

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
// The loops over the radix run out in full, so that the butterfly's values stay in registers.
#define FRONTLYS_UNROLL _Pragma("GCC unroll 8")
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
// The same product with the twiddle as x and Swap(x) * (-1, 1, -1, 1) given as xs, for loops that
// reuse one twiddle: a multiplication fewer, and the same bits (the sign moves exactly).
FRONTLYS_INLINE V2c Mul(V2c x, V2c xs, V2c w)
{
    const V2c wr = FRONTLYS_SHUFFLE(w, w, 0, 0, 2, 2);
    const V2c wi = FRONTLYS_SHUFFLE(w, w, 1, 1, 3, 3);
    return x * wr + xs * wi;
}
template <bool kInverse>
FRONTLYS_INLINE V2c TimesSignI(V2c x)  // i x forward, -i x inverse
{
    return kInverse ? Swap(x) * V2c{1, -1, 1, -1} : Swap(x) * V2c{-1, 1, -1, 1};
}

// Four complex numbers in one vector, for the AVX-512 build of the stages: each lane goes through
// the expressions of V2c's, products fused into sums as in the AVX2 build, so the bits are the same.
typedef double V4c __attribute__((vector_size(64)));
typedef long long V4i __attribute__((vector_size(64)));
#if defined(__clang__)
#define FRONTLYS_SHUFFLE8(a, i, j, k, l, m, n, o, p) __builtin_shufflevector(a, a, i, j, k, l, m, n, o, p)
#else
#define FRONTLYS_SHUFFLE8(a, i, j, k, l, m, n, o, p) __builtin_shuffle(a, V4i{i, j, k, l, m, n, o, p})
#endif
FRONTLYS_INLINE V4c Load4(const cd* p)
{
    V4c v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
FRONTLYS_INLINE void Store(cd* p, V4c v) { std::memcpy(static_cast<void*>(p), &v, sizeof v); }
FRONTLYS_INLINE V4c Swap(V4c v) { return FRONTLYS_SHUFFLE8(v, 1, 0, 3, 2, 5, 4, 7, 6); }
FRONTLYS_INLINE V4c Broadcast4(cd w)
{
    return V4c{w.real(), w.imag(), w.real(), w.imag(), w.real(), w.imag(), w.real(), w.imag()};
}
FRONTLYS_INLINE V4c Mul(V4c x, V4c w)
{
    const V4c wr = FRONTLYS_SHUFFLE8(w, 0, 0, 2, 2, 4, 4, 6, 6);
    const V4c wi = FRONTLYS_SHUFFLE8(w, 1, 1, 3, 3, 5, 5, 7, 7);
    return x * wr + Swap(x) * (wi * V4c{-1, 1, -1, 1, -1, 1, -1, 1});
}
FRONTLYS_INLINE V4c Mul(V4c x, V4c xs, V4c w)
{
    const V4c wr = FRONTLYS_SHUFFLE8(w, 0, 0, 2, 2, 4, 4, 6, 6);
    const V4c wi = FRONTLYS_SHUFFLE8(w, 1, 1, 3, 3, 5, 5, 7, 7);
    return x * wr + xs * wi;
}
template <bool kInverse>
FRONTLYS_INLINE V4c SignI(V4c x)
{
    return kInverse ? Swap(x) * V4c{1, -1, 1, -1, 1, -1, 1, -1} : Swap(x) * V4c{-1, 1, -1, 1, -1, 1, -1, 1};
}
FRONTLYS_INLINE V4c Times(V4c x, cd w) { return Mul(x, Broadcast4(w)); }

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

// The short transforms every stage is built of, on values of either type: y = DFT_R(x), with the
// sign of the direction. Written out so that the compiler keeps them in registers.
template <bool kInverse, class T>
FRONTLYS_INLINE void Dft(const T (&x)[2], T (&y)[2])
{
    y[0] = x[0] + x[1];
    y[1] = x[0] - x[1];
}

template <bool kInverse, class T>
FRONTLYS_INLINE void Dft(const T (&x)[3], T (&y)[3])
{
    constexpr double kSin60 = 0.86602540378443864676;
    const T sum = x[1] + x[2];
    const T mid = x[0] - 0.5 * sum;
    const T rot = SignI<kInverse>(kSin60 * (x[1] - x[2]));
    y[0] = x[0] + sum;
    y[1] = mid - rot;
    y[2] = mid + rot;
}

template <bool kInverse, class T>
FRONTLYS_INLINE void Dft(const T (&x)[4], T (&y)[4])
{
    const T apc = x[0] + x[2], amc = x[0] - x[2], bpd = x[1] + x[3];
    const T jbmd = SignI<kInverse>(x[1] - x[3]);
    y[0] = apc + bpd;
    y[1] = amc - jbmd;
    y[2] = apc - bpd;
    y[3] = amc + jbmd;
}

template <bool kInverse, class T>
FRONTLYS_INLINE void Dft(const T (&x)[5], T (&y)[5])
{
    constexpr double c1 = 0.30901699437494742410, c2 = -0.80901699437494742410;  // cos(2 pi k / 5)
    constexpr double s1 = 0.95105651629515357212, s2 = 0.58778525229247312917;   // sin(2 pi k / 5)
    const T a1 = x[1] + x[4], b1 = x[1] - x[4], a2 = x[2] + x[3], b2 = x[2] - x[3];
    const T r1 = x[0] + c1 * a1 + c2 * a2, r2 = x[0] + c2 * a1 + c1 * a2;
    const T i1 = SignI<kInverse>(s1 * b1 + s2 * b2), i2 = SignI<kInverse>(s2 * b1 - s1 * b2);
    y[0] = x[0] + a1 + a2;
    y[1] = r1 - i1;
    y[4] = r1 + i1;
    y[2] = r2 - i2;
    y[3] = r2 + i2;
}

// Two length-4 transforms of the even and odd elements, joined with w^k = exp(-+ i pi k / 4).
template <bool kInverse, class T>
FRONTLYS_INLINE void Dft(const T (&x)[8], T (&y)[8])
{
    constexpr double h = std::numbers::sqrt2 / 2;
    constexpr cd w1 = kInverse ? cd(h, h) : cd(h, -h);
    constexpr cd w3 = kInverse ? cd(-h, h) : cd(-h, -h);
    const T even[4] = {x[0], x[2], x[4], x[6]}, odd[4] = {x[1], x[3], x[5], x[7]};
    T e[4], o[4];
    Dft<kInverse>(even, e);
    Dft<kInverse>(odd, o);
    const T o1 = Times(o[1], w1), o2 = -SignI<kInverse>(o[2]), o3 = Times(o[3], w3);
    y[0] = e[0] + o[0];
    y[4] = e[0] - o[0];
    y[1] = e[1] + o1;
    y[5] = e[1] - o1;
    y[2] = e[2] + o2;
    y[6] = e[2] - o2;
    y[3] = e[3] + o3;
    y[7] = e[3] - o3;
}

// One Stockham stage of radix R: `m` = span / R, where span is the sub-transform length entering
// the stage, over `count` interleaved sub-transforms q. Element j of butterfly p is
// x[sIn (p + j m) + q]; output k goes, times w^(k p) (w = exp(-+ 2 pi i / span), the array
// tw + (k - 1) m), to y[sOut (R p + k) + q], self-sorted. Within a transform sIn = sOut = count;
// the first and last stages of a strip of columns read and write the array itself. Two elements at
// a time: along q when there are several, else along p.
// kWide: four elements at a time along q where there are four (the AVX-512 build).
template <int R, bool kInverse, bool kWide = false>
FRONTLYS_INLINE void Stage(
    const cd* x, cd* y, int m, std::ptrdiff_t sIn, std::ptrdiff_t sOut, std::ptrdiff_t count, const cd* tw)
{
    if (count == 1 && sIn == 1 && sOut == 1 && m >= 2) {
        int p = 0;
        for (; p + 1 < m; p += 2) {
            V2c a[R], b[R];
            FRONTLYS_UNROLL
            for (int j = 0; j < R; ++j) a[j] = Load(x + p + j * m);
            Dft<kInverse>(a, b);
            FRONTLYS_UNROLL
            for (int k = 1; k < R; ++k) b[k] = Mul(Load(tw + (k - 1) * m + p), b[k]);
            cd* out = y + R * p;  // outputs R p .. R p + R - 1, then the same for p + 1
            int k = 0;
            FRONTLYS_UNROLL
            for (; k + 1 < R; k += 2) {
                Store(out + k, FRONTLYS_SHUFFLE(b[k], b[k + 1], 0, 1, 4, 5));
                Store(out + R + k, FRONTLYS_SHUFFLE(b[k], b[k + 1], 2, 3, 6, 7));
            }
            if (k < R) {
                std::memcpy(static_cast<void*>(out + k), &b[k], sizeof(cd));
                std::memcpy(static_cast<void*>(out + R + k),
                            reinterpret_cast<const char*>(&b[k]) + sizeof(cd),
                            sizeof(cd));
            }
        }
        for (; p < m; ++p) {
            cd a[R], b[R];
            FRONTLYS_UNROLL
            for (int j = 0; j < R; ++j) a[j] = x[p + j * m];
            Dft<kInverse>(a, b);
            y[R * p] = b[0];
            FRONTLYS_UNROLL
            for (int k = 1; k < R; ++k) y[R * p + k] = Mul(tw[(k - 1) * m + p], b[k]);
        }
        return;
    }
    for (int p = 0; p < m; ++p) {
        const cd* in = x + sIn * p;
        cd* out = y + sOut * R * p;
        cd w[R];
        V2c wv[R], ws[R];
        FRONTLYS_UNROLL
        for (int k = 1; k < R; ++k) {
            w[k] = m > 1 ? tw[(k - 1) * m + p] : cd(1.0);
            wv[k] = Broadcast(w[k]);
            ws[k] = Swap(wv[k]) * V2c{-1, 1, -1, 1};
        }
        std::ptrdiff_t q = 0;
        if constexpr (kWide) {
            V4c wv4[R], ws4[R];
            FRONTLYS_UNROLL
            for (int k = 1; k < R; ++k) {
                wv4[k] = Broadcast4(w[k]);
                ws4[k] = Swap(wv4[k]) * V4c{-1, 1, -1, 1, -1, 1, -1, 1};
            }
            for (; q + 3 < count; q += 4) {
                V4c a[R], b[R];
                FRONTLYS_UNROLL
                for (int j = 0; j < R; ++j) a[j] = Load4(in + sIn * j * m + q);
                Dft<kInverse>(a, b);
                Store(out + q, b[0]);
                if (m > 1) {
                    FRONTLYS_UNROLL
                    for (int k = 1; k < R; ++k) Store(out + sOut * k + q, Mul(wv4[k], ws4[k], b[k]));
                } else {
                    FRONTLYS_UNROLL
                    for (int k = 1; k < R; ++k) Store(out + sOut * k + q, b[k]);
                }
            }
        }
        for (; q + 1 < count; q += 2) {
            V2c a[R], b[R];
            FRONTLYS_UNROLL
            for (int j = 0; j < R; ++j) a[j] = Load(in + sIn * j * m + q);
            Dft<kInverse>(a, b);
            Store(out + q, b[0]);
            if (m > 1) {
                FRONTLYS_UNROLL
                for (int k = 1; k < R; ++k) Store(out + sOut * k + q, Mul(wv[k], ws[k], b[k]));
            } else {
                FRONTLYS_UNROLL
                for (int k = 1; k < R; ++k) Store(out + sOut * k + q, b[k]);
            }
        }
        for (; q < count; ++q) {
            cd a[R], b[R];
            FRONTLYS_UNROLL
            for (int j = 0; j < R; ++j) a[j] = in[sIn * j * m + q];
            Dft<kInverse>(a, b);
            out[q] = b[0];
            FRONTLYS_UNROLL
            for (int k = 1; k < R; ++k) out[sOut * k + q] = m > 1 ? Mul(w[k], b[k]) : b[k];
        }
    }
}

// The butterflies are compiled twice, with and without AVX2/FMA, and the loader picks one. Where
// the processor has AVX-512, the stages with four or more interleaved sub-transforms run a third
// build that takes four at a time (WideStages, chosen in RunStage).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_FFT_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#define FRONTLYS_FFT_WIDE __attribute__((target("arch=x86-64-v4")))
#define FRONTLYS_FFT_HAS_WIDE true
bool HasWideStages()
{
    static const bool wide = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512cd");
    return wide;
}
#else
#define FRONTLYS_FFT_CLONES
#define FRONTLYS_FFT_WIDE
#define FRONTLYS_FFT_HAS_WIDE false
bool HasWideStages() { return false; }
#endif

// `batch` transforms `batchStride` elements apart (in x and in y) go through the stage in one call:
// short rows cost little more than the call.
struct StageCall {
    const cd* x;
    cd* y;
    int m;
    std::ptrdiff_t sIn, sOut, count;
    const cd* tw;
    bool inverse;
    int batch = 1;
    std::ptrdiff_t batchStride = 0;
};

#define FRONTLYS_STAGE_AS(NAME, R, ATTRIBUTES, WIDE)                            \
    ATTRIBUTES void NAME(const StageCall& c)                                    \
    {                                                                           \
        for (int b = 0; b < c.batch; ++b) {                                     \
            const cd* x = c.x + b * c.batchStride;                              \
            cd* y = c.y + b * c.batchStride;                                    \
            if (c.inverse) {                                                    \
                Stage<R, true, WIDE>(x, y, c.m, c.sIn, c.sOut, c.count, c.tw);  \
            } else {                                                            \
                Stage<R, false, WIDE>(x, y, c.m, c.sIn, c.sOut, c.count, c.tw); \
            }                                                                   \
        }                                                                       \
    }
#define FRONTLYS_STAGE(R)                                                 \
    FRONTLYS_FFT_CLONES void Stage##R(const StageCall& c)                 \
    {                                                                     \
        if (c.inverse) {                                                  \
            Stage<R, true>(c.x, c.y, c.m, c.sIn, c.sOut, c.count, c.tw);  \
        } else {                                                          \
            Stage<R, false>(c.x, c.y, c.m, c.sIn, c.sOut, c.count, c.tw); \
        }                                                                 \
    }                                                                     \
    FRONTLYS_STAGE_AS(Stages##R, R, FRONTLYS_FFT_CLONES, false)
FRONTLYS_STAGE(2)
FRONTLYS_STAGE(3)
FRONTLYS_STAGE(4)
FRONTLYS_STAGE(5)
FRONTLYS_STAGE(8)
FRONTLYS_STAGE_AS(WideStages2, 2, FRONTLYS_FFT_WIDE, FRONTLYS_FFT_HAS_WIDE)
FRONTLYS_STAGE_AS(WideStages3, 3, FRONTLYS_FFT_WIDE, FRONTLYS_FFT_HAS_WIDE)
FRONTLYS_STAGE_AS(WideStages5, 5, FRONTLYS_FFT_WIDE, FRONTLYS_FFT_HAS_WIDE)
#undef FRONTLYS_STAGE
#undef FRONTLYS_STAGE_AS

// A single transform goes through the plain stage, compiled as if batches did not exist.
void RunStage(int radix, const StageCall& call)
{
    // The wide radix-4 and radix-8 stages measured slower (the power-of-two real transforms).
    if (call.count >= 4 && radix != 4 && radix != 8 && HasWideStages()) {
        switch (radix) {
            case 2:
                return WideStages2(call);
            case 3:
                return WideStages3(call);
            default:
                return WideStages5(call);
        }
    }
    const bool one = call.batch == 1;
    switch (radix) {
        case 2:
            return one ? Stage2(call) : Stages2(call);
        case 3:
            return one ? Stage3(call) : Stages3(call);
        case 4:
            return one ? Stage4(call) : Stages4(call);
        case 5:
            return one ? Stage5(call) : Stages5(call);
        default:
            return one ? Stage8(call) : Stages8(call);
    }
}

// The radices of n = 2^a 3^b 5^c, in the order of the stages: fours first, so that the strides of
// the later stages are even and pair up; an odd power of two ends in an eight (a two for n = 2),
// joined by the threes and fives after it. Below 256, where each stage's overhead counts, as many
// eights as leave no lone two (64: two stages of eight instead of three of four); above, the fours
// measured faster.
std::vector<int> Radices(int n)
{
    const int size = n;
    int twos = 0, threes = 0, fives = 0;
    for (; n % 2 == 0; n /= 2) ++twos;
    for (; n % 3 == 0; n /= 3) ++threes;
    for (; n % 5 == 0; n /= 5) ++fives;
    std::vector<int> radices;
    if (size < 256) {
        int eights = twos / 3, rest = twos % 3;
        if (rest == 1 && eights > 0) {  // 8 * 2 becomes 4 * 4
            --eights;
            rest = 4;
        }
        if (rest == 1) radices.push_back(2);
        if (rest >= 2) radices.push_back(4);
        if (rest == 4) radices.push_back(4);
        radices.insert(radices.end(), eights, 8);
    } else {
        const bool odd = twos % 2 == 1;
        for (int i = 0; i < twos / 2 - (odd && twos >= 3 ? 1 : 0); ++i) radices.push_back(4);
        if (odd) radices.push_back(twos >= 3 ? 8 : 2);
    }
    radices.insert(radices.end(), fives, 5);
    radices.insert(radices.end(), threes, 3);
    return radices;
}

// The real-row helpers of RealFft2Plan, two complex values at a time.

// row[c] = a[c] + i b[c].
FRONTLYS_FFT_CLONES void PackRows(const double* a, const double* b, cd* row, int n)
{
    int c = 0;
    for (; c + 3 < n; c += 4) {
        V2c va, vb;
        std::memcpy(&va, a + c, sizeof va);
        std::memcpy(&vb, b + c, sizeof vb);
        Store(row + c, FRONTLYS_SHUFFLE(va, vb, 0, 4, 1, 5));
        Store(row + c + 2, FRONTLYS_SHUFFLE(va, vb, 2, 6, 3, 7));
    }
    for (; c < n; ++c) row[c] = cd(a[c], b ? b[c] : 0.0);
}

// a[c] = Re z[c], b[c] = Im z[c].
FRONTLYS_FFT_CLONES void UnpackRows(const cd* z, double* a, double* b, int n)
{
    int c = 0;
    for (; c + 3 < n; c += 4) {
        const V2c lo = Load(z + c), hi = Load(z + c + 2);
        const V2c va = FRONTLYS_SHUFFLE(lo, hi, 0, 2, 4, 6), vb = FRONTLYS_SHUFFLE(lo, hi, 1, 3, 5, 7);
        std::memcpy(a + c, &va, sizeof va);
        std::memcpy(b + c, &vb, sizeof vb);
    }
    for (; c < n; ++c) {
        a[c] = z[c].real();
        b[c] = z[c].imag();
    }
}

// (z[n-k], z[n-k-1]) conjugated, from the pair loaded at z + n - k - 1.
FRONTLYS_INLINE V2c ReversedConj(V2c v) { return FRONTLYS_SHUFFLE(v, v, 2, 3, 0, 1) * V2c{1, -1, 1, -1}; }

// From the transform z of a + i b: ha[k] = (z[k] + conj z[n-k]) / 2 and hb[k] = (z[k] - conj z[n-k]) / 2i,
// for k = 0 .. hw - 1.
FRONTLYS_FFT_CLONES void SplitRows(const cd* z, cd* ha, cd* hb, int n, int hw)
{
    const auto one = [&](int k) {
        const cd zk = z[k], zc = std::conj(z[k == 0 ? 0 : n - k]);
        ha[k] = 0.5 * (zk + zc);
        const cd d = 0.5 * (zk - zc);
        hb[k] = cd(d.imag(), -d.real());
    };
    one(0);
    int k = 1;
    for (; k + 1 < hw && n - k - 1 >= k + 1; k += 2) {
        const V2c zk = Load(z + k), zc = ReversedConj(Load(z + n - k - 1));
        Store(ha + k, 0.5 * (zk + zc));
        const V2c d = 0.5 * (zk - zc);
        Store(hb + k, Swap(d) * V2c{1, -1, 1, -1});
    }
    for (; k < hw; ++k) one(k);
}

// row[k] = A[k] + i B[k] over the whole row, A and B Hermitian with halves ha and hb.
FRONTLYS_FFT_CLONES void JoinRows(const cd* ha, const cd* hb, cd* row, int n, int hw)
{
    int k = 0;
    for (; k + 1 < hw; k += 2) Store(row + k, Load(ha + k) + Swap(Load(hb + k)) * V2c{-1, 1, -1, 1});
    for (; k < hw; ++k) row[k] = ha[k] + cd(-hb[k].imag(), hb[k].real());
    // conj(a) + i conj(b) = (a.re + b.im, b.re - a.im)
    for (; k < n; ++k) {
        const cd a = ha[n - k], b = hb[n - k];
        row[k] = cd(a.real() + b.imag(), b.real() - a.imag());
    }
}

// y[k] = sum of f[u] turn[u] over u = k, k + m, ... < n, in that order: the plain loop's products
// (re = a.re b.re - a.im b.im, im = a.re b.im + a.im b.re) and sums, two k at a time and without
// std::complex's recovery of NaN products. Kept out of the clones above, so that no product is
// fused into its sum.
void Fold(const cd* f, const cd* turn, int n, int m, cd* y)
{
    int k = 0;
    for (; k + 1 < m; k += 2) {
        V2c sum{0, 0, 0, 0};
        for (int u = k; u < n; u += m) sum += Mul(Load(f + u), Load(turn + u));
        Store(y + k, sum);
    }
    for (; k < m; ++k) {
        cd sum = 0;
        for (int u = k; u < n; u += m) sum += Mul(f[u], turn[u]);
        y[k] = sum;
    }
}

// Columns per strip: a strip of n rows holds about 256 KiB.
// Transforms under this size run on the calling thread alone: below it, handing the work to the pool
// costs about what the second thread saves.
constexpr int kPoolMinSize = 256;

// Strips of 256 KiB where that gives 16 columns or more (columns of up to kLongColumn rows). Narrower strips
// of long columns measured fastest at one cache line per row (4 columns), except where the row stride is a
// multiple of 4 KiB: there every row falls in the same cache sets, and 32 columns (8 lines a row) measured
// fastest.
constexpr int kLongColumn = 1024;

// Rows of n elements transformed in one pass: a block and its scratch fill about half the first-level
// cache (a single row from 1024 elements on).
int RowBlock(int n) { return std::max(1, 1024 / std::max(n, 1)); }

int StripWidth(int n, std::ptrdiff_t rowStride)
{
    n = std::max(n, 1);
    if (n <= kLongColumn) return std::min(16384 / n, n);
    return rowStride * static_cast<std::ptrdiff_t>(sizeof(cd)) % 4096 == 0 ? 32 : 4;
}

}  // namespace

bool IsPowerOfTwo(int n) { return n >= 1 && (n & (n - 1)) == 0; }

bool IsFastFftSize(int n)
{
    if (n < 1) return false;
    for (int f : {2, 3, 5})
        while (n % f == 0) n /= f;
    return n == 1;
}

int FastFftSize(int n)
{
    if (n <= 1) return 1;
    if (n > kMaxFastFftSize) return 0;
    int best = kMaxFastFftSize;
    for (long long p5 = 1; p5 < 2LL * n; p5 *= 5) {
        for (long long p35 = p5; p35 < 2LL * n; p35 *= 3) {
            long long size = p35;
            while (size < n) size *= 2;
            best = std::min<long long>(best, size);
        }
    }
    return best;
}

int FftSize(int width, int height)
{
    int n = 2;
    while (n < width || n < height) n *= 2;
    return n;
}

FftPlan::FftPlan(int n) : m_n(n)
{
    assert(IsFastFftSize(n));
    int span = n;
    for (int radix : Radices(n)) {
        Stage stage{span, radix, {}, {}};
        const int m = span / radix;
        if (m > 1) {
            const double theta = -2.0 * std::numbers::pi / span;
            for (int j = 1; j < radix; ++j) {
                for (int p = 0; p < m; ++p) {
                    const double angle = theta * j * p;
                    stage.forward.emplace_back(std::cos(angle), std::sin(angle));
                    stage.inverse.emplace_back(std::cos(angle), -std::sin(angle));
                }
            }
        }
        m_stages.push_back(std::move(stage));
        span = m;
    }
}

cd* FftPlan::Run(cd* data, cd* scratch, int lanes, FftDirection direction, int batch) const
{
    const bool inverse = direction == FftDirection::Inverse;
    const std::ptrdiff_t length = static_cast<std::ptrdiff_t>(m_n) * lanes;
    cd* x = data;
    cd* y = scratch;
    std::ptrdiff_t stride = lanes;
    for (const Stage& stage : m_stages) {
        const cd* tw = (inverse ? stage.inverse : stage.forward).data();
        RunStage(stage.radix,
                 {x, y, stage.span / stage.radix, stride, stride, stride, tw, inverse, batch, length});
        std::swap(x, y);
        stride *= stage.radix;
    }
    return x;
}

const cd* FftPlan::RunFrom(const cd* source, cd* a, cd* b, FftDirection direction) const
{
    const bool inverse = direction == FftDirection::Inverse;
    const cd* x = source;
    cd* y = a;
    std::ptrdiff_t stride = 1;
    for (const Stage& stage : m_stages) {
        const cd* tw = (inverse ? stage.inverse : stage.forward).data();
        RunStage(stage.radix, {x, y, stage.span / stage.radix, stride, stride, stride, tw, inverse, 1, m_n});
        x = y;
        y = y == a ? b : a;
        stride *= stage.radix;
    }
    return x;
}

namespace {

// The rows of a strip of columns lie a page or more apart, where the hardware prefetcher does not
// follow: all of them are asked for at once, so that their misses overlap rather than stall the
// first stage one after another. They are written back by the last stage, hence the write hint.
// Shorter columns are mostly in cache already: there the hints measured no gain.
void PrefetchStrip(const cd* data, std::ptrdiff_t rowStride, int rows, int lanes)
{
    for (int r = 0; r < rows; ++r) {
        const char* first = reinterpret_cast<const char*>(data + r * rowStride);
        const char* last = reinterpret_cast<const char*>(data + r * rowStride + lanes) - 1;
        for (const char* p = first; p <= last; p += 64) __builtin_prefetch(p, 1, 3);
        __builtin_prefetch(last, 1, 3);
    }
}

}  // namespace

// The first stage reads the columns where they lie and the last writes them back, so that a strip
// needs no copy in or out; the stages between run over a and b.
void FftPlan::RunColumns(
    cd* data, std::ptrdiff_t rowStride, int lanes, cd* a, cd* b, FftDirection direction) const
{
    if (m_n > kLongColumn) PrefetchStrip(data, rowStride, m_n, lanes);
    const bool inverse = direction == FftDirection::Inverse;
    const int last = static_cast<int>(m_stages.size()) - 1;
    const cd* x = data;
    std::ptrdiff_t sIn = rowStride, stride = lanes;
    cd* y = a;
    for (int i = 0; i < last; ++i) {
        const Stage& stage = m_stages[i];
        const cd* tw = (inverse ? stage.inverse : stage.forward).data();
        RunStage(stage.radix, {x, y, stage.span / stage.radix, sIn, stride, stride, tw, inverse});
        x = y;
        y = y == a ? b : a;
        stride *= stage.radix;
        sIn = stride;
    }
    // The last stage (span = radix, no twiddle) writes element e of lane l to data[e rowStride + l].
    const Stage& stage = m_stages[last];
    const std::ptrdiff_t groups = last == 0 ? 1 : stride / lanes;
    const std::ptrdiff_t inStride = last == 0 ? rowStride : stride;
    for (std::ptrdiff_t g = 0; g < groups; ++g)
        RunStage(
            stage.radix,
            {x + g * lanes, data + g * rowStride, 1, inStride, groups * rowStride, lanes, nullptr, inverse});
}

void FftPlan::RunInPlace(cd* data, cd* scratch, int lanes, FftDirection direction, cd* spare, int batch) const
{
    const std::size_t stages = m_stages.size();
    const std::ptrdiff_t length = static_cast<std::ptrdiff_t>(m_n) * lanes;
    if (spare && stages >= 3 && stages % 2 == 1) {
        // An odd number of stages would end in scratch: data -> scratch -> spare ... -> data instead,
        // the last stage writing the result where it belongs, with no copy.
        const bool inverse = direction == FftDirection::Inverse;
        const cd* x = data;
        cd* y = scratch;
        std::ptrdiff_t stride = lanes;
        for (std::size_t i = 0; i < stages; ++i) {
            const Stage& stage = m_stages[i];
            const cd* tw = (inverse ? stage.inverse : stage.forward).data();
            RunStage(stage.radix,
                     {x, y, stage.span / stage.radix, stride, stride, stride, tw, inverse, batch, length});
            x = y;
            y = i + 2 == stages ? data : (y == scratch ? spare : scratch);
            stride *= stage.radix;
        }
        return;
    }
    const cd* result = Run(data, scratch, lanes, direction, batch);
    if (result != data) std::memcpy(data, result, sizeof(cd) * static_cast<std::size_t>(length) * batch);
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
    if (m_n <= 1) return;
    cd* scratch = Scratch(2 * static_cast<std::size_t>(m_n));
    RunInPlace(data, scratch, 1, direction, scratch + m_n);
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

void FftPlan::TaskBuffers(int tasks, std::size_t elements) const
{
    if (m_tasks.size() < 2 * static_cast<std::size_t>(tasks))
        m_tasks.resize(2 * static_cast<std::size_t>(tasks));
    for (auto& buffer : m_tasks)
        if (buffer.size() < elements) buffer.resize(elements);
}

void FftPlan::ForStrips(int columns,
                        std::ptrdiff_t rowStride,
                        const std::function<void(int, int, cd*, cd*)>& body) const
{
    const int n = m_n;
    const int width = std::min(StripWidth(n, rowStride), columns);
    const int strips = (columns + width - 1) / width;
    // Small transforms stay on the calling thread: the pool's hand-over would cost more.
    const int tasks = n < kPoolMinSize ? 1 : std::clamp(ThreadCount(), 1, strips);
    const std::size_t elements = static_cast<std::size_t>(n) * width;
    if (tasks == 1) {
        cd* a = Strip(elements);
        cd* b = Scratch(elements);
        for (int c0 = 0; c0 < columns; c0 += width) body(c0, std::min(width, columns - c0), a, b);
        return;
    }
    TaskBuffers(tasks, elements);
    ParallelFor(tasks, [&](int t) {
        cd* a = m_tasks[2 * static_cast<std::size_t>(t)].data();
        cd* b = m_tasks[2 * static_cast<std::size_t>(t) + 1].data();
        for (int s = t; s < strips; s += tasks) body(s * width, std::min(width, columns - s * width), a, b);
    });
}

void FftPlan::TransformColumns(cd* data, int columns, std::ptrdiff_t rowStride, FftDirection direction) const
{
    if (m_n == 1 || columns <= 0) return;
    ForStrips(columns, rowStride, [&](int c0, int w, cd* a, cd* b) {
        RunColumns(data + c0, rowStride, w, a, b, direction);
    });
}

void FftPlan::FilterColumns(cd* data, int columns, const double* filter) const
{
    const int n = m_n;
    if (columns <= 0) return;
    ForStrips(columns, columns, [&](int c0, int w, cd* a, cd* b) {
        if (n > 1) RunColumns(data + c0, columns, w, a, b, FftDirection::Forward);
        for (std::ptrdiff_t r = 0; r < n; ++r) {
            const double* f = filter + r * columns + c0;
            cd* s = data + r * columns + c0;
            for (int c = 0; c < w; ++c) s[c] *= f[c];
        }
        if (n > 1) RunColumns(data + c0, columns, w, a, b, FftDirection::Inverse);
    });
}

void FftPlan::TransformRows(cd* data, int rows, FftDirection direction) const
{
    const int n = m_n;
    if (n == 1 || rows <= 0) return;
    // Rows go in blocks that stay in the first-level cache through all their stages; runs of blocks
    // are shared among tasks, whose row's values do not depend on the task.
    const int block = RowBlock(n), blocks = (rows + block - 1) / block;
    const std::size_t elements = 2 * static_cast<std::size_t>(block) * n;
    const auto run = [&](int first, int end, cd* scratch) {
        for (int b = first; b < end; ++b) {
            const int r = b * block, count = std::min(block, rows - r);
            RunInPlace(data + static_cast<std::ptrdiff_t>(r) * n,
                       scratch,
                       1,
                       direction,
                       scratch + static_cast<std::ptrdiff_t>(count) * n,
                       count);
        }
    };
    const int tasks = n < kPoolMinSize ? 1 : std::clamp(ThreadCount(), 1, blocks);
    if (tasks == 1) {
        run(0, blocks, Scratch(elements));
        return;
    }
    TaskBuffers(tasks, elements);
    ParallelFor(tasks, [&](int t) {
        run(blocks * t / tasks, blocks * (t + 1) / tasks, m_tasks[2 * static_cast<std::size_t>(t)].data());
    });
}

void FftPlan::Transform2D(cd* data, FftDirection direction) const
{
    const int n = m_n;
    if (n == 1) return;
    TransformRows(data, n, direction);
    TransformColumns(data, n, n, direction);
}

RealFft2Plan::~RealFft2Plan() { ReleaseLarge(m_half); }

RealFft2Plan::RealFft2Plan(int n)
    : m_n(n), m_plan(n), m_row(static_cast<std::size_t>(n)), m_scratch(m_row.size())
{
    assert(n >= 2 && IsFastFftSize(n));
}

// Rows 2p and 2p+1 travel as the real and imaginary parts of one complex row: with Z its transform,
// A[k] = (Z[k] + conj Z[n-k]) / 2 and B[k] = (Z[k] - conj Z[n-k]) / 2i. When n is odd the last row
// travels alone, with a zero imaginary part.
void RealFft2Plan::ForRowPairs(int rows, const std::function<void(int, int, cd*, cd*)>& body)
{
    const int n = m_n, pairs = (rows + 1) / 2;
    const int tasks = n < kPoolMinSize ? 1 : std::clamp(ThreadCount(), 1, std::max(1, pairs));
    if (tasks == 1) {
        body(0, rows, m_row.data(), m_scratch.data());
        return;
    }
    if (m_taskRows.size() < 2 * static_cast<std::size_t>(tasks))
        m_taskRows.resize(2 * static_cast<std::size_t>(tasks), std::vector<cd>(static_cast<std::size_t>(n)));
    // Contiguous runs of row pairs, one a task.
    ParallelFor(tasks, [&](int t) {
        const int first = 2 * (pairs * t / tasks), end = std::min(rows, 2 * (pairs * (t + 1) / tasks));
        body(first,
             end,
             m_taskRows[2 * static_cast<std::size_t>(t)].data(),
             m_taskRows[2 * static_cast<std::size_t>(t) + 1].data());
    });
}

void RealFft2Plan::ForwardRows(const double* input, cd* half)
{
    const int n = m_n, hw = halfWidth();
    ForRowPairs(n, [&](int first, int end, cd* row, cd* scratch) {
        for (int r = first; r < end; r += 2) {
            const double* a = input + static_cast<std::ptrdiff_t>(r) * n;
            const bool pair = r + 1 < n;
            if (pair) {
                PackRows(a, a + n, row, n);
            } else {
                for (int c = 0; c < n; ++c) row[c] = cd(a[c], 0.0);
            }
            const cd* z = m_plan.Run(row, scratch, 1, FftDirection::Forward);
            cd* ha = half + static_cast<std::ptrdiff_t>(r) * hw;
            if (pair) {
                SplitRows(z, ha, ha + hw, n, hw);
            } else {
                for (int k = 0; k < hw; ++k) ha[k] = 0.5 * (z[k] + std::conj(z[k == 0 ? 0 : n - k]));
            }
        }
    });
}

// Each pair of rows rebuilt as A + iB over the full row (A and B Hermitian), whose inverse
// transform carries row 2p in its real and row 2p+1 in its imaginary part.
void RealFft2Plan::InverseRows(const cd* half, double* output)
{
    const int n = m_n, hw = halfWidth();
    ForRowPairs(n, [&](int first, int end, cd* row, cd* scratch) {
        for (int r = first; r < end; r += 2) {
            const cd* ha = half + static_cast<std::ptrdiff_t>(r) * hw;
            const bool pair = r + 1 < n;
            if (pair) {
                JoinRows(ha, ha + hw, row, n, hw);
            } else {
                for (int k = 0; k < hw; ++k) row[k] = ha[k];
                for (int k = hw; k < n; ++k) row[k] = std::conj(ha[n - k]);
            }
            const cd* z = m_plan.Run(row, scratch, 1, FftDirection::Inverse);
            double* a = output + static_cast<std::ptrdiff_t>(r) * n;
            if (pair) {
                UnpackRows(z, a, a + n, n);
            } else {
                for (int c = 0; c < n; ++c) a[c] = z[c].real();
            }
        }
    });
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
    ReserveLarge(m_half, static_cast<std::size_t>(n) * hw);
    m_half.resize(static_cast<std::size_t>(n) * hw);
    ForwardRows(input, m_half.data());
    m_plan.FilterColumns(m_half.data(), hw, filter);
    InverseRows(m_half.data(), output);
}

void RealFft2Plan::FilterSampled(
    const double* input, const double* filter, int start, int step, int count, double* output)
{
    const int n = m_n, hw = halfWidth();
    ReserveLarge(m_half, static_cast<std::size_t>(n) * hw);
    m_half.resize(static_cast<std::size_t>(n) * hw);
    ForwardRows(input, m_half.data());
    m_plan.FilterColumns(m_half.data(), hw, filter);
    // Only the sampled rows go back, two at a time as in InverseRows.
    ForRowPairs(count, [&](int first, int end, cd* row, cd* scratch) {
        for (int j = first; j < end; j += 2) {
            const cd* ha = m_half.data() + static_cast<std::ptrdiff_t>(start + j * step) * hw;
            const bool pair = j + 1 < end;
            if (pair) {
                JoinRows(ha, ha + static_cast<std::ptrdiff_t>(step) * hw, row, n, hw);
            } else {
                for (int k = 0; k < hw; ++k) row[k] = ha[k];
                for (int k = hw; k < n; ++k) row[k] = std::conj(ha[n - k]);
            }
            const cd* z = m_plan.Run(row, scratch, 1, FftDirection::Inverse);
            double* a = output + static_cast<std::ptrdiff_t>(j) * count;
            for (int i = 0; i < count; ++i) a[i] = z[start + i * step].real();
            if (pair)
                for (int i = 0; i < count; ++i) a[count + i] = z[start + i * step].imag();
        }
    });
}

void RealFft2Plan::FilterSampledSeparable(
    const double* input, const double* filter, int start, int step, int count, double* output)
{
    SampleSeparable(input, {}, false, filter, start, step, count, output);
}

void RealFft2Plan::FilterIntensitySampled(
    const cd* field, const double* filter, int start, int step, int count, double* output)
{
    SampleSeparable(nullptr, {field, 0, m_n, m_n}, false, filter, start, step, count, output);
}

void RealFft2Plan::TransformRowsFilterIntensitySampled(
    const cd* field, const double* filter, int start, int step, int count, double* output)
{
    SampleSeparable(nullptr, {field, 0, m_n, m_n}, true, filter, start, step, count, output);
}

void RealFft2Plan::TransformRowsFilterIntensitySampled(
    const StoredColumns& field, const double* filter, int start, int step, int count, double* output)
{
    SampleSeparable(nullptr, field, true, filter, start, step, count, output);
}

void RealFft2Plan::SampleSeparable(const double* input,
                                   const StoredColumns& field,
                                   bool rowsPending,
                                   const double* filter,
                                   int start,
                                   int step,
                                   int count,
                                   double* output)
{
    const int n = m_n;
    // Samples start + j step of the inverse of a length-n spectrum X are those of the length-m
    // inverse of Y[k] = sum_l X[k + l m] w^(k + l m) start, w = exp(2 pi i / n), when m = n / step.
    const bool folded = step > 0 && n % step == 0 && count <= n / step;
    const int m = folded ? n / step : n;
    const FftPlan small(folded ? m : 1);
    std::vector<cd> turn(folded ? n : 0);
    for (std::size_t u = 0; u < turn.size(); ++u) {
        const double a = 2 * std::numbers::pi * double((u * start) % n) / n;
        turn[u] = cd(std::cos(a), std::sin(a)) * filter[u];
    }
    // Two real lines at once as one complex line (the filter is real and even, so they stay apart):
    // z holds the lines, a and b are the samples of each.
    const auto line = [&](cd* z, cd* scratch, cd* y, cd* yScratch, double* a, double* b) {
        cd* f = m_plan.Run(z, scratch, 1, FftDirection::Forward);
        const cd* out = nullptr;
        if (folded) {
            Fold(f, turn.data(), n, m, y);
            out = m > 1 ? small.Run(y, yScratch, 1, FftDirection::Inverse) : y;
            for (int j = 0; j < count; ++j) {
                a[j] = out[j].real();
                b[j] = out[j].imag();
            }
        } else {
            for (int u = 0; u < n; ++u) f[u] *= filter[u];
            out = m_plan.Run(f, f == z ? scratch : z, 1, FftDirection::Inverse);
            for (int j = 0; j < count; ++j) {
                a[j] = out[start + j * step].real();
                b[j] = out[start + j * step].imag();
            }
        }
    };
    // Each task's buffers: the line and its scratch (n each), the folded line and its scratch (m each),
    // and for a field whose rows are still to transform, a row to transform and two pairs of buffers
    // for the transforms of two rows (n each). Kept across calls: a render asks for them again and
    // again.
    const std::size_t rowWork = rowsPending ? 5 * static_cast<std::size_t>(n) : 0;
    const std::size_t taskElements =
        2 * static_cast<std::size_t>(n) + 2 * static_cast<std::size_t>(m) + rowWork;
    // Pairs of lines shared among tasks; each pair's arithmetic is its own whatever the task.
    // load(first line, z, row work) packs a pair, store(first line, a, b) keeps its samples.
    using Load = std::function<void(int, cd*, cd*)>;
    using Store = std::function<void(int, const double*, const double*)>;
    const auto pairs = [&](int lines, const Load& load, const Store& store) {
        const int count2 = (lines + 1) / 2;
        const int tasks = n < kPoolMinSize ? 1 : std::clamp(ThreadCount(), 1, std::max(1, count2));
        if (m_taskLines.size() < static_cast<std::size_t>(tasks)) {
            m_taskLines.resize(tasks);
            m_taskSamples.resize(tasks);
        }
        for (int t = 0; t < tasks; ++t) {
            if (m_taskLines[t].size() < taskElements) m_taskLines[t].resize(taskElements);
            if (m_taskSamples[t].size() < 2 * static_cast<std::size_t>(count))
                m_taskSamples[t].resize(2 * static_cast<std::size_t>(count));
            // The row to transform: the columns outside the field's band stay zero through the call.
            std::fill_n(m_taskLines[t].data() + 2 * n + 2 * m, rowWork > 0 ? n : 0, cd());
        }
        ParallelFor(tasks, [&](int t) {
            cd* z = m_taskLines[t].data();
            double* a = m_taskSamples[t].data();
            double* b = a + count;
            for (int p = count2 * t / tasks; p < count2 * (t + 1) / tasks; ++p) {
                load(2 * p, z, z + 2 * n + 2 * m);
                line(z, z + n, z + 2 * n, z + 2 * n + m, a, b);
                store(2 * p, a, b);
            }
        });
    };
    m_lines.resize(static_cast<std::size_t>(n) * count);
    // Rows: row r of the input to row r of m_lines (count samples).
    pairs(
        n,
        [&](int r, cd* z, cd* rowWork) {
            const bool two = r + 1 < n;
            if (field.data && rowsPending) {
                // Each row's transform (the bits of FftPlan::TransformRows, which gives every row those of
                // its own transform) taken in cache: the transformed rows never go back to memory. Only
                // the band is copied: the columns outside it are the zeros written above, which the
                // transforms leave in place.
                const auto transformed = [&](int row, cd* work) -> const cd* {
                    std::memcpy(static_cast<void*>(rowWork + field.first),
                                field.data + static_cast<std::ptrdiff_t>(row) * field.stride,
                                sizeof(cd) * static_cast<std::size_t>(field.width));
                    return m_plan.RunFrom(rowWork, work, work + n, FftDirection::Forward);
                };
                const cd* x0 = transformed(r, rowWork + n);
                const cd* x1 = two ? transformed(r + 1, rowWork + 3 * n) : nullptr;
                for (int c = 0; c < n; ++c) z[c] = cd(std::norm(x0[c]), two ? std::norm(x1[c]) : 0.0);
                return;
            }
            if (field.data) {
                const cd* x = field.data + static_cast<std::ptrdiff_t>(r) * field.stride;
                for (int c = 0; c < n; ++c) z[c] = cd(std::norm(x[c]), two ? std::norm(x[c + n]) : 0.0);
                return;
            }
            const double* x = input + static_cast<std::ptrdiff_t>(r) * n;
            for (int c = 0; c < n; ++c) z[c] = cd(x[c], two ? x[c + n] : 0.0);
        },
        [&](int r, const double* a, const double* b) {
            std::copy_n(a, count, m_lines.data() + static_cast<std::ptrdiff_t>(r) * count);
            if (r + 1 < n) std::copy_n(b, count, m_lines.data() + static_cast<std::ptrdiff_t>(r + 1) * count);
        });
    // Columns: column i of m_lines to column i of the output.
    pairs(
        count,
        [&](int i, cd* z, cd*) {
            const bool two = i + 1 < count;
            for (int r = 0; r < n; ++r) {
                const double* row = m_lines.data() + static_cast<std::ptrdiff_t>(r) * count;
                z[r] = cd(row[i], two ? row[i + 1] : 0.0);
            }
        },
        [&](int i, const double* a, const double* b) {
            for (int j = 0; j < count; ++j) {
                output[static_cast<std::ptrdiff_t>(j) * count + i] = a[j];
                if (i + 1 < count) output[static_cast<std::ptrdiff_t>(j) * count + i + 1] = b[j];
            }
        });
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
