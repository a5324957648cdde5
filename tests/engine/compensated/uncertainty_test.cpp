// Error bars of the compensated analysis: the photon noise measured on the donut, the analytic sigmas
// against the spread of the answers over noise seeds, and the parametric bootstrap beside them.
#include "engine/compensated/uncertainty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/compensated/internal.h"
#include "engine/compensated/noise_covariance.h"
#include "engine/curvature_model.h"

namespace frontlys {
namespace {

// A geometric 40-pixel pair of level 400 ADU over a sky of 200, with photon noise of gain 0.5 e/ADU
// (variance 2 ADU^2 per ADU) and a sky sigma of 6 ADU.
constexpr double kSky = 200, kSkySigma = 6, kPhotonVariance = 2;

struct Noisy {
    std::vector<double> intra, extra;
    int side = 0;
};

class PairNoise : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testing::KnownWavefront w;
        w.coefficients[4] = 30;   // astigmatism
        w.coefficients[6] = -20;  // coma
        w.coefficients[10] = 25;  // spherical
        testing::ModelPupil pupil;
        pupil.size = 160;
        pupil.radiusPx = 40;
        pupil.level = 400;
        pupil.blurPx = 0.7;
        const auto pair = testing::MakeModelPair(w, pupil, testing::ModelGeometry());
        const auto pixels = [](const TImageRec& i) {
            return std::vector<double>(i.Planes.data(),
                                       i.Planes.data() + static_cast<std::size_t>(i.Width) * i.Height);
        };
        s_clean = {pixels(*pair.intra), pixels(*pair.extra), pupil.size};
    }

    static Noisy Draw(unsigned seed)
    {
        std::mt19937_64 rng(seed);
        std::normal_distribution<double> normal;
        Noisy n = s_clean;
        for (auto* f : {&n.intra, &n.extra})
            for (double& v : *f)
                v = kSky + v + std::sqrt(kSkySigma * kSkySigma + kPhotonVariance * v) * normal(rng);
        return n;
    }

    static CompensatedOptions Options()
    {
        const TestGeometry g = testing::ModelGeometry();
        CompensatedOptions o;
        o.focalNm = g.Focal;
        o.apertureRadiusNm = g.ApertureRadius;
        o.pixelNm = g.Defocus * g.ApertureRadius / (g.Focal * 40);
        o.defocusNm = g.Defocus;
        o.noiseCovariance = true;
        return o;
    }

    static Result<CompensatedResult> Analyse(const Noisy& n)
    {
        return CompensatedAnalysis({n.intra, n.side, n.side}, {n.extra, n.side, n.side}, Options());
    }

    static inline Noisy s_clean;
};

// The noise model read off the frames, and bars that match the scatter of the answers over seeds
// (neither inflated nor optimistic: the RMS of the ratio over terms 5..22 within 25 %).
TEST_F(PairNoise, AnalyticSigmasMatchTheScatterOverSeeds)
{
    constexpr int kSeeds = 14;
    std::vector<ZernikeCoefficients> found;
    std::vector<double> sigma;
    for (int s = 0; s < kSeeds; ++s) {
        const auto r = Analyse(Draw(100 + s));
        ASSERT_TRUE(r.ok()) << r.status().reason;
        found.push_back(r.value().coef);
        if (s > 0) continue;
        for (const FrameSetup& f : r.value().frames) {
            EXPECT_NEAR(f.noise, kSkySigma, 0.6);
            EXPECT_NEAR(f.photonVariance, kPhotonVariance, 0.3);
        }
        sigma = SigmaRmsNm(r.value().covariance, 22);
        ASSERT_EQ(sigma.size(), 22u);
        EXPECT_EQ(sigma[1], 0);  // tilts: fixed by the centroids, no bar
    }
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    double logRatio = 0;
    for (int k = 5; k <= 22; ++k) {
        double mean = 0, sq = 0;
        for (const auto& c : found) mean += c[k - 1] / basis.Norm(k) / kSeeds;
        for (const auto& c : found) sq += std::pow(c[k - 1] / basis.Norm(k) - mean, 2);
        const double spread = std::sqrt(sq / (kSeeds - 1));
        ASSERT_GT(sigma[k - 1], 0) << "Z" << k;
        logRatio += std::pow(std::log(sigma[k - 1] / spread), 2);
    }
    EXPECT_LT(std::sqrt(logRatio / 18), std::log(1.25));
}

