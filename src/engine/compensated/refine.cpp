#include "engine/compensated/refine.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <span>

#include "core/large_buffer.h"
#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/compensated/internal.h"
#include "engine/fft.h"
#include "engine/pupil_transmission.h"
#include "engine/transport.h"
#include "engine/wave_optics_core.h"
#include "engine/zernike_derivatives.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

using Complex = std::complex<double>;
constexpr int kMaxFine = 4096;
constexpr int kGoldenSteps = 19;
constexpr double kMaxBlurPx = 10;
constexpr double kConverged =
    0.5;  // share of the first round's discrepancy an oscillating refinement must reach

// The smallest even 2^a 3^b 5^c grid: the transforms' fast sizes, far closer than powers of two
// (2160 instead of 4096 for a 120-pixel donut).
int GridSizeAtLeast(double v)
{
    int n = FastFftSize(std::max(16, static_cast<int>(std::ceil(v))));
    while (n % 2 != 0) n = FastFftSize(n + 1);
    return n;
}

double Sinc(double x) { return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// Largest |grad W| over the annulus, nm per unit radius, on a coarse grid.
double MaxSlope(const ModelEstimate& e, int terms)
{
    const ZernikePolynomials poly(ZernikeBasis::ForCount(terms), e.obstruction);
    ZernikeCoefficients c = e.coef;
    c[0] = c[1] = c[2] = 0;
    ZernikeJet jet;
    double best = 0;
    for (int j = -24; j <= 24; ++j) {
        for (int i = -24; i <= 24; ++i) {
            const double x = i / 24.0, y = j / 24.0, r = std::hypot(x, y);
            if (r > 1 || r < e.obstruction) continue;
            poly.Eval(x, y, jet, false);  // the slopes alone
            double gx = 0, gy = 0;
            for (int k = 0; k < kZernikeTerms; ++k) {
                gx += c[k] * jet.dx[k];
                gy += c[k] * jet.dy[k];
            }
            best = std::max(best, std::hypot(gx, gy));
        }
    }
    return best;
}

struct SharpModel {
    std::vector<double> pixels;  // side x side, sum 1
    int side = 0;
};

// A zero-padded image and its spectrum at one transform size, for the blur below. Kept across the
// renders of a refinement: the plan and the buffers cost more to set up than the blur itself.
struct BlurPadding {
    explicit BlurPadding(int n) : plan(n), image(static_cast<std::size_t>(n) * n, 0.0) {}
    RealFft2Plan plan;
    std::vector<Complex> spectrum;
    Buffer<Complex> work;  // every value written by each blur
    std::vector<double> image, gu;
};
using BlurBuffers = std::vector<std::unique_ptr<BlurPadding>>;

// Plans and buffers of the fine grid, kept across the renders of a refinement: they are tens of
// megabytes, and allocating them again each time costs more than some of the transforms.
struct RenderWorkspace {
    int n = 0, q = 0;
    bool coarse = false;  // some render sampled the far field under the wavelength's limit
    std::unique_ptr<FftPlan> plan;
    std::unique_ptr<RealFft2Plan> realPlan;
    Buffer<Complex> field;  // the lit columns (FillPupilBand), written whole by each fill
    std::vector<double> pixelFilter;
    BlurBuffers blur;

    RenderWorkspace() = default;
    RenderWorkspace(const RenderWorkspace&) = delete;
    RenderWorkspace& operator=(const RenderWorkspace&) = delete;
    ~RenderWorkspace() { ReleaseLarge(field); }

    void Prepare(int size, int oversampling)
    {
        if (size != n) {
            n = size;
            q = 0;
            plan = std::make_unique<FftPlan>(n);
            realPlan = std::make_unique<RealFft2Plan>(n);
        }
        if (oversampling == q) return;
        // Integration over a camera pixel of q samples: sinc in the spectrum, along each axis.
        q = oversampling;
        pixelFilter.resize(n);
        for (int u = 0; u < n; ++u) pixelFilter[u] = Sinc(q * double(u < n / 2 ? u : u - n) / n);
    }
};

// The pixel image of the estimate without blur: the wave-optics intensity on a fine grid, integrated
// over the camera pixels (sinc in the spectrum) and sampled at their centres. `slope`: MaxSlope of the
// estimate, the same for both sides.
Result<SharpModel> RenderSharp(const CompensatedOptions& o,
                               const ModelEstimate& e,
                               double slope,
                               double lambda,
                               bool extra,
                               RenderWorkspace& work)
{
    const double F = o.focalNm, R = o.apertureRadiusNm, l = SideDefocusNm(e, extra), p = o.pixelNm;
    const double z = extra ? F + l : F - l;
    const double sMax = lambda * z / (2 * 2 * R * 1.03);
    int q = std::max(2, static_cast<int>(std::ceil(p / sMax - 1e-9)));
    // The rays spread by the mean size of the two transport coefficients.
    const double rho = DonutRadius(F, R, l) / p, a = 0.5 * TransportFor(F, R, l).difference;
    const double half = std::max(rho * (1 + a * slope) + 24, 1.35 * rho + 12);
    const double window = 2 * std::ceil(half);
    // A grid that the wavelength's sampling would make too large is rendered coarser: the pupil is
    // then sampled under the sampling limit of its far field, which blurs the fringes a little but
    // keeps the geometry, far better than no refinement.
    if (GridSizeAtLeast(q * window) > kMaxFine) {
        q = std::max(1, static_cast<int>(kMaxFine / window));
        work.coarse = true;
    }
    const int n = GridSizeAtLeast(q * window);
    if (n > kMaxFine)
        return Status::Fail(StatusCode::OutOfRange,
                            "Modèle trop grand pour l'affinage",
                            "the model's window exceeds 4096 pixels even at one sample per pixel");
    const int side = n / q;
    const double s = p / q;
    const PupilPlane plane{F, R, z, lambda, n, lambda * z / (n * s), 0, 0};
    const double h = plane.dxNm / R, eps = e.obstruction;
    ZernikeCoefficients c = e.coef;
    c[0] = c[1] = c[2] = 0;
    const ZernikeSurface surface(ZernikePolynomials(ZernikeBasis::ForCount(o.terms), eps), c);
    const PupilRowFunction transmission = MakePupilTransmissionRow(eps, o.vanes, h);
    const auto opd = [&](double y, std::span<const double> x, std::span<double> out) {
        surface.AnnulusRowValues(y, x, out, eps);
    };
    work.Prepare(n, q);
    // Only the columns that can pass light are stored: the others are zero before the transform and
    // after its column pass (a column of zeros transforms to zeros).
    const LitBand band = FillPupilBand(work.field, plane, transmission, opd);
    const int width = band.lit.end - band.lit.first;
    // The intensity needs no scale: the pixels are normalised below. The row pass is taken row by row
    // as the intensity is filtered, so the transformed field never goes back to memory.
    if (width > 0) work.plan->TransformColumns(work.field.data(), width, band.stride, FftDirection::Forward);
    SharpModel m;
    m.side = side;
    m.pixels.resize(static_cast<std::size_t>(side) * side);
    work.realPlan->TransformRowsFilterIntensitySampled(
        {work.field.data(), band.lit.first, width, band.stride},
        work.pixelFilter.data(),
        (n / 2) % q,
        q,
        side,
        m.pixels.data());
    double total = 0;
    for (double& v : m.pixels) {
        v = std::max(0.0, v);
        total += v;
    }
    if (!(total > 0)) return Status::Fail(StatusCode::NumericalFailure, "Modèle vide", "rendered no light");
    for (double& v : m.pixels) v /= total;
    if (extra) std::reverse(m.pixels.begin(), m.pixels.end());  // to the program's orientation
    return m;
}

// Gaussian blur of sigma camera pixels, through a zero-padded FFT. The blur fit tries many sigmas on
// the same image: the spectrum of each padding size is kept and only the inverse is redone.
class Blurrer {
public:
    Blurrer(const std::vector<double>& pixels, int side) : m_pixels(&pixels), m_side(side) {}
    explicit Blurrer(const SharpModel& m) : Blurrer(m.pixels, m.side) {}
    // On `buffers` kept by the caller, which no other blurrer may use while this one lives.
    Blurrer(const SharpModel& m, BlurBuffers& buffers)
        : m_pixels(&m.pixels), m_side(m.side), m_buffers(&buffers)
    {
    }
    Blurrer(Blurrer&& other) noexcept
        : m_pixels(other.m_pixels),
          m_side(other.m_side),
          m_own(std::move(other.m_own)),
          m_buffers(other.m_buffers == &other.m_own ? &m_own : other.m_buffers),
          m_filled(std::move(other.m_filled))
    {
    }
    Blurrer(const Blurrer&) = delete;
    Blurrer& operator=(const Blurrer&) = delete;
    Blurrer& operator=(Blurrer&&) = delete;

    std::vector<double> Apply(double sigma)
    {
        std::vector<double> out;
        Apply(sigma, out);
        return out;
    }

    void Apply(double sigma, std::vector<double>& out)
    {
        const int side = m_side;
        if (!(sigma > 0.01)) {
            out = *m_pixels;
            return;
        }
        const int n = GridSizeAtLeast(side + 8 * sigma + 8);
        BlurPadding& p = ForSize(n);
        const int hw = p.plan.halfWidth();
        const double g = 2 * std::numbers::pi * std::numbers::pi * sigma * sigma;
        const double norm = 1.0 / (double(n) * n);
        p.gu.resize(hw);
        for (int u = 0; u < hw; ++u) p.gu[u] = std::exp(-g * (double(u) / n) * (double(u) / n));
        p.work.resize(p.spectrum.size());
        for (int v = 0; v < n; ++v) {
            const double fv = double(v < n / 2 ? v : v - n) / n;
            const double gv = std::exp(-g * fv * fv) * norm;
            const std::size_t row = static_cast<std::size_t>(v) * hw;
            for (int u = 0; u < hw; ++u) p.work[row + u] = p.spectrum[row + u] * (p.gu[u] * gv);
        }
        p.plan.Inverse(p.work.data(), p.image.data());
        out.resize(static_cast<std::size_t>(side) * side);
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
                out[static_cast<std::size_t>(j) * side + i] =
                    std::max(0.0, p.image[static_cast<std::size_t>(j) * n + i]);
    }

private:
    // The padding of size n, holding this image's spectrum.
    BlurPadding& ForSize(int n)
    {
        BlurPadding* p = nullptr;
        for (auto& b : *m_buffers)
            if (b->plan.size() == n) p = b.get();
        if (p && std::find(m_filled.begin(), m_filled.end(), n) != m_filled.end()) return *p;
        if (!p) {
            m_buffers->push_back(std::make_unique<BlurPadding>(n));
            p = m_buffers->back().get();
        } else {
            std::fill(p->image.begin(), p->image.end(), 0.0);  // the last inverse left its image there
        }
        for (int j = 0; j < m_side; ++j)
            std::copy_n(m_pixels->begin() + static_cast<std::ptrdiff_t>(j) * m_side,
                        m_side,
                        p->image.begin() + static_cast<std::ptrdiff_t>(j) * n);
        p->spectrum.resize(static_cast<std::size_t>(n) * p->plan.halfWidth());
        p->plan.Forward(p->image.data(), p->spectrum.data());
        m_filled.push_back(n);
        return *p;
    }

    const std::vector<double>* m_pixels;
    int m_side;
    BlurBuffers m_own;
    BlurBuffers* m_buffers = &m_own;
    std::vector<int> m_filled;  // the sizes whose padding holds this image's spectrum
};

// Light centroid within `radius`, three rounds from the frame centre.
void Centroid(const std::vector<double>& f, int side, double radius, double& cx, double& cy)
{
    cx = cy = (side - 1) / 2.0;
    for (int round = 0; round < 3; ++round) LightCentroid(f, side, side, radius, cx, cy);
}

// The data at the model's pixels (same offsets from the light centroids), for the blur fit.
struct BlurTarget {
    std::vector<int> index;  // model pixels inside the window
    std::vector<double> data;
    double dataSq = 0;
};

BlurTarget Target(const compensated::PreparedFrame& data, const SharpModel& m, double rho)
{
    BlurTarget t;
    double cx = 0, cy = 0;
    const double radius = 1.3 * rho + 6;
    Centroid(m.pixels, m.side, radius, cx, cy);
    for (int j = 0; j < m.side; ++j) {
        for (int i = 0; i < m.side; ++i) {
            if ((i - cx) * (i - cx) + (j - cy) * (j - cy) > radius * radius) continue;
            const double d = data.spline.Sample(data.setup.cx + i - cx, data.setup.cy + j - cy);
            t.index.push_back(j * m.side + i);
            t.data.push_back(d);
            t.dataSq += d * d;
        }
    }
    return t;
}

// The two sides run at once; their costs are added in side order, whatever the thread count.
double BlurCost(std::array<Blurrer, 2>& sharp,
                const std::array<BlurTarget, 2>& targets,
                std::array<std::vector<double>, 2>& blurred,
                double sigma)
{
    std::array<double, 2> costs{};
    ParallelFor(2, [&](int side) {
        std::vector<double>& m = blurred[side];
        sharp[side].Apply(sigma, m);
        const BlurTarget& t = targets[side];
        double sd = 0, sm = 0;
        for (std::size_t k = 0; k < t.index.size(); ++k) {
            sd += t.data[k];
            sm += m[t.index[k]];
        }
        const double gain = sm > 0 ? sd / sm : 0;
        double e = 0;
        for (std::size_t k = 0; k < t.index.size(); ++k) {
            const double r = t.data[k] - gain * m[t.index[k]];
            e += r * r;
        }
        costs[side] = t.dataSq > 0 ? e / t.dataSq : 0;
    });
    double cost = 0;
    for (double c : costs) cost += c;
    return cost;
}

// Each side's blurs on its own buffers: the sides alternate and each keeps its spectrum.
double FitBlur(const std::array<SharpModel, 2>& models,
               const std::array<BlurTarget, 2>& targets,
               std::array<RenderWorkspace, 2>& work)
{
    std::array<Blurrer, 2> sharp = {Blurrer(models[0], work[0].blur), Blurrer(models[1], work[1].blur)};
    std::array<std::vector<double>, 2> blurred;
    const double phi = (std::sqrt(5.0) - 1) / 2;
    double a = 0, b = kMaxBlurPx;
    double x1 = b - phi * (b - a), x2 = a + phi * (b - a);
    double f1 = BlurCost(sharp, targets, blurred, x1), f2 = BlurCost(sharp, targets, blurred, x2);
    for (int step = 2; step < kGoldenSteps; ++step) {
        if (f1 < f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - phi * (b - a);
            f1 = BlurCost(sharp, targets, blurred, x1);
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + phi * (b - a);
            f2 = BlurCost(sharp, targets, blurred, x2);
        }
    }
    return 0.5 * (a + b);
}

double ResidualNm(const ZernikeCoefficients& data, const ZernikeCoefficients& model, int terms)
{
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    double sq = 0;
    int count = 0;
    for (int k = 5; k <= std::min(22, terms); ++k) {
        const double d = (data[k - 1] - model[k - 1]) / basis.Norm(k);
        sq += d * d;
        ++count;
    }
    return count > 0 ? std::sqrt(sq / count) : 0;
}

// The r^2 coefficient of the defocus term (term 4) in the annular basis of obstruction eps.
double DefocusTermCurvature(double eps)
{
    const ZernikePolynomials poly(ZernikeBasis::ForCount(4), eps);
    ZernikeJet jet;
    poly.Eval(0.5 * (1 + eps), 0, jet);
    return 0.5 * jet.dxx[3];
}

}  // namespace

