#include "engine/compensated/image_fit.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

#include "core/thread_pool.h"
#include "engine/fft.h"
#include "engine/linear_solve.h"
#include "engine/pupil_transmission.h"
#include "engine/wave_optics_core.h"
#include "engine/zernike_derivatives.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

using Complex = std::complex<double>;
constexpr int kFirstTerm = 5, kLastTerm = 22, kTerms = kLastTerm - kFirstTerm + 1;
constexpr int kPerImage = 5;  // centre x, y, blur, halo width, distance
// Then, shared by the two images, the obstruction and, when the vanes are measured, their angle
// (degrees) and width (pupil units), with two bars the second one's turn (degrees) and width.
constexpr int kObstruction = kTerms + 2 * kPerImage;
constexpr int kVaneAngle = kObstruction + 1, kVaneWidth = kObstruction + 2;
constexpr int kOtherTurn = kObstruction + 3, kOtherWidth = kObstruction + 4;
constexpr int kParams = kObstruction + 5;
constexpr double kMaxOtherTurnDeg = 40;
constexpr double kMaxVaneWidth = 0.1;
constexpr double kDistanceRange = 0.05;
constexpr double kMaxBlurPx = 10, kMinHaloPx = 2, kMaxHaloPx = 20;
constexpr double kMaxObstruction = 0.9;
constexpr int kMaxFine = 4096;

int GridSize(double v)
{
    int n = FastFftSize(std::max(16, static_cast<int>(std::ceil(v))));
    while (n % 2 != 0) n = FastFftSize(n + 1);
    return n;
}

