#include "engine/compensated/uncertainty.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <thread>

#include "engine/beam_geometry.h"

namespace frontlys {
namespace {

constexpr int kFirstTerm = 5;
constexpr int kLastTerm = 22;

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

}  // namespace

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
