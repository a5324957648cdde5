#include "prep/sky.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/selection.h"

namespace frontlys {
namespace {

constexpr int kMaxSamples = 1 << 18;
constexpr int kMinSamples = 100;
constexpr double kClipSigmas = 3.5;

struct Sample {
    double x, y, v;
};

// Least-squares plane through the samples, about (x0, y0); false when degenerate. `r` and
// `scratch`: buffers for the residuals, kept across the rounds.
bool SolvePlane(const std::vector<Sample>& s,
                double x0,
                double y0,
                double out[3],
                double& residualSigma,
                std::vector<double>& r,
                std::vector<double>& scratch)
{
    // The normal equations are symmetric: each product below is the one its mirror would add.
    double a[3][3] = {}, b[3] = {};
    for (const Sample& p : s) {
        const double u1 = p.x - x0, u2 = p.y - y0;
        b[0] += p.v;
        b[1] += u1 * p.v;
        b[2] += u2 * p.v;
        a[0][0] += 1.0;
        a[0][1] += u1;
        a[0][2] += u2;
        a[1][1] += u1 * u1;
        a[1][2] += u1 * u2;
        a[2][2] += u2 * u2;
    }
    a[1][0] = a[0][1];
    a[2][0] = a[0][2];
    a[2][1] = a[1][2];
    // Gaussian elimination with partial pivoting on the 3 x 3 normal equations.
    int perm[3] = {0, 1, 2};
    double m[3][4];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m[i][j] = a[i][j];
        m[i][3] = b[i];
    }
    for (int c = 0; c < 3; ++c) {
        int best = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::abs(m[r][c]) > std::abs(m[best][c])) best = r;
        if (!(std::abs(m[best][c]) > 1e-12 * std::max(1.0, std::abs(a[0][0])))) return false;
        std::swap(m[c], m[best]);
        std::swap(perm[c], perm[best]);
        for (int r = c + 1; r < 3; ++r) {
            const double k = m[r][c] / m[c][c];
            for (int j = c; j < 4; ++j) m[r][j] -= k * m[c][j];
        }
    }
    for (int c = 2; c >= 0; --c) {
        double v = m[c][3];
        for (int j = c + 1; j < 3; ++j) v -= m[c][j] * out[j];
        out[c] = v / m[c][c];
    }
    r.clear();
    for (const Sample& p : s) r.push_back(std::abs(p.v - out[0] - out[1] * (p.x - x0) - out[2] * (p.y - y0)));
    residualSigma = 1.4826 * NthSmallest(r, r.size() / 2, scratch);
    return true;
}

}  // namespace

SkyPlane FitSkyPlane(
    std::span<const double> frame, int width, int height, double cx, double cy, double excludeRadius)
{
    SkyPlane sky;
    sky.x0 = cx;
    sky.y0 = cy;
    const int step = std::max(1, static_cast<int>(std::sqrt(double(width) * height / kMaxSamples)));
    // Squared distances decide all but the pixels within rounding of the circle, which take the
    // exact distance; a radius of 0 or less leaves nothing out.
    const bool excluding = excludeRadius > 0;
    const double near = excludeRadius * excludeRadius * (1 - 1e-9),
                 far = excludeRadius * excludeRadius * (1 + 1e-9);
    std::vector<Sample> s;
    s.reserve(static_cast<std::size_t>((width + step - 1) / step) * ((height + step - 1) / step));
    for (int y = 0; y < height; y += step)
        for (int x = 0; x < width; x += step) {
            const double v = frame[static_cast<std::size_t>(y) * width + x];
            if (!std::isfinite(v)) continue;
            if (excluding) {
                const double dx = x - cx, dy = y - cy, d2 = dx * dx + dy * dy;
                if (d2 < near || (d2 <= far && std::hypot(dx, dy) < excludeRadius)) continue;
            }
            s.push_back({double(x), double(y), v});
        }
    double c[3] = {0, 0, 0}, sigma = 0;
    std::vector<double> residuals, scratch;
    residuals.reserve(s.size());
    for (int round = 0; round < 4; ++round) {
        if (s.size() < static_cast<std::size_t>(kMinSamples) ||
            !SolvePlane(s, cx, cy, c, sigma, residuals, scratch))
            return sky;
        if (round == 3 || !(sigma > 0)) break;
        std::erase_if(s, [&](const Sample& p) {
            return std::abs(p.v - c[0] - c[1] * (p.x - cx) - c[2] * (p.y - cy)) > kClipSigmas * sigma;
        });
    }
    double sxx = 0, syy = 0;
    double mx = 0, my = 0;
    for (const Sample& p : s) {
        mx += p.x;
        my += p.y;
    }
    mx /= double(s.size());
    my /= double(s.size());
    for (const Sample& p : s) {
        sxx += (p.x - mx) * (p.x - mx);
        syy += (p.y - my) * (p.y - my);
    }
    sky.level = c[0];
    sky.slopeX = c[1];
    sky.slopeY = c[2];
    // The samples are pixels apart by `step`: their noise is independent.
    sky.slopeSigma = sigma / std::sqrt(std::max(1e-300, std::min(sxx, syy)));
    sky.samples = static_cast<int>(s.size());
    return sky;
}

bool SlopeIsMeasured(const SkyPlane& sky)
{
    const double slope = std::hypot(sky.slopeX, sky.slopeY);
    return sky.samples > 0 && slope > 5 * sky.slopeSigma && slope > 1e-6;
}

void RemoveSlope(std::span<double> frame, int width, int height, const SkyPlane& sky)
{
    for (int y = 0; y < height; ++y) {
        double* row = frame.data() + static_cast<std::size_t>(y) * width;
        const double dy = sky.slopeY * (y - sky.y0);
        for (int x = 0; x < width; ++x) row[x] -= sky.slopeX * (x - sky.x0) + dy;
    }
}

}  // namespace frontlys