double Sinc(double x) { return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// out[u] = spectrum[u] fu[u] fv, the products as written out: the library's complex product also
// guards against infinities, which costs a test on every element and keeps the loop from
// vectorising. Finite values give the same bits either way.
void ShiftRow(const Complex* spectrum, const Complex* fu, Complex fv, Complex* out, int count)
{
    const double* s = reinterpret_cast<const double*>(spectrum);
    const double* f = reinterpret_cast<const double*>(fu);
    double* o = reinterpret_cast<double*>(out);
    const double vr = fv.real(), vi = fv.imag();
    for (int u = 0; u < count; ++u) {
        const double sr = s[2 * u], si = s[2 * u + 1], fr = f[2 * u], fi = f[2 * u + 1];
        const double pr = sr * fr - si * fi, pi = sr * fi + si * fr;
        o[2 * u] = pr * vr - pi * vi;
        o[2 * u + 1] = pr * vi + pi * vr;
    }
}

// One image's sampling, fixed for the fit: q fine samples a pixel, side x side pixels.
struct Sampling {
    bool extra = false;
    int n = 0, q = 0, side = 0, start = 0;
    double fineNm = 0;
};

Sampling PlanSampling(const CompensatedOptions& o, double l, double lambda, bool extra, double rhoPx)
{
    Sampling g;
    g.extra = extra;
    const double z = extra ? o.focalNm + l : o.focalNm - l;
    const double sMax = lambda * z / (4 * o.apertureRadiusNm * 1.03);
    g.q = std::max(2, static_cast<int>(std::ceil(o.pixelNm / sMax - 1e-9)));
    const double window = 2 * std::ceil(1.35 * rhoPx + 40);
    if (GridSize(g.q * window) > kMaxFine) g.q = std::max(1, static_cast<int>(kMaxFine / window));
    g.n = GridSize(g.q * window);
    g.side = g.n / g.q;
    g.start = (g.n / 2) % g.q;
    g.fineNm = o.pixelNm / g.q;
    return g;
}

// Transforms and buffers of one grid size; one set a task.
struct Workspace {
    explicit Workspace(int size)
        : n(size),
          plan(size),
          real(size),
          field(static_cast<std::size_t>(size) * size),
          fine(field.size()),
          image(field.size()),
          work(static_cast<std::size_t>(size) * (size / 2 + 1))
    {
    }
    int n;
    FftPlan plan;
    RealFft2Plan real;
    std::vector<Complex> field;
    std::vector<double> fine, image;
    std::vector<Complex> work;
};

struct Workspaces {
    std::vector<std::unique_ptr<Workspace>> sets;
    Workspace& For(int n)
    {
        for (auto& w : sets)
            if (w->n == n) return *w;
        sets.push_back(std::make_unique<Workspace>(n));
        return *sets.back();
    }
};

// Workspaces lent to the tasks of one fit and given back: the vane scan and every Jacobian ask for
// the same grids hundreds of times, and fresh ones cost their allocation, clearing and transform plans
// each time. Every use writes what it reads, so a lent set gives the same bits as a fresh one.
class WorkspacePool {
public:
    std::unique_ptr<Workspaces> Take()
    {
        const std::lock_guard lock(m_mutex);
        if (m_free.empty()) return std::make_unique<Workspaces>();
        std::unique_ptr<Workspaces> w = std::move(m_free.back());
        m_free.pop_back();
        return w;
    }
    void Give(std::unique_ptr<Workspaces> w)
    {
        const std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(w));
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Workspaces>> m_free;
};

// A set taken from the pool for one task's lifetime.
class LentWorkspaces {
public:
    explicit LentWorkspaces(WorkspacePool& pool) : m_pool(pool), m_set(pool.Take()) {}
    ~LentWorkspaces() { m_pool.Give(std::move(m_set)); }
    LentWorkspaces(const LentWorkspaces&) = delete;
    LentWorkspaces& operator=(const LentWorkspaces&) = delete;
    Workspace& For(int n) { return m_set->For(n); }

private:
    WorkspacePool& m_pool;
    std::unique_ptr<Workspaces> m_set;
};

struct Problem;

// The candidate: terms 5..22 (nm RMS), then per image centre offset x, y (pixels), blur, halo
// width (pixels), distance from focus (nm), then the obstruction.
using Params = std::array<double, kParams>;
int At(int side, int what) { return kTerms + side * kPerImage + what; }

// The data of one image inside the disc: the model pixel each one reads, its value and weight.
struct ImageData {
    std::vector<int> model;  // index into the side x side model image, -1 outside it
    std::vector<double> d, sw;
    Sampling sampling;
    double nominalNm = 0;
};

struct Problem {
    const CompensatedOptions* o = nullptr;
    const ModelEstimate* start = nullptr;
    double lambda = 0;
    std::array<ImageData, 2> images;
    ZernikeBasis basis = ZernikeBasis::ForCount(22);
    int vaneCount = 0;     // > 0: the vanes' angle and width are parameters, else the options' vanes
    bool twoBars = false;  // four vanes as two bars, each with its own width and direction
    std::unique_ptr<WorkspacePool> workspaces = std::make_unique<WorkspacePool>();

    SpiderVanes Vanes(const Params& p) const
    {
        if (vaneCount == 0) return o->vanes;
        SpiderVanes v{vaneCount, p[kVaneWidth], p[kVaneAngle]};
        if (twoBars) v.otherWidth = p[kOtherWidth], v.otherTurnDeg = p[kOtherTurn];
        return v;
    }

    std::size_t Rows() const { return images[0].d.size() + images[1].d.size(); }
    std::size_t First(int side) const { return side == 0 ? 0 : images[0].d.size(); }

    ZernikeCoefficients Coefficients(const Params& p) const
    {
        // Piston and tilts are nuisances; the defocus term is replaced by each image's own distance.
        ZernikeCoefficients c = start->coef;
        c[0] = c[1] = c[2] = c[3] = 0;
        for (int k = kFirstTerm; k <= kLastTerm; ++k) c[k - 1] = p[k - kFirstTerm] * basis.Norm(k);
        return c;
    }

    // The spectrum of the fine intensity of one image for the wavefront and distance of p.
    void Render(const Params& p, int side, Workspace& w, std::vector<Complex>& spectrum) const
    {
        const Sampling& g = images[side].sampling;
        const double F = o->focalNm, R = o->apertureRadiusNm, l = p[At(side, 4)];
        const double z = g.extra ? F + l : F - l;
        const PupilPlane plane{F, R, z, lambda, g.n, lambda * z / (g.n * g.fineNm), 0, 0};
        const double eps = p[kObstruction];
        const ZernikeSurface surface(ZernikePolynomials(ZernikeBasis::ForCount(o->terms), eps),
                                     Coefficients(p));
        const auto opd = [&](double y, std::span<const double> x, std::span<double> out) {
            surface.AnnulusRowValues(y, x, out, eps);
        };
        FillPupilField(w.field, plane, MakePupilTransmissionRow(eps, Vanes(p), plane.dxNm / R), opd);
        std::fill(w.fine.begin(), w.fine.end(), 0.0);
        AddIntensity(w.field, w.plan, w.fine, 1.0);
        spectrum.resize(w.work.size());
        w.real.Forward(w.fine.data(), spectrum.data());
    }

    // The pixel image of a spectrum moved by (dx, dy) pixels and blurred by sigma pixels, in the
    // program's orientation.
    void Pixels(const std::vector<Complex>& spectrum,
                int side,
                double dx,
                double dy,
                double sigma,
                Workspace& w,
                std::vector<double>& out) const
    {
        const Sampling& g = images[side].sampling;
        const int n = g.n, hw = n / 2 + 1;
        if (g.extra) dx = -dx, dy = -dy;  // the extra-focal image is turned afterwards
        const double gauss = 2 * std::numbers::pi * std::numbers::pi * sigma * sigma * g.q * g.q;
        const auto factor = [&](double f, double shift) {
            return Sinc(g.q * f) * std::exp(-gauss * f * f) *
                   std::polar(1.0, -2 * std::numbers::pi * g.q * f * shift);
        };
        std::vector<Complex> fu(hw), fv(n);
        for (int u = 0; u < hw; ++u) fu[u] = factor(double(u) / n, dx);
        const double norm = 1.0 / (double(n) * n);
        for (int v = 0; v < n; ++v) fv[v] = factor(double(v < n / 2 ? v : v - n) / n, dy) * norm;
        for (int v = 0; v < n; ++v) {
            const std::size_t row = static_cast<std::size_t>(v) * hw;
            ShiftRow(spectrum.data() + row, fu.data(), fv[v], w.work.data() + row, hw);
        }
        w.real.Inverse(w.work.data(), w.image.data());
        out.resize(static_cast<std::size_t>(g.side) * g.side);
        for (int j = 0; j < g.side; ++j)
            for (int i = 0; i < g.side; ++i)
                out[static_cast<std::size_t>(j) * g.side + i] =
                    w.image[static_cast<std::size_t>(g.start + j * g.q) * n + g.start + i * g.q];
        if (g.extra) std::reverse(out.begin(), out.end());
    }

    // Weighted residuals of one image, its fluxes and background solved linearly; returns the
    // halo's share of the light.
    double Residuals(const std::vector<Complex>& spectrum,
                     const Params& p,
                     int side,
                     Workspace& w,
                     double* residuals) const
    {
        const ImageData& data = images[side];
        std::vector<double> core, halo;
        Pixels(spectrum, side, p[At(side, 0)], p[At(side, 1)], p[At(side, 2)], w, core);
        Pixels(spectrum, side, p[At(side, 0)], p[At(side, 1)], p[At(side, 3)], w, halo);
        const std::size_t m = data.d.size();
        const auto value = [&](const std::vector<double>& img, std::size_t i) {
            return data.model[i] < 0 ? 0.0 : img[static_cast<std::size_t>(data.model[i])];
        };
        // Normal equations of d = a core + c halo + b; without the halo when its flux comes out negative.
        for (int basisCount : {3, 2}) {
            std::vector<double> a(static_cast<std::size_t>(basisCount) * basisCount, 0.0);
            std::vector<double> rhs(basisCount, 0.0);
            for (std::size_t i = 0; i < m; ++i) {
                const double w2 = data.sw[i] * data.sw[i];
                const double f[3] = {value(core, i), 1.0, value(halo, i)};
                for (int r = 0; r < basisCount; ++r) {
                    rhs[r] += w2 * f[r] * data.d[i];
                    for (int c = 0; c < basisCount; ++c) a[r * basisCount + c] += w2 * f[r] * f[c];
                }
            }
            if (!SolveLinear(a, rhs).ok()) std::fill(rhs.begin(), rhs.end(), 0.0);
            const double haloFlux = basisCount == 3 ? rhs[2] : 0.0;
            if (haloFlux < 0) continue;
            for (std::size_t i = 0; i < m; ++i)
                residuals[i] =
                    data.sw[i] * (data.d[i] - rhs[0] * value(core, i) - rhs[1] - haloFlux * value(halo, i));
            return haloFlux > 0 ? haloFlux / (haloFlux + rhs[0]) : 0.0;
        }
        return 0;
    }
};

Params Clamp(Params p, const Problem& pr)
{
    for (int side = 0; side < 2; ++side) {
        p[At(side, 2)] = std::clamp(p[At(side, 2)], 0.0, kMaxBlurPx);
        p[At(side, 3)] = std::clamp(p[At(side, 3)], kMinHaloPx, kMaxHaloPx);
        const double l0 = pr.images[side].nominalNm;
        p[At(side, 4)] = std::clamp(p[At(side, 4)], l0 * (1 - kDistanceRange), l0 * (1 + kDistanceRange));
    }
    p[kObstruction] = std::clamp(p[kObstruction], 0.0, kMaxObstruction);
    p[kVaneWidth] = std::clamp(p[kVaneWidth], 0.0, kMaxVaneWidth);
    p[kOtherWidth] = std::clamp(p[kOtherWidth], 0.0, kMaxVaneWidth);
    p[kOtherTurn] = std::clamp(p[kOtherTurn], -kMaxOtherTurnDeg, kMaxOtherTurnDeg);
    return p;
}

double Step(int j, const Problem& pr)
{
    if (j < kTerms) return 0.5;
    if (j == kObstruction) return 0.005;
    if (j == kVaneAngle || j == kOtherTurn) return 0.5;
    if (j == kVaneWidth || j == kOtherWidth) return 0.002;
    const int what = (j - kTerms) % kPerImage;
    const int side = (j - kTerms) / kPerImage;
    return what <= 2 ? 0.02 : what == 3 ? 0.1 : 5e-4 * pr.images[side].nominalNm;
}

// The state of the fit at one point: its spectra and weighted residuals.
struct Point {
    Params p{};
    std::array<std::vector<Complex>, 2> spectra;
    std::vector<double> r;
    std::array<double, 2> haloShare{};
    double cost = 0;
};

Point Evaluate(const Problem& pr, const Params& p, int& evaluations)
{
    Point at;
    at.p = p;
    at.r.assign(pr.Rows(), 0.0);
    ParallelFor(2, [&](int side) {
        LentWorkspaces local(*pr.workspaces);
        Workspace& ws = local.For(pr.images[side].sampling.n);
        pr.Render(p, side, ws, at.spectra[side]);
        at.haloShare[side] = pr.Residuals(at.spectra[side], p, side, ws, at.r.data() + pr.First(side));
    });
    evaluations += 2;
    for (double v : at.r) at.cost += v * v;
    return at;
}

// Columns of the Jacobian of the weighted residuals at `at` for the free parameters, shared among
// the pool's threads, each with buffers of its own.
std::vector<double> Jacobian(const Problem& pr,
                             const Point& at,
                             const std::vector<int>& free,
                             int& evaluations)
{
    const std::size_t rows = pr.Rows();
    const int cols = static_cast<int>(free.size());
    std::vector<double> jac(rows * cols, 0.0);
    const int tasks = std::min(ThreadCount(), cols);
    std::vector<int> renders(tasks, 0);
    ParallelFor(tasks, [&](int t) {
        LentWorkspaces local(*pr.workspaces);
        std::vector<Complex> spectrum;
        std::vector<double> r(rows);
        for (int c = t; c < cols; c += tasks) {
            const int j = free[c];
            Params p = at.p;
            double h = Step(j, pr);
            p[j] += h;
            p = Clamp(p, pr);
            h = p[j] - at.p[j];
            if (h == 0) {
                p[j] = at.p[j] - Step(j, pr);
                p = Clamp(p, pr);
                h = p[j] - at.p[j];
            }
            if (h == 0) continue;
            const bool wavefront = j < kTerms || j >= kObstruction;
            const int onlySide = wavefront ? -1 : (j - kTerms) / kPerImage;
            const bool distance = !wavefront && (j - kTerms) % kPerImage == 4;
            for (int side = 0; side < 2; ++side) {
                if (onlySide >= 0 && side != onlySide) continue;
                Workspace& ws = local.For(pr.images[side].sampling.n);
                const std::vector<Complex>* s = &at.spectra[side];
                if (wavefront || distance) {
                    pr.Render(p, side, ws, spectrum);
                    s = &spectrum;
                    ++renders[t];
                }
                double* out = r.data() + pr.First(side);
                pr.Residuals(*s, p, side, ws, out);
                const std::size_t first = pr.First(side), count = pr.images[side].d.size();
                for (std::size_t i = 0; i < count; ++i)
                    jac[(first + i) * cols + c] = (out[i] - at.r[first + i]) / h;
            }
        }
    });
    for (int n : renders) evaluations += n;
    return jac;
}

// Levenberg-Marquardt over the free parameters from `at`.
Result<Point> Minimise(const Problem& pr,
                       Point at,
                       const std::vector<int>& free,
                       int maxIterations,
                       const std::stop_token& stop,
                       int& iterations,
                       int& evaluations)
{
    const int cols = static_cast<int>(free.size());
    const std::size_t rows = pr.Rows();
    double lambda = 1e-3;
    for (int it = 0; it < maxIterations; ++it) {
        if (stop.stop_requested()) return Status::Fail(StatusCode::Cancelled, {}, kCancelledReason);
        const std::vector<double> jac = Jacobian(pr, at, free, evaluations);
        std::vector<double> a(static_cast<std::size_t>(cols) * cols, 0.0), g(cols, 0.0);
        for (std::size_t i = 0; i < rows; ++i) {
            const double* row = jac.data() + i * cols;
            for (int r = 0; r < cols; ++r) {
                if (row[r] == 0) continue;
                g[r] -= row[r] * at.r[i];
                for (int c = 0; c < cols; ++c) a[r * cols + c] += row[r] * row[c];
            }
        }
        ++iterations;
        bool improved = false;
        for (int attempt = 0; attempt < 10 && !improved; ++attempt) {
            std::vector<double> damped = a, step = g;
            for (int r = 0; r < cols; ++r) damped[r * cols + r] += lambda * std::max(a[r * cols + r], 1e-12);
            if (!SolveLinear(damped, step).ok()) {
                lambda *= 10;
                continue;
            }
            Params p = at.p;
            for (int c = 0; c < cols; ++c) p[free[c]] += step[c];
            Point next = Evaluate(pr, Clamp(p, pr), evaluations);
            if (next.cost < at.cost) {
                const double gain = (at.cost - next.cost) / at.cost;
                at = std::move(next);
                lambda = std::max(lambda / 3, 1e-7);
                improved = true;
                if (gain < 1e-4) return at;
            } else {
                lambda *= 4;
            }
        }
        if (!improved) break;
    }
    return at;
}

// The disc of one image and the offset that puts the model's light centroid on the data's.
ImageData Prepare(const RawFrame& f,
                  const FrameSetup& s,
                  const FrameNoise& noise,
                  double rho,
                  const std::vector<double>& model,
                  const Sampling& g,
                  double& dx,
                  double& dy)
{
    double mcx = (g.side - 1) / 2.0, mcy = mcx;
    for (int round = 0; round < 3; ++round) LightCentroid(model, g.side, g.side, 1.3 * rho + 6, mcx, mcy);
    const int ox = static_cast<int>(std::lround(s.cx - mcx)), oy = static_cast<int>(std::lround(s.cy - mcy));
    dx = s.cx - mcx - ox;
    dy = s.cy - mcy - oy;
    ImageData data;
    data.sampling = g;
    const double radius = 1.35 * rho + 30;
    const int x0 = std::max(0, int(s.cx - radius)), x1 = std::min(f.width - 1, int(s.cx + radius) + 1);
    const int y0 = std::max(0, int(s.cy - radius)), y1 = std::min(f.height - 1, int(s.cy + radius) + 1);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if ((x - s.cx) * (x - s.cx) + (y - s.cy) * (y - s.cy) > radius * radius) continue;
            const double v = f.pixels[static_cast<std::size_t>(y) * f.width + x] - s.background;
            if (!std::isfinite(v)) continue;
            const int i = x - ox, j = y - oy;
            data.model.push_back(i >= 0 && j >= 0 && i < g.side && j < g.side ? j * g.side + i : -1);
            data.d.push_back(v);
            data.sw.push_back(1 /
                              std::sqrt(std::max(noise.skyVariance + noise.alpha * std::max(0.0, v), 1e-12)));
        }
    }
    return data;
}