// Without noise there is nothing to measure: the photon share is 0 and the bars are near nil.
TEST_F(PairNoise, CleanFramesGiveNoPhotonNoise)
{
    const auto r = CompensatedAnalysis(
        {s_clean.intra, s_clean.side, s_clean.side}, {s_clean.extra, s_clean.side, s_clean.side}, Options());
    ASSERT_TRUE(r.ok());
    for (const FrameSetup& f : r.value().frames) EXPECT_LT(f.photonVariance, 0.05);
    const auto sigma = SigmaRmsNm(r.value().covariance, 22);
    for (int k = 5; k <= 22; ++k) EXPECT_LT(sigma[k - 1], 0.02) << "Z" << k;
    // A covariance-free analysis (the refinement's renders) carries none.
    CompensatedOptions plain = Options();
    plain.noiseCovariance = false;
    const auto q = CompensatedAnalysis(
        {s_clean.intra, s_clean.side, s_clean.side}, {s_clean.extra, s_clean.side, s_clean.side}, plain);
    ASSERT_TRUE(q.ok());
    EXPECT_TRUE(q.value().covariance.empty());
    EXPECT_TRUE(SigmaRmsNm(q.value().covariance, 22).empty());
}

// The bootstrap re-simulates the pair from the answer with the same noise and analyses the copies:
// its spread stands beside the analytic one, and it does not depend on the number of threads.
TEST_F(PairNoise, BootstrapSpreadStandsBesideTheAnalyticOne)
{
    const auto r = Analyse(Draw(7));
    ASSERT_TRUE(r.ok());
    BootstrapRequest b;
    b.options = Options();
    b.answer = {r.value().coef, r.value().obstruction, r.value().defocusNm};
    b.blurPx = 0.7;
    b.frames = r.value().frames;
    b.samples = 10;
    b.threads = 2;
    const auto boot = ParametricBootstrap(b);
    ASSERT_TRUE(boot.ok()) << boot.status().reason;
    EXPECT_EQ(boot.value().samples, 10);
    const auto sigma = SigmaRmsNm(r.value().covariance, 22);
    double logRatio = 0;
    for (int k = 5; k <= 22; ++k)
        logRatio += std::pow(std::log(boot.value().sigmaRmsNm[k - 1] / sigma[k - 1]), 2);
    EXPECT_LT(std::sqrt(logRatio / 18), std::log(1.5));
    b.threads = 1;
    const auto again = ParametricBootstrap(b);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value().sigmaRmsNm, boot.value().sigmaRmsNm);

    b.samples = 1;
    EXPECT_FALSE(ParametricBootstrap(b).ok());  // no spread from one copy
}

// The refined answer's bars: the first analysis's covariance through the refinement's corrections. An
// unrefined answer keeps its own; a refined one has the high spherical term's noise amplified (the
// render-and-analyse gain of a blurred donut is below 1 there) and a finite distance to the fixed point.
TEST_F(PairNoise, RefinedBarsCarryTheRefinementsGain)
{
    const Noisy n = Draw(11);
    auto first = Analyse(n);
    ASSERT_TRUE(first.ok());
    RefineOptions r;
    r.rounds = 4;
    auto refined =
        RefineCompensated({n.intra, n.side, n.side}, {n.extra, n.side, n.side}, Options(), first.value(), r);
    ASSERT_TRUE(refined.ok());
    ASSERT_GT(refined.value().updates, 0);
    auto bars = RefinedCovariance(Options(), first.value(), refined.value(), r.lambdaNm);
    ASSERT_TRUE(bars.ok());
    const std::vector<double> before = SigmaRmsNm(first.value().covariance, 22);
    const std::vector<double> after = SigmaRmsNm(bars.value().covariance, 22);
    EXPECT_GT(after[21], 1.1 * before[21]);
    for (int k = 5; k <= 22; ++k) {
        EXPECT_GT(after[k - 1], 0.8 * before[k - 1]) << k;
        EXPECT_TRUE(std::isfinite(bars.value().remainingRmsNm[k - 1])) << k;
    }
    RefineOutcome unrefined = refined.value();
    unrefined.updates = 0;  // the refinement gave way to the unrefined answer
    auto same = RefinedCovariance(Options(), first.value(), unrefined, r.lambdaNm);
    ASSERT_TRUE(same.ok());
    EXPECT_EQ(same.value().covariance, first.value().covariance);
}

