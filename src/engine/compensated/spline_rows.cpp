#include "engine/compensated/spline_rows.h"

#include <algorithm>
#include <cmath>

#include "engine/compensated/bspline_image.h"

namespace frontlys {

namespace {

int Mirror(int i, int n) { return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i); }

}  // namespace

void SplineRows::Build(std::span<const double> pixels, int width, int height)
{
    m_w = width;
    m_h = height;
    m_coef.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < m_coef.size(); ++i) m_coef[i] = std::isfinite(pixels[i]) ? pixels[i] : 0.0;
    BSplinePrefilterImage(m_coef.data(), width, height);
}

void SplineRows::SampleRow(const double* xs, int count, double y, double* out) const
{
    const int w = m_w, h = m_h;
    if (w < 3 || h < 3 || !(y >= 0 && y <= h - 1)) {
        std::fill_n(out, count, 0.0);
        return;
    }
    const int iv = static_cast<int>(y);
    double wv[4];
    BSplineWeights(y - iv, wv);
    const double* rows[4];
    for (int j = 0; j < 4; ++j) rows[j] = m_coef.data() + static_cast<std::size_t>(Mirror(iv - 1 + j, h)) * w;
    // Every sum in BSplineImage::Sample's order, from 0, for its bits.
    const auto mirrored = [&](double u, int iu, double* value) {
        double wu[4];
        BSplineWeights(u - iu, wu);
        double sum = 0;
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int i = 0; i < 4; ++i) s += wu[i] * rows[j][Mirror(iu - 1 + i, w)];
            sum += wv[j] * s;
        }
        *value = sum;
    };
    int k = 0;
    while (k < count) {
        const double u = xs[k];
        if (!(u >= 0 && u <= w - 1)) {
            out[k++] = 0;
            continue;
        }
        const int iu = static_cast<int>(u);
        if (iu < 1 || iu + 2 >= w) {
            mirrored(u, iu, out + k++);
            continue;
        }
        // The points after k a column further each, at the same fraction, inside the mirror margins.
        const double t = u - iu;
        int end = k + 1;
        while (end < count && iu + (end - k) + 2 < w) {
            const double ue = xs[end];
            if (!(ue >= 0)) break;
            const int ie = static_cast<int>(ue);
            if (ie != iu + (end - k) || ue - ie != t) break;
            ++end;
        }
        double wu[4];
        BSplineWeights(t, wu);
        const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(iu) - 1 - k;
        const double* r0 = rows[0] + shift;
        const double* r1 = rows[1] + shift;
        const double* r2 = rows[2] + shift;
        const double* r3 = rows[3] + shift;
        for (int p = k; p < end; ++p) {
            double s0 = 0, s1 = 0, s2 = 0, s3 = 0, sum = 0;
            for (int i = 0; i < 4; ++i) {
                s0 += wu[i] * r0[p + i];
                s1 += wu[i] * r1[p + i];
                s2 += wu[i] * r2[p + i];
                s3 += wu[i] * r3[p + i];
            }
            sum += wv[0] * s0;
            sum += wv[1] * s1;
            sum += wv[2] * s2;
            sum += wv[3] * s3;
            out[p] = sum;
        }
        k = end;
    }
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

void SampleRuns(const SplineRows& spline,
                std::span<const PixelRun> runs,
                const PointShift& shift,
                std::vector<double>& xs,
                double* out)
{
    for (const PixelRun& run : runs) {
        xs.resize(static_cast<std::size_t>(run.count));
        for (int k = 0; k < run.count; ++k)
            xs[k] = shift.fromX + static_cast<double>(run.x + k) - shift.toX + shift.byX;
        const double y = shift.fromY + static_cast<double>(run.y) - shift.toY + shift.byY;
        spline.SampleRow(xs.data(), run.count, y, out + run.first);
    }
}

}  // namespace frontlys