// One variance per ADU of signal for both images, the mean of their estimates: one camera took them.
// Each estimate comes from its own image's residuals, so it carries that image's model error too;
// held apart, they let the image the model misses more count less, by a balance that moves with the
// sampling (the real pairs binned 2 x 2 moved by 2.1 to 11 nm RMS, 0.3 to 1.0 nm with one).
PairNoise SharedAlpha(PairNoise noise)
{
    const double alpha = 0.5 * (noise[0].alpha + noise[1].alpha);
    for (FrameNoise& n : noise) n.alpha = alpha;
    return noise;
}

// The problem of a fit from `start`, its data and its first parameters (each model centred on its
// donut's light).
Params Setup(const RawFrame& intra,
             const RawFrame& extra,
             const CompensatedResult& frames,
             const PairNoise& noise,
             Problem& pr)
{
    const CompensatedOptions& o = *pr.o;
    const ModelEstimate& start = *pr.start;
    Params p{};
    for (int k = kFirstTerm; k <= kLastTerm; ++k) p[k - kFirstTerm] = start.coef[k - 1] / pr.basis.Norm(k);
    // The start's defocus term, as the two distances it amounts to: the fit starts from its answer.
    const ModelEstimate split = DistancesForDefocusTerm(o, start);
    for (int side = 0; side < 2; ++side) {
        p[At(side, 2)] = 1;
        p[At(side, 3)] = 6;
        p[At(side, 4)] = SideDefocusNm(split, side == 1);
        pr.images[side].nominalNm = start.defocusNm;
    }
    p[kObstruction] = start.obstruction;
    p = Clamp(p, pr);
    const PairNoise weights = SharedAlpha(noise);
    for (int side = 0; side < 2; ++side) {
        const Sampling g = PlanSampling(o, start.defocusNm, pr.lambda, side == 1, frames.rhoPx);
        pr.images[side].sampling = g;
        Workspace w(g.n);
        std::vector<Complex> spectrum;
        std::vector<double> sharp;
        pr.Render(p, side, w, spectrum);
        pr.Pixels(spectrum, side, 0, 0, 0, w, sharp);
        double dx = 0, dy = 0;
        const ImageData data = Prepare(
            side == 0 ? intra : extra, frames.frames[side], weights[side], frames.rhoPx, sharp, g, dx, dy);
        pr.images[side].model = data.model;
        pr.images[side].d = data.d;
        pr.images[side].sw = data.sw;
        p[At(side, 0)] = dx;
        p[At(side, 1)] = dy;
    }
    return p;
}

