#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/thread_pool.h"
#include "engine/compensated/internal.h"
#include "prep/donut.h"

namespace frontlys::compensated {
namespace {

// The one-pixel ring of offset (dx, dy): its distance from the centre, truncated. The square root
// takes a few ulps more than hypot, which matters only next to a whole number: there hypot decides.
int RingOf(double dx, double dy)
{
    const double r = std::sqrt(dx * dx + dy * dy);
    const double whole = std::floor(r);
    if (r - whole > 1e-9 && whole + 1 - r > 1e-9) return static_cast<int>(whole);
    return static_cast<int>(std::hypot(dx, dy));
}

// Half-plateau crossings of the azimuthal mean profile in one-pixel rings around the centre.
void Crossings(const RawFrame& f, double background, PreparedFrame& out)
{
    const double cx = out.setup.cx, cy = out.setup.cy;
    const int bins = static_cast<int>(std::ceil(1.5 * out.blobRadiusPx + 8));
    std::vector<double> sum(bins, 0.0), count(bins, 0.0);
    const int x0 = std::max(0, static_cast<int>(cx) - bins),
              x1 = std::min(f.width - 1, static_cast<int>(cx) + bins);
    const int y0 = std::max(0, static_cast<int>(cy) - bins),
              y1 = std::min(f.height - 1, static_cast<int>(cy) + bins);
    for (int y = y0; y <= y1; ++y) {
        // A pixel a whole ring or more beyond the last one cannot fall in it: each row runs over the
        // chord of radius bins + 1, widened by a pixel, in order.
        const double dy = y - cy, reach = std::sqrt(std::max(0.0, (bins + 1.0) * (bins + 1.0) - dy * dy)) + 1;
        const int xa = std::max(x0, static_cast<int>(std::floor(cx - reach))),
                  xb = std::min(x1, static_cast<int>(std::ceil(cx + reach)));
        for (int x = xa; x <= xb; ++x) {
            const int b = RingOf(x - cx, y - cy);
            const double v = f.pixels[static_cast<std::size_t>(y) * f.width + x];
            if (b >= bins || !std::isfinite(v)) continue;
            sum[b] += v - background;
            count[b] += 1;
        }
    }
    std::vector<double> profile(bins, 0.0);
    for (int b = 0; b < bins; ++b) profile[b] = count[b] > 0 ? sum[b] / count[b] : 0;
    // Plateau: the upper part of the lit rings.
    std::vector<double> lit(profile.begin(),
                            profile.begin() + std::min(bins, static_cast<int>(out.blobRadiusPx) + 1));
    std::sort(lit.begin(), lit.end());
    const double plateau = lit.empty() ? 0 : lit[static_cast<std::size_t>(0.75 * (lit.size() - 1))];
    const double half = plateau / 2;
    // Bin b holds radii [b, b + 1): its mean radius is about b + 0.5.
    for (int b = bins - 2; b >= 0; --b) {
        if (profile[b] >= half) {
            const double t = (profile[b] - half) / std::max(profile[b] - profile[b + 1], 1e-300);
            out.outerPx = b + 0.5 + std::clamp(t, 0.0, 1.0);
            break;
        }
    }
    if (profile[0] < half) {
        for (int b = 1; b < bins; ++b) {
            if (profile[b] >= half) {
                const double t = (half - profile[b - 1]) / std::max(profile[b] - profile[b - 1], 1e-300);
                out.innerPx = b - 0.5 + std::clamp(t, 0.0, 1.0);
                break;
            }
        }
    }
}

}  // namespace

Result<PreparedFrame> PrepareFrame(const RawFrame& f)
{
    auto located = LocateDonut(f.pixels, f.width, f.height);
    if (!located.ok()) return located.status();
    const DonutLocation& loc = located.value();
    PreparedFrame out;
    out.setup = {loc.main.cx, loc.main.cy, loc.main.flux, loc.background, loc.noise};
    out.blobRadiusPx = loc.main.radius;
    Crossings(f, loc.background, out);
    // The window the rays may reach: the donut and a wide margin, within the frame.
    const int reach = static_cast<int>(std::ceil(1.6 * loc.main.radius + 24));
    const int x0 = std::max(0, static_cast<int>(loc.main.cx) - reach);
    const int x1 = std::min(f.width - 1, static_cast<int>(loc.main.cx) + reach);
    const int y0 = std::max(0, static_cast<int>(loc.main.cy) - reach);
    const int y1 = std::min(f.height - 1, static_cast<int>(loc.main.cy) + reach);
    out.spline = BSplineImage(f.pixels, f.width, x0, y0, x1 - x0 + 1, y1 - y0 + 1, loc.background);
    return out;
}

bool PreparedPair::Holds(const RawFrame& intra, const RawFrame& extra) const
{
    if (!prepared) return false;
    const std::array<const RawFrame*, 2> raw = {&intra, &extra};
    for (int side = 0; side < 2; ++side) {
        const RawFrame& f = *raw[side];
        // Bitwise: a frame with NaN pixels still matches itself.
        if (widths[side] != f.width || pixels[side].size() != f.pixels.size() ||
            std::memcmp(pixels[side].data(), f.pixels.data(), f.pixels.size() * sizeof(double)) != 0)
            return false;
    }
    return true;
}

Status PrepareFrames(const RawFrame& intra, const RawFrame& extra, std::array<PreparedFrame, 2>& frames)
{
    std::array<Result<PreparedFrame>, 2> prepared = {Status::Ok(), Status::Ok()};
    ParallelFor(2, [&](int side) { prepared[side] = PrepareFrame(side == 0 ? intra : extra); });
    for (int side = 0; side < 2; ++side) {
        if (!prepared[side].ok()) return prepared[side].status();
        frames[side] = prepared[side].take();
    }
    return Status::Ok();
}

Status Prepare(const RawFrame& intra, const RawFrame& extra, PreparedPair& pair)
{
    if (pair.Holds(intra, extra)) return Status::Ok();
    pair.prepared = false;
    if (Status s = PrepareFrames(intra, extra, pair.frames); !s.ok()) return s;
    pair.pixels[0].assign(intra.pixels.begin(), intra.pixels.end());
    pair.pixels[1].assign(extra.pixels.begin(), extra.pixels.end());
    pair.widths = {intra.width, extra.width};
    pair.prepared = true;
    return Status::Ok();
}

}  // namespace frontlys::compensated