// A wavefront k r^2 (r in aperture radii) moves the image planes as seen from the pupil by 2 k F z /
// R^2, z = F -+ l: the intra-focal plane nearer by 2 k F (F - l) / R^2, the extra one farther by
// 2 k F (F + l) / R^2. Their mean, 2 k F^2 / R^2, is the asymmetry; the rest (a share l / F of it)
// is far below what the images can tell.
ModelEstimate DistancesForDefocusTerm(const CompensatedOptions& o, const ModelEstimate& e)
{
    ModelEstimate out = e;
    const double k = e.coef[3] * DefocusTermCurvature(e.obstruction);
    out.asymmetryNm += 2 * k * o.focalNm * o.focalNm / (o.apertureRadiusNm * o.apertureRadiusNm);
    out.coef[3] = 0;
    return out;
}

ModelEstimate DefocusTermForDistances(const CompensatedOptions& o, const ModelEstimate& e)
{
    ModelEstimate out = e;
    const double k = e.asymmetryNm * o.apertureRadiusNm * o.apertureRadiusNm / (2 * o.focalNm * o.focalNm);
    out.coef[3] += k / DefocusTermCurvature(e.obstruction);
    out.asymmetryNm = 0;
    return out;
}

std::size_t KeptRefinementRound(const std::vector<double>& residuals)
{
    if (residuals.empty()) return 0;
    // Rounds that keep shrinking (or hold) are trusted to the last update; rounds that oscillate
    // (near a caustic the analysis is not smooth) give way to the most self-consistent estimate.
    bool steady = true;
    for (std::size_t k = 1; k < residuals.size(); ++k)
        steady = steady && residuals[k] <= 1.2 * residuals[k - 1] + 0.03;
    if (steady) return residuals.size();
    const auto best = std::min_element(residuals.begin(), residuals.end());
    // Rounds that never even halved the first discrepancy did not converge anywhere: their most
    // self-consistent estimate is one draw of the oscillation, no better than the data's own answer.
    if (*best > kConverged * residuals.front()) return 0;
    return static_cast<std::size_t>(best - residuals.begin());
}

