#include "engine/compensated/uncertainty.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <random>
#include <thread>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/compensated/internal.h"
#include "engine/linear_solve.h"

namespace frontlys {
namespace {

constexpr int kFirstTerm = 5;
constexpr int kLastTerm = 22;
// Largest last correction of the refinement, nm RMS, about which its render serves as the base of the
// Jacobian's finite differences (steps of 1 nm RMS).
constexpr double kLargestShift = 0.25;

double At(const std::vector<double>& cov, int terms, int k, int l)
{
    return cov[static_cast<std::size_t>(k - 1) * terms + (l - 1)];
}

bool Usable(const std::vector<double>& cov, int terms)
{
    return terms > 0 && cov.size() == static_cast<std::size_t>(terms) * terms;
}

// The model pair at the data's fluxes on a sky, with a border wide enough for the background
// annulus and the frame-border noise the analysis reads.
struct RenderedPair {
    std::array<std::vector<double>, 2> light;  // ADU above the sky, program orientation
    int side = 0;
};

Result<RenderedPair> RenderPair(const BootstrapRequest& q)
{
    RenderedPair out;
    std::array<ModelFrame, 2> model;
    for (int i = 0; i < 2; ++i) {
        auto m = RenderModelFrame(q.options, q.answer, q.lambdaNm, i == 1, q.blurPx);
        if (!m.ok()) return m.status();
        model[i] = m.take();
    }
    const double rho =
        DonutRadius(q.options.focalNm, q.options.apertureRadiusNm, q.answer.defocusNm) / q.options.pixelNm;
    const int pad = static_cast<int>(std::ceil(0.8 * rho + 24));
    out.side = std::max(model[0].side, model[1].side) + 2 * pad;
    for (int i = 0; i < 2; ++i) {
        std::vector<double>& f = out.light[i];
        f.assign(static_cast<std::size_t>(out.side) * out.side, 0.0);
        const int off = (out.side - model[i].side) / 2;
        for (int r = 0; r < model[i].side; ++r)
            for (int c = 0; c < model[i].side; ++c)
                f[static_cast<std::size_t>(r + off) * out.side + c + off] =
                    q.frames[i].flux * model[i].pixels[static_cast<std::size_t>(r) * model[i].side + c];
    }
    return out;
}

// One noisy copy: sky level plus the light, each pixel with the data's variance model.
std::vector<double> NoisyCopy(const std::vector<double>& light, const FrameSetup& f, std::mt19937_64& rng)
{
    std::normal_distribution<double> normal;
    const double sky = f.noise * f.noise;
    std::vector<double> out(light.size());
    for (std::size_t k = 0; k < light.size(); ++k) {
        const double var = sky + f.photonVariance * std::max(0.0, light[k]);
        out[k] = f.background + light[k] + std::sqrt(var) * normal(rng);
    }
    return out;
}

// Whether (I - J)^16 on the family's block has every element below 1 in size.
bool Contracts(const std::vector<double>& jac, int nv, const std::vector<int>& family)
{
    const int m = static_cast<int>(family.size());
    std::vector<double> b(static_cast<std::size_t>(m) * m), sq(b.size());
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j)
            b[static_cast<std::size_t>(i) * m + j] =
                (i == j ? 1.0 : 0.0) - jac[static_cast<std::size_t>(family[i]) * nv + family[j]];
    for (int square = 0; square < 4; ++square) {
        std::fill(sq.begin(), sq.end(), 0.0);
        for (int i = 0; i < m; ++i)
            for (int l = 0; l < m; ++l)
                for (int j = 0; j < m; ++j)
                    sq[static_cast<std::size_t>(i) * m + j] +=
                        b[static_cast<std::size_t>(i) * m + l] * b[static_cast<std::size_t>(l) * m + j];
        b.swap(sq);
    }
    return std::all_of(b.begin(), b.end(), [](double v) { return std::abs(v) < 1; });
}

}  // namespace

