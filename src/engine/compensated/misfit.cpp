#include "engine/compensated/misfit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>

#include "core/thread_pool.h"
#include "engine/compensated/refine.h"
#include "engine/compensated/spline_rows.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

constexpr double kMaxBlurPx = 10;
constexpr int kGoldenSteps = 16;
constexpr std::size_t kSplineBudgetBytes = std::size_t{24} << 20;  // an image's blurred splines kept
// The share of the donut's mean level under which the model's own limits keep the noise model.
constexpr double kModelFloorShare = 1e-3;

// The data of one image inside the disc, with its weights.
struct DiscData {
    std::vector<int> x, y;
    std::vector<double> d, w;
    double cx = 0, cy = 0;
    int x0 = 0, y0 = 0, width = 0, height = 0;  // the box around the disc
};

void Weigh(DiscData& data, const FrameNoise& noise)
{
    data.w.resize(data.d.size());
    for (std::size_t i = 0; i < data.d.size(); ++i)
        data.w[i] = 1 / std::max(noise.skyVariance + noise.alpha * std::max(0.0, data.d[i]), 1e-12);
}

DiscData Disc(const RawFrame& f, const FrameSetup& s, double radius)
{
    DiscData out;
    out.cx = s.cx;
    out.cy = s.cy;
    const int x0 = std::max(0, int(s.cx - radius)), x1 = std::min(f.width - 1, int(s.cx + radius) + 1);
    const int y0 = std::max(0, int(s.cy - radius)), y1 = std::min(f.height - 1, int(s.cy + radius) + 1);
    out.x0 = x0, out.y0 = y0, out.width = x1 - x0 + 1, out.height = y1 - y0 + 1;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if ((x - s.cx) * (x - s.cx) + (y - s.cy) * (y - s.cy) > radius * radius) continue;
            const double v = f.pixels[static_cast<std::size_t>(y) * f.width + x];
            if (!std::isfinite(v)) continue;
            out.x.push_back(x);
            out.y.push_back(y);
            out.d.push_back(v - s.background);
        }
    }
    return out;
}

// The variance per ADU of signal from horizontal neighbours (a, b) of `values` (NaN: none) over
// the signal `signal`: half their squared difference is the pixel variance plus whatever structure
// the values keep; the median of its excess over the sky's, per ADU of signal, is robust to
// that structure where it is sparse. 0.455 is the median of a chi-square of one degree of freedom.
double MedianAlpha(const std::vector<double>& values,
                   const std::vector<double>& signal,
                   int width,
                   int height,
                   double skyVariance)
{
    const double threshold = 3 * std::sqrt(skyVariance);
    std::vector<double> ratios;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x + 1 < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const double a = values[i], b = values[i + 1];
            if (!std::isfinite(a) || !std::isfinite(b)) continue;
            const double lit = 0.5 * (signal[i] + signal[i + 1]);
            if (!(lit >= threshold)) continue;
            ratios.push_back((0.5 * (a - b) * (a - b) / 0.455 - skyVariance) / lit);
        }
    }
    if (ratios.empty()) return 0;
    auto mid = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
    std::nth_element(ratios.begin(), mid, ratios.end());
    return std::max(0.0, *mid);
}

// Weighted least squares of d = k m + b; the chi-square left.
double FitFluxAndSky(const DiscData& data,
                     const std::vector<double>& m,
                     double* kOut = nullptr,
                     double* bOut = nullptr)
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
    if (kOut) *kOut = k;
    if (bOut) *bOut = b;
    return chi2;
}

// One image: the blurred model, moved so its light centroid plus (dx, dy) falls on the data's.
struct ImageFit {
    const DiscData* data = nullptr;
    const ModelFrame* sharp = nullptr;
    ModelBlurrer* blurrer = nullptr;  // of `sharp`: its padded spectra serve every sigma
    double mcx = 0, mcy = 0;
    double dx = 0, dy = 0;       // the fitted offset
    std::vector<PixelRun> runs;  // the data's pixels, row by row

    // Every golden section starts from the same two blurs and keeps their order while its centre or
    // weights move little, so most of its trials repeat: their splines are kept, up to a budget.
    std::vector<std::pair<double, std::unique_ptr<SplineRows>>> splines;
    std::size_t splineBytes = 0;
    SplineRows spare;  // beyond the budget
    const SplineRows* blurred = nullptr;
    double sigma = 0;
    // The chi-squares met at the current weights; the pattern search comes back to points it left.
    struct Tried {
        double sigma, ox, oy, chi2;
    };
    std::vector<Tried> tried;
    std::vector<double> model;    // the last Model()
    std::vector<double> columns;  // scratch of Model()

