#include "engine/compensated/bspline_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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