std::vector<double> BlurModelFrame(const ModelFrame& frame, double sigma)
{
    return Blurrer(frame.pixels, frame.side).Apply(sigma);
}

struct ModelBlurrer::Impl {
    Blurrer blurrer;
};

ModelBlurrer::ModelBlurrer(const ModelFrame& frame)
    : m_impl(std::make_unique<Impl>(Impl{Blurrer(frame.pixels, frame.side)}))
{
}
ModelBlurrer::~ModelBlurrer() = default;
ModelBlurrer::ModelBlurrer(ModelBlurrer&&) noexcept = default;
std::vector<double> ModelBlurrer::Apply(double sigma) { return m_impl->blurrer.Apply(sigma); }

struct ModelRenderCache::Impl {
    std::array<RenderWorkspace, 2> sides;  // intra, extra
    compensated::Workspace analysis;
    compensated::PreparedPair data;  // the pair analysed through the cache

    // The two sides render at once on their own buffers; on one thread they take turns on one set,
    // which halves the memory first touched.
    RenderWorkspace& For(bool extra) { return sides[extra && ThreadCount() > 1 ? 1 : 0]; }

    // MaxSlope of the estimate rendered last: the callers that render a pair side by side ask it twice.
    double SlopeOf(const ModelEstimate& e, int terms)
    {
        const std::lock_guard lock(slopeMutex);
        if (!slopeKnown || e.coef != slopeCoef || e.obstruction != slopeObstruction || terms != slopeTerms) {
            slope = MaxSlope(e, terms);
            slopeCoef = e.coef;
            slopeObstruction = e.obstruction;
            slopeTerms = terms;
            slopeKnown = true;
        }
        return slope;
    }
    std::mutex slopeMutex;
    bool slopeKnown = false;
    ZernikeCoefficients slopeCoef{};
    double slopeObstruction = 0, slope = 0;
    int slopeTerms = 0;
};