// The covariance takes the weak-form matrix of the loop's last pass: the same system as built again
// from the loop's mean image, to rounding. A loop that stopped at its first pass solved fewer terms,
// and the matrix is built.
TEST_F(PairNoise, CovarianceTakesTheLoopsLastMatrix)
{
    const Noisy n = Draw(3);
    const RawFrame intra{n.intra, n.side, n.side}, extra{n.extra, n.side, n.side};
    auto p1 = compensated::PrepareFrame(intra);
    auto p2 = compensated::PrepareFrame(extra);
    ASSERT_TRUE(p1.ok() && p2.ok());
    const CompensatedOptions o = Options();
    const double rho = *o.defocusNm * DonutRadiusPerDefocus(o.focalNm, o.apertureRadiusNm) / o.pixelNm;
    compensated::Grid grid;
    compensated::MakeGrid(rho, 0, 22, EdgeSine(o.focalNm, o.apertureRadiusNm), grid, false);
    const TransportCoefficients m = TransportFor(o.focalNm, o.apertureRadiusNm, *o.defocusNm);
    const auto covariance = [&](const compensated::LoopOutcome& loop) {
        return compensated::NoiseCovariance(grid, m, loop, p1.value(), p2.value(), intra, extra).covariance;
    };
    compensated::LoopOutcome loop = compensated::RunLoop(grid, p1.value(), p2.value(), m, {}, o.stopNm, 14);
    ASSERT_EQ(loop.weakForm.size(), 21u * 21u);
    const std::vector<double> kept = covariance(loop);
    loop.weakForm.clear();
    const std::vector<double> built = covariance(loop);
    ASSERT_EQ(kept.size(), 22u * 22u);
    ASSERT_EQ(built.size(), kept.size());
    for (int k = 4; k <= 22; ++k) {
        const std::size_t at = static_cast<std::size_t>(k - 1) * 23;
        ASSERT_GT(built[at], 0) << "Z" << k;
        EXPECT_NEAR(kept[at] / built[at], 1, 1e-10) << "Z" << k;
    }
    const compensated::LoopOutcome onePass =
        compensated::RunLoop(grid, p1.value(), p2.value(), m, {}, o.stopNm, 1);
    EXPECT_EQ(onePass.weakForm.size(), 10u * 10u);
    const std::vector<double> partial = covariance(onePass);
    ASSERT_EQ(partial.size(), kept.size());
    for (int k = 4; k <= 22; ++k) EXPECT_GT(partial[static_cast<std::size_t>(k - 1) * 23], 0) << "Z" << k;
}

// The bars are the same bits whatever the number of threads: the noise covariance's frames run as
// separate tasks, the Jacobian's renders and analyses on their own buffers.
TEST_F(PairNoise, BarsDoNotDependOnTheThreadCount)
{
    const Noisy n = Draw(5);
    const auto bars = [&] {
        auto first = Analyse(n);
        EXPECT_TRUE(first.ok());
        RefineOptions r;
        r.rounds = 3;
        auto refined = RefineCompensated(
            {n.intra, n.side, n.side}, {n.extra, n.side, n.side}, Options(), first.value(), r);
        EXPECT_TRUE(refined.ok());
        auto covariance = RefinedCovariance(Options(), first.value(), refined.value(), r.lambdaNm);
        EXPECT_TRUE(covariance.ok());
        return std::pair(first.value().covariance, covariance.value().covariance);
    };
    SetThreadCount(1);
    const auto one = bars();
    SetThreadCount(2);
    const auto two = bars();
    SetThreadCount(0);
    ASSERT_FALSE(one.first.empty());
    EXPECT_EQ(two.first, one.first);
    EXPECT_EQ(two.second, one.second);
    EXPECT_NE(one.second, one.first);  // the refinement's gain was measured
}

