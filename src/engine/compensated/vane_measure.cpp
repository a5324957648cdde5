#include "engine/compensated/vane_measure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "engine/fft.h"

namespace frontlys {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr int kFirstHarmonic = 3;  // orders 0..2 of each ring are its smooth variation
constexpr double kMinRhoPx = 8;
constexpr int kMaxRings = 64;
constexpr double kSpreadsPx[] = {0.5, 0.75, 1, 1.5, 2, 3, 4, 6, 8, 12};

// One ring of the annulus: its radius and the harmonics of its summed deficit from order 3 up.
struct Ring {
    double rPx = 0, rPupil = 0;
    double weight = 0;         // 1 / variance of the deficit left after orders 0..2
    std::vector<double> a, b;  // cos and sin coefficients, index = order
};

double Bilinear(const RawFrame& f, double background, double x, double y, bool& inside)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    if (x0 < 0 || y0 < 0 || x0 + 1 >= f.width || y0 + 1 >= f.height) {
        inside = false;
        return 0;
    }
    const double fx = x - x0, fy = y - y0;
    const auto at = [&](int i, int j) {
        const double v = f.pixels[static_cast<std::size_t>(j) * f.width + i];
        return std::isfinite(v) ? v - background : 0.0;
    };
    return (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x0 + 1, y0)) +
           fy * ((1 - fx) * at(x0, y0 + 1) + fx * at(x0 + 1, y0 + 1));
}

// The ring's profile in pupil angle (from +x towards +y, y up: rows run down), over its mean.
bool RingProfile(const RawFrame& f, const FrameSetup& s, double rPx, int bins, std::vector<double>& out)
{
    out.resize(bins);
    bool inside = true;
    double sum = 0;
    for (int i = 0; i < bins; ++i) {
        const double t = kTwoPi * i / bins;
        out[i] = Bilinear(f, s.background, s.cx + rPx * std::cos(t), s.cy - rPx * std::sin(t), inside);
        sum += out[i];
    }
    if (!inside || !(sum > 0)) return false;
    for (double& v : out) v *= bins / sum;
    return true;
}

// The harmonics of the summed deficit 1 - (intra + extra) / 2 of each ring.
Result<std::vector<Ring>> Rings(const RawFrame& intra, const RawFrame& extra, const CompensatedResult& frames)
{
    const double rho = frames.rhoPx, eps = frames.obstruction;
    const double r0 = rho * (eps + 0.2 * (1 - eps)), r1 = rho * (1 - 0.2 * (1 - eps));
    const int count = std::clamp(static_cast<int>((r1 - r0) / 0.5) + 1, 2, kMaxRings);
    const int bins = 720 * std::max(1, static_cast<int>(std::ceil(r1 / 100)));
    const int top = bins / 2 - 1;
    std::vector<double> cosine(bins), sine(bins);
    for (int i = 0; i < bins; ++i)
        cosine[i] = std::cos(kTwoPi * i / bins), sine[i] = std::sin(kTwoPi * i / bins);
    std::vector<Ring> rings;
    std::vector<double> pi, pe;
    for (int k = 0; k < count; ++k) {
        Ring ring;
        ring.rPx = r0 + (r1 - r0) * k / (count - 1);
        ring.rPupil = ring.rPx / rho;
        if (!RingProfile(intra, frames.frames[0], ring.rPx, bins, pi) ||
            !RingProfile(extra, frames.frames[1], ring.rPx, bins, pe))
            return Status::Fail(StatusCode::OutOfRange, {}, "a donut reaches the edge of its frame");
        for (int i = 0; i < bins; ++i) pi[i] = 1 - 0.5 * (pi[i] + pe[i]);
        ring.a.assign(top + 1, 0.0);
        ring.b.assign(top + 1, 0.0);
        double variance = 0;
        for (int m = kFirstHarmonic; m <= top; ++m) {
            double a = 0, b = 0;
            for (int i = 0, phase = 0; i < bins; ++i, phase = (phase + m) % bins) {
                a += pi[i] * cosine[phase];
                b += pi[i] * sine[phase];
            }
            ring.a[m] = 2 * a / bins;
            ring.b[m] = 2 * b / bins;
            variance += 0.5 * (ring.a[m] * ring.a[m] + ring.b[m] * ring.b[m]);
        }
        if (!(variance > 0)) continue;
        ring.weight = 1 / variance;
        rings.push_back(std::move(ring));
    }
    if (rings.size() < 2) return Status::Fail(StatusCode::OutOfRange, {}, "no light in the annulus");
    return rings;
}

