#include "engine/compensated/noise_covariance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>

#include "core/large_buffer.h"
#include "core/thread_pool.h"
#include "engine/linear_solve.h"

namespace frontlys::compensated {
namespace {

// Median of r^2 / var for a Gaussian r: the median of chi-square with one degree of freedom.
constexpr double kChi2Median = 0.45494;
// A pixel less the mean of two neighbours has 1 + 2/4 times the pixel's variance.
constexpr double kPairGain = 1.5;
constexpr int kMinPixels = 30;

double Percentile(std::vector<double> v, double q)
{
    if (v.empty()) return 0;
    const auto at = v.begin() + static_cast<std::ptrdiff_t>(q * (v.size() - 1));
    std::nth_element(v.begin(), at, v.end());
    return *at;
}

// Four doubles at once. The functions below are compiled with and without AVX2, the loader picking
// one; no multiply is fused with its add, so both give the same bits.
using V4 = double __attribute__((vector_size(32)));
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_COV_CLONES \
    __attribute__((target_clones("arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_COV_CLONES
#endif

// to[0, n) += k from[0, n).
FRONTLYS_COV_CLONES void AddScaled(double* to, const double* from, double k, int n)
{
    const V4 kv = {k, k, k, k};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        V4 x, y;
        std::memcpy(&x, to + i, sizeof x);
        std::memcpy(&y, from + i, sizeof y);
        x += kv * y;
        std::memcpy(to + i, &x, sizeof x);
    }
    for (; i < n; ++i) to[i] += k * from[i];
}

// sum over [0, n) of a b, n a multiple of 4, in four interleaved partial sums.
FRONTLYS_COV_CLONES double Dot(const double* a, const double* b, int n)
{
    V4 sum = {0, 0, 0, 0};
    for (int i = 0; i < n; i += 4) {
        V4 x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        sum += x * y;
    }
    return (sum[0] + sum[1]) + (sum[2] + sum[3]);
}

// Dot(a, b + q stride, n) for q = 0..3 at once, each the bits of its own call: a is read once.
FRONTLYS_COV_CLONES void Dot4(const double* a, const double* b, std::ptrdiff_t stride, int n, double out[4])
{
    V4 sum[4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    for (int i = 0; i < n; i += 4) {
        V4 x;
        std::memcpy(&x, a + i, sizeof x);
        for (int q = 0; q < 4; ++q) {
            V4 y;
            std::memcpy(&y, b + q * stride + i, sizeof y);
            sum[q] += x * y;
        }
    }
    for (int q = 0; q < 4; ++q) out[q] = (sum[q][0] + sum[q][1]) + (sum[q][2] + sum[q][3]);
}

// The three sums of one pair of terms over a block (n a multiple of 4): sum sdx_a dx_b + sdy_a dy_b,
// sum sv_a flow_b and sum sv_b flow_a.
FRONTLYS_COV_CLONES void PairSums(const double* sdxa,
                                  const double* sdya,
                                  const double* sva,
                                  const double* fa,
                                  const double* dxb,
                                  const double* dyb,
                                  const double* svb,
                                  const double* fb,
                                  int n,
                                  double out[3])
{
    V4 sy = {0, 0, 0, 0}, x = sy, y = sy;
    for (int q = 0; q < n; q += 4) {
        V4 v[8];
        std::memcpy(&v[0], sdxa + q, sizeof v[0]);
        std::memcpy(&v[1], dxb + q, sizeof v[1]);
        std::memcpy(&v[2], sdya + q, sizeof v[2]);
        std::memcpy(&v[3], dyb + q, sizeof v[3]);
        std::memcpy(&v[4], sva + q, sizeof v[4]);
        std::memcpy(&v[5], fb + q, sizeof v[5]);
        std::memcpy(&v[6], svb + q, sizeof v[6]);
        std::memcpy(&v[7], fa + q, sizeof v[7]);
        sy += v[0] * v[1] + v[2] * v[3];
        x += v[4] * v[5];
        y += v[6] * v[7];
    }
    out[0] = (sy[0] + sy[1]) + (sy[2] + sy[3]);
    out[1] = (x[0] + x[1]) + (x[2] + x[3]);
    out[2] = (y[0] + y[1]) + (y[2] + y[3]);
}

int RoundUp4(int n) { return (n + 3) / 4 * 4; }

// The weak-form matrix of the loop at its last pass (see AssembleWeakForm in loop.cpp). The lit points
// run in blocks that stay in the first-level cache while every pair of terms reads them (the whole
// grid, once per pair, is read from memory hundreds of times over); each pair's sum over a block runs
// in four interleaved partial sums, in a fixed order.
std::vector<double> WeakFormMatrix(const Grid& g,
                                   const std::vector<int>& terms,
                                   const std::vector<double>& s,
                                   double scale)
{
    const int nt = static_cast<int>(terms.size());
    const std::size_t pairs = static_cast<std::size_t>(nt) * nt;
    std::vector<double> sym(pairs, 0.0), ab(pairs, 0.0);  // ab[a * nt + b]: v_a against the flow of b
    constexpr int kBlock = 128;
    std::vector<int> lit;
    for (int p = 0; p < g.n; ++p)
        if (s[p] != 0) lit.push_back(p);
    // Per block and term: its slopes, the slopes times s w, s v and the flow's derivative along it;
    // zero past the block's points up to a multiple of 4.
    const std::size_t lane = static_cast<std::size_t>(nt) * kBlock;
    std::vector<double> dx(lane, 0.0), dy(lane, 0.0), sdx(lane, 0.0), sdy(lane, 0.0), sv(lane, 0.0),
        flow(lane, 0.0);
    for (std::size_t from = 0; from < lit.size(); from += kBlock) {
        const int m = static_cast<int>(std::min<std::size_t>(kBlock, lit.size() - from)), m4 = RoundUp4(m);
        for (int t = 0; t < nt; ++t) {
            const int k = terms[t];
            const std::size_t to = static_cast<std::size_t>(t) * kBlock;
            for (int q = 0; q < m4; ++q) {
                if (q >= m) {
                    dx[to + q] = dy[to + q] = sdx[to + q] = sdy[to + q] = sv[to + q] = flow[to + q] = 0;
                    continue;
                }
                const int p = lit[from + q];
                const double sw = s[p] * g.w[p];
                const double jx = g.Jet(JetPart::Dx, k, p), jy = g.Jet(JetPart::Dy, k, p);
                dx[to + q] = jx;
                dy[to + q] = jy;
                sdx[to + q] = sw * jx;
                sdy[to + q] = sw * jy;
                sv[to + q] = s[p] * g.Jet(JetPart::V, k, p);
                flow[to + q] = g.wx[p] * jx + g.wy[p] * jy;
            }
        }
        for (int a = 0; a < nt; ++a) {
            const std::size_t ta = static_cast<std::size_t>(a) * kBlock;
            for (int b = a; b < nt; ++b) {
                const std::size_t tb = static_cast<std::size_t>(b) * kBlock;
                double sums[3];
                PairSums(
                    &sdx[ta], &sdy[ta], &sv[ta], &flow[ta], &dx[tb], &dy[tb], &sv[tb], &flow[tb], m4, sums);
                sym[static_cast<std::size_t>(a) * nt + b] += sums[0];
                ab[static_cast<std::size_t>(a) * nt + b] += sums[1];
                if (b != a) ab[static_cast<std::size_t>(b) * nt + a] += sums[2];
            }
        }
    }
    std::vector<double> mat(pairs, 0.0);
    for (int a = 0; a < nt; ++a)
        for (int b = a; b < nt; ++b) {
            const double sy = sym[static_cast<std::size_t>(a) * nt + b];
            mat[static_cast<std::size_t>(a) * nt + b] =
                scale * (sy + ab[static_cast<std::size_t>(a) * nt + b]);
            mat[static_cast<std::size_t>(b) * nt + a] =
                scale * (sy + ab[static_cast<std::size_t>(b) * nt + a]);
        }
    return mat;
}

// Adds one sample's amplitudes (one per term) times its stencil to the weights of the sixteen
// coefficients it reads.
void SpreadSample(const BSplineImage::Stencil& st,
                  const double* amplitude,
                  int r0,
                  int c0,
                  int w,
                  int lanes,
                  int nt,
                  std::vector<double>& spread,
                  std::vector<double>& weight)
{
    // The amplitudes times each column's weight: the four columns of a stencil row are adjacent in
    // `weight` (but where the window's mirror folds them), so a row takes one sweep.
    for (int c = 0; c < 4; ++c)
        for (int t = 0; t < nt; ++t)
            spread[static_cast<std::size_t>(c) * lanes + t] = st.wx[c] * amplitude[t];
    const bool adjacent = st.cols[3] == st.cols[0] + 3;
    for (int r = 0; r < 4; ++r) {
        const std::size_t row = static_cast<std::size_t>(st.rows[r] - r0) * w;
        if (adjacent) {
            AddScaled(&weight[(row + st.cols[0] - c0) * lanes], spread.data(), st.wy[r], 4 * lanes);
            continue;
        }
        for (int c = 0; c < 4; ++c)
            AddScaled(&weight[(row + st.cols[c] - c0) * lanes],
                      &spread[static_cast<std::size_t>(c) * lanes],
                      st.wy[r],
                      lanes);
    }
}

// Adds one frame's share of Cov(F): the test functions pushed back to the pixels, then summed with
// each pixel's variance.
void AddFrameCovariance(const Grid& g,
                        const std::vector<int>& terms,
                        const Derivatives& d,
                        double a,
                        double fluxScale,
                        const PreparedFrame& f,
                        const RawFrame& raw,
                        double alpha,
                        std::vector<double>& cf)
{
    const BSplineImage& sp = f.spline;
    const int nt = static_cast<int>(terms.size());
    if (sp.width() < 3 || sp.height() < 3) return;
    // The stencils of every sample, and the box they cover with a margin where the prefilter's
    // response (0.27 per pixel) has died out: the weights are nil beyond it.
    struct Sample {
        int p;
        BSplineImage::Stencil st;
    };
    // Kept between calls, as the weights below.
    static thread_local std::vector<Sample> samples;
    samples.clear();
    samples.reserve(static_cast<std::size_t>(g.n));
    int r0 = sp.height(), r1 = -1, c0 = sp.width(), c1 = -1;
    for (int p = 0; p < g.n; ++p) {
        if (g.w[p] == 0) continue;
        double X = 0, Y = 0;
        RayPoint(g, p, a, d.wx[p], d.wy[p], X, Y);
        Sample s{p, {}};
        if (!sp.StencilAt(f.setup.cx + X * g.rho, f.setup.cy - Y * g.rho, s.st)) continue;
        r0 = std::min(r0, *std::min_element(s.st.rows, s.st.rows + 4));
        r1 = std::max(r1, *std::max_element(s.st.rows, s.st.rows + 4));
        c0 = std::min(c0, *std::min_element(s.st.cols, s.st.cols + 4));
        c1 = std::max(c1, *std::max_element(s.st.cols, s.st.cols + 4));
        samples.push_back(s);
    }
    if (samples.empty()) return;
    constexpr int kMargin = 16;
    r0 = std::max(0, r0 - kMargin), c0 = std::max(0, c0 - kMargin);
    r1 = std::min(sp.height() - 1, r1 + kMargin), c1 = std::min(sp.width() - 1, c1 + kMargin);
    const int w = c1 - c0 + 1, h = r1 - r0 + 1;
    // Weights on the B-spline coefficients, pixel-major so that the terms of one pixel are adjacent,
    // padded to a multiple of 4 terms (the padding stays 0). Kept between calls, and first reserved
    // in large pages: megabytes freshly mapped each time cost more in page faults than the sums.
    const int lanes = RoundUp4(nt);
    const std::size_t size = static_cast<std::size_t>(w) * h * lanes;
    static thread_local std::vector<double> weight;
    ReserveLarge(weight, size);
    weight.assign(size, 0.0);
    std::vector<double> spread(4 * static_cast<std::size_t>(lanes), 0.0);
    // The test functions' values times the sample's common factor, gathered a block of samples at a
    // time term by term: the jets are term-major, and a sample's terms lie a grid apart.
    constexpr int kGather = 64;
    // The block's points are in order: each term's values over their span are copied whole, in the
    // quadrant's order, and the samples picked from them.
    std::vector<double> common(kGather), amplitude(static_cast<std::size_t>(kGather) * lanes), span;
    std::vector<Grid::JetPiece> pieces;
    for (std::size_t first = 0; first < samples.size(); first += kGather) {
        const int count = static_cast<int>(std::min<std::size_t>(kGather, samples.size() - first));
        for (int b = 0; b < count; ++b) {
            const int p = samples[first + b].p;
            const double jac = RayJacobian(g, p, a, d.wxx[p], d.wyy[p], d.wxy[p]);
            common[b] = fluxScale * jac * g.w[p];
        }
        const int p0 = samples[first].p, len = samples[first + count - 1].p - p0 + 1;
        g.SpanPieces(p0, len, pieces);
        span.resize(static_cast<std::size_t>(len));
        for (int t = 0; t < nt; ++t) {
            g.JetSpan(JetPart::V, terms[t], pieces, span.data());
            for (int b = 0; b < count; ++b)
                amplitude[static_cast<std::size_t>(b) * lanes + t] =
                    common[b] * span[samples[first + b].p - p0];
        }
        for (int b = 0; b < count; ++b)
            SpreadSample(samples[first + b].st,
                         &amplitude[static_cast<std::size_t>(b) * lanes],
                         r0,
                         c0,
                         w,
                         lanes,
                         nt,
                         spread,
                         weight);
    }
    // Through the prefilter's transpose: the prefilter itself (symmetric but at the box's ends, where
    // the weights are nil).
    // All terms of a pixel at once: the recursion runs along contiguous lanes.
    for (int r = 0; r < h; ++r)
        BSplinePrefilter(&weight[static_cast<std::size_t>(r) * w * lanes], w, lanes, nt);
    for (int c = 0; c < w; ++c)
        BSplinePrefilter(
            &weight[static_cast<std::size_t>(c) * lanes], h, static_cast<std::ptrdiff_t>(w) * lanes, nt);
    // A box row at a time, term-major: each entry of Cov(F) is then one sum along the row of the
    // pixels' variance times the two terms' weights. Padded to a multiple of 4 pixels with nil weights.
    const double sky = f.setup.noise * f.setup.noise;
    const int w4 = RoundUp4(w);
    std::vector<double> gt(static_cast<std::size_t>(nt) * w4, 0.0), vt(gt.size(), 0.0);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const double v =
                raw.pixels[static_cast<std::size_t>(sp.y0() + r0 + r) * raw.width + sp.x0() + c0 + c];
            const double var = std::isfinite(v) ? sky + alpha * std::max(0.0, v - f.setup.background) : 0.0;
            const double* gq = &weight[(static_cast<std::size_t>(r) * w + c) * lanes];
            double* gc = gt.data() + c;
            double* vc = vt.data() + c;
            for (int t = 0; t < nt; ++t) {
                const double x = gq[t];
                gc[static_cast<std::size_t>(t) * w4] = x;
                vc[static_cast<std::size_t>(t) * w4] = var * x;
            }
        }
        for (int i = 0; i < nt; ++i) {
            const double* vi = &vt[static_cast<std::size_t>(i) * w4];
            double* to = &cf[static_cast<std::size_t>(i) * nt];
            int j = i;
            for (; j + 4 <= nt; j += 4) {
                double sums[4];
                Dot4(vi, &gt[static_cast<std::size_t>(j) * w4], w4, w4, sums);
                for (int q = 0; q < 4; ++q) to[j + q] += sums[q];
            }
            for (; j < nt; ++j) to[j] += Dot(vi, &gt[static_cast<std::size_t>(j) * w4], w4);
        }
    }
}

}  // namespace

double EstimatePhotonVariance(const RawFrame& raw, const PreparedFrame& f)
{
    const BSplineImage& sp = f.spline;
    const int w = sp.width(), h = sp.height();
    const auto at = [&](int c, int r) {
        return raw.pixels[static_cast<std::size_t>(sp.y0() + r) * raw.width + sp.x0() + c] -
               f.setup.background;
    };
    std::vector<double> lit;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            if (const double v = at(c, r); std::isfinite(v)) lit.push_back(v);
    // The donut's plateau: well above half the level its brightest pixels reach. Pixels whose four
    // neighbours are lit too stay clear of the edges, where the light itself bends sharply.
    const double threshold = std::max(0.2 * Percentile(lit, 0.99), 5 * f.setup.noise);
    if (!(threshold > 0)) return 0;
    // The light of a defocused star rings in circles about its centre (diffraction), often more than
    // its photon noise at the pixel scale: each pixel is compared with its two neighbours along the
    // ring (taken where a row, column or diagonal runs within 3 degrees of it), so that the rings'
    // slope cancels and only their curvature over a fraction of a pixel remains.
    std::vector<double> level, square;
    constexpr double kAlign = 0.0524;  // 3 degrees
    for (int r = 1; r + 1 < h; ++r) {
        for (int c = 1; c + 1 < w; ++c) {
            // A dark pixel fails the test below anyway: most of the window skips the angles.
            if (!(at(c, r) > threshold)) continue;
            const double dx = sp.x0() + c - f.setup.cx, dy = sp.y0() + r - f.setup.cy;
            const double R = std::hypot(dx, dy);
            if (!(R > 3)) continue;
            // Tangent direction, folded into [0, pi / 4) steps: 0 along a row, 1 a diagonal, ...
            const double step = std::atan2(dx, -dy) / (std::numbers::pi / 4);  // the tangent (-dy, dx)
            const long nearest = std::lround(step);
            if (std::abs(step - nearest) * (std::numbers::pi / 4) > kAlign) continue;
            static constexpr int kDir[8][2] = {
                {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
            const int* d = kDir[((nearest % 8) + 8) % 8];
            // The grid step across the ring, outwards.
            const int sign = d[1] * dx - d[0] * dy >= 0 ? 1 : -1;
            const int px = sign * d[1], py = -sign * d[0];
            const double v[5] = {at(c, r),
                                 at(c + d[0], r + d[1]),
                                 at(c - d[0], r - d[1]),
                                 at(c + px, r + py),
                                 at(c - px, r - py)};
            if (!std::all_of(v, v + 5, [&](double x) { return std::isfinite(x) && x > threshold; })) continue;
            // The two neighbours along the tangent sit |d|^2 / 2R further out than the pixel: on bright
            // frames the rings' radial slope over that offset outweighs the photon noise, so it is
            // taken out with the slope read across the ring (whose own noise adds |d|^2 / 8R^2).
            const double step2 = d[0] * d[0] + d[1] * d[1];
            const double slope = (v[3] - v[4]) / (2 * std::sqrt(step2));
            const double residual = v[0] - 0.5 * (v[1] + v[2]) + step2 / (2 * R) * slope;
            level.push_back(v[0]);
            square.push_back(residual * residual / kPairGain);
        }
    }
    if (static_cast<int>(level.size()) < kMinPixels) return 0;
    const double sky = f.setup.noise * f.setup.noise;
    // The alpha at which the scaled squares have the median of chi-square with one degree of freedom;
    // the median shrugs off the few pixels where the light's own structure shows.
    // The median (Percentile's element (size - 1) / 2) lies above kChi2Median when no more ratios than
    // that index lie at or below it: a count, not a selection.
    const std::size_t middle = (level.size() - 1) / 2;
    const auto medianAbove = [&](double alpha) {
        std::size_t below = 0;
        for (std::size_t k = 0; k < level.size(); ++k) {
            const double var = sky + alpha * level[k];
            below += (var > 0 ? square[k] / var : 1e300) <= kChi2Median;
        }
        return below <= middle;
    };
    if (sky > 0 && !medianAbove(0)) return 0;
    double lo = 0, hi = std::max(1e-12, Percentile(square, 0.5) / Percentile(level, 0.5));
    while (medianAbove(hi) && hi < 1e12) hi *= 2;
    for (int step = 0; step < 50; ++step) {
        const double mid = 0.5 * (lo + hi);
        (medianAbove(mid) ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

NoiseCovarianceOutcome NoiseCovariance(const Grid& g,
                                       const TransportCoefficients& m,
                                       const LoopOutcome& loop,
                                       const PreparedFrame& intra,
                                       const PreparedFrame& extra,
                                       const RawFrame& rawIntra,
                                       const RawFrame& rawExtra)
{
    NoiseCovarianceOutcome out;
    const ZernikeBasis basis = ZernikeBasis::ForCount(g.terms);
    std::vector<int> terms;
    for (int k = 2; k <= g.terms; ++k)
        if (basis.Reaches(k)) terms.push_back(k - 1);
    const int nt = static_cast<int>(terms.size());
    if (nt == 0 || static_cast<int>(loop.s.size()) != g.n) return out;
    // Each frame's photon variance and share of Cov(F), and the weak-form matrix, are independent: they
    // run at once.
    std::array<double, 2> alpha{};
    ParallelFor(2, [&](int i) {
        alpha[i] = EstimatePhotonVariance(i == 0 ? rawIntra : rawExtra, i == 0 ? intra : extra);
    });
    out.photonVariance = alpha;
    // One camera took both frames, so one photon variance per ADU holds for both; light structure the
    // ring test cannot follow only ever adds to an estimate, so the lower one is the camera's.
    if (out.photonVariance[0] > 0 && out.photonVariance[1] > 0)
        out.photonVariance[0] = out.photonVariance[1] =
            std::min(out.photonVariance[0], out.photonVariance[1]);
    const double meanFlux = 0.5 * (intra.setup.flux + extra.setup.flux);
    Derivatives d;  // as the loop takes them: the grid needs no jets of second derivatives
    Synthesize(g, loop.c, d);
    std::array<std::vector<double>, 2> share;
    // The loop's last pass solved every term with this matrix; a loop that stopped at its first pass
    // (fewer terms) leaves it to be built.
    std::vector<double> mat = loop.weakForm;
    const bool build = mat.size() != static_cast<std::size_t>(nt) * nt;
    ParallelFor(build ? 3 : 2, [&](int task) {
        if (task == 2) {
            mat = WeakFormMatrix(g, terms, loop.s, -(m.extra - m.intra));
            return;
        }
        const PreparedFrame& f = task == 0 ? intra : extra;
        share[task].assign(static_cast<std::size_t>(nt) * nt, 0.0);
        AddFrameCovariance(g,
                           terms,
                           d,
                           task == 0 ? m.intra : m.extra,
                           meanFlux / f.setup.flux,
                           f,
                           task == 0 ? rawIntra : rawExtra,
                           out.photonVariance[task],
                           share[task]);
    });
    std::vector<double> cf(static_cast<std::size_t>(nt) * nt);
    for (std::size_t q = 0; q < cf.size(); ++q) cf[q] = share[0][q] + share[1][q];
    for (int i = 0; i < nt; ++i)
        for (int j = 0; j < i; ++j)
            cf[static_cast<std::size_t>(i) * nt + j] = cf[static_cast<std::size_t>(j) * nt + i];
    // X = M^-1 Cov(F) column by column, then M^-1 X^T.
    std::vector<double> x(cf.size()), col(nt);
    for (int pass = 0; pass < 2; ++pass) {
        const std::vector<double>& from = pass == 0 ? cf : x;
        std::vector<double> result(cf.size());
        for (int j = 0; j < nt; ++j) {
            for (int i = 0; i < nt; ++i)
                col[i] = pass == 0 ? from[static_cast<std::size_t>(i) * nt + j]
                                   : from[static_cast<std::size_t>(j) * nt + i];
            if (!SolveLinear(mat, col).ok()) return out;
            for (int i = 0; i < nt; ++i) result[static_cast<std::size_t>(i) * nt + j] = col[i];
        }
        x = std::move(result);
    }
    // x = M^-1 (M^-1 Cov(F))^T = M^-1 Cov(F) M^-T, symmetric up to rounding.
    out.covariance.assign(static_cast<std::size_t>(g.terms) * g.terms, 0.0);
    for (int i = 0; i < nt; ++i)
        for (int j = 0; j < nt; ++j)
            out.covariance[static_cast<std::size_t>(terms[i]) * g.terms + terms[j]] =
                0.5 * (x[static_cast<std::size_t>(i) * nt + j] + x[static_cast<std::size_t>(j) * nt + i]);
    return out;
}

}  // namespace frontlys::compensated
