#include "engine/compensated/bspline_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace frontlys {

namespace {

// Causal and anticausal passes of the z = sqrt(3) - 2 recursion, on `lanes` lines at once, the
// first sample of line l at c + l * laneStride (1 where kAdjacent: then the lanes vectorise).
template <bool kAdjacent>
void Prefilter(double* c, int n, std::ptrdiff_t stride, int lanes, std::ptrdiff_t laneStride)
{
    const double z = std::sqrt(3.0) - 2;
    const double lambda = (1 - z) * (1 - 1 / z);
    const auto at = [&](int i, int l) -> double& { return c[i * stride + l * (kAdjacent ? 1 : laneStride)]; };
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

}  // namespace

void BSplinePrefilter(double* c, int n, std::ptrdiff_t stride, int lanes, std::ptrdiff_t laneStride)
{
    if (n < 2) return;
    if (laneStride == 1)
        Prefilter<true>(c, n, stride, lanes, 1);
    else
        Prefilter<false>(c, n, stride, lanes, laneStride);
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

// Compiled with and without AVX2, the loader picking one; no multiply is fused with its add, so both
// give Sample's bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_SAMPLE_CLONES \
    __attribute__((target_clones("arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_SAMPLE_CLONES
#endif

namespace {

using V4 = double __attribute__((vector_size(32)));

// BSplineWeights on four fractions, the same expressions.
inline void BSplineWeights4(V4 t, V4 w[4])
{
    const V4 s = 1 - t;
    w[0] = s * s * s / 6;
    w[1] = (4 - 6 * t * t + 3 * t * t * t) / 6;
    w[2] = (4 - 6 * s * s + 3 * s * s * s) / 6;
    w[3] = t * t * t / 6;
}

// Sample's interior sums at four points whose supports lie inside the window.
FRONTLYS_SAMPLE_CLONES void InteriorSample4(const double* coef,
                                            int stride,
                                            const int* iu,
                                            const int* iv,
                                            const double* fu,
                                            const double* fv,
                                            double* out)
{
    V4 tu, tv;
    std::memcpy(&tu, fu, sizeof tu);
    std::memcpy(&tv, fv, sizeof tv);
    V4 wu[4], wv[4];
    BSplineWeights4(tu, wu);
    BSplineWeights4(tv, wv);
    const double* line[4];
    for (int l = 0; l < 4; ++l) line[l] = coef + static_cast<std::size_t>(iv[l] - 1) * stride + (iu[l] - 1);
    V4 sum = {0, 0, 0, 0};
    for (int j = 0; j < 4; ++j) {
        V4 s = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            const V4 c = {line[0][i], line[1][i], line[2][i], line[3][i]};
            s += wu[i] * c;
        }
        sum += wv[j] * s;
        for (auto& l : line) l += stride;
    }
    std::memcpy(out, &sum, sizeof sum);
}

}  // namespace

void BSplineImage::Sample4(const double* x, const double* y, double* out) const
{
    int iu[4], iv[4];
    double tu[4], tv[4];
    for (int l = 0; l < 4; ++l) {
        const double u = x[l] - m_x0, v = y[l] - m_y0;
        // Points near or past the window's edge take Sample's mirrored sums, all four alike.
        if (!(u >= 1 && v >= 1 && u < m_w - 2 && v < m_h - 2)) {
            for (int k = 0; k < 4; ++k) out[k] = Sample(x[k], y[k]);
            return;
        }
        iu[l] = static_cast<int>(u);
        iv[l] = static_cast<int>(v);
        tu[l] = u - iu[l];
        tv[l] = v - iv[l];
    }
    InteriorSample4(m_coef.data(), m_w, iu, iv, tu, tv, out);
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