// The comb of `count` dips of spread `spreadPx` fitted to every ring at once, as a function of the
// first dip's angle: width(angle) = (sum_j C_j cos(j n a) + S_j sin(j n a)) / Q.
struct Comb {
    int count = 0;
    double spreadPx = 0;
    std::vector<double> c, s;  // index j, order j * count
    double q = 0;

    Comb(const std::vector<Ring>& rings, int n, double spread) : count(n), spreadPx(spread)
    {
        const int top = static_cast<int>(rings.front().a.size()) - 1;
        const int harmonics = top / n;
        c.assign(harmonics + 1, 0.0);
        s.assign(harmonics + 1, 0.0);
        for (const Ring& r : rings) {
            const double sigma = spread / r.rPx;
            for (int j = 1; j <= harmonics; ++j) {
                const int m = j * n;
                if (m < kFirstHarmonic) continue;
                // The comb's order-m coefficient for dips of unit area, over the ring's radius.
                const double g = n / std::numbers::pi * std::exp(-0.5 * (m * sigma) * (m * sigma)) / r.rPupil;
                c[j] += r.weight * g * r.a[m];
                s[j] += r.weight * g * r.b[m];
                q += r.weight * g * g;
            }
        }
    }

    double Width(double angle) const
    {
        double sum = 0;
        for (std::size_t j = 1; j < c.size(); ++j) {
            const double t = static_cast<double>(j * count) * angle;
            sum += c[j] * std::cos(t) + s[j] * std::sin(t);
        }
        return q > 0 ? sum / q : 0;
    }
    // The share of the deficit this comb explains at `angle` (chi-square drop).
    double Gain(double angle) const
    {
        const double w = Width(angle);
        return w > 0 ? w * w * q : 0;
    }
};

// The deficit a single vane of `widthPx` leaves across the light, as the spectrum of its profile at
// the frequencies k / lengthPx (k = 0..n/2, pixels times fraction of the light): the vane cut out of a
// uniform field, carried to the image plane by Fresnel propagation over `zNm`. A vane much narrower
// than its Fresnel zone scatters its light far beside its shadow, and the shadow then takes up to
// twice the vane's own light: the width is read through this model, not from the shadow's area.
std::vector<double> ShadowSpectrum(
    double widthPx, double lengthPx, double lambdaNm, double zNm, double pixelNm)
{
    const int n = FastFftSize(std::clamp(static_cast<int>(16 * lengthPx / widthPx), 1024, 1 << 16));
    const double dx = lengthPx / n;
    std::vector<std::complex<double>> u(n);
    for (int i = 0; i < n; ++i) {
        const double x = (i < n / 2 ? i : i - n) * dx;
        const double covered = std::clamp(
            std::min(x + 0.5 * dx, 0.5 * widthPx) - std::max(x - 0.5 * dx, -0.5 * widthPx), 0.0, dx);
        u[i] = 1 - covered / dx;
    }
    const FftPlan plan(n);
    plan.Transform1D(u.data(), FftDirection::Forward);
    const double lengthNm = lengthPx * pixelNm;
    for (int k = 0; k < n; ++k) {
        const double f = (k < n / 2 ? k : k - n) / lengthNm;
        u[k] *= std::polar(1.0 / n, -std::numbers::pi * lambdaNm * zNm * f * f);
    }
    plan.Transform1D(u.data(), FftDirection::Inverse);
    for (auto& v : u) v = 1 - std::norm(v);
    plan.Transform1D(u.data(), FftDirection::Forward);
    std::vector<double> spectrum(n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k) spectrum[k] = u[k].real() * dx;
    return spectrum;
}