// The parameters each stage frees: the nuisances (the vanes' too when measured), then everything,
// the obstruction too unless it was given or the pupil is open (a wrong measured one holds the fit
// away from the images: 0.20 for 0.25 near the caustic left twice the misfit).
void FreeParameters(const Problem& pr, std::vector<int>& nuisances, std::vector<int>& all)
{
    nuisances.clear();
    all.clear();
    for (int j = 0; j < kParams; ++j) {
        const bool vane = j == kVaneAngle || j == kVaneWidth;
        if (vane && pr.vaneCount == 0) continue;
        if ((j == kOtherTurn || j == kOtherWidth) && !pr.twoBars) continue;
        if (j == kObstruction && (pr.o->obstruction || !(pr.start->obstruction > 0))) continue;
        all.push_back(j);
        if (j >= kTerms && j != kObstruction) nuisances.push_back(j);
    }
}

// The start's misfit with its nuisances fitted, then everything together.
// `settledAt`: where the nuisances settled.
Result<ImageFitOutcome> Run(const Problem& pr,
                            Point at,
                            const ImageFitOptions& fit,
                            int evaluations,
                            Point* settledAt = nullptr,
                            Params* endAt = nullptr)
{
    ImageFitOutcome out;
    out.evaluations = evaluations;
    std::vector<int> nuisances, all;
    FreeParameters(pr, nuisances, all);
    auto settled =
        Minimise(pr, std::move(at), nuisances, fit.maxIterations, fit.stop, out.iterations, out.evaluations);
    if (!settled.ok()) return settled.status();
    const double rows = static_cast<double>(pr.Rows());
    out.misfitStart = settled.value().cost / rows;
    if (settledAt) *settledAt = settled.value();
    auto fitted =
        Minimise(pr, settled.take(), all, fit.maxIterations, fit.stop, out.iterations, out.evaluations);
    if (!fitted.ok()) return fitted.status();
    const Point& end = fitted.value();
    if (endAt) *endAt = end.p;
    const ModelEstimate& start = *pr.start;
    out.misfit = end.cost / rows;
    out.estimate = start;
    out.startCoef = start.coef;
    out.estimate.coef = pr.Coefficients(end.p);
    for (int k = 1; k <= 3; ++k) out.estimate.coef[k - 1] = start.coef[k - 1];
    out.estimate.obstruction = end.p[kObstruction];
    // The fitted distances' difference back into the defocus term.
    out.estimate.asymmetryNm = 0.5 * (end.p[At(1, 4)] - end.p[At(0, 4)]);
    out.estimate = DefocusTermForDistances(*pr.o, out.estimate);
    for (int side = 0; side < 2; ++side) {
        out.distanceNm[side] = end.p[At(side, 4)];
        out.blurPx[side] = end.p[At(side, 2)];
        out.haloPx[side] = end.p[At(side, 3)];
        out.haloShare[side] = end.haloShare[side];
    }
    if (pr.vaneCount > 0) {
        const double period = (pr.twoBars ? 2 : 1) * 360.0 / pr.vaneCount;
        out.vanes = pr.Vanes(end.p);
        out.vanes.angleDeg = std::fmod(std::fmod(out.vanes.angleDeg, period) + period, period);
    }
    return out;
}

}  // namespace

