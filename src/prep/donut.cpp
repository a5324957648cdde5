#include "prep/donut.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numbers>

#include "core/selection.h"
#include "prep/crop.h"

namespace frontlys {
namespace {

constexpr int kBorder = 4;
constexpr int kSmooth = 7;
constexpr int kMinOtherPixels = 25;
constexpr std::size_t kMaxOthers = 20;
constexpr double kBinnedPixels = 2e6;  // frames above this are located on a binned copy first

// The m-th largest of `values` (m >= 1), the value at index size - m once sorted: the m largest
// kept in a heap, a single pass over the rest when m is a small share of them.
double LargestAt(const std::vector<double>& values, std::size_t m)
{
    std::vector<double> top(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(m));
    std::make_heap(top.begin(), top.end(), std::greater<>());  // the least of them first
    for (std::size_t i = m; i < values.size(); ++i) {
        if (!(values[i] > top.front())) continue;
        std::pop_heap(top.begin(), top.end(), std::greater<>());
        top.back() = values[i];
        std::push_heap(top.begin(), top.end(), std::greater<>());
    }
    return top.front();
}

// Box mean over kSmooth x kSmooth (clipped at the edges) through a summed-area table.
std::vector<double> BoxSmooth(const std::vector<double>& f, int w, int h)
{
    std::vector<double> sat(static_cast<std::size_t>(w + 1) * (h + 1), 0.0);
    for (int y = 0; y < h; ++y) {
        double row = 0;
        for (int x = 0; x < w; ++x) {
            row += f[static_cast<std::size_t>(y) * w + x];
            sat[static_cast<std::size_t>(y + 1) * (w + 1) + x + 1] =
                sat[static_cast<std::size_t>(y) * (w + 1) + x + 1] + row;
        }
    }
    const int half = kSmooth / 2;
    std::vector<double> out(f.size());
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - half), y1 = std::min(h, y + half + 1);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - half), x1 = std::min(w, x + half + 1);
            const auto at = [&](int yy, int xx) { return sat[static_cast<std::size_t>(yy) * (w + 1) + xx]; };
            const double s = at(y1, x1) - at(y0, x1) - at(y1, x0) + at(y0, x0);
            out[static_cast<std::size_t>(y) * w + x] = s / ((y1 - y0) * (x1 - x0));
        }
    }
    return out;
}

struct Component {
    double sx = 0, sy = 0, flux = 0;
    int pixels = 0;
    std::vector<int> members;
};

// 8-connected components of the pixels above the threshold.
std::vector<Component> Components(
    const std::vector<double>& smooth, const std::vector<double>& sub, int w, int h, double threshold)
{
    std::vector<int> label(smooth.size(), -1);
    std::vector<Component> comps;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (label[start] >= 0 || !(smooth[start] > threshold)) continue;
        const int id = static_cast<int>(comps.size());
        comps.emplace_back();
        Component& c = comps.back();
        stack.assign(1, start);
        label[start] = id;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            const int px = p % w, py = p / w;
            c.members.push_back(p);
            c.sx += px;
            c.sy += py;
            c.flux += sub[p];
            ++c.pixels;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int q = ny * w + nx;
                    if (label[q] < 0 && smooth[q] > threshold) {
                        label[q] = id;
                        stack.push_back(q);
                    }
                }
            }
        }
    }
    return comps;
}

DonutBlob Scaled(DonutBlob b, int k)
{
    b.cx = (b.cx + 0.5) * k - 0.5;
    b.cy = (b.cy + 0.5) * k - 0.5;
    b.radius *= k;
    b.pixels *= k * k;
    b.flux *= k * k;
    return b;
}

}  // namespace

double LightCentroid(std::span<const double> sub, int w, int h, double radius, double& cx, double& cy)
{
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - radius)));
    const int x1 = std::min(w - 1, static_cast<int>(std::ceil(cx + radius)));
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - radius)));
    const int y1 = std::min(h - 1, static_cast<int>(std::ceil(cy + radius)));
    double s = 0, sx = 0, sy = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius) continue;
            const double v = sub[static_cast<std::size_t>(y) * w + x];
            s += v;
            sx += v * x;
            sy += v * y;
        }
    }
    if (s > 0) {
        cx = sx / s;
        cy = sy / s;
    }
    return s;
}

ClippedStats ClippedMedian(std::vector<double> values)
{
    std::erase_if(values, [](double v) { return !std::isfinite(v); });
    ClippedStats st;
    if (values.empty()) return st;
    std::vector<double> work, scratch;
    for (int round = 0; round < 3; ++round) {
        work = values;
        st.median = Median(work, scratch);
        for (double& v : work) v = std::abs(v - st.median);
        const double mad = Median(work, scratch);
        st.sigma = 1.4826 * mad;
        if (mad <= 0) break;
        std::vector<double> kept;
        kept.reserve(values.size());
        for (double v : values) {
            if (std::abs(v - st.median) < 4 * mad) kept.push_back(v);
        }
        if (kept.size() == values.size() || kept.empty()) break;
        values = std::move(kept);
    }
    st.count = static_cast<int>(values.size());
    return st;
}