// The vane's width (pupil units) whose Fresnel shadow, blurred by a Gaussian, best explains the comb's
// orders in every ring; searched around the width the shadows' area gives.
double FitVaneWidth(const std::vector<Ring>& rings,
                    int count,
                    double angle,
                    double shadowWidth,
                    double rhoPx,
                    double lambdaNm,
                    double zNm,
                    double pixelNm)
{
    const double lengthPx = kTwoPi * rings.back().rPx;
    const int top = static_cast<int>(rings.front().a.size()) - 1;
    constexpr int kWidths = 31;
    std::array<double, kWidths> cost{};
    const auto widthAt = [&](double i) { return shadowWidth * 0.25 * std::pow(6.0, i / (kWidths - 1)); };
    for (int i = 0; i < kWidths; ++i) {
        const double widthPx = widthAt(i) * rhoPx;
        const std::vector<double> spectrum = ShadowSpectrum(widthPx, lengthPx, lambdaNm, zNm, pixelNm);
        double best = std::numeric_limits<double>::infinity();
        for (double blur = 0; blur <= 6; blur += 0.25) {
            double chi2 = 0;
            for (const Ring& r : rings) {
                // Each ring's profile is over its mean, which the vanes lower by their light.
                const double length = kTwoPi * r.rPx;
                const double mean = std::max(0.1, 1 - count * widthPx / length);
                for (int m = count; m <= top; m += count) {
                    if (m < kFirstHarmonic) continue;
                    const double k = m * lengthPx / length;
                    const int k0 = static_cast<int>(k);
                    if (k0 + 1 >= static_cast<int>(spectrum.size())) break;
                    const double shadow = spectrum[k0] + (k - k0) * (spectrum[k0 + 1] - spectrum[k0]);
                    const double x = kTwoPi * m * blur / length;
                    const double model = count * 2 / length * shadow * std::exp(-0.5 * x * x) / mean;
                    const double data = r.a[m] * std::cos(m * angle) + r.b[m] * std::sin(m * angle);
                    chi2 += r.weight * (data - model) * (data - model);
                }
            }
            best = std::min(best, chi2);
        }
        cost[i] = best;
    }
    const int i = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    if (i == 0 || i == kWidths - 1) return widthAt(i);
    const double curvature = cost[i - 1] - 2 * cost[i] + cost[i + 1];
    const double shift = curvature > 0 ? 0.5 * (cost[i - 1] - cost[i + 1]) / curvature : 0;
    return widthAt(i + std::clamp(shift, -0.5, 0.5));
}

double Median(std::vector<double> v)
{
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

}  // namespace

Result<VaneMeasurement> MeasureVanes(const RawFrame& intra,
                                     const RawFrame& extra,
                                     const CompensatedResult& frames,
                                     double pixelNm,
                                     double lambdaNm)
{
    if (!(frames.rhoPx >= kMinRhoPx))
        return Status::Fail(StatusCode::OutOfRange, {}, "the pupil is too small to see its vanes");
    auto measured = Rings(intra, extra, frames);
    if (!measured.ok()) return measured.status();
    const std::vector<Ring>& rings = measured.value();
    constexpr int kSteps = 1440;  // quarter degrees around the circle

    // The best comb over every count, spread and angle.
    double bestGain = 0, bestAngle = 0, bestSpread = 0;
    int bestCount = 0;
    for (double spread : kSpreadsPx) {
        if (spread > frames.rhoPx / 4) break;
        for (int n = 2; n <= kMaxVanes; ++n) {
            const Comb comb(rings, n, spread);
            for (int i = 0; i < kSteps / n; ++i) {
                const double angle = kTwoPi * i / kSteps;
                const double gain = comb.Gain(angle);
                if (gain > bestGain) bestGain = gain, bestAngle = angle, bestCount = n, bestSpread = spread;
            }
        }
    }
    VaneMeasurement out;
    if (bestCount == 0) {
        out.reason = "no dip in the annulus";
        return out;
    }
    out.spreadPx = bestSpread;

    // Each dip on its own against the same one-dip statistic at the angles away from every dip.
    const Comb one(rings, 1, bestSpread);
    const double middle = 0.5 * (rings.front().rPx + rings.back().rPx);
    const double reach = 3 * bestSpread / middle + kTwoPi / 720;
    const double step = kTwoPi / bestCount;
    std::vector<double> elsewhere;
    for (int i = 0; i < kSteps; ++i) {
        const double angle = kTwoPi * i / kSteps;
        const double phase = std::remainder(angle - bestAngle, step);
        if (std::abs(phase) > reach) elsewhere.push_back(one.Width(angle));
    }
    if (elsewhere.size() < kSteps / 4) {
        out.reason = "the dips cover the annulus";
        return out;
    }
    const double centre = Median(elsewhere);
    for (double& v : elsewhere) v = std::abs(v - centre);
    const double spread = 1.4826 * Median(elsewhere);
    double weakest = std::numeric_limits<double>::infinity();
    for (int k = 0; k < bestCount; ++k) weakest = std::min(weakest, one.Width(bestAngle + k * step) - centre);
    out.significance = spread > 0 ? weakest / spread : 0;
    const double width = Comb(rings, bestCount, bestSpread).Width(bestAngle);
    if (out.significance < kVaneSignificance || !(width > 0) || width >= 0.5) {
        out.reason = "no dip stands out of the annulus's own structure";
        return out;
    }
    // From the shadow's area to the vane's width, by the same fit of a vane of the width found.
    const double vane =
        FitVaneWidth(rings, bestCount, bestAngle, width, frames.rhoPx, lambdaNm, frames.defocusNm, pixelNm);
    out.shadowWidth = width;
    out.vanes = {bestCount, vane, bestAngle * 180 / std::numbers::pi};
    return out;
}

}  // namespace frontlys