ModelRenderCache::ModelRenderCache() : m_impl(std::make_unique<Impl>()) {}
ModelRenderCache::~ModelRenderCache() = default;

compensated::Workspace& compensated::AnalysisWorkspace(ModelRenderCache& cache)
{
    return cache.impl().analysis;
}

compensated::PreparedPair& compensated::DataFrames(ModelRenderCache& cache) { return cache.impl().data; }

Result<CompensatedResult> CompensatedAnalysis(const RawFrame& intra,
                                              const RawFrame& extra,
                                              const CompensatedOptions& o,
                                              ModelRenderCache& cache)
{
    compensated::PreparedPair& data = cache.impl().data;
    if (Status s = compensated::Prepare(intra, extra, data); !s.ok()) return s;
    return compensated::Analyse(intra, extra, data, o, cache.impl().analysis);
}

Result<ModelFrame> RenderModelFrame(const CompensatedOptions& o,
                                    const ModelEstimate& e,
                                    double lambdaNm,
                                    bool extra,
                                    double blurPx,
                                    ModelRenderCache* cache)
{
    std::optional<ModelRenderCache> own;
    if (!cache) cache = &own.emplace();
    auto sharp =
        RenderSharp(o, e, cache->impl().SlopeOf(e, o.terms), lambdaNm, extra, cache->impl().For(extra));
    if (!sharp.ok()) return sharp.status();
    Blurrer blurrer(sharp.value());
    return ModelFrame{blurrer.Apply(blurPx), sharp.value().side};
}