    void SetBlur(double s)
    {
        sigma = s;
        for (const auto& [at, spline] : splines) {
            if (at == s) {
                blurred = spline.get();
                return;
            }
        }
        const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(sharp->side) * sharp->side;
        SplineRows* target = &spare;
        if (splineBytes + bytes <= kSplineBudgetBytes) {
            splines.emplace_back(s, std::make_unique<SplineRows>());
            splineBytes += bytes;
            target = splines.back().second.get();
        }
        target->Build(blurrer->Apply(s), sharp->side, sharp->side);
        blurred = target;
    }
    const std::vector<double>& Model(double ox, double oy)
    {
        model.resize(data->d.size());
        SampleRuns(*blurred, runs, {mcx, data->cx, ox, mcy, data->cy, oy}, columns, model.data());
        return model;
    }
    double Chi2(double ox, double oy)
    {
        for (const Tried& t : tried)
            if (t.sigma == sigma && t.ox == ox && t.oy == oy) return t.chi2;
        const double c = FitFluxAndSky(*data, Model(ox, oy));
        tried.push_back({sigma, ox, oy, c});
        return c;
    }

    // alpha from the residuals of the fitted model, on the data's own sky variance.
    double ResidualAlpha(double skyVariance)
    {
        double k = 0, b = 0;
        const std::vector<double>& m = Model(dx, dy);
        FitFluxAndSky(*data, m, &k, &b);
        const std::size_t n = static_cast<std::size_t>(data->width) * data->height;
        std::vector<double> residual(n, std::numeric_limits<double>::quiet_NaN()), signal(n, 0.0);
        for (std::size_t i = 0; i < m.size(); ++i) {
            const std::size_t at =
                static_cast<std::size_t>(data->y[i] - data->y0) * data->width + data->x[i] - data->x0;
            residual[at] = data->d[i] - k * m[i] - b;
            signal[at] = data->d[i] - b;
        }
        return MedianAlpha(residual, signal, data->width, data->height, skyVariance);
    }
};

// Blur by golden section at the current centre, then the centre by a shrinking pattern search, then
// the blur once more.
double FitNuisances(ImageFit& fit, double& blurOut)
{
    fit.tried.clear();  // the weights may have changed
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
    fit.dx = dx, fit.dy = dy;
    return best;
}

}  // namespace

FrameNoise EstimateFrameNoise(const RawFrame& f, const FrameSetup& s, double rhoPx)
{
    FrameNoise n;
    // Noise-free frames (simulations) and frames of tiny sky noise still carry the model's own limits
    // (the render's sampling and pupil edge): a floor of a share of the donut's mean level keeps
    // the dark pixels from outweighing the lit ones a billion times over.
    const double meanLevel = s.flux / (std::numbers::pi * rhoPx * rhoPx);
    const double floor = std::pow(kModelFloorShare * meanLevel, 2);
    n.skyVariance = std::max({s.noise * s.noise, floor, 1.0 / 12});
    const double radius = 1.1 * rhoPx + 2;
    const int x0 = std::max(0, int(s.cx - radius)), x1 = std::min(f.width - 1, int(s.cx + radius));
    const int y0 = std::max(0, int(s.cy - radius)), y1 = std::min(f.height - 1, int(s.cy + radius));
    if (x1 < x0 || y1 < y0) return n;
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    std::vector<double> values(static_cast<std::size_t>(w) * h), signal(values.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double v = f.pixels[static_cast<std::size_t>(y0 + y) * f.width + x0 + x];
            values[static_cast<std::size_t>(y) * w + x] = v;
            signal[static_cast<std::size_t>(y) * w + x] = v - s.background;
        }
    }
    n.alpha = MedianAlpha(values, signal, w, h, n.skyVariance);
    return n;
}

Result<ImageMisfit> MeasureImageMisfit(const RawFrame& intra,
                                       const RawFrame& extra,
                                       const CompensatedResult& frames,
                                       const CompensatedOptions& o,
                                       const ModelEstimate& e,
                                       double lambdaNm,
                                       ModelRenderCache* cache,
                                       const PairNoise* given)
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
        DiscData data = Disc(raw, s, 1.35 * rho + 20);
        FrameNoise& noise = out.noise[side];
        noise = given ? (*given)[side] : EstimateFrameNoise(raw, s, rho);
        Weigh(data, noise);
        ModelBlurrer blurrer(sharp.value());
        ImageFit fit;
        fit.data = &data;
        fit.sharp = &sharp.value();
        fit.blurrer = &blurrer;
        fit.runs = RunsOf(data.x, data.y);
        const ModelFrame& m = sharp.value();
        fit.mcx = fit.mcy = (m.side - 1) / 2.0;
        for (int round = 0; round < 3; ++round)
            LightCentroid(m.pixels, m.side, m.side, 1.3 * rho + 6, fit.mcx, fit.mcy);
        chi2[side] = FitNuisances(fit, out.blurPx[side]);
        if (!given) {
            noise.alpha = std::min(noise.alpha, fit.ResidualAlpha(noise.skyVariance));
            Weigh(data, noise);
            chi2[side] = FitNuisances(fit, out.blurPx[side]);
        }
        pixels[side] = static_cast<int>(data.d.size());
    });
    for (const Status& s : failed)
        if (!s.ok()) return s;
    double total = 0;
    for (int side = 0; side < 2; ++side) {
        total += chi2[side];
        out.pixels += pixels[side];
    }
    out.chi2PerPixel = out.pixels > 0 ? total / out.pixels : 0;
    return out;
}

}  // namespace frontlys