Result<RefinedUncertainty> RefinedCovariance(const CompensatedOptions& o,
                                             const CompensatedResult& first,
                                             const RefineOutcome& refined,
                                             double lambdaNm,
                                             ModelRenderCache* cache)
{
    const int terms = o.terms;
    RefinedUncertainty result{first.covariance, std::vector<double>(std::max(0, terms), 0.0)};
    if (!Usable(first.covariance, terms) || refined.updates <= 0) return result;
    const CompensatedResult& x = refined.result;
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    // The coefficients from defocus on, by families. The refinement also moves the obstruction and the
    // defocus, but they hardly follow the coefficients (under 0.03 per nm RMS on the suite's donuts):
    // held fixed, they spare two renders. Steps of 1 nm RMS: well above rounding, well inside the
    // linear range.
    std::vector<int> vars;  // terms
    std::map<std::pair<int, bool>, std::vector<int>> families;
    for (int k = 4; k <= terms; ++k) {
        if (!basis.Reaches(k)) continue;
        const ZernikeTerm& t = ZernikeTermInfo(k);
        families[{t.m, t.sine}].push_back(static_cast<int>(vars.size()));
        vars.push_back(k);
    }
    const int nv = static_cast<int>(vars.size());
    // The defocus term is a change of the images' distances, which blur and diffraction do not hide:
    // its column of J is taken as the unit vector (measured 0.95 to 1.00 on the diagonal and under 0.015
    // elsewhere, from 17- to 120-pixel donuts), which spares the render that only the round family needed.
    const auto measured = [&](const std::vector<int>& family) {
        std::vector<int> out;
        for (int j : family)
            if (vars[j] != 4) out.push_back(j);
        return out;
    };
    std::size_t members = 0;
    for (const auto& [key, family] : families) members = std::max(members, measured(family).size());

    // The renders are analysed at the data's defocus and obstruction, to which the refinement brought
    // the renders' own: J leaves those two out anyway, and a loop that need not measure the pupil again
    // runs one round instead of two or three (3 passes instead of 9 on the bench's donuts). On the
    // coverage suite each term's mean bar moved by under 0.5 % against renders analysed from scratch.
    CompensatedOptions rendered = o;
    rendered.noiseCovariance = false;
    rendered.defocusNm = first.defocusNm;
    rendered.obstruction = first.obstruction;
    std::optional<ModelRenderCache> own;
    if (!cache) cache = &own.emplace();
    compensated::Workspace& work = compensated::AnalysisWorkspace(*cache);
    // The refinement's own step: render the estimate at the data's fluxes (both sides at once, as the
    // refinement does), analyse as the data.
    const auto analyse = [&](const ModelEstimate& e) -> Result<std::vector<double>> {
        std::array<ModelFrame, 2> f;
        std::array<Status, 2> status;
        ParallelFor(2, [&](int i) {
            auto m = RenderModelFrame(o, e, lambdaNm, i == 1, refined.blurPx, cache);
            if (!m.ok()) {
                status[i] = m.status();
                return;
            }
            f[i] = m.take();
            for (double& v : f[i].pixels) v *= first.frames[i].flux;
        });
        for (const Status& st : status)
            if (!st.ok()) return st;
        auto a = compensated::Analyse(
            {f[0].pixels, f[0].side, f[0].side}, {f[1].pixels, f[1].side, f[1].side}, rendered, work);
        if (!a.ok()) return a.status();
        std::vector<double> out(nv);
        for (int j = 0; j < nv; ++j) out[j] = a.value().coef[vars[j] - 1] / basis.Norm(vars[j]);
        return out;
    };
    // The base is the refinement's own last render, at x_b = x - D with D = a - A(R(x_b)) its last
    // correction (0 when the kept estimate is the one rendered last): the render at x + h e_r then
    // gives J (D + h e_r), and within a family J = Y (D 1^T + h I)^-1 once the known defocus column's
    // share is taken out. The sign of h follows the sum of D so that the matrix stays far from
    // singular. A last correction beyond a quarter of the step would make that matrix ill-conditioned
    // and reach past the linear range (faint frames whose rounds still swing): the estimate itself is
    // rendered instead.
    std::vector<double> base(nv), shift(nv, 0.0);
    const bool movedLast = refined.updates == refined.rounds;
    double largest = 0;
    for (int j = 0; j < nv; ++j) {
        const int k = vars[j];
        base[j] = refined.nearestAnalysis[k - 1] / basis.Norm(k);
        if (movedLast) shift[j] = (first.coef[k - 1] - refined.nearestAnalysis[k - 1]) / basis.Norm(k);
        if (k != 4) largest = std::max(largest, std::abs(shift[j]));
    }
    if (largest > kLargestShift) {
        auto own = analyse({x.coef, x.obstruction, x.defocusNm});
        if (!own.ok()) return own.status();
        base = own.take();
        std::fill(shift.begin(), shift.end(), 0.0);
    }
    std::map<std::pair<int, bool>, double> steps;
    for (const auto& [key, family] : families) {
        double sum = 0;
        for (int j : measured(family)) sum += shift[j];
        steps[key] = sum >= 0 ? 1.0 : -1.0;
    }
    const ModelEstimate at{x.coef, x.obstruction, x.defocusNm};
    std::vector<double> response(static_cast<std::size_t>(nv) * members, 0.0);  // Y, row j, column r
    for (std::size_t r = 0; r < members; ++r) {
        ModelEstimate e = at;
        for (const auto& [key, family] : families) {
            const std::vector<int> columns = measured(family);
            if (r < columns.size()) e.coef[vars[columns[r]] - 1] += steps[key] * basis.Norm(vars[columns[r]]);
        }
        auto moved = analyse(e);
        if (!moved.ok()) return moved.status();
        for (int j = 0; j < nv; ++j)
            response[static_cast<std::size_t>(j) * members + r] =
                moved.value()[j] - base[j] - (vars[j] == 4 ? shift[j] : 0.0);
    }
    std::vector<double> jac(static_cast<std::size_t>(nv) * nv, 0.0);
    for (int j = 0; j < nv; ++j)
        if (vars[j] == 4) jac[static_cast<std::size_t>(j) * nv + j] = 1;
    for (const auto& [key, family] : families) {
        const std::vector<int> columns = measured(family);
        const int m = static_cast<int>(columns.size());
        // Row i of J on the measured columns solves (D 1^T + h I)^T j_i = y_i.
        std::vector<double> xt(static_cast<std::size_t>(m) * m);
        for (int r = 0; r < m; ++r)
            for (int c = 0; c < m; ++c)
                xt[static_cast<std::size_t>(r) * m + c] = shift[columns[c]] + (r == c ? steps[key] : 0.0);
        for (int i : family) {
            std::vector<double> row(m);
            for (int r = 0; r < m; ++r) row[r] = response[static_cast<std::size_t>(i) * members + r];
            if (m > 0)
                if (Status solved = SolveLinear(xt, row); !solved.ok()) return solved;
            for (int c = 0; c < m; ++c) jac[static_cast<std::size_t>(i) * nv + columns[c]] = row[c];
        }
        // Rounds that settled had I - J shrink every step; a family whose measured I - J does not
        // (its powers still grow by the 16th) met an analysis that is not smooth about the estimate
        // (a change of its passes or stop): its gain is unknown, and its bars stay the first analysis's.
        if (!Contracts(jac, nv, family)) {
            for (int i : family)
                for (int c : family) jac[static_cast<std::size_t>(i) * nv + c] = i == c ? 1.0 : 0.0;
        }
    }
    // G = sum over i = 0..n of (I - J)^i, the linear response of the kept estimate to the data's analysis.
    std::vector<double> power(jac.size(), 0.0), gain(jac.size(), 0.0), next(jac.size());
    for (int i = 0; i < nv; ++i)
        power[static_cast<std::size_t>(i) * nv + i] = gain[static_cast<std::size_t>(i) * nv + i] = 1;
    for (int round = 0; round < refined.updates; ++round) {
        std::fill(next.begin(), next.end(), 0.0);
        for (int i = 0; i < nv; ++i)
            for (int l = 0; l < nv; ++l) {
                const double p = power[static_cast<std::size_t>(i) * nv + l];
                if (p == 0) continue;
                for (int j = 0; j < nv; ++j)
                    next[static_cast<std::size_t>(i) * nv + j] +=
                        p * ((l == j ? 1.0 : 0.0) - jac[static_cast<std::size_t>(l) * nv + j]);
            }
        power.swap(next);
        for (std::size_t q = 0; q < gain.size(); ++q) gain[q] += power[q];
    }
    // On the P peak-normalised coefficients: G where the refinement moves them, the identity elsewhere
    // (tilts).
    std::vector<double> g(static_cast<std::size_t>(terms) * terms, 0.0);
    for (int k = 0; k < terms; ++k) g[static_cast<std::size_t>(k) * terms + k] = 1;
    for (int i = 0; i < nv; ++i)
        for (int j = 0; j < nv; ++j)
            g[static_cast<std::size_t>(vars[i] - 1) * terms + vars[j] - 1] =
                gain[static_cast<std::size_t>(i) * nv + j] * basis.Norm(vars[i]) / basis.Norm(vars[j]);
    // The distance to the fixed point, J^-1 (a - A(R(x))) with A(R(x)) = A(R(x_b)) + J D.
    std::vector<double> remaining(nv);
    for (int j = 0; j < nv; ++j) remaining[j] = first.coef[vars[j] - 1] / basis.Norm(vars[j]) - base[j];
    if (SolveLinear(jac, remaining).ok())
        for (int j = 0; j < nv; ++j) result.remainingRmsNm[vars[j] - 1] = std::abs(remaining[j] - shift[j]);
    // G Cov G^T.
    const std::vector<double>& cov = first.covariance;
    std::vector<double> gc(cov.size(), 0.0), out(cov.size(), 0.0);
    for (int i = 0; i < terms; ++i)
        for (int l = 0; l < terms; ++l)
            if (const double a = g[static_cast<std::size_t>(i) * terms + l]; a != 0)
                for (int j = 0; j < terms; ++j)
                    gc[static_cast<std::size_t>(i) * terms + j] +=
                        a * cov[static_cast<std::size_t>(l) * terms + j];
    for (int i = 0; i < terms; ++i)
        for (int j = 0; j < terms; ++j) {
            double sum = 0;
            for (int l = 0; l < terms; ++l)
                sum +=
                    gc[static_cast<std::size_t>(i) * terms + l] * g[static_cast<std::size_t>(j) * terms + l];
            out[static_cast<std::size_t>(i) * terms + j] = sum;
        }
    result.covariance = std::move(out);
    return result;
}

