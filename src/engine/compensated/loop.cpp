#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

#include "core/large_buffer.h"
#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/compensated/internal.h"
#include "engine/linear_solve.h"
#include "engine/zernike_derivatives.h"

namespace frontlys::compensated {
namespace {

// Points are taken in stretches, each its own task: a point's sums run over the terms in order,
// so the bits do not depend on the thread count. Enough of them to share a small grid among the
// threads evenly.
constexpr int kStretch = 1024;

int Stretches(int n) { return (n + kStretch - 1) / kStretch; }

}  // namespace

namespace {

// The derivatives at stretch t's points, row by row.
void SynthesizeStretch(const Grid& g, const ZernikeSurface& surface, int t, Derivatives& d)
{
    const int p0 = t * kStretch, p1 = std::min(g.n, p0 + kStretch);
    for (int p = p0; p < p1;) {
        int end = p + 1;
        while (end < p1 && g.j[end] == g.j[p]) ++end;
        surface.RowDerivatives(g.y[p],
                               std::span<const double>(&g.x[p], end - p),
                               &d.wx[p],
                               &d.wy[p],
                               &d.wxx[p],
                               &d.wyy[p],
                               &d.wxy[p]);
        p = end;
    }
}

}  // namespace

void Synthesize(const Grid& g, const ZernikeCoefficients& c, Derivatives& d)
{
    for (auto* v : {&d.wx, &d.wy, &d.wxx, &d.wyy, &d.wxy}) v->resize(g.n);
    const ZernikeSurface surface(*g.poly, c);
    ParallelFor(Stretches(g.n), [&](int t) { SynthesizeStretch(g, surface, t, d); });
}

namespace {

// Sampling margin and weak-form taper beyond the pupil edge, in raw pixels. A wide taper lets the
// high-order terms, large past the edge, weigh the diffraction halo: small donuts then drift.
constexpr double kMarginPx = 6;
constexpr double kTaperStartPx = 2;
constexpr double kTaperEndPx = 5;
constexpr double kFoldLimit = 0.1;
constexpr int kFirstPassTerms = 11;

double Jacobian(const Grid& g, double a, const Derivatives& d, int p)
{
    return RayJacobian(g, p, a, d.wxx[p], d.wyy[p], d.wxy[p]);
}

// The least Jacobian of both mappings over stretch t's lit points, from 1.
double StretchLeastJacobian(const Grid& g, const TransportCoefficients& m, const Derivatives& d, int t)
{
    double least = 1;
    for (int p = t * kStretch; p < std::min(g.n, (t + 1) * kStretch); ++p) {
        if (!g.lit[p]) continue;
        least = std::min({least, Jacobian(g, m.intra, d, p), Jacobian(g, m.extra, d, p)});
    }
    return least;
}

// The least is the same whatever the grouping: the stretches run at once.
double MinJacobian(const Grid& g, const TransportCoefficients& m, const Derivatives& d)
{
    return ParallelReduce(
        Stretches(g.n),
        1,
        1.0,
        [&](int t) { return StretchLeastJacobian(g, m, d, t); },
        [](double a, double b) { return std::min(a, b); });
}

// Synthesize, then MinJacobian, in one loop: a stretch's Jacobians are taken while its derivatives
// are still in cache. The stretches' least folded in order from 1, as MinJacobian folds them.
double SynthesizeLeastJacobian(const Grid& g,
                               const ZernikeCoefficients& c,
                               const TransportCoefficients& m,
                               Derivatives& d)
{
    for (auto* v : {&d.wx, &d.wy, &d.wxx, &d.wyy, &d.wxy}) v->resize(g.n);
    const ZernikeSurface surface(*g.poly, c);
    std::vector<double> least(Stretches(g.n), 1.0);
    ParallelFor(Stretches(g.n), [&](int t) {
        SynthesizeStretch(g, surface, t, d);
        least[t] = std::min(1.0, StretchLeastJacobian(g, m, d, t));
    });
    double total = least.empty() ? 1.0 : least[0];
    for (std::size_t t = 1; t < least.size(); ++t) total = std::min(total, least[t]);
    return total;
}

// Where the ray of point p for the current wavefront meets frame f, in its pixels. Both frames are in
// the program's orientation, so one formula serves both.
void FramePoint(
    const Grid& g, const PreparedFrame& f, double a, const Derivatives& d, int p, double& x, double& y)
{
    double X = 0, Y = 0;
    RayPoint(g, p, a, d.wx[p], d.wy[p], X, Y);
    x = f.setup.cx + X * g.rho;
    y = f.setup.cy - Y * g.rho;
}

// Compiled with and without AVX2, the loader picking one; no multiply is fused with its add, so both
// give the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_SUM_CLONES \
    __attribute__((target_clones("arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_SUM_CLONES
#endif
// Also compiled for AVX-512, where eight lanes fit one register: the same sums, lane for lane, at
// half the instructions.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_WIDE_SUM_CLONES \
    __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_WIDE_SUM_CLONES
#endif

// The two frames as a pass compensates them: their ray coefficients and flux scales.
struct FramePair {
    std::array<const PreparedFrame*, 2> frames;
    std::array<double, 2> a;
    std::array<double, 2> scale;
};

FramePair MakeFramePair(const PreparedFrame& intra,
                        const PreparedFrame& extra,
                        const TransportCoefficients& m)
{
    const double meanFlux = 0.5 * (intra.setup.flux + extra.setup.flux);
    return {{&intra, &extra}, {m.intra, m.extra}, {meanFlux / intra.setup.flux, meanFlux / extra.setup.flux}};
}

using V4 = double __attribute__((vector_size(32)));

inline void Load4(V4& v, const double* p) { std::memcpy(&v, p, sizeof v); }
inline void Store4(double* p, const V4& v) { std::memcpy(p, &v, sizeof v); }

// FramePoint at len points from p: the same expressions, four points to a vector.
FRONTLYS_SUM_CLONES void FramePoints(const Grid& g,
                                     const PreparedFrame& f,
                                     double a,
                                     const Derivatives& w,
                                     int p,
                                     int len,
                                     double* x,
                                     double* y)
{
    const double cx = f.setup.cx, cy = f.setup.cy, rho = g.rho;
    int k = 0;
    for (; k + 4 <= len; k += 4) {
        V4 mx, my, wx, wy;
        Load4(mx, &g.mx[p + k]);
        Load4(my, &g.my[p + k]);
        Load4(wx, &w.wx[p + k]);
        Load4(wy, &w.wy[p + k]);
        Store4(x + k, cx + (mx + a * wx) * rho);
        Store4(y + k, cy - (my + a * wy) * rho);
    }
    for (; k < len; ++k) FramePoint(g, f, a, w, p + k, x[k], y[k]);
}

// The Jacobian of the ray mapping of coefficient a (RayJacobian) at four points from p; by reference,
// so the ABI without AVX stays out of it.
inline void Jacobian4(const Grid& g, double a, const Derivatives& w, int p, V4& out)
{
    V4 mxx, myy, mxy, wxx, wyy, wxy;
    Load4(mxx, &g.mxx[p]);
    Load4(myy, &g.myy[p]);
    Load4(mxy, &g.mxy[p]);
    Load4(wxx, &w.wxx[p]);
    Load4(wyy, &w.wyy[p]);
    Load4(wxy, &w.wxy[p]);
    const V4 j11 = mxx + a * wxx, j22 = myy + a * wyy, j12 = mxy + a * wxy;
    out = j11 * j22 - j12 * j12;
}

// S and D from the two frames' samples at len points from p, four to a vector.
FRONTLYS_SUM_CLONES void MeanAndDifference(const Grid& g,
                                           const FramePair& pair,
                                           const Derivatives& w,
                                           int p,
                                           int len,
                                           const double* v1,
                                           const double* v2,
                                           double* s,
                                           double* d)
{
    int k = 0;
    for (; k + 4 <= len; k += 4) {
        V4 s1, s2, j1, j2;
        Load4(s1, v1 + k);
        Load4(s2, v2 + k);
        Jacobian4(g, pair.a[0], w, p + k, j1);
        Jacobian4(g, pair.a[1], w, p + k, j2);
        const V4 i1 = s1 * j1 * pair.scale[0];
        const V4 i2 = s2 * j2 * pair.scale[1];
        Store4(s + k, 0.5 * (i1 + i2));
        Store4(d + k, i1 - i2);
    }
    for (; k < len; ++k) {
        const double i1 = v1[k] * Jacobian(g, pair.a[0], w, p + k) * pair.scale[0];
        const double i2 = v2[k] * Jacobian(g, pair.a[1], w, p + k) * pair.scale[1];
        s[k] = 0.5 * (i1 + i2);
        d[k] = i1 - i2;
    }
}

// The mean S and the difference D of the two frames compensated by the current wavefront (sampled
// along the rays, times the Jacobian and the flux scale) at the points p0 .. p0 + len - 1, into
// s[0 .. len) and d[0 .. len). Each point's own bits, however the points are grouped. A frame's
// points are all placed before any is sampled: the sampler loads four at once, and a value just
// stored alone would have to reach it through the store buffer.
void CompensateSpan(const Grid& g,
                    const FramePair& pair,
                    const Derivatives& w,
                    int p0,
                    int len,
                    std::vector<double>& scratch,
                    double* s,
                    double* d)
{
    scratch.resize(4 * static_cast<std::size_t>(len));
    double *x = scratch.data(), *y = x + len;
    std::array<double*, 2> value = {y + len, y + 2 * len};
    for (int side = 0; side < 2; ++side) {
        const PreparedFrame& f = *pair.frames[side];
        FramePoints(g, f, pair.a[side], w, p0, len, x, y);
        int k = 0;
        for (; k + 4 <= len; k += 4) f.spline.Sample4(x + k, y + k, value[side] + k);
        for (; k < len; ++k) value[side][k] = f.spline.Sample(x[k], y[k]);
    }
    MeanAndDifference(g, pair, w, p0, len, value[0], value[1], s, d);
}

// sum xa dxb + ya dyb over a block for NA a's and NB b's: out[NB * e + q] for a e, b q. Each in four
// interleaved partial sums (a fixed order, whatever the pairs it is computed with): the adds then
// overlap, and the four run in one vector. The b's are read once for all a.
template <int NA, int NB>
FRONTLYS_SUM_CLONES void SymmetricSum(const double* const* xa,
                                      const double* const* ya,
                                      const double* const* dxb,
                                      const double* const* dyb,
                                      int len,
                                      double* out)
{
    using V4 = double __attribute__((vector_size(32)));
    V4 sum[NA][NB] = {};
    int k = 0;
    for (; k + 4 <= len; k += 4) {
        V4 x[NA], y[NA];
        for (int e = 0; e < NA; ++e) {
            std::memcpy(&x[e], xa[e] + k, sizeof x[e]);
            std::memcpy(&y[e], ya[e] + k, sizeof y[e]);
        }
        for (int q = 0; q < NB; ++q) {
            V4 dx, dy;
            std::memcpy(&dx, dxb[q] + k, sizeof dx);
            std::memcpy(&dy, dyb[q] + k, sizeof dy);
            for (int e = 0; e < NA; ++e) sum[e][q] += x[e] * dx + y[e] * dy;
        }
    }
    for (int e = 0; e < NA; ++e) {
        for (int q = 0; q < NB; ++q) {
            double s0 = sum[e][q][0];
            for (int t = k; t < len; ++t) s0 += xa[e][t] * dxb[q][t] + ya[e][t] * dyb[q][t];
            out[NB * e + q] = (s0 + sum[e][q][1]) + (sum[e][q][2] + sum[e][q][3]);
        }
    }
}

// SymmetricSum with b's 2h and 2h + 1 in the halves of one eight-lane vector; an odd NB's last b in
// four lanes alone.
template <int NA, int NB>
FRONTLYS_WIDE_SUM_CLONES void SymmetricSumPairs(const double* const* xa,
                                                const double* const* ya,
                                                const double* const* dxb,
                                                const double* const* dyb,
                                                int len,
                                                double* out)
{
    using V4 = double __attribute__((vector_size(32)));
    using V8 = double __attribute__((vector_size(64)));
    constexpr int kPairs = NB / 2;
    V8 sum[NA][kPairs > 0 ? kPairs : 1] = {};
    V4 last[NA] = {};
    int k = 0;
    for (; k + 4 <= len; k += 4) {
        V4 x4[NA], y4[NA];
        V8 x[NA], y[NA];
#pragma GCC unroll 2
        for (int e = 0; e < NA; ++e) {
            std::memcpy(&x4[e], xa[e] + k, sizeof x4[e]);
            std::memcpy(&y4[e], ya[e] + k, sizeof y4[e]);
            x[e] = __builtin_shufflevector(x4[e], x4[e], 0, 1, 2, 3, 0, 1, 2, 3);
            y[e] = __builtin_shufflevector(y4[e], y4[e], 0, 1, 2, 3, 0, 1, 2, 3);
        }
#pragma GCC unroll 2
        for (int h = 0; h < kPairs; ++h) {
            V4 dx0, dx1, dy0, dy1;
            std::memcpy(&dx0, dxb[2 * h] + k, sizeof dx0);
            std::memcpy(&dx1, dxb[2 * h + 1] + k, sizeof dx1);
            std::memcpy(&dy0, dyb[2 * h] + k, sizeof dy0);
            std::memcpy(&dy1, dyb[2 * h + 1] + k, sizeof dy1);
            const V8 dx = __builtin_shufflevector(dx0, dx1, 0, 1, 2, 3, 4, 5, 6, 7);
            const V8 dy = __builtin_shufflevector(dy0, dy1, 0, 1, 2, 3, 4, 5, 6, 7);
#pragma GCC unroll 2
            for (int e = 0; e < NA; ++e) sum[e][h] += x[e] * dx + y[e] * dy;
        }
        if constexpr (NB % 2 == 1) {
            V4 dx, dy;
            std::memcpy(&dx, dxb[NB - 1] + k, sizeof dx);
            std::memcpy(&dy, dyb[NB - 1] + k, sizeof dy);
#pragma GCC unroll 2
            for (int e = 0; e < NA; ++e) last[e] += x4[e] * dx + y4[e] * dy;
        }
    }
    for (int e = 0; e < NA; ++e) {
        for (int q = 0; q < NB; ++q) {
            double part[4];
            if (q < 2 * kPairs) {
                for (int l = 0; l < 4; ++l) part[l] = sum[e][q / 2][4 * (q % 2) + l];
            } else {
                for (int l = 0; l < 4; ++l) part[l] = last[e][l];
            }
            double s0 = part[0];
            for (int t = k; t < len; ++t) s0 += xa[e][t] * dxb[q][t] + ya[e][t] * dyb[q][t];
            out[NB * e + q] = (s0 + part[1]) + (part[2] + part[3]);
        }
    }
}

using SumTile = void (*)(
    const double* const*, const double* const*, const double* const*, const double* const*, int, double*);
// SymmetricSum for na = 1, 2 and nb = 1 .. 4: kSumTiles[na - 1][nb - 1].
constexpr SumTile kSumTiles[2][4] = {
    {&SymmetricSum<1, 1>, &SymmetricSumPairs<1, 2>, &SymmetricSumPairs<1, 3>, &SymmetricSumPairs<1, 4>},
    {&SymmetricSum<2, 1>, &SymmetricSumPairs<2, 2>, &SymmetricSumPairs<2, 3>, &SymmetricSumPairs<2, 4>}};

// For N terms a at once (a multiple of four): xa = sw dva/dx, ya = sw dva/dy over a block, and
// f_a = sum (va w) d, each f a chain of adds in point order. The chains of four terms run in one
// vector, the terms of four points turned into the points of four terms; eight terms make two
// vectors whose adds overlap: one alone would wait on its own add at every point.
template <int N>
FRONTLYS_SUM_CLONES void ScaleTermsOf(const std::array<const double*, N>& v,
                                      const std::array<const double*, N>& dx,
                                      const std::array<const double*, N>& dy,
                                      const double* sw,
                                      const double* w,
                                      const double* d,
                                      int len,
                                      const std::array<double*, N>& x,
                                      const std::array<double*, N>& y,
                                      double* f)
{
    static_assert(N % 4 == 0);
    using V4 = double __attribute__((vector_size(32)));
    using L4 = long long __attribute__((vector_size(32)));
    V4 acc[N / 4] = {};
    int k = 0;
    for (; k + 4 <= len; k += 4) {
#pragma GCC unroll 2
        for (int q = 0; q < N / 4; ++q) {
            V4 r0, r1, r2, r3;
            std::memcpy(&r0, v[4 * q] + k, sizeof r0);
            std::memcpy(&r1, v[4 * q + 1] + k, sizeof r1);
            std::memcpy(&r2, v[4 * q + 2] + k, sizeof r2);
            std::memcpy(&r3, v[4 * q + 3] + k, sizeof r3);
            const V4 lo01 = __builtin_shuffle(r0, r1, L4{0, 4, 2, 6}),
                     hi01 = __builtin_shuffle(r0, r1, L4{1, 5, 3, 7});
            const V4 lo23 = __builtin_shuffle(r2, r3, L4{0, 4, 2, 6}),
                     hi23 = __builtin_shuffle(r2, r3, L4{1, 5, 3, 7});
            acc[q] += __builtin_shuffle(lo01, lo23, L4{0, 1, 4, 5}) * w[k] * d[k];
            acc[q] += __builtin_shuffle(hi01, hi23, L4{0, 1, 4, 5}) * w[k + 1] * d[k + 1];
            acc[q] += __builtin_shuffle(lo01, lo23, L4{2, 3, 6, 7}) * w[k + 2] * d[k + 2];
            acc[q] += __builtin_shuffle(hi01, hi23, L4{2, 3, 6, 7}) * w[k + 3] * d[k + 3];
        }
    }
    for (; k < len; ++k)
        for (int q = 0; q < N / 4; ++q) {
            const V4 c = {v[4 * q][k], v[4 * q + 1][k], v[4 * q + 2][k], v[4 * q + 3][k]};
            acc[q] += c * w[k] * d[k];
        }
    // In vectors by hand: the compiler, unsure that the outputs do not overlap the inputs, would take
    // one product at a time.
    for (int e = 0; e < N; ++e) {
        const double *ex = dx[e], *ey = dy[e];
        double *ox = x[e], *oy = y[e];
        int k = 0;
        for (; k + 4 <= len; k += 4) {
            V4 s, gx, gy;
            std::memcpy(&s, sw + k, sizeof s);
            std::memcpy(&gx, ex + k, sizeof gx);
            std::memcpy(&gy, ey + k, sizeof gy);
            gx = s * gx;
            gy = s * gy;
            std::memcpy(ox + k, &gx, sizeof gx);
            std::memcpy(oy + k, &gy, sizeof gy);
        }
        for (; k < len; ++k) {
            ox[k] = sw[k] * ex[k];
            oy[k] = sw[k] * ey[k];
        }
    }
    for (int e = 0; e < N; ++e) f[e] = acc[e / 4][e % 4];
}

// The taper sums over a block's ring for one a against b = a, a + 1 .. a + 7: ab[b] = sum vr[a] tr[b]
// and ba[b] = sum vr[b] tr[a], each in ring order (rows of `stride` values, one per term). Across b
// the sums are independent and run in vectors; each entry adds its points in the same order.
FRONTLYS_WIDE_SUM_CLONES void RingSums8(
    const double* vr, const double* tr, int rows, int stride, int a, int b, double* ab, double* ba)
{
    // Eight lanes in one vector where AVX-512 is there, two halves elsewhere: the same sums.
    using V8 = double __attribute__((vector_size(64)));
    V8 sab = {}, sba = {};
    for (int r = 0; r < rows; ++r) {
        const double* vrow = vr + static_cast<std::size_t>(r) * stride;
        const double* trow = tr + static_cast<std::size_t>(r) * stride;
        const double va = vrow[a], ta = trow[a];
        V8 t, v;
        std::memcpy(&t, trow + b, sizeof t);
        std::memcpy(&v, vrow + b, sizeof v);
        sab += va * t;
        sba += v * ta;
    }
    std::memcpy(ab, &sab, sizeof sab);
    std::memcpy(ba, &sba, sizeof sba);
}

// One block's share of the weak-form system (AssembleWeakForm). Each thread keeps one, its buffers
// sized once and reused from block to block and from pass to pass.
class WeakFormBlock {
public:
    static constexpr int kBlock = 256;

    // For the blocks of this grid and these terms.
    void Bind(const Grid& g, const std::vector<int>& terms)
    {
        m_g = &g;
        m_terms = &terms;
        const int nt = Terms();
        for (auto* v : {&m_ax, &m_ay}) v->resize(static_cast<std::size_t>(nt + 3) * kBlock);
        for (auto* v : {&m_v, &m_dx, &m_dy}) v->resize(static_cast<std::size_t>(nt) * kBlock);
        for (auto* v : {&m_vr, &m_tr}) v->resize(static_cast<std::size_t>(nt + 8) * kBlock);
        for (auto* v : {&m_sw, &m_swx, &m_swy, &m_w, &m_d}) v->resize(kBlock);
        m_sym.resize(static_cast<std::size_t>(nt) * nt);
        m_ring.reserve(kBlock);
    }

    // The matrix entries (row-major, times `scale`), then the right-hand side, of block `block`.
    void Assemble(
        int block, const std::vector<double>& s, const std::vector<double>& d, double scale, double* part)
    {
        const int nt = Terms();
        m_p0 = block * kBlock;
        m_len = std::min(kBlock, m_g->n - m_p0);
        Load(s, d);
        ScaleTerms(part + static_cast<std::size_t>(nt) * nt);
        LoadRing();
        SymmetricSums();
        for (int a = 0; a < nt; ++a) {
            std::array<double, 8> ab{}, ba{};
            for (int b = a; b < nt; ++b) {
                // The ring's sums in eights from a.
                if ((b - a) % 8 == 0)
                    RingSums8(m_vr.data(), m_tr.data(), Rows(), nt + 8, a, b, ab.data(), ba.data());
                const int e = (b - a) % 8;
                const double sym = m_sym[static_cast<std::size_t>(a) * nt + b];
                part[static_cast<std::size_t>(a) * nt + b] = scale * (sym + ab[e]);
                if (b != a) part[static_cast<std::size_t>(b) * nt + a] = scale * (sym + ba[e]);
            }
        }
    }

private:
    int Terms() const { return static_cast<int>(m_terms->size()); }
    int Rows() const { return static_cast<int>(m_ring.size()); }
    // Term a's block of `jet`; past the last term its own again (results dropped).
    const double* At(const std::vector<double>& jet, int a) const
    {
        return &jet[static_cast<std::size_t>(std::min(a, Terms() - 1)) * kBlock];
    }

    // S times the taper and its gradient, the ring (the block points where the taper has a
    // gradient), and the block's jets from the quadrant's.
    void Load(const std::vector<double>& s, const std::vector<double>& d)
    {
        m_ring.clear();
        for (int k = 0; k < m_len; ++k) {
            const int p = m_p0 + k;
            m_sw[k] = s[p] * m_g->w[p];
            m_swx[k] = s[p] * m_g->wx[p];
            m_swy[k] = s[p] * m_g->wy[p];
            m_w[k] = m_g->w[p];
            m_d[k] = d[p];
            if (m_swx[k] != 0 || m_swy[k] != 0) m_ring.push_back(k);
        }
        m_g->SpanPieces(m_p0, m_len, m_pieces);
        for (int a = 0; a < Terms(); ++a) {
            const std::size_t o = static_cast<std::size_t>(a) * kBlock;
            const int k = (*m_terms)[a];
            m_g->JetSpan(JetPart::V, k, m_pieces, &m_v[o]);
            m_g->JetSpan(JetPart::Dx, k, m_pieces, &m_dx[o]);
            m_g->JetSpan(JetPart::Dy, k, m_pieces, &m_dy[o]);
        }
    }

    // Per term, S w dv/dx and S w dv/dy, and its right-hand side entry.
    void ScaleTerms(double* rhs)
    {
        // Eight terms at a time while eight remain, then four (past the last term, results dropped).
        int a = 0;
        for (; a + 8 <= Terms(); a += 8) ScaleGroup<8>(a, rhs);
        for (; a < Terms(); a += 4) ScaleGroup<4>(a, rhs);
    }
    template <int N>
    void ScaleGroup(int a, double* rhs)
    {
        std::array<const double*, N> v, dx, dy;
        std::array<double*, N> x, y;
        for (int e = 0; e < N; ++e) {
            v[e] = At(m_v, a + e);
            dx[e] = At(m_dx, a + e);
            dy[e] = At(m_dy, a + e);
            x[e] = &m_ax[static_cast<std::size_t>(a + e) * kBlock];
            y[e] = &m_ay[static_cast<std::size_t>(a + e) * kBlock];
        }
        double f[N];
        ScaleTermsOf<N>(v, dx, dy, m_sw.data(), m_w.data(), m_d.data(), m_len, x, y, f);
        for (int e = 0; e < N && a + e < Terms(); ++e) rhs[a + e] = f[e];
    }

    // Over the ring, per point and term: v and grad(S w)-part . grad v. Each row holds every term and
    // a zero tail, so that RingSums8 may read eight from any a.
    void LoadRing()
    {
        const int nt = Terms(), stride = nt + 8;
        for (int r = 0; r < Rows(); ++r) {
            std::fill_n(&m_vr[static_cast<std::size_t>(r) * stride + nt], stride - nt, 0.0);
            std::fill_n(&m_tr[static_cast<std::size_t>(r) * stride + nt], stride - nt, 0.0);
        }
        for (int a = 0; a < nt; ++a) {
            const double *v = At(m_v, a), *dx = At(m_dx, a), *dy = At(m_dy, a);
            for (int r = 0; r < Rows(); ++r) {
                const int k = m_ring[r];
                m_vr[static_cast<std::size_t>(r) * stride + a] = v[k];
                m_tr[static_cast<std::size_t>(r) * stride + a] = m_swx[k] * dx[k] + m_swy[k] * dy[k];
            }
        }
    }

    // The symmetric part, m_sym[a * nt + b] for b >= a: two a's against four b's at a time, the
    // triangle's last a and b in smaller tiles, so that no lane computes a dropped entry but (a + 1, a).
    void SymmetricSums()
    {
        const int nt = Terms();
        for (int a = 0; a < nt; a += 2) {
            const int na = std::min(2, nt - a);
            const std::array<const double*, 2> xa = {At(m_ax, a), At(m_ax, a + 1)};
            const std::array<const double*, 2> ya = {At(m_ay, a), At(m_ay, a + 1)};
            for (int b = a; b < nt; b += 4) {
                const int nb = std::min(4, nt - b);
                std::array<const double*, 4> dxb, dyb;
                for (int e = 0; e < 4; ++e) {
                    dxb[e] = At(m_dx, b + e);
                    dyb[e] = At(m_dy, b + e);
                }
                double out[8];
                kSumTiles[na - 1][nb - 1](xa.data(), ya.data(), dxb.data(), dyb.data(), m_len, out);
                for (int e = 0; e < nb; ++e) {
                    m_sym[static_cast<std::size_t>(a) * nt + b + e] = out[e];
                    if (na == 2 && b + e > a)
                        m_sym[static_cast<std::size_t>(a + 1) * nt + b + e] = out[nb + e];
                }
            }
        }
    }

    const Grid* m_g = nullptr;
    const std::vector<int>* m_terms = nullptr;
    int m_p0 = 0, m_len = 0;
    std::vector<double> m_sw, m_swx, m_swy, m_w, m_d;  // S times the taper and its gradient; w; d
    std::vector<int> m_ring;
    std::vector<Grid::JetPiece> m_pieces;  // of the block's span
    std::vector<double> m_v, m_dx, m_dy;   // the block's jets, term-major
    std::vector<double> m_ax, m_ay;        // S w dv/dx, S w dv/dy
    std::vector<double> m_vr, m_tr;        // over the ring, point-major
    std::vector<double> m_sym;
};

// The weak-form system over `terms`: rhs[a] = sum v_a w d and mat[a][b] = scale * sum (S w grad v_a .
// grad v_b + v_a grad(S w)-part . grad v_b). The first part is symmetric, so each pair is visited once,
// and the points are taken in blocks that stay in cache across all the pairs. Each block adds one
// term to every entry: the blocks run at once and their terms are added in block order afterwards,
// which gives the bits of a serial sweep whatever the thread count. A block's S and D are compensated
// by the task that assembles it, into `s` and `d`: they stay in that core's cache, and the pass takes
// one loop instead of two.
void CompensateAndAssemble(const Grid& g,
                           const FramePair& pair,
                           const Derivatives& w,
                           const std::vector<int>& terms,
                           double scale,
                           std::vector<double>& s,
                           std::vector<double>& d,
                           std::vector<double>& mat,
                           std::vector<double>& rhs)
{
    const int nt = static_cast<int>(terms.size());
    const std::size_t entries = static_cast<std::size_t>(nt) * nt + nt;  // the matrix, then rhs
    const int blocks = (g.n + WeakFormBlock::kBlock - 1) / WeakFormBlock::kBlock;
    Buffer<double> parts(entries * blocks);  // each block writes all its entries
    s.resize(g.n);
    d.resize(g.n);
    const auto assemble = [&](int block) {
        thread_local WeakFormBlock work;
        thread_local std::vector<double> scratch;
        const int p0 = block * WeakFormBlock::kBlock;
        CompensateSpan(g, pair, w, p0, std::min(WeakFormBlock::kBlock, g.n - p0), scratch, &s[p0], &d[p0]);
        work.Bind(g, terms);
        work.Assemble(block, s, d, scale, &parts[entries * block]);
    };
    // A block and its mirror through the centre a task: the grid's jets are held over a quadrant, and
    // the second block reads the rows of it the first has just brought into the cache, where a large
    // grid's jets would come from memory again. Small tasks still: the ring's blocks cost more than
    // the others, and many tasks even out the threads' shares.
    ParallelFor((blocks + 1) / 2, [&](int t) {
        assemble(t);
        if (blocks - 1 - t != t) assemble(blocks - 1 - t);
    });
    mat.assign(static_cast<std::size_t>(nt) * nt, 0.0);
    rhs.assign(nt, 0.0);
    for (int block = 0; block < blocks; ++block) {
        const double* part = &parts[entries * block];
        for (std::size_t e = 0; e < mat.size(); ++e) mat[e] += part[e];
        for (int a = 0; a < nt; ++a) rhs[a] += part[mat.size() + a];
    }
}

// The terms 2..active that the basis reaches (piston out), as 0-based indices.
std::vector<int> SolvedTerms(const ZernikeBasis& basis, int active)
{
    std::vector<int> terms;
    for (int k = 2; k <= active; ++k)
        if (basis.Reaches(k)) terms.push_back(k - 1);
    return terms;
}

// The pass's S and D, and the weak-form update of the coefficients of `terms`, its matrix kept in
// `matrix`; nullopt when the system is singular.
std::optional<std::vector<double>> CompensateAndSolve(const Grid& g,
                                                      const FramePair& pair,
                                                      const Derivatives& w,
                                                      const std::vector<int>& terms,
                                                      const TransportCoefficients& m,
                                                      std::vector<double>& s,
                                                      std::vector<double>& d,
                                                      std::vector<double>& matrix)
{
    std::vector<double> rhs;
    CompensateAndAssemble(g, pair, w, terms, -(m.extra - m.intra), s, d, matrix, rhs);
    if (!SolveLinear(matrix, rhs).ok()) return std::nullopt;
    return rhs;
}

struct Step {
    ZernikeCoefficients c{};
    Derivatives w;
    double minJacobian = 1;
};

// Caustic guard: the update shortened (1, 1/2 .. 1/16) until neither mapping folds over the lit
// pupil; nullopt when even the shortest folds.
std::optional<Step> GuardedStep(const Grid& g,
                                const TransportCoefficients& m,
                                const ZernikeCoefficients& c,
                                const std::vector<int>& terms,
                                const std::vector<double>& update)
{
    Step step;
    for (double length = 1; length >= 1.0 / 16; length /= 2) {
        step.c = c;
        for (std::size_t a = 0; a < terms.size(); ++a) step.c[terms[a]] += length * update[a];
        step.minJacobian = SynthesizeLeastJacobian(g, step.c, m, step.w);
        if (step.minJacobian >= kFoldLimit) return step;
    }
    return std::nullopt;
}

// RMS of the change from `from` to `to` over the terms 4..P, nm.
double UpdateRmsNm(const ZernikeBasis& basis,
                   int terms,
                   const ZernikeCoefficients& from,
                   const ZernikeCoefficients& to)
{
    double sq = 0;
    for (int k = 4; k <= terms; ++k) {
        const double u = (to[k - 1] - from[k - 1]) / basis.Norm(k);
        sq += u * u;
    }
    return std::sqrt(sq);
}

// The exact defocus mapping of point p: radius RayRadius(r) along the same azimuth. Its derivative
// is RayRadiusSlope radially and RayRadius(r) / r across.
void SetDefocusMapping(double x, double y, double r, double edgeSine, Grid& g, int p)
{
    const double along = RayRadiusSlope(r, edgeSine);
    const double across = r > 0 ? RayRadius(r, edgeSine) / r : along;
    const double cx = r > 0 ? x / r : 1, cy = r > 0 ? y / r : 0;
    g.mx[p] = across * x;
    g.my[p] = across * y;
    g.mxx[p] = along * cx * cx + across * cy * cy;
    g.mxy[p] = (along - across) * cx * cy;
    g.myy[p] = along * cy * cy + across * cx * cx;
}

}  // namespace

void MakeGrid(double rho, double eps, int terms, double edgeSine, Grid& g, bool secondDerivatives)
{
    terms = std::clamp(terms, 1, kZernikeTerms);
    if (g.n > 0 && g.rho == rho && g.eps == eps && g.terms == terms && g.edgeSine == edgeSine &&
        (g.secondDerivatives || !secondDerivatives))
        return;
    g.n = 0;  // no grid until this one is whole
    g.rho = rho;
    g.eps = eps;
    g.terms = terms;
    g.edgeSine = edgeSine;
    g.secondDerivatives = secondDerivatives;
    const double reach = 1 + (kMarginPx + 1.5) / rho;
    const double r0 = 1 + kTaperStartPx / rho, r1 = 1 + kTaperEndPx / rho;
    g.half = static_cast<int>(std::ceil(reach * rho));
    // The points in row order, each row's in column order. The rows run at once: a first pass takes
    // every square position's radius and counts each row's points, a second writes the points of
    // each row from its first index on, and the jets.
    const int width = 2 * g.half + 1, side = g.half + 1;
    // The radius is the same at (+-i, +-j): held for i, j >= 0 only.
    std::vector<double> radius(static_cast<std::size_t>(side) * side);
    std::vector<int>& rowStart = g.rowStart;
    rowStart.assign(static_cast<std::size_t>(width) + 1, 0);
    ParallelFor(g.half + 1, [&](int j) {
        int count = 0;
        double* row = &radius[static_cast<std::size_t>(j) * side];
        for (int i = 0; i <= g.half; ++i) {
            const double r = std::hypot(i / rho, j / rho);
            row[i] = r;
            count += (i > 0 ? 2 : 1) * !(r > reach);
        }
        rowStart[static_cast<std::size_t>(g.half + j) + 1] = count;
        rowStart[static_cast<std::size_t>(g.half - j) + 1] = count;
    });
    for (int row = 0; row < width; ++row) rowStart[row + 1] += rowStart[row];
    g.n = rowStart[width];
    for (auto* v : {&g.x, &g.y, &g.w, &g.wx, &g.wy, &g.mx, &g.my, &g.mxx, &g.mxy, &g.myy}) v->resize(g.n);
    for (auto* v : {&g.i, &g.j}) v->resize(g.n);
    for (auto* v : {&g.lit, &g.hole, &g.plateau}) v->resize(g.n);
    // The points of a row, from its first index on.
    const auto writeRow = [&](int row) {
        const int j = row - g.half;
        const double* radii = &radius[static_cast<std::size_t>(j < 0 ? -j : j) * side];
        int p = rowStart[row];
        for (int i = -g.half; i <= g.half; ++i) {
            const double x = i / rho, y = j / rho, r = radii[i < 0 ? -i : i];
            if (r > reach) continue;
            double w = 1, dw = 0;
            if (r > r0) {
                const double t = std::min(1.0, (r - r0) / (r1 - r0));
                const double c = std::cos(std::numbers::pi / 2 * t);
                w = c * c;
                dw = r < r1 ? -std::numbers::pi / 2 / (r1 - r0) * std::sin(std::numbers::pi * t) : 0;
            }
            g.x[p] = x;
            g.y[p] = y;
            SetDefocusMapping(x, y, r, edgeSine, g, p);
            g.i[p] = i;
            g.j[p] = j;
            g.w[p] = w;
            g.wx[p] = r > 0 ? dw * x / r : 0;
            g.wy[p] = r > 0 ? dw * y / r : 0;
            g.lit[p] = r >= eps && r <= 1;
            g.hole[p] = r < (1 + eps) / 2;
            g.plateau[p] = r > eps + 0.12 && r < 0.88;
            ++p;
        }
    };
    // The quadrant's rows: row j >= 0 of 2m + 1 points holds its m + 1 points i >= 0.
    g.quadStart.assign(static_cast<std::size_t>(g.half) + 1, 0);
    g.nq = 0;
    for (int jq = 0; jq <= g.half; ++jq) {
        g.quadStart[jq] = g.nq;
        const int count = rowStart[g.half + jq + 1] - rowStart[g.half + jq];
        g.nq += count > 0 ? count / 2 + 1 : 0;
    }
    // Every jet value is written below: resizing writes nothing, and keeps the pages of the grid before.
    const std::size_t size = static_cast<std::size_t>(g.terms) * g.nq;
    for (auto* v : {&g.v, &g.dx, &g.dy, &g.dxx, &g.dyy, &g.dxy}) {
        if (!secondDerivatives && v != &g.v && v != &g.dx && v != &g.dy) {
            v->clear();
            continue;
        }
        ReserveLarge(*v, size);
        v->resize(size);
    }
    g.poly.emplace(ZernikeBasis::ForCount(g.terms), eps);
    const ZernikePolynomials& poly = *g.poly;
    // Per term, the sign of each part under x -> -x and under y -> -y: (x + iy)^m turns into
    // (-1)^m conj((x + iy)^m) and conj((x + iy)^m), and a derivative along a flipped axis turns too.
    g.sign = {};
    for (int k = 0; k < g.terms; ++k) {
        const ZernikeTerm& t = ZernikeTermInfo(k + 1);
        const double mirrorY = t.sine ? -1 : 1, mirrorX = (t.m % 2 ? -1 : 1) * mirrorY;
        for (int flip = 0; flip < 4; ++flip) {
            const bool fx = flip & 1, fy = flip & 2;
            const double sv = (fx ? mirrorX : 1) * (fy ? mirrorY : 1);
            auto& sign = g.sign[k];
            sign[static_cast<int>(JetPart::V)][flip] = sv;
            sign[static_cast<int>(JetPart::Dx)][flip] = fx ? -sv : sv;
            sign[static_cast<int>(JetPart::Dy)][flip] = fy ? -sv : sv;
            sign[static_cast<int>(JetPart::Dxx)][flip] = sv;
            sign[static_cast<int>(JetPart::Dyy)][flip] = sv;
            sign[static_cast<int>(JetPart::Dxy)][flip] = fx != fy ? -sv : sv;
        }
    }
    // A task a row of the quadrant: the points of its row and its mirror row, then the row's jets
    // from the points just written, term by term in memory order. One loop, and the jets read the
    // points from the cache of the core that wrote them.
    ParallelFor(g.half + 1, [&](int jq) {
        writeRow(g.half + jq);
        if (jq > 0) writeRow(g.half - jq);
        thread_local std::vector<ZernikeJet> jets;
        const int count = rowStart[g.half + jq + 1] - rowStart[g.half + jq];
        if (count == 0) return;
        const int m = count / 2, centre = rowStart[g.half + jq] + m;
        jets.resize(m + 1);
        int i = 0;
        for (; i + 4 <= m + 1; i += 4)
            poly.Eval4(&g.x[centre + i], &g.y[centre + i], &jets[i], secondDerivatives);
        for (; i <= m; ++i) poly.Eval(g.x[centre + i], g.y[centre + i], jets[i], secondDerivatives);
        for (int k = 0; k < g.terms; ++k) {
            const std::size_t o = static_cast<std::size_t>(k) * g.nq + g.quadStart[jq];
            for (int i = 0; i <= m; ++i) {
                g.v[o + i] = jets[i].v[k];
                g.dx[o + i] = jets[i].dx[k];
                g.dy[o + i] = jets[i].dy[k];
            }
            if (!secondDerivatives) continue;
            for (int i = 0; i <= m; ++i) {
                g.dxx[o + i] = jets[i].dxx[k];
                g.dyy[o + i] = jets[i].dyy[k];
                g.dxy[o + i] = jets[i].dxy[k];
            }
        }
    });
}

namespace {

// out[t] = sign * src[t], or sign * src[n - 1 - t] when `reversed`. Inline: a row's halves are short,
// and a call through the loader's choice would cost as much as the copy.
inline void SignedCopy(const double* src, int n, double sign, bool reversed, double* out)
{
    using V4 = double __attribute__((vector_size(32)));
    using I4 = long long __attribute__((vector_size(32)));
    int t = 0;
    if (!reversed) {
        for (; t + 4 <= n; t += 4) {
            V4 v;
            std::memcpy(&v, src + t, sizeof v);
            v *= sign;
            std::memcpy(out + t, &v, sizeof v);
        }
        for (; t < n; ++t) out[t] = sign * src[t];
        return;
    }
    for (; t + 4 <= n; t += 4) {
        V4 v;
        std::memcpy(&v, src + n - 4 - t, sizeof v);
        v = __builtin_shuffle(v, I4{3, 2, 1, 0}) * sign;
        std::memcpy(out + t, &v, sizeof v);
    }
    for (; t < n; ++t) out[t] = sign * src[n - 1 - t];
}

// The pieces of a span, each signed and in order (Grid::JetSpan): one call through the loader's
// choice for all of them, each piece's copy inline.
FRONTLYS_SUM_CLONES void CopyPieces(const double* jet,
                                    const std::array<double, 4>& sign,
                                    const std::vector<Grid::JetPiece>& pieces,
                                    double* out)
{
    for (const Grid::JetPiece& c : pieces)
        SignedCopy(jet + c.src, c.n, sign[c.flip], c.reversed, out + c.out);
}

}  // namespace

const Buffer<double>& Grid::Part(JetPart part) const
{
    switch (part) {
        case JetPart::V:
            return v;
        case JetPart::Dx:
            return dx;
        case JetPart::Dy:
            return dy;
        case JetPart::Dxx:
            return dxx;
        case JetPart::Dyy:
            return dyy;
        case JetPart::Dxy:
            return dxy;
    }
    return v;
}

void Grid::SpanPieces(int p0, int len, std::vector<JetPiece>& pieces) const
{
    pieces.clear();
    const int end = p0 + len;
    for (int p = p0; p < end;) {
        const int row = j[p] + half;
        const int centre = (rowStart[row] + rowStart[row + 1]) / 2;  // the point i = 0
        const int last = std::min(end, rowStart[row + 1]);
        const int src = quadStart[j[p] < 0 ? -j[p] : j[p]];
        const int below = j[p] < 0;
        // Left of i = 0 the quadrant's row runs backwards.
        const int split = std::clamp(centre, p, last);
        if (split > p) pieces.push_back({src + centre - (split - 1), split - p, p - p0, 1 + 2 * below, true});
        if (last > split)
            pieces.push_back({src + (split - centre), last - split, split - p0, 2 * below, false});
        p = last;
    }
}

void Grid::JetSpan(JetPart part, int k, const std::vector<JetPiece>& pieces, double* out) const
{
    const double* jet = &Part(part)[static_cast<std::size_t>(k) * nq];
    CopyPieces(jet, sign[k][static_cast<int>(part)], pieces, out);
}

LoopOutcome RunLoop(const Grid& g,
                    const PreparedFrame& intra,
                    const PreparedFrame& extra,
                    const TransportCoefficients& m,
                    const ZernikeCoefficients& start,
                    double stopNm,
                    int maxPasses)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(g.terms);
    LoopOutcome out;
    out.c = start;
    LoopOutcome best;  // the pass of the smallest update over all the terms
    const FramePair pair = MakeFramePair(intra, extra, m);
    Derivatives w;
    Synthesize(g, out.c, w);
    for (int pass = 0; pass < maxPasses; ++pass) {
        const int active = pass == 0 ? std::min(kFirstPassTerms, g.terms) : g.terms;
        ++out.passes;
        const std::vector<int> terms = SolvedTerms(basis, active);
        const std::optional<std::vector<double>> update =
            CompensateAndSolve(g, pair, w, terms, m, out.s, out.d, out.weakForm);
        if (!update) {
            out.stop = CompensatedStop::Caustic;
            return out;
        }
        std::optional<Step> step = GuardedStep(g, m, out.c, terms, *update);
        if (!step) {
            out.stop = CompensatedStop::Caustic;
            out.minJacobian = MinJacobian(g, m, w);
            return out;
        }
        out.lastUpdateNm = UpdateRmsNm(basis, g.terms, out.c, step->c);
        out.c = step->c;
        w = std::move(step->w);
        out.minJacobian = step->minJacobian;
        if (active < g.terms) continue;
        if (best.passes == 0 || out.lastUpdateNm < best.lastUpdateNm) best = out;
        if (out.lastUpdateNm < stopNm) {
            out.stop = CompensatedStop::Converged;
            return out;
        }
    }
    out.stop = CompensatedStop::PassLimit;
    // A loop that drifts instead of settling: the estimate of its smallest full update is the best.
    if (best.passes > 0 && best.lastUpdateNm < out.lastUpdateNm) {
        best.passes = out.passes;
        best.stop = out.stop;
        return best;
    }
    return out;
}

}  // namespace frontlys::compensated