Result<ImageFitOutcome> FitImages(const RawFrame& intra,
                                  const RawFrame& extra,
                                  const CompensatedResult& frames,
                                  const CompensatedOptions& o,
                                  const ModelEstimate& start,
                                  const PairNoise& noise,
                                  const ImageFitOptions& fit)
{
    if (!(start.defocusNm > 0) || !(frames.rhoPx > 0))
        return Status::Fail(StatusCode::MissingInput, {}, "no geometry to fit the images with");
    Problem pr;
    pr.o = &o;
    pr.start = &start;
    pr.lambda = fit.lambdaNm;
    const Params p = Setup(intra, extra, frames, noise, pr);
    int evaluations = 0;
    Point at = Evaluate(pr, p, evaluations);
    return Run(pr, std::move(at), fit, evaluations);
}

Result<VaneFitOutcome> FitVanes(const RawFrame& intra,
                                const RawFrame& extra,
                                const CompensatedResult& frames,
                                const CompensatedOptions& o,
                                const ModelEstimate& start,
                                const PairNoise& noise,
                                const ImageFitOptions& fit)
{
    if (!(start.defocusNm > 0) || !(frames.rhoPx > 0))
        return Status::Fail(StatusCode::MissingInput, {}, "no geometry to fit the images with");
    CompensatedOptions open = o;
    open.vanes = {};
    Problem pr;
    pr.o = &open;
    pr.start = &start;
    pr.lambda = fit.lambdaNm;
    const Params p = Setup(intra, extra, frames, noise, pr);
    VaneFitOutcome out;
    int evaluations = 0;
    Point settled;
    auto none = Run(pr, Evaluate(pr, p, evaluations), fit, 0, &settled);
    if (!none.ok()) return none.status();
    out.withoutVanes = none.take();
    // The scan holds the open pupil's settled nuisances: its step samples the narrowest shadow (a
    // vane of the scan's width blurred on both sides, at the annulus's middle radius) twice.
    evaluations = 0;
    const Params base = settled.p;
    const double blur = std::max(base[At(0, 2)], base[At(1, 2)]);
    const double middle = 0.5 * (1 + start.obstruction) * frames.rhoPx;
    const double shadowDeg = (kScanVaneWidth * frames.rhoPx + 2 * blur) / middle * 180 / std::numbers::pi;
    const double stepDeg = std::clamp(0.5 * shadowDeg, 0.5, 5.0);
    // Each count's best angle, when it lowers the misfit, is fitted; the count whose fit ends lowest
    // is kept (the same parameters for every count).
    // The cheapest of `from` with parameter `angle` at each of `points` and `width` at the scan's.
    const auto scan = [&](Params from,
                          int angle,
                          const std::vector<double>& points,
                          int width,
                          double& bestCost,
                          Params& best) -> Status {
        for (double value : points) {
            if (fit.stop.stop_requested()) return Status::Fail(StatusCode::Cancelled, {}, kCancelledReason);
            Params q = from;
            q[angle] = value;
            q[width] = kScanVaneWidth;
            const double cost = Evaluate(pr, q, evaluations).cost;
            ++out.scanned;
            if (cost < bestCost) bestCost = cost, best = q;
        }
        return Status::Ok();
    };
    std::vector<std::pair<int, Params>> starts;
    for (int count : kScanVaneCounts) {
        pr.vaneCount = count;
        const double period = 360.0 / count;
        const int steps = static_cast<int>(std::ceil(period / stepDeg));
        std::vector<double> angles;
        for (int i = 0; i < steps; ++i) angles.push_back(period * i / steps);
        double bestCost = settled.cost;
        Params best = base;
        if (Status s = scan(base, kVaneAngle, angles, kVaneWidth, bestCost, best); !s.ok()) return s;
        if (bestCost < settled.cost) starts.emplace_back(count, best);
    }
    if (starts.empty()) {
        out.reason = "no vane angle lowers the misfit";
        out.withoutVanes.evaluations += evaluations;
        return out;
    }
    // Each candidate with its parameters: the count, the angle, the width; two bars add a turn and a width.
    std::vector<std::pair<ImageFitOutcome, int>> candidates;
    std::optional<Params> bar;  // where one bar (two vanes) ended
    for (const auto& [count, q] : starts) {
        pr.vaneCount = count;
        Params end{};
        auto with = Run(pr, Evaluate(pr, q, evaluations), fit, 0, nullptr, &end);
        if (!with.ok()) return with.status();
        evaluations += with.value().evaluations;
        if (count == 2) bar = end;
        candidates.emplace_back(with.take(), 3);
    }
    // Two bars of their own widths: from the one bar found, a second one scanned across it (its turn
    // from square), then all fitted. A cross of one width cannot show a thin second bar beside a wide
    // first one: its common width lands between them and the fit ends above the one bar's.
    if (bar) {
        pr.vaneCount = 4;
        pr.twoBars = true;
        const int steps = static_cast<int>(std::ceil(kMaxOtherTurnDeg / stepDeg));
        std::vector<double> turns;
        for (int i = -steps; i <= steps; ++i) turns.push_back(kMaxOtherTurnDeg * i / steps);
        double bestCost = std::numeric_limits<double>::infinity();
        Params best = *bar;
        if (Status s = scan(*bar, kOtherTurn, turns, kOtherWidth, bestCost, best); !s.ok()) return s;
        auto with = Run(pr, Evaluate(pr, best, evaluations), fit, 0);
        if (!with.ok()) return with.status();
        evaluations += with.value().evaluations;
        candidates.emplace_back(with.take(), 5);
        pr.twoBars = false;
    }
    // An information criterion on the chi-square scaled by the best fit's misfit per pixel (the
    // model's error counted as noise): each parameter costs ln N, against the open pupil as among the
    // candidates.
    const double rows = static_cast<double>(pr.Rows());
    double scale = std::numeric_limits<double>::infinity();
    for (const auto& c : candidates) scale = std::min(scale, c.first.misfit);
    scale = std::max(scale, 1e-12);
    const auto penalised = [&](const std::pair<ImageFitOutcome, int>& c) {
        return c.first.misfit * rows / scale + c.second * std::log(rows);
    };
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i)
        if (penalised(candidates[i]) < penalised(candidates[chosen])) chosen = i;
    const int parameters = candidates[chosen].second;
    out.withVanes = std::move(candidates[chosen].first);
    out.withVanes->evaluations = evaluations;
    const double drop = (out.withoutVanes.misfit - out.withVanes->misfit) * rows;
    out.significance = drop / scale / (parameters * std::log(rows));
    if (out.significance > 1 && out.withVanes->vanes.Present()) {
        out.vanes = out.withVanes->vanes;
    } else {
        out.reason = "the best vanes do not lower the misfit enough";
    }
    return out;
}

}  // namespace frontlys
