#include "engine/compensated/bspline_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace frontlys {

namespace {

// Causal and anticausal passes of the z = sqrt(3) - 2 recursion, on `lanes` lines at once, the
// first sample of line l at c + l * laneStride.
void Prefilter(double* c, int n, std::ptrdiff_t stride, int lanes, std::ptrdiff_t laneStride)
{
    const double z = std::sqrt(3.0) - 2;
    const double lambda = (1 - z) * (1 - 1 / z);
    const auto at = [&](int i, int l) -> double& { return c[i * stride + l * laneStride]; };
    for (int i = 0; i < n; ++i)
        for (int l = 0; l < lanes; ++l) at(i, l) *= lambda;
    // Causal initialisation, truncated where z^k is negligible.
    const int horizon = std::min(n, 30);
    for (int l = 0; l < lanes; ++l) {
        double sum = at(0, l);
        double zk = z;
        for (int k = 1; k < horizon; ++k, zk *= z) sum += zk * at(k, l);
        at(0, l) = sum;
    }
    for (int i = 1; i < n; ++i)
        for (int l = 0; l < lanes; ++l) at(i, l) += z * at(i - 1, l);
    for (int l = 0; l < lanes; ++l) at(n - 1, l) = (z / (z * z - 1)) * (z * at(n - 2, l) + at(n - 1, l));
    for (int i = n - 2; i >= 0; --i)
        for (int l = 0; l < lanes; ++l) at(i, l) = z * (at(i + 1, l) - at(i, l));
}

// Compiled with and without AVX2, the loader picking one; no multiply is fused with its add, so both
// give the bits of the one-lane arithmetic.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_SAMPLE_CLONES \
    __attribute__((target_clones("arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_SAMPLE_CLONES
#endif

using V4 = double __attribute__((vector_size(32)));

// A vector from four doubles, and back; by reference, so the ABI without AVX stays out of it.
inline void Load4(V4& v, const double* p) { std::memcpy(&v, p, sizeof v); }
inline void Store4(double* p, const V4& v) { std::memcpy(p, &v, sizeof v); }

// Prefilter for lanes side by side (laneStride 1), four to a vector, in the same order of passes: the
// compiler, unsure that the lines do not overlap, would take one lane at a time.
FRONTLYS_SAMPLE_CLONES void PrefilterAdjacent(double* c, int n, std::ptrdiff_t stride, int lanes)
{
    const double z = std::sqrt(3.0) - 2;
    const double lambda = (1 - z) * (1 - 1 / z);
    const double tail = z / (z * z - 1);
    const int horizon = std::min(n, 30);
    const int wide = lanes / 4 * 4;
    const auto line = [&](int i) { return c + i * stride; };
    for (int i = 0; i < n; ++i) {
        double* r = line(i);
        for (int l = 0; l < wide; l += 4) {
            V4 v;
            Load4(v, r + l);
            Store4(r + l, v * lambda);
        }
        for (int l = wide; l < lanes; ++l) r[l] *= lambda;
    }
    for (int l = 0; l < wide; l += 4) {
        V4 sum, v;
        Load4(sum, line(0) + l);
        double zk = z;
        for (int k = 1; k < horizon; ++k, zk *= z) {
            Load4(v, line(k) + l);
            sum += zk * v;
        }
        Store4(line(0) + l, sum);
    }
    for (int l = wide; l < lanes; ++l) {
        double sum = line(0)[l];
        double zk = z;
        for (int k = 1; k < horizon; ++k, zk *= z) sum += zk * line(k)[l];
        line(0)[l] = sum;
    }
    for (int i = 1; i < n; ++i) {
        double *r = line(i), *p = line(i - 1);
        for (int l = 0; l < wide; l += 4) {
            V4 v, u;
            Load4(v, r + l);
            Load4(u, p + l);
            Store4(r + l, v + z * u);
        }
        for (int l = wide; l < lanes; ++l) r[l] += z * p[l];
    }
    {
        double *r = line(n - 1), *p = line(n - 2);
        for (int l = 0; l < wide; l += 4) {
            V4 v, u;
            Load4(v, r + l);
            Load4(u, p + l);
            Store4(r + l, tail * (z * u + v));
        }
        for (int l = wide; l < lanes; ++l) r[l] = tail * (z * p[l] + r[l]);
    }
    for (int i = n - 2; i >= 0; --i) {
        double *r = line(i), *q = line(i + 1);
        for (int l = 0; l < wide; l += 4) {
            V4 v, u;
            Load4(v, r + l);
            Load4(u, q + l);
            Store4(r + l, z * (u - v));
        }
        for (int l = wide; l < lanes; ++l) r[l] = z * (q[l] - r[l]);
    }
}

}  // namespace

void BSplinePrefilter(double* c, int n, std::ptrdiff_t stride, int lanes, std::ptrdiff_t laneStride)
{
    if (n < 2) return;
    if (laneStride == 1)
        PrefilterAdjacent(c, n, stride, lanes);
    else
        Prefilter(c, n, stride, lanes, laneStride);
}

void BSplinePrefilterImage(double* c, int width, int height)
{
    // Several lines of one direction at once, each line's arithmetic as alone: a line by itself
    // waits on its own recursion at every sample. The rows go in bands of a few, each row read in
    // memory order; the columns all at once.
    constexpr int kBand = 8;
    for (int r = 0; r < height; r += kBand)
        BSplinePrefilter(
            c + static_cast<std::size_t>(r) * width, width, 1, std::min(kBand, height - r), width);
    BSplinePrefilter(c, height, width, width);
}

BSplineImage::BSplineImage(
    std::span<const double> frame, int frameWidth, int x0, int y0, int width, int height, double level)
    : m_x0(x0), m_y0(y0), m_w(width), m_h(height), m_coef(static_cast<std::size_t>(width) * height)
{
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const double v = frame[static_cast<std::size_t>(y0 + r) * frameWidth + x0 + c];
            m_coef[static_cast<std::size_t>(r) * width + c] = std::isfinite(v) ? v - level : 0.0;
        }
    }
    BSplinePrefilterImage(m_coef.data(), width, height);
}

double BSplineImage::Sample(double x, double y) const
{
    const double u = x - m_x0, v = y - m_y0;
    if (m_w < 3 || m_h < 3) return 0;  // the mirrored 4 x 4 support needs three samples a side
    if (!(u >= 0 && v >= 0 && u <= m_w - 1 && v <= m_h - 1)) return 0;
    const int iu = static_cast<int>(u), iv = static_cast<int>(v);
    double wu[4], wv[4];
    BSplineWeights(u - iu, wu);
    BSplineWeights(v - iv, wv);
    double sum = 0;
    if (iu >= 1 && iv >= 1 && iu + 2 < m_w && iv + 2 < m_h) {
        // Inside: the same sums without the mirror tests.
        const double* line = m_coef.data() + static_cast<std::size_t>(iv - 1) * m_w + (iu - 1);
        for (int j = 0; j < 4; ++j, line += m_w) {
            double s = 0;
            for (int i = 0; i < 4; ++i) s += wu[i] * line[i];
            sum += wv[j] * s;
        }
        return sum;
    }
    for (int j = 0; j < 4; ++j) {
        int row = iv - 1 + j;
        row = row < 0 ? -row : (row >= m_h ? 2 * m_h - 2 - row : row);
        const double* line = m_coef.data() + static_cast<std::size_t>(row) * m_w;
        double s = 0;
        for (int i = 0; i < 4; ++i) {
            int col = iu - 1 + i;
            col = col < 0 ? -col : (col >= m_w ? 2 * m_w - 2 - col : col);
            s += wu[i] * line[col];
        }
        sum += wv[j] * s;
    }
    return sum;
}

namespace {

// BSplineWeights on four fractions, the same expressions.
inline void BSplineWeights4(V4 t, V4 w[4])
{
    const V4 s = 1 - t;
    w[0] = s * s * s / 6;
    w[1] = (4 - 6 * t * t + 3 * t * t * t) / 6;
    w[2] = (4 - 6 * s * s + 3 * s * s * s) / 6;
    w[3] = t * t * t / 6;
}

// Sample's interior sums at four points, from frame coordinates to the sums in registers: fractions
// stored a lane at a time and loaded as one vector stall on the store. False, with nothing written,
// when a point's support reaches past the window.
FRONTLYS_SAMPLE_CLONES bool InteriorSample4(const double* coef,
                                            int width,
                                            int height,
                                            double x0,
                                            double y0,
                                            const double* x,
                                            const double* y,
                                            double* out)
{
    using I4 = int __attribute__((vector_size(16)));
    using L4 = long long __attribute__((vector_size(32)));
    V4 u, v;
    Load4(u, x);
    Load4(v, y);
    u -= x0;
    v -= y0;
    const L4 inside = (u >= 1) & (v >= 1) & (u < width - 2) & (v < height - 2);
    if (!(inside[0] & inside[1] & inside[2] & inside[3])) return false;
    // In range, so the conversions truncate as a cast to int does.
    const I4 iu = __builtin_convertvector(u, I4), iv = __builtin_convertvector(v, I4);
    V4 wu[4], wv[4];
    BSplineWeights4(u - __builtin_convertvector(iu, V4), wu);
    BSplineWeights4(v - __builtin_convertvector(iv, V4), wv);
    const auto corner = [&](int l) {
        return coef + static_cast<std::size_t>(iv[l] - 1) * width + (iu[l] - 1);
    };
    const double *l0 = corner(0), *l1 = corner(1), *l2 = corner(2), *l3 = corner(3);
    V4 sum = {0, 0, 0, 0};
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        // The four points' rows of the stencil, transposed: each product takes coefficient i of all four.
        const std::size_t o = static_cast<std::size_t>(j) * width;
        V4 r0, r1, r2, r3;
        Load4(r0, l0 + o);
        Load4(r1, l1 + o);
        Load4(r2, l2 + o);
        Load4(r3, l3 + o);
        const V4 lo01 = __builtin_shuffle(r0, r1, L4{0, 4, 2, 6}),
                 hi01 = __builtin_shuffle(r0, r1, L4{1, 5, 3, 7});
        const V4 lo23 = __builtin_shuffle(r2, r3, L4{0, 4, 2, 6}),
                 hi23 = __builtin_shuffle(r2, r3, L4{1, 5, 3, 7});
        V4 s = {0, 0, 0, 0};
        s += wu[0] * __builtin_shuffle(lo01, lo23, L4{0, 1, 4, 5});
        s += wu[1] * __builtin_shuffle(hi01, hi23, L4{0, 1, 4, 5});
        s += wu[2] * __builtin_shuffle(lo01, lo23, L4{2, 3, 6, 7});
        s += wu[3] * __builtin_shuffle(hi01, hi23, L4{2, 3, 6, 7});
        sum += wv[j] * s;
    }
    std::memcpy(out, &sum, sizeof sum);
    return true;
}

}  // namespace

void BSplineImage::Sample4(const double* x, const double* y, double* out) const
{
    // Points near or past the window's edge take Sample's mirrored sums, all four alike.
    if (InteriorSample4(m_coef.data(), m_w, m_h, m_x0, m_y0, x, y, out)) return;
    for (int k = 0; k < 4; ++k) out[k] = Sample(x[k], y[k]);
}

bool BSplineImage::StencilAt(double x, double y, Stencil& s) const
{
    const double u = x - m_x0, v = y - m_y0;
    if (m_w < 3 || m_h < 3) return false;
    if (!(u >= 0 && v >= 0 && u <= m_w - 1 && v <= m_h - 1)) return false;
    const int iu = static_cast<int>(u), iv = static_cast<int>(v);
    BSplineWeights(u - iu, s.wx);
    BSplineWeights(v - iv, s.wy);
    for (int k = 0; k < 4; ++k) {
        const int row = iv - 1 + k, col = iu - 1 + k;
        s.rows[k] = row < 0 ? -row : (row >= m_h ? 2 * m_h - 2 - row : row);
        s.cols[k] = col < 0 ? -col : (col >= m_w ? 2 * m_w - 2 - col : col);
    }
    return true;
}

}  // namespace frontlys
