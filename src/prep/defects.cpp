#include "prep/defects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "core/selection.h"
#include "core/thread_pool.h"

namespace frontlys {
namespace {

constexpr double kSpikeSigmas = 10;     // above the third-brightest neighbour, in local noise
constexpr double kGrowSigmas = 5;       // a flagged pixel's neighbour above its own surroundings
constexpr double kSpikeContrast = 0.5;  // share of the excess over the surroundings not shared by neighbours
constexpr double kSpikeHeight = 0.25;   // share of the height over the sky
constexpr int kMaxSamples = 1 << 20;

std::vector<double>& MedianScratch()
{
    thread_local std::vector<double> scratch;
    return scratch;
}

double MedianOf(double* first, std::size_t n) { return Median(std::span<double>(first, n), MedianScratch()); }

// The noise of one pixel as a function of its level above the sky: sigma^2 = s0^2 + k level, from
// the differences of horizontal neighbours (blind to the sky's slope and to smooth light), on the
// sky for s0 and on the lit pixels for k. Rows are sampled on frames of many megapixels.
struct NoiseModel {
    double sky = 0, s0 = 0.5, k = 0;
    // Never under one electron (k ADU): on a sky without read noise a lone photon would otherwise
    // stand many sigmas above its dark neighbours.
    double At(double level) const { return std::max(k, std::sqrt(s0 * s0 + k * std::max(0.0, level - sky))); }
};

double RobustSigmaOfDifferences(std::vector<double>& d)
{
    if (d.empty()) return 0;
    for (double& v : d) v = std::abs(v);
    return 1.4826 * MedianOf(d.data(), d.size()) / std::sqrt(2.0);
}

NoiseModel MeasureNoise(std::span<const double> f, int w, int h)
{
    const int step = std::max(1, static_cast<int>(double(w) * h / kMaxSamples));
    std::vector<double> levels, lows, diffs;
    for (int y = 0; y < h; y += step) {
        const double* row = f.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x + 1 < w; ++x)
            if (std::isfinite(row[x]) && std::isfinite(row[x + 1])) {
                levels.push_back(0.5 * (row[x] + row[x + 1]));
                lows.push_back(std::min(row[x], row[x + 1]));
                diffs.push_back(row[x + 1] - row[x]);
            }
    }
    NoiseModel m;
    if (levels.empty()) return m;
    std::vector<double> work = levels;
    m.sky = MedianOf(work.data(), work.size());
    work = diffs;
    const double guess = RobustSigmaOfDifferences(work);
    std::vector<double> sky, lit, litLevels;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const double above = levels[i] - m.sky;
        if (std::abs(above) < 3 * guess) sky.push_back(diffs[i]);
        // Both pixels lit: a hot pixel beside the sky is no sample of the light's noise.
        if (lows[i] - m.sky > 20 * std::max(guess, 0.5)) {
            lit.push_back(diffs[i]);
            litLevels.push_back(above);
        }
    }
    m.s0 = std::max(0.5, sky.size() >= 50 ? RobustSigmaOfDifferences(sky) : guess);
    if (lit.size() >= 50) {
        const double s = RobustSigmaOfDifferences(lit);
        const double level = MedianOf(litLevels.data(), litLevels.size());
        m.k = std::max(0.0, s * s - m.s0 * m.s0) / level;
    }
    return m;
}

// Median of the finite, unflagged pixels of the 5 x 5 square around (x, y), the centre left out.
double Around(std::span<const double> f, const std::vector<char>& flag, int w, int h, int x, int y)
{
    std::array<double, 24> v{};
    std::size_t n = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            const std::size_t i = static_cast<std::size_t>(ny) * w + nx;
            if (std::isfinite(f[i]) && !flag[i]) v[n++] = f[i];
        }
    return n == 0 ? f[static_cast<std::size_t>(y) * w + x] : MedianOf(v.data(), n);
}

// The third-brightest 8-neighbour. A neighbour off the frame or not finite counts as bright: it
// may be lit, and a rim pixel at the frame's edge or beside a hole must not look like a spike.
double ThirdNeighbour(std::span<const double> f, int w, int h, int x, int y)
{
    double a = -HUGE_VAL, b = -HUGE_VAL, c = -HUGE_VAL;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (dx == 0 && dy == 0) continue;
            const bool inside = nx >= 0 && ny >= 0 && nx < w && ny < h;
            double v = inside ? f[static_cast<std::size_t>(ny) * w + nx] : HUGE_VAL;
            if (!std::isfinite(v)) v = HUGE_VAL;
            if (v > a) {
                c = b;
                b = a;
                a = v;
            } else if (v > b) {
                c = b;
                b = v;
            } else if (v > c) {
                c = v;
            }
        }
    return c;
}