std::vector<double> SigmaRmsNm(const std::vector<double>& cov, int terms)
{
    if (!Usable(cov, terms)) return {};
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    std::vector<double> sigma(terms, 0.0);
    // From defocus on: the tilts are fixed by the light centroids, not measured.
    for (int k = 4; k <= terms; ++k)
        if (basis.Reaches(k)) sigma[k - 1] = std::sqrt(std::max(0.0, At(cov, terms, k, k))) / basis.Norm(k);
    return sigma;
}

double RmsSigmaNm(const std::vector<double>& cov,
                  int terms,
                  const ZernikeCoefficients& coef,
                  const ZernikeSelection& selection)
{
    if (!Usable(cov, terms)) return 0;
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    // d rms / d c_k = (c_k / Norm(k)^2) / rms over the selected terms.
    std::vector<double> g(terms, 0.0);
    double sq = 0;
    for (int k = 1; k <= terms; ++k) {
        if (!selection[k - 1] || !basis.Reaches(k)) continue;
        const double n = basis.Norm(k);
        sq += coef[k - 1] * coef[k - 1] / (n * n);
        g[k - 1] = coef[k - 1] / (n * n);
    }
    if (!(sq > 0)) return 0;
    double var = 0;
    for (int k = 1; k <= terms; ++k)
        for (int l = 1; l <= terms; ++l) var += g[k - 1] * At(cov, terms, k, l) * g[l - 1];
    return std::sqrt(std::max(0.0, var) / sq);
}