Result<DonutLocation> LocateDonut(std::span<const double> frame, int width, int height)
{
    const auto refuse = [](std::string why) {
        return Status::Fail(StatusCode::NumericalFailure,
                            "Aucune étoile défocalisée n'a été trouvée dans l'image",
                            std::move(why));
    };
    if (width < 4 * kBorder || height < 4 * kBorder ||
        frame.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return refuse("frame too small or size mismatch");
    }
    // The frame's outer kBorder pixels, row by row: whole rows at the top and bottom, the two ends
    // of the others.
    std::vector<double> border;
    border.reserve(static_cast<std::size_t>(2 * kBorder) * (width + height));
    for (int y = 0; y < height; ++y) {
        const double* row = &frame[static_cast<std::size_t>(y) * width];
        if (y < kBorder || y >= height - kBorder) {
            border.insert(border.end(), row, row + width);
            continue;
        }
        border.insert(border.end(), row, row + kBorder);
        border.insert(border.end(), row + width - kBorder, row + width);
    }
    const ClippedStats b0 = ClippedMedian(std::move(border));
    if (b0.count == 0) return refuse("no finite pixel on the border");

    std::vector<double> sub(frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i)
        sub[i] = std::isfinite(frame[i]) ? frame[i] - b0.median : 0.0;
    const std::vector<double> smooth = BoxSmooth(sub, width, height);
    const auto rank = static_cast<std::size_t>(0.999 * static_cast<double>(smooth.size() - 1));
    const double p999 = LargestAt(smooth, smooth.size() - rank);
    const double peak = *std::max_element(smooth.begin(), smooth.end());
    const double sigmaSmooth = b0.sigma / kSmooth;
    if (!(peak > 5 * sigmaSmooth) || !(peak > 0)) return refuse("no component stands out of the noise");
    const double threshold = std::max({0.3 * p999, 0.1 * peak, 3 * sigmaSmooth});

    std::vector<Component> comps = Components(smooth, sub, width, height, threshold);
    std::sort(
        comps.begin(), comps.end(), [](const Component& a, const Component& b) { return a.flux > b.flux; });
    if (comps.empty() || !(comps.front().flux > 0)) return refuse("no lit component");

    DonutLocation loc;
    loc.noise = b0.sigma;
    const auto describe = [&](const Component& c) {
        DonutBlob blob;
        blob.cx = c.sx / c.pixels;
        blob.cy = c.sy / c.pixels;
        double far2 = 0;
        for (int p : c.members) {
            const double dx = p % width - blob.cx, dy = p / width - blob.cy;
            far2 = std::max(far2, dx * dx + dy * dy);
        }
        blob.radius = std::max(std::sqrt(c.pixels / std::numbers::pi), std::sqrt(far2));
        blob.flux = c.flux;
        blob.pixels = c.pixels;
        return blob;
    };
    DonutBlob main = describe(comps.front());
    for (int i = 0; i < 3; ++i) LightCentroid(sub, width, height, 1.4 * main.radius, main.cx, main.cy);

    // Background: clipped median of an annulus clear of the donut's halo.
    const double ra = 1.35 * main.radius + 6;
    const double rb = ra + std::max(20.0, 0.6 * main.radius);
    // The pixels clear of the halo, those out to rb alone or all of them (a frame too small for the
    // annulus): the whole frame is gathered only when the annulus falls short.
    const auto clear = [&](bool annulus) {
        std::vector<double> values;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double r2 = (x - main.cx) * (x - main.cx) + (y - main.cy) * (y - main.cy);
                if (r2 < ra * ra || (annulus && !(r2 <= rb * rb))) continue;
                values.push_back(frame[static_cast<std::size_t>(y) * width + x]);
            }
        }
        return values;
    };
    ClippedStats bg = ClippedMedian(clear(true));
    if (bg.count < 200) bg = ClippedMedian(clear(false));
    loc.background = bg.count > 0 ? bg.median : b0.median;

    for (std::size_t i = 0; i < frame.size(); ++i)
        sub[i] = std::isfinite(frame[i]) ? frame[i] - loc.background : 0.0;
    const double window = 1.3 * main.radius + 6;
    for (int i = 0; i < 3; ++i) main.flux = LightCentroid(sub, width, height, window, main.cx, main.cy);
    loc.main = main;

    for (std::size_t i = 1; i < comps.size() && loc.others.size() < kMaxOthers; ++i) {
        if (comps[i].pixels >= kMinOtherPixels && comps[i].flux > 0) loc.others.push_back(describe(comps[i]));
    }
    return loc;
}

Result<DonutLocation> LocateDonutInFrame(std::span<const double> frame, int width, int height)
{
    const double pixels = double(width) * height;
    if (pixels <= kBinnedPixels) return LocateDonut(frame, width, height);
    const int k = static_cast<int>(std::ceil(std::sqrt(pixels / kBinnedPixels)));
    int bw = 0, bh = 0;
    const std::vector<double> binned = BinFrame(frame, width, height, k, &bw, &bh);
    auto coarse = LocateDonut(binned, bw, bh);
    if (!coarse.ok()) return coarse;
    DonutLocation loc = coarse.take();
    const DonutBlob main = Scaled(loc.main, k);
    const CropWindow w = WindowAround(main.cx, main.cy, CropSide(main.radius + k));
    const ImageSlot cut = CutSquare(frame, width, height, w, loc.background);
    auto fine = LocateDonut(cut->Planes.Plane(0), w.side, w.side);
    if (!fine.ok()) return fine;
    DonutLocation out = fine.take();
    out.main.cx += w.left;
    out.main.cy += w.top;
    out.others.clear();
    for (const DonutBlob& b : loc.others) out.others.push_back(Scaled(b, k));
    return out;
}

}  // namespace frontlys
