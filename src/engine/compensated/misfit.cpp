#include "engine/compensated/misfit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "core/thread_pool.h"
#include "engine/compensated/bspline_image.h"
#include "engine/compensated/refine.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

constexpr double kMaxBlurPx = 10;
constexpr int kGoldenSteps = 16;

// The data of one image inside the disc, with its weights.
struct DiscData {
    std::vector<int> x, y;
    std::vector<double> d, w;
    double cx = 0, cy = 0;
};

DiscData Disc(const RawFrame& f, const FrameSetup& s, const FrameNoise& noise, double radius)
{
    DiscData out;
    out.cx = s.cx;
    out.cy = s.cy;
    const int x0 = std::max(0, int(s.cx - radius)), x1 = std::min(f.width - 1, int(s.cx + radius) + 1);
    const int y0 = std::max(0, int(s.cy - radius)), y1 = std::min(f.height - 1, int(s.cy + radius) + 1);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if ((x - s.cx) * (x - s.cx) + (y - s.cy) * (y - s.cy) > radius * radius) continue;
            const double v = f.pixels[static_cast<std::size_t>(y) * f.width + x];
            if (!std::isfinite(v)) continue;
            const double d = v - s.background;
            out.x.push_back(x);
            out.y.push_back(y);
            out.d.push_back(d);
            out.w.push_back(1 / std::max(noise.skyVariance + noise.alpha * std::max(0.0, d), 1e-12));
        }
    }
    return out;
}

// Weighted least squares of d = k m + b; the chi-square left.
double FitFluxAndSky(const DiscData& data, const std::vector<double>& m)
{
    double sw = 0, sm = 0, sd = 0, smm = 0, smd = 0;
    for (std::size_t i = 0; i < m.size(); ++i) {
        const double w = data.w[i];
        sw += w;
        sm += w * m[i];
        sd += w * data.d[i];
        smm += w * m[i] * m[i];
        smd += w * m[i] * data.d[i];
    }
    const double det = sw * smm - sm * sm;
    const double k = det > 0 ? (sw * smd - sm * sd) / det : 0;
    const double b = sw > 0 ? (sd - k * sm) / sw : 0;
    double chi2 = 0;
    for (std::size_t i = 0; i < m.size(); ++i) {
        const double r = data.d[i] - k * m[i] - b;
        chi2 += data.w[i] * r * r;
    }
    return chi2;
}

// One image: the blurred model, moved so its light centroid plus (dx, dy) falls on the data's.
struct ImageFit {
    const DiscData* data = nullptr;
    const ModelFrame* sharp = nullptr;
    ModelBlurrer* blurrer = nullptr;  // of `sharp`: its padded spectra serve every sigma
    double mcx = 0, mcy = 0;
    BSplineImage blurred;

    void SetBlur(double sigma)
    {
        const std::vector<double> b = blurrer->Apply(sigma);
        blurred = BSplineImage(b, sharp->side, 0, 0, sharp->side, sharp->side);
    }
    double Chi2(double dx, double dy) const
    {
        std::vector<double> m(data->d.size());
        for (std::size_t i = 0; i < m.size(); ++i)
            m[i] = blurred.Sample(mcx + data->x[i] - data->cx + dx, mcy + data->y[i] - data->cy + dy);
        return FitFluxAndSky(*data, m);
    }
};

// Blur by golden section at the current centre, then the centre by a shrinking pattern search, then
// the blur once more.
double FitNuisances(ImageFit& fit, double& blurOut)
{
    double dx = 0, dy = 0, best = 0;
    const auto blurSearch = [&] {
        const double phi = (std::sqrt(5.0) - 1) / 2;
        double a = 0, b = kMaxBlurPx;
        double x1 = b - phi * (b - a), x2 = a + phi * (b - a);
        const auto cost = [&](double s) {
            fit.SetBlur(s);
            return fit.Chi2(dx, dy);
        };
        double f1 = cost(x1), f2 = cost(x2);
        for (int step = 0; step < kGoldenSteps; ++step) {
            if (f1 < f2) {
                b = x2, x2 = x1, f2 = f1, x1 = b - phi * (b - a), f1 = cost(x1);
            } else {
                a = x1, x1 = x2, f1 = f2, x2 = a + phi * (b - a), f2 = cost(x2);
            }
        }
        blurOut = 0.5 * (a + b);
        fit.SetBlur(blurOut);
        best = fit.Chi2(dx, dy);
    };
    blurSearch();
    for (double step = 0.5; step > 0.03; step /= 2) {
        bool moved = true;
        while (moved) {
            moved = false;
            for (auto [ux, uy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const double c = fit.Chi2(dx + ux * step, dy + uy * step);
                if (c < best) {
                    best = c, dx += ux * step, dy += uy * step;
                    moved = true;
                }
            }
        }
    }
    blurSearch();
    return best;
}

}  // namespace

