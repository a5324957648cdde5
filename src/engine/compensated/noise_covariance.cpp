#include "engine/compensated/noise_covariance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

struct Slopes {
    std::vector<double> wx, wy, wxx, wyy, wxy;
};

Slopes SlopesOf(const Grid& g, const ZernikeCoefficients& c)
{
    Slopes d;
    for (auto* v : {&d.wx, &d.wy, &d.wxx, &d.wyy, &d.wxy}) v->assign(g.n, 0.0);
    for (int k = 1; k < g.terms; ++k) {
        if (c[k] == 0) continue;
        const std::size_t o = static_cast<std::size_t>(k) * g.n;
        for (int p = 0; p < g.n; ++p) {
            d.wx[p] += c[k] * g.dx[o + p];
            d.wy[p] += c[k] * g.dy[o + p];
            d.wxx[p] += c[k] * g.dxx[o + p];
            d.wyy[p] += c[k] * g.dyy[o + p];
            d.wxy[p] += c[k] * g.dxy[o + p];
        }
    }
    return d;
}

// The weak-form matrix of the loop at its last pass (see AssembleWeakForm in loop.cpp). The lit points
// run in blocks that stay in the first-level cache while every pair of terms reads them (the whole
// grid, once per pair, is read from memory hundreds of times over); each sum still adds its points in
// order, so the result is the same.
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
    // Per block: s w, and for each term its slopes, s v and the flow's derivative along it.
    std::vector<double> sw(kBlock), dx(static_cast<std::size_t>(nt) * kBlock), dy(dx.size()), sv(dx.size()),
        flow(dx.size());
    for (std::size_t from = 0; from < lit.size(); from += kBlock) {
        const int m = static_cast<int>(std::min<std::size_t>(kBlock, lit.size() - from));
        for (int q = 0; q < m; ++q) sw[q] = s[lit[from + q]] * g.w[lit[from + q]];
        for (int t = 0; t < nt; ++t) {
            const std::size_t o = static_cast<std::size_t>(terms[t]) * g.n,
                              to = static_cast<std::size_t>(t) * kBlock;
            for (int q = 0; q < m; ++q) {
                const int p = lit[from + q];
                dx[to + q] = g.dx[o + p];
                dy[to + q] = g.dy[o + p];
                sv[to + q] = s[p] * g.v[o + p];
                flow[to + q] = g.wx[p] * g.dx[o + p] + g.wy[p] * g.dy[o + p];
            }
        }
        for (int a = 0; a < nt; ++a) {
            const double *dxa = &dx[static_cast<std::size_t>(a) * kBlock],
                         *dya = &dy[static_cast<std::size_t>(a) * kBlock];
            const double *sva = &sv[static_cast<std::size_t>(a) * kBlock],
                         *fa = &flow[static_cast<std::size_t>(a) * kBlock];
            for (int b = a; b < nt; ++b) {
                const double *dxb = &dx[static_cast<std::size_t>(b) * kBlock],
                             *dyb = &dy[static_cast<std::size_t>(b) * kBlock];
                const double *svb = &sv[static_cast<std::size_t>(b) * kBlock],
                             *fb = &flow[static_cast<std::size_t>(b) * kBlock];
                double sy = sym[static_cast<std::size_t>(a) * nt + b],
                       x = ab[static_cast<std::size_t>(a) * nt + b],
                       y = ab[static_cast<std::size_t>(b) * nt + a];
                for (int q = 0; q < m; ++q) {
                    sy += sw[q] * (dxa[q] * dxb[q] + dya[q] * dyb[q]);
                    x += sva[q] * fb[q];
                    y += svb[q] * fa[q];
                }
                sym[static_cast<std::size_t>(a) * nt + b] = sy;
                ab[static_cast<std::size_t>(a) * nt + b] = x;
                ab[static_cast<std::size_t>(b) * nt + a] = y;
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

// Adds one frame's share of Cov(F): the test functions pushed back to the pixels, then summed with
// each pixel's variance.
void AddFrameCovariance(const Grid& g,
                        const std::vector<int>& terms,
                        const Slopes& d,
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
    std::vector<Sample> samples;
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
    // Weights on the B-spline coefficients, pixel-major so that the terms of one pixel are adjacent.
    // Kept between calls: megabytes freshly mapped each time cost more in page faults than the sums.
    static thread_local std::vector<double> weight;
    weight.assign(static_cast<std::size_t>(w) * h * nt, 0.0);
    std::vector<double> amp(nt);
    for (const Sample& s : samples) {
        const int p = s.p;
        const double jac = RayJacobian(g, p, a, d.wxx[p], d.wyy[p], d.wxy[p]);
        const double common = fluxScale * jac * g.w[p];
        for (int t = 0; t < nt; ++t) amp[t] = common * g.v[static_cast<std::size_t>(terms[t]) * g.n + p];
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                const double k = s.st.wy[r] * s.st.wx[c];
                double* __restrict to =
                    &weight[(static_cast<std::size_t>(s.st.rows[r] - r0) * w + s.st.cols[c] - c0) * nt];
                const double* __restrict from = amp.data();
                for (int t = 0; t < nt; ++t) to[t] += k * from[t];
            }
        }
    }
    // Through the prefilter's transpose: the prefilter itself (symmetric but at the box's ends, where
    // the weights are nil).
    // All terms of a pixel at once: the recursion runs along contiguous lanes.
    for (int r = 0; r < h; ++r) BSplinePrefilter(&weight[static_cast<std::size_t>(r) * w * nt], w, nt, nt);
    for (int c = 0; c < w; ++c)
        BSplinePrefilter(
            &weight[static_cast<std::size_t>(c) * nt], h, static_cast<std::ptrdiff_t>(w) * nt, nt);
    const double sky = f.setup.noise * f.setup.noise;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const double v =
                raw.pixels[static_cast<std::size_t>(sp.y0() + r0 + r) * raw.width + sp.x0() + c0 + c];
            if (!std::isfinite(v)) continue;
            const double var = sky + alpha * std::max(0.0, v - f.setup.background);
            const double* __restrict gq = &weight[(static_cast<std::size_t>(r) * w + c) * nt];
            for (int i = 0; i < nt; ++i) {
                const double vi = var * gq[i];
                if (vi == 0) continue;
                double* __restrict row = &cf[static_cast<std::size_t>(i) * nt];
                for (int j = i; j < nt; ++j) row[j] += vi * gq[j];
            }
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
    const auto median = [&](double alpha) {
        std::vector<double> ratio(level.size());
        for (std::size_t k = 0; k < level.size(); ++k) {
            const double var = sky + alpha * level[k];
            ratio[k] = var > 0 ? square[k] / var : 1e300;
        }
        return Percentile(std::move(ratio), 0.5);
    };
    if (sky > 0 && median(0) <= kChi2Median) return 0;
    double lo = 0, hi = std::max(1e-12, Percentile(square, 0.5) / Percentile(level, 0.5));
    while (median(hi) > kChi2Median && hi < 1e12) hi *= 2;
    for (int step = 0; step < 50; ++step) {
        const double mid = 0.5 * (lo + hi);
        (median(mid) > kChi2Median ? lo : hi) = mid;
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
    const Slopes d = SlopesOf(g, loop.c);
    std::array<std::vector<double>, 2> share;
    std::vector<double> mat;
    ParallelFor(3, [&](int task) {
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
