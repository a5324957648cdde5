#include "engine/compensated/spline_rows.h"

#include <algorithm>
#include <cmath>

#include "engine/compensated/bspline_image.h"

namespace frontlys {

namespace {

void Weights(double t, double w[4])
{
    const double s = 1 - t;
    w[0] = s * s * s / 6;
    w[1] = (4 - 6 * t * t + 3 * t * t * t) / 6;
    w[2] = (4 - 6 * s * s + 3 * s * s * s) / 6;
    w[3] = t * t * t / 6;
}

int Mirror(int i, int n) { return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i); }

}  // namespace

void SplineRows::Build(std::span<const double> pixels, int width, int height)
{
    m_w = width;
    m_h = height;
    m_coef.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < m_coef.size(); ++i) m_coef[i] = std::isfinite(pixels[i]) ? pixels[i] : 0.0;
    // The passes of BSplineImage, in its order, so that the coefficients are its own.
    constexpr int kBand = 8;
    for (int r = 0; r < height; r += kBand)
        BSplinePrefilter(m_coef.data() + static_cast<std::size_t>(r) * width,
                         width,
                         1,
                         std::min(kBand, height - r),
                         width);
    BSplinePrefilter(m_coef.data(), height, width, width);
}

void SplineRows::SampleStretch(double x, double y, int count, double* out) const
{
    const int w = m_w, h = m_h;
    if (w < 3 || h < 3 || !(y >= 0 && y <= h - 1) || !std::isfinite(x)) {
        std::fill_n(out, count, 0.0);
        return;
    }
    const int iv = static_cast<int>(y);
    double wv[4];
    Weights(y - iv, wv);
    const double* rows[4];
    for (int j = 0; j < 4; ++j) rows[j] = m_coef.data() + static_cast<std::size_t>(Mirror(iv - 1 + j, h)) * w;

    // Where the 4 columns of every point lie inside: the weights of the first point serve all.
    const double base = std::floor(x);
    const double t = x - base;
    double wu[4];
    Weights(t, wu);
    const long first = std::clamp(static_cast<long>(1 - base), 0L, static_cast<long>(count));
    const long end = std::clamp(static_cast<long>(w - 2 - base), first, static_cast<long>(count));
    if (first < end) {
        const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(base) - 1;
        const double* r0 = rows[0] + shift;
        const double* r1 = rows[1] + shift;
        const double* r2 = rows[2] + shift;
        const double* r3 = rows[3] + shift;
        for (long k = first; k < end; ++k) {
            // Sums in BSplineImage::Sample's order.
            double s0 = wu[0] * r0[k];
            s0 += wu[1] * r0[k + 1];
            s0 += wu[2] * r0[k + 2];
            s0 += wu[3] * r0[k + 3];
            double s1 = wu[0] * r1[k];
            s1 += wu[1] * r1[k + 1];
            s1 += wu[2] * r1[k + 2];
            s1 += wu[3] * r1[k + 3];
            double s2 = wu[0] * r2[k];
            s2 += wu[1] * r2[k + 1];
            s2 += wu[2] * r2[k + 2];
            s2 += wu[3] * r2[k + 3];
            double s3 = wu[0] * r3[k];
            s3 += wu[1] * r3[k + 1];
            s3 += wu[2] * r3[k + 2];
            s3 += wu[3] * r3[k + 3];
            double sum = wv[0] * s0;
            sum += wv[1] * s1;
            sum += wv[2] * s2;
            sum += wv[3] * s3;
            out[k] = sum;
        }
    }
    // The points near or beyond the side columns, each on its own, mirrored.
    const auto edge = [&](long k) {
        const double u = x + static_cast<double>(k);
        if (!(u >= 0 && u <= w - 1)) {
            out[k] = 0;
            return;
        }
        const int iu = static_cast<int>(u);
        double wk[4];
        Weights(u - iu, wk);
        double sum = 0;
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int i = 0; i < 4; ++i) s += wk[i] * rows[j][Mirror(iu - 1 + i, w)];
            sum += wv[j] * s;
        }
        out[k] = sum;
    };
    for (long k = 0; k < first; ++k) edge(k);
    for (long k = end; k < count; ++k) edge(k);
}

std::vector<PixelRun> RunsOf(std::span<const int> x, std::span<const int> y)
{
    std::vector<PixelRun> runs;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!runs.empty()) {
            PixelRun& last = runs.back();
            if (last.y == y[i] && last.x + last.count == x[i]) {
                ++last.count;
                continue;
            }
        }
        runs.push_back({y[i], x[i], 1, i});
    }
    return runs;
}

void SampleRuns(const SplineRows& spline, std::span<const PixelRun> runs, double ox, double oy, double* out)
{
    for (const PixelRun& run : runs) spline.SampleStretch(run.x + ox, run.y + oy, run.count, out + run.first);
}

}  // namespace frontlys