FrameNoise EstimateFrameNoise(const RawFrame& f, const FrameSetup& s, double rhoPx)
{
    FrameNoise n;
    n.skyVariance = std::max(s.noise * s.noise, 1e-12);
    // Neighbour differences inside the donut: half their square is the pixel variance plus the
    // image's own structure (fringes, edges). The median of its ratio to the signal is robust to that
    // structure; 0.455 is the median of a chi-square of one degree of freedom.
    const double radius = 1.1 * rhoPx + 2;
    std::vector<double> ratios;
    for (int y = std::max(0, int(s.cy - radius)); y <= std::min(f.height - 1, int(s.cy + radius)); ++y) {
        for (int x = std::max(0, int(s.cx - radius)); x < std::min(f.width - 1, int(s.cx + radius)); ++x) {
            const double a = f.pixels[static_cast<std::size_t>(y) * f.width + x];
            const double b = f.pixels[static_cast<std::size_t>(y) * f.width + x + 1];
            if (!std::isfinite(a) || !std::isfinite(b)) continue;
            const double signal = 0.5 * (a + b) - s.background;
            if (signal < 3 * s.noise) continue;
            ratios.push_back((0.5 * (a - b) * (a - b) / 0.455 - n.skyVariance) / signal);
        }
    }
    if (!ratios.empty()) {
        auto mid = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
        std::nth_element(ratios.begin(), mid, ratios.end());
        n.alpha = std::max(0.0, *mid);
    }
    return n;
}

Result<ImageMisfit> MeasureImageMisfit(const RawFrame& intra,
                                       const RawFrame& extra,
                                       const CompensatedResult& frames,
                                       const CompensatedOptions& o,
                                       const ModelEstimate& e,
                                       double lambdaNm,
                                       ModelRenderCache* cache)
{
    std::optional<ModelRenderCache> own;
    if (!cache) cache = &own.emplace();
    ImageMisfit out;
    const double rho = frames.rhoPx;
    // The two images are fitted at once; their chi-squares are added in side order.
    std::array<double, 2> chi2{};
    std::array<int, 2> pixels{};
    std::array<Status, 2> failed;
    ParallelFor(2, [&](int side) {
        const RawFrame& raw = side == 0 ? intra : extra;
        const FrameSetup& s = frames.frames[side];
        auto sharp = RenderModelFrame(o, e, lambdaNm, side == 1, 0, cache);
        if (!sharp.ok()) {
            failed[side] = sharp.status();
            return;
        }
        const FrameNoise noise = EstimateFrameNoise(raw, s, rho);
        const DiscData data = Disc(raw, s, noise, 1.35 * rho + 20);
        ModelBlurrer blurrer(sharp.value());
        ImageFit fit;
        fit.data = &data;
        fit.sharp = &sharp.value();
        fit.blurrer = &blurrer;
        const ModelFrame& m = sharp.value();
        fit.mcx = fit.mcy = (m.side - 1) / 2.0;
        for (int round = 0; round < 3; ++round)
            LightCentroid(m.pixels, m.side, m.side, 1.3 * rho + 6, fit.mcx, fit.mcy);
        chi2[side] = FitNuisances(fit, out.blurPx[side]);
        pixels[side] = static_cast<int>(data.d.size());
    });
    for (const Status& s : failed)
        if (!s.ok()) return s;
    double total = 0;
    for (int side = 0; side < 2; ++side) {
        total += chi2[side];
        out.pixels += pixels[side];
    }
    const double chi2Sum = total;
    out.chi2PerPixel = out.pixels > 0 ? chi2Sum / out.pixels : 0;
    return out;
}

}  // namespace frontlys