// A cheap necessary condition of the spike test: the third-brightest neighbour at least
// kSpikeSigmas x s0 below the pixel (the noise at any level is at least s0), i.e. at most two
// neighbours (off the frame or not finite counting as bright) within that of it. Most pixels of a
// frame fail it at their third neighbour.
bool MayBeSpike(std::span<const double> f, int w, int h, int x, int y, double s0)
{
    // A hair below the bound, so that rounding in the noise model never makes this stricter.
    const double below = f[static_cast<std::size_t>(y) * w + x] - kSpikeSigmas * s0 * (1 - 1e-9);
    int bright = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0) continue;
            const int nx = x + dx, ny = y + dy;
            const bool inside = nx >= 0 && ny >= 0 && nx < w && ny < h;
            if (!inside || !(f[static_cast<std::size_t>(ny) * w + nx] < below)) {
                if (++bright == 3) return false;
            }
        }
    return true;
}

void Classify(const std::vector<char>& flag, const std::vector<char>& bad, int w, int h, DefectReport& r)
{
    std::vector<char> seen(flag.size(), 0);
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (!flag[start] || bad[start] || seen[start]) continue;
        int size = 0;
        stack.assign(1, start);
        seen[start] = 1;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            ++size;
            const int px = p % w, py = p / w;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int q = ny * w + nx;
                    if (flag[q] && !bad[q] && !seen[q]) {
                        seen[q] = 1;
                        stack.push_back(q);
                    }
                }
        }
        if (size <= 2) {
            ++r.hotPixels;
        } else {
            ++r.cosmicRays;
            r.cosmicRayPixels += size;
        }
    }
}

// Each flagged pixel takes the median of the sound pixels of the smallest square around it (5 x 5
// up to 15 x 15) holding at least three of them.
void Fill(std::span<double> f, const std::vector<char>& flag, int w, int h, const std::vector<int>& pixels)
{
    std::vector<double> fill(pixels.size(), 0.0);
    std::vector<double> v;
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        const int x = pixels[k] % w, y = pixels[k] / w;
        for (int half = 2; half <= 7; ++half) {
            v.clear();
            for (int ny = std::max(0, y - half); ny <= std::min(h - 1, y + half); ++ny)
                for (int nx = std::max(0, x - half); nx <= std::min(w - 1, x + half); ++nx) {
                    const std::size_t i = static_cast<std::size_t>(ny) * w + nx;
                    if (!flag[i]) v.push_back(f[i]);
                }
            if (v.size() >= 3) break;
        }
        fill[k] = v.empty() ? 0.0 : MedianOf(v.data(), v.size());
    }
    for (std::size_t k = 0; k < pixels.size(); ++k) f[static_cast<std::size_t>(pixels[k])] = fill[k];
}

}  // namespace

DefectReport RepairDefects(std::span<double> frame, int width, int height)
{
    DefectReport r;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    if (width < 3 || height < 3 || frame.size() != n) return r;
    const NoiseModel noise = MeasureNoise(frame, width, height);

    std::vector<char> flag(n, 0), bad(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(frame[i])) flag[i] = bad[i] = 1;
    // Spikes: far above the third-brightest neighbour for the noise at that level (cheap test
    // first), by much of their height over the sky (a diffraction fringe is not), and above their
    // surroundings by much more than those neighbours are.
    // Bands of rows in parallel, their finds joined in row order: the same list on any thread count.
    const int bands = std::min(height, 64);
    std::vector<std::vector<int>> inBand(static_cast<std::size_t>(bands));
    ParallelFor(bands, [&](int b) {
        for (int y = height * b / bands; y < height * (b + 1) / bands; ++y)
            for (int x = 0; x < width; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                if (bad[i] || !MayBeSpike(frame, width, height, x, y, noise.s0)) continue;
                const double v = frame[i];
                const double third = ThirdNeighbour(frame, width, height, x, y);
                const double excess = v - third;
                if (!(excess > kSpikeSigmas * noise.At(third)) || !(excess > kSpikeHeight * (v - noise.sky)))
                    continue;
                if (excess > kSpikeContrast * (v - Around(frame, bad, width, height, x, y)))
                    inBand[static_cast<std::size_t>(b)].push_back(static_cast<int>(i));
            }
    });
    std::vector<int> spikes;
    for (const std::vector<int>& band : inBand) spikes.insert(spikes.end(), band.begin(), band.end());
    for (int p : spikes) flag[static_cast<std::size_t>(p)] = 1;
    // Their neighbours that stand as high above their own surroundings: the rest of a track,
    // charge spilt. One generation only, so that a spike on the rim cannot spread along it.
    const std::size_t found = spikes.size();
    for (std::size_t k = 0; k < found; ++k) {
        const int x = spikes[k] % width, y = spikes[k] / width;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
                const std::size_t q = static_cast<std::size_t>(ny) * width + nx;
                if (flag[q]) continue;
                const double around = Around(frame, flag, width, height, nx, ny);
                const double excess = frame[q] - around;
                if (excess > kGrowSigmas * noise.At(around) &&
                    excess > kSpikeHeight * (frame[q] - noise.sky)) {
                    flag[q] = 1;
                    spikes.push_back(static_cast<int>(q));
                }
            }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!flag[i]) continue;
        r.repaired.push_back(static_cast<int>(i));
        if (bad[i]) ++r.badPixels;
    }
    Classify(flag, bad, width, height, r);
    Fill(frame, flag, width, height, r.repaired);
    return r;
}

}  // namespace frontlys