// The model's error from the judge: none where the kept answer explains the images down to the noise,
// the share sqrt(excess kept / excess other) of the answers' difference, the whole of it where the judge
// cannot tell them apart.
TEST(Uncertainty, ModelErrorFollowsTheJudgesMisfits)
{
    constexpr int n = 22;
    const ZernikeBasis basis = ZernikeBasis::ForCount(n);
    ZernikeCoefficients kept{}, other{};
    kept[10] = 30 * basis.Norm(11);
    other[10] = 26 * basis.Norm(11);  // 4 nm RMS of spherical apart
    other[4] = -2 * basis.Norm(5);    // 2 nm RMS of astigmatism
    EXPECT_EQ(ModelErrorRmsNm(kept, other, 0.97, 4.0, 0, n), std::vector<double>(n, 0.0));
    const std::vector<double> half = ModelErrorRmsNm(kept, other, 1.25, 2.0, 0, n);  // sqrt(0.25 / 1)
    EXPECT_NEAR(half[10], 2, 1e-9);
    EXPECT_NEAR(half[4], 1, 1e-9);
    EXPECT_EQ(half[5], 0);
    EXPECT_NEAR(ModelErrorRmsNm(kept, other, 1.5, 1.5, 0, n)[10], 4, 1e-9);
    EXPECT_EQ(ModelErrorRmsNm(kept, other, 1.5, std::nan(""), 0, n), std::vector<double>(n, 0.0));
}

// The judge cannot read an excess finer than its chi-square's spread, sqrt(2 / pixels) (0.05 over 800
// pixels): a kept answer below it is bounded by that spread, not declared free of model error, and two
// answers both below it cannot be told apart. Far above it nothing changes.
TEST(Uncertainty, ModelErrorStopsAtTheJudgesResolution)
{
    constexpr int n = 22;
    const ZernikeBasis basis = ZernikeBasis::ForCount(n);
    ZernikeCoefficients kept{}, other{};
    kept[10] = 30 * basis.Norm(11);
    other[10] = 26 * basis.Norm(11);  // 4 nm RMS apart
    EXPECT_NEAR(ModelErrorRmsNm(kept, other, 0.97, 1.2, 800, n)[10], 4 * std::sqrt(0.05 / 0.2), 1e-9);
    EXPECT_NEAR(ModelErrorRmsNm(kept, other, 0.95, 0.98, 800, n)[10], 4, 1e-9);
    EXPECT_NEAR(ModelErrorRmsNm(kept, other, 1.25, 2.0, 800, n)[10], 2, 1e-9);
}

// The RMS and the Strehl ratio carry the coefficients' bars.
TEST(Uncertainty, RmsAndStrehlPropagateTheCovariance)
{
    constexpr int n = 22;
    std::vector<double> cov(n * n, 0.0);
    const ZernikeBasis basis = ZernikeBasis::ForCount(n);
    ZernikeCoefficients c{};
    c[4] = 30 * basis.Norm(5);  // 30 nm RMS of astigmatism
    c[6] = 40 * basis.Norm(7);  // 40 nm RMS of coma: RMS 50
    cov[4 * n + 4] = std::pow(3 * basis.Norm(5), 2);
    cov[6 * n + 6] = std::pow(4 * basis.Norm(7), 2);
    ZernikeSelection all{};
    all.fill(1);
    // d rms = (30 * 3 + 40 * 4) / 50 in quadrature: sqrt((30 * 3)^2 + (40 * 4)^2) / 50.
    EXPECT_NEAR(RmsSigmaNm(cov, n, c, all), std::hypot(90.0, 160.0) / 50, 1e-9);
    all[6] = 0;  // coma left out: the RMS is the astigmatism's, its sigma too
    EXPECT_NEAR(RmsSigmaNm(cov, n, c, all), 3, 1e-9);
    const double s = StrehlSigma(50, 1, 550);
    EXPECT_NEAR(
        s,
        (std::exp(-std::pow(2 * M_PI * 49.999 / 550, 2)) - std::exp(-std::pow(2 * M_PI * 50.001 / 550, 2))) /
            0.002,
        1e-6);
    EXPECT_EQ(RmsSigmaNm({}, n, c, all), 0);
}

}  // namespace
}  // namespace frontlys