double StrehlSigma(double rmsNm, double rmsSigmaNm, double lambdaNm)
{
    if (!(lambdaNm > 0)) return 0;
    const double k = 2 * std::numbers::pi / lambdaNm;
    const double phase = k * rmsNm;
    return std::exp(-phase * phase) * 2 * phase * k * rmsSigmaNm;
}

double ChiSquarePerTerm(const ZernikeCoefficients& found,
                        const ZernikeCoefficients& reference,
                        const std::vector<double>& cov,
                        int terms)
{
    const std::vector<double> sigma = SigmaRmsNm(cov, terms);
    if (sigma.empty()) return std::numeric_limits<double>::quiet_NaN();
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    double sum = 0;
    int count = 0;
    for (int k = kFirstTerm; k <= std::min(kLastTerm, terms); ++k) {
        if (!(sigma[k - 1] > 0)) continue;
        const double d = (found[k - 1] - reference[k - 1]) / basis.Norm(k) / sigma[k - 1];
        sum += d * d;
        ++count;
    }
    return count > 0 ? sum / count : std::numeric_limits<double>::quiet_NaN();
}

std::vector<double> ModelErrorRmsNm(const ZernikeCoefficients& kept,
                                    const ZernikeCoefficients& other,
                                    double misfitKept,
                                    double misfitOther,
                                    int pixels,
                                    int terms)
{
    std::vector<double> out(std::max(0, terms), 0.0);
    if (!std::isfinite(misfitKept) || !std::isfinite(misfitOther)) return out;
    const double resolution = pixels > 0 ? std::sqrt(2.0 / pixels) : 0.0;
    const double excess = std::max(misfitKept - 1, resolution);
    const double otherExcess = std::max(misfitOther - 1, resolution);
    if (!(excess > 0)) return out;
    const double share = otherExcess > excess ? std::sqrt(excess / otherExcess) : 1.0;
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    for (int k = 4; k <= terms; ++k)
        if (basis.Reaches(k)) out[k - 1] = share * std::abs(kept[k - 1] - other[k - 1]) / basis.Norm(k);
    return out;
}