Result<RefineOutcome> RefineCompensated(const RawFrame& intra,
                                        const RawFrame& extra,
                                        const CompensatedOptions& o,
                                        const CompensatedResult& first,
                                        const RefineOptions& refine,
                                        ModelRenderCache* cache)
{
    // The two images render at once (see ModelRenderCache::Impl::For).
    std::unique_ptr<ModelRenderCache> own;
    if (!cache) {
        own = std::make_unique<ModelRenderCache>();
        cache = own.get();
    }
    ModelRenderCache::Impl& renders = cache->impl();
    // The frames the first analysis prepared when it ran through the cache.
    if (Status s = compensated::Prepare(intra, extra, renders.data); !s.ok()) return s;
    const compensated::PreparedFrame& d1 = renders.data.frames[0];
    const compensated::PreparedFrame& d2 = renders.data.frames[1];
    const double flux[2] = {first.frames[0].flux, first.frames[1].flux};

    // The renders carry the defocus term as the two images' own distances from focus.
    const ModelEstimate start{first.coef, first.obstruction, first.defocusNm};
    ModelEstimate x = DistancesForDefocusTerm(o, start);
    double blur = 0;
    struct Tried {
        ModelEstimate estimate;
        double residual;
        ZernikeCoefficients analysed;
    };
    std::vector<Tried> tried;
    std::array<RenderWorkspace, 2>& work = renders.sides;
    for (RenderWorkspace& w : work) w.coarse = false;
    compensated::Workspace& analysis = cache->impl().analysis;
    CompensatedOptions rendered = o;
    rendered.noiseCovariance = false;  // noise-free renders: only their coefficients count
    std::array<std::vector<double>, 2> frames;
    for (int round = 0; round < refine.rounds; ++round) {
        if (refine.stop.stop_requested()) return Status::Fail(StatusCode::Cancelled, {}, kCancelledReason);
        std::array<SharpModel, 2> sharp;
        std::array<Status, 2> renderStatus;
        const double slope = MaxSlope(x, o.terms);
        ParallelFor(2, [&](int side) {
            auto s = RenderSharp(o, x, slope, refine.lambdaNm, side == 1, renders.For(side == 1));
            if (s.ok())
                sharp[side] = s.take();
            else
                renderStatus[side] = s.status();
        });
        for (const Status& s : renderStatus)
            if (!s.ok()) return s;
        if (round == 0) {
            const std::array<BlurTarget, 2> targets = {Target(d1, sharp[0], first.rhoPx),
                                                       Target(d2, sharp[1], first.rhoPx)};
            blur = FitBlur(sharp, targets, work);
        }
        ParallelFor(2, [&](int side) {
            Blurrer(sharp[side], work[side].blur).Apply(blur, frames[side]);
            for (double& v : frames[side]) v *= flux[side];
        });
        auto simulated = compensated::Analyse({frames[0], sharp[0].side, sharp[0].side},
                                              {frames[1], sharp[1].side, sharp[1].side},
                                              rendered,
                                              analysis);
        if (!simulated.ok()) break;
        const CompensatedResult& s = simulated.value();
        tried.push_back({x, ResidualNm(first.coef, s.coef, o.terms), s.coef});
        for (int k = 4; k <= o.terms; ++k) x.coef[k - 1] += first.coef[k - 1] - s.coef[k - 1];
        if (!o.obstruction && first.obstruction > 0)
            x.obstruction = std::clamp(x.obstruction + first.obstruction - s.obstruction, 0.0, 0.9);
        x = DistancesForDefocusTerm(o, x);
        if (!o.defocusNm) x.defocusNm += first.defocusNm - s.defocusNm;
    }
    if (tried.empty())
        return Status::Fail(StatusCode::NumericalFailure, "Affinage impossible", "no round ran");
    std::vector<double> residuals;
    for (const Tried& t : tried) residuals.push_back(t.residual);
    const std::size_t pick = KeptRefinementRound(residuals);
    const ModelEstimate kept = DefocusTermForDistances(o, pick < tried.size() ? tried[pick].estimate : x);
    const double residual = tried[std::min(pick, tried.size() - 1)].residual;
    const bool settled = pick != 0;
    RefineOutcome out;
    out.result = first;
    for (int k = 4; k <= o.terms; ++k) out.result.coef[k - 1] = kept.coef[k - 1];
    out.result.obstruction = kept.obstruction;
    out.result.defocusNm = kept.defocusNm;
    out.result.rhoPx = DonutRadius(o.focalNm, o.apertureRadiusNm, kept.defocusNm) / o.pixelNm;
    out.blurPx = blur;
    out.residualNm = residual;
    out.rounds = static_cast<int>(tried.size());
    out.updates = static_cast<int>(pick);
    out.nearestCoef = tried[std::min(pick, tried.size() - 1)].estimate.coef;
    out.nearestAnalysis = tried[std::min(pick, tried.size() - 1)].analysed;
    out.coarseGrid = work[0].coarse || work[1].coarse;
    out.settled = settled;
    return out;
}

}  // namespace frontlys