Result<BootstrapOutcome> ParametricBootstrap(const BootstrapRequest& q)
{
    auto rendered = RenderPair(q);
    if (!rendered.ok()) return rendered.status();
    const RenderedPair& pair = rendered.value();
    const int terms = q.options.terms;
    CompensatedOptions options = q.options;
    options.noiseCovariance = false;
    std::vector<std::optional<ZernikeCoefficients>> found(std::max(0, q.samples));
    std::atomic<int> next{0};
    // Each copy draws from its own seed, so the result does not depend on the number of threads.
    const auto work = [&] {
        for (int s = next++; s < q.samples; s = next++) {
            std::mt19937_64 rng(q.seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(s));
            const std::vector<double> intra = NoisyCopy(pair.light[0], q.frames[0], rng);
            const std::vector<double> extra = NoisyCopy(pair.light[1], q.frames[1], rng);
            const RawFrame f1{intra, pair.side, pair.side}, f2{extra, pair.side, pair.side};
            auto first = CompensatedAnalysis(f1, f2, options);
            if (!first.ok()) continue;
            if (q.refineRounds <= 0) {
                found[s] = first.value().coef;
                continue;
            }
            RefineOptions refine;
            refine.rounds = q.refineRounds;
            refine.lambdaNm = q.lambdaNm;
            auto refined = RefineCompensated(f1, f2, options, first.value(), refine);
            found[s] = refined.ok() ? refined.value().result.coef : first.value().coef;
        }
    };
    const int threads =
        std::clamp(q.threads > 0 ? q.threads : static_cast<int>(std::thread::hardware_concurrency()),
                   1,
                   std::max(1, q.samples));
    {
        std::vector<std::jthread> pool;
        for (int t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
    }
    BootstrapOutcome out;
    const ZernikeBasis basis = ZernikeBasis::ForCount(terms);
    out.meanRmsNm.assign(terms, 0.0);
    out.sigmaRmsNm.assign(terms, 0.0);
    for (const auto& f : found) {
        if (!f) {
            ++out.failed;
            continue;
        }
        ++out.samples;
        for (int k = 1; k <= terms; ++k) out.meanRmsNm[k - 1] += (*f)[k - 1] / basis.Norm(k);
    }
    if (out.samples < 2)
        return Status::Fail(StatusCode::NumericalFailure,
                            "Bootstrap impossible",
                            "fewer than two noisy copies could be analysed");
    for (double& m : out.meanRmsNm) m /= out.samples;
    for (const auto& f : found) {
        if (!f) continue;
        for (int k = 1; k <= terms; ++k) {
            const double d = (*f)[k - 1] / basis.Norm(k) - out.meanRmsNm[k - 1];
            out.sigmaRmsNm[k - 1] += d * d;
        }
    }
    for (double& s : out.sigmaRmsNm) s = std::sqrt(s / (out.samples - 1));
    return out;
}

}  // namespace frontlys
