// Calibration of the error bars of the compensated analysis: simulated pairs of the accuracy suite,
// bright and faint, each over many noise seeds; for terms 5..22, the share of terms whose error lies
// within 1 and 2 sigma. The error is taken against the truth (what a user meets: noise and the method's
// bias) and against the mean over the seeds (the noise alone, which is what the bars claim).
//
//   uncertainty_coverage_bench [--seeds N] [--refine R] [--threads T] [--case NAME] [--terms]
//                              [--noise-only]
//
// --terms adds, for each term, its mean sigma, spread over the seeds and bias, RMS over the cases, and
// the share of its errors within 1 and 2 sigma.
// --noise-only leaves out of the refined bars the rounds' remaining distance to their fixed point.
// Each line comes twice: the bars as reported (the noise's and the model error the judge's misfits
// show, ModelErrorRmsNm) and "noise" (the noise's alone).
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "analysis/coefficient_uncertainty.h"
#include "engine/compensated/analysis.h"
#include "engine/compensated/pipeline.h"
#include "engine/compensated/uncertainty.h"
#include "simulation/star_simulator.h"

namespace {

using namespace frontlys;

struct Case {
    std::string name;
    SimulationParams params;
};

// The 150 mm f/8 reflector of the accuracy suite: a 17-pixel donut on a 128-pixel frame.
SimulationParams Reflector(double obstruction, std::initializer_list<std::pair<int, double>> terms)
{
    SimulationParams p;
    p.diameterMm = 150;
    p.focalMm = 1200;
    p.obstruction = obstruction;
    p.defocusMm = 2.5;
    p.size = 128;
    for (auto [k, v] : terms) p.zernikeRmsNm[k - 1] = v;
    return p;
}

std::vector<Case> Cases()
{
    SimulationParams refractor = Reflector(0, {{11, 30}, {5, 10}});
    refractor.diameterMm = 100;
    refractor.focalMm = 900;
    SimulationParams newtonian = Reflector(0.25, {{11, -25}, {5, 10}});
    newtonian.diameterMm = 200;
    newtonian.focalMm = 1000;
    newtonian.defocusMm = 2;
    SimulationParams seeing = Reflector(0.25, {{11, 40}, {5, 15}});
    seeing.seeingArcsec = 4;
    return {
        {"refractor", refractor},
        {"newtonian", newtonian},
        {"cassegrain", Reflector(0.35, {{11, -30}, {7, 12}})},
        {"astigmatism", Reflector(0.25, {{5, 25}})},
        {"coma", Reflector(0.25, {{7, 20}})},
        {"trefoil", Reflector(0.25, {{9, 20}})},
        {"spherical", Reflector(0.25, {{11, 40}})},
        {"ten terms",
         Reflector(
             0.25,
             {{5, 12}, {6, -8}, {7, 6}, {8, -10}, {9, 7}, {10, 5}, {11, 25}, {12, -6}, {13, 4}, {14, 5}})},
        {"seeing 4\"", seeing},
    };
}

// Photon noise (gain 1), read noise and a sky level: 2e6 photo-electrons a frame (bright), 1.5e5 (faint).
SimulationParams WithLight(SimulationParams p, bool bright, std::uint64_t seed)
{
    p.poisson = true;
    p.photons = bright ? 2e6 : 1.5e5;
    p.readNoiseE = bright ? 5 : 10;
    p.backgroundAdu = bright ? 100 : 500;
    p.seed = seed;
    return p;
}

struct Run {
    bool ok = false;
    ZernikeCoefficients coef{};
    std::array<std::vector<double>, 2> bars;  // nm RMS: the noise's alone, then with the model error
    std::vector<double> sigma;
    double misfit = 0;  // the kept answer's chi-square per pixel (0: not judged)
    int judged = 0;     // the judge's pixels
};

// As the program runs a pair: the analysis, its refinement and the judge between the answers, then the
// bars of the answer kept.
Run Analyse(const SimulationParams& p, int refineRounds, bool noiseOnly)
{
    Run run;
    auto pair = SimulatePair(p);
    if (!pair.ok()) return run;
    const int n = p.size;
    std::vector<double> intra(pair.value().intra.adu.Plane(0).begin(), pair.value().intra.adu.Plane(0).end());
    std::vector<double> extra(pair.value().extra.adu.Plane(0).begin(), pair.value().extra.adu.Plane(0).end());
    std::reverse(extra.begin(), extra.end());
    CompensatedOptions o;
    o.focalNm = p.focalMm * 1e6;
    o.apertureRadiusNm = p.diameterMm * 5e5;
    o.pixelNm = BinnedPixelNm(p);
    o.noiseCovariance = true;
    PipelineOptions pipeline;
    pipeline.refineRounds = refineRounds;
    pipeline.lambdaNm = p.lambdaNm;
    auto analysed = AnalysePair({intra, n, n}, {extra, n, n}, o, pipeline);
    if (!analysed.ok()) return run;
    const PipelineOutcome& out = analysed.value();
    run.coef = out.result.coef;
    std::vector<double> covariance = out.result.covariance;
    // The noise through the refinement, and the rounds' remaining distance to their fixed point unless
    // asked for the noise alone.
    if (const auto& bars = out.refinedBars)
        covariance =
            noiseOnly ? bars->covariance : AddRemaining(bars->covariance, bars->remainingRmsNm, o.terms);
    double misfitOther = 0;
    const ZernikeCoefficients* other = nullptr;
    if (out.misfitRefined) run.judged = out.misfitRefined->pixels;
    if (out.keptImageFit && out.imageFit) {
        run.misfit = out.imageFit->misfit;
        misfitOther = out.imageFit->misfitStart;
        other = &out.imageFit->startCoef;
    } else if (out.misfitRefined && out.misfitUnrefined) {
        const bool refined = out.refined && out.keptRefined;
        run.misfit = (refined ? out.misfitRefined : out.misfitUnrefined)->chi2PerPixel;
        misfitOther = (refined ? out.misfitUnrefined : out.misfitRefined)->chi2PerPixel;
        other = refined ? &out.unrefined.coef : &out.refined->result.coef;
    }
    run.bars[0] = SigmaRmsNm(covariance, o.terms);
    run.bars[1] =
        other ? SigmaRmsNm(AddRemaining(covariance,
                                        ModelErrorRmsNm(
                                            run.coef, *other, run.misfit, misfitOther, run.judged, o.terms),
                                        o.terms),
                           o.terms)
              : run.bars[0];
    run.sigma = run.bars[1];
    run.ok = !run.sigma.empty();
    return run;
}

struct Tally {
    int terms = 0, in1 = 0, in2 = 0, noise1 = 0, noise2 = 0;
    double sigmaSum = 0, spreadSum = 0, biasSq = 0, misfitSum = 0;
    int biasTerms = 0, misfitRuns = 0;
    // Per term 5..22: sums of the squared sigma, squared spread and squared bias over the cases.
    std::array<double, 23> termSigmaSq{}, termSpreadSq{}, termBiasSq{};
    std::array<int, 23> termCases{}, termRuns{}, termIn1{}, termIn2{};  // coverage against the truth
    void Add(const Tally& t)
    {
        terms += t.terms, in1 += t.in1, in2 += t.in2, noise1 += t.noise1, noise2 += t.noise2;
        sigmaSum += t.sigmaSum, spreadSum += t.spreadSum, biasSq += t.biasSq, biasTerms += t.biasTerms;
        misfitSum += t.misfitSum, misfitRuns += t.misfitRuns;
        for (int k = 0; k < 23; ++k) {
            termSigmaSq[k] += t.termSigmaSq[k], termSpreadSq[k] += t.termSpreadSq[k];
            termBiasSq[k] += t.termBiasSq[k], termCases[k] += t.termCases[k];
            termRuns[k] += t.termRuns[k], termIn1[k] += t.termIn1[k], termIn2[k] += t.termIn2[k];
        }
    }
    void PrintTerms() const
    {
        std::printf("  term  sigma  spread  bias (RMS over the cases, nm)  truth within 1s, 2s\n");
        for (int k = 5; k <= 22; ++k) {
            const double n = std::max(1, termCases[k]), runs = std::max(1, termRuns[k]);
            std::printf("  Z%-3d %6.3f %6.3f %6.3f  %5.1f %% %5.1f %%\n",
                        k,
                        std::sqrt(termSigmaSq[k] / n),
                        std::sqrt(termSpreadSq[k] / n),
                        std::sqrt(termBiasSq[k] / n),
                        100 * termIn1[k] / runs,
                        100 * termIn2[k] / runs);
        }
    }
    void Print(const char* label) const
    {
        const double n = std::max(1, terms);
        std::printf(
            "%-24s terms %5d  truth: 1s %5.1f %%  2s %5.1f %%   noise: 1s %5.1f %%  2s %5.1f %%   "
            "mean sigma %.3f nm, spread over seeds %.3f nm, bias %.3f nm, misfit %.2f\n",
            label,
            terms,
            100 * in1 / n,
            100 * in2 / n,
            100 * noise1 / n,
            100 * noise2 / n,
            sigmaSum / n,
            spreadSum / n,
            std::sqrt(biasSq / std::max(1, biasTerms)),
            misfitSum / std::max(1, misfitRuns));
    }
};

std::vector<Run> RunSeeds(const Case& c, bool bright, int seeds, int refine, bool noiseOnly, int threads)
{
    std::vector<Run> runs(seeds);
    std::atomic<int> next{0};
    const auto work = [&] {
        for (int s = next++; s < seeds; s = next++)
            runs[s] = Analyse(WithLight(c.params, bright, 1000 + s), refine, noiseOnly);
    };
    {
        std::vector<std::jthread> pool;
        for (int t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
    }
    return runs;
}

Tally Measure(const Case& c, std::vector<Run> runs, int bars)
{
    for (Run& r : runs) r.sigma = r.bars[bars];
    const ZernikeBasis basis = ZernikeBasis::ForCount(22);
    Tally t;
    for (const Run& r : runs)
        if (r.ok && r.misfit > 0) t.misfitSum += r.misfit, ++t.misfitRuns;
    for (int k = 5; k <= 22; ++k) {
        double mean = 0, sq = 0;
        int count = 0;
        for (const Run& r : runs)
            if (r.ok) mean += r.coef[k - 1] / basis.Norm(k), ++count;
        if (count < 2) continue;
        mean /= count;
        for (const Run& r : runs)
            if (r.ok) sq += std::pow(r.coef[k - 1] / basis.Norm(k) - mean, 2);
        const double spread = std::sqrt(sq / (count - 1));
        t.biasSq += std::pow(mean - c.params.zernikeRmsNm[k - 1], 2);
        ++t.biasTerms;
        double sigmaSq = 0;
        for (const Run& r : runs)
            if (r.ok) sigmaSq += r.sigma[k - 1] * r.sigma[k - 1];
        t.termSigmaSq[k] += sigmaSq / count;
        t.termSpreadSq[k] += spread * spread;
        t.termBiasSq[k] += std::pow(mean - c.params.zernikeRmsNm[k - 1], 2);
        ++t.termCases[k];
        for (const Run& r : runs) {
            if (!r.ok) continue;
            const double found = r.coef[k - 1] / basis.Norm(k), sigma = r.sigma[k - 1];
            const double truth = c.params.zernikeRmsNm[k - 1];
            ++t.terms, ++t.termRuns[k];
            t.in1 += std::abs(found - truth) <= sigma;
            t.in2 += std::abs(found - truth) <= 2 * sigma;
            t.termIn1[k] += std::abs(found - truth) <= sigma;
            t.termIn2[k] += std::abs(found - truth) <= 2 * sigma;
            // Against the mean of the others, so the seed's own noise does not shrink its distance.
            const double others = (mean * count - found) / (count - 1);
            const double scale = std::sqrt(1 + 1.0 / (count - 1));
            t.noise1 += std::abs(found - others) <= sigma * scale;
            t.noise2 += std::abs(found - others) <= 2 * sigma * scale;
            t.sigmaSum += sigma;
            t.spreadSum += spread;
        }
    }
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    int seeds = 20, refine = 4;
    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string only;
    bool perTerm = false, noiseOnly = false;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--terms"))
            perTerm = true;
        else if (!std::strcmp(argv[i], "--noise-only"))
            noiseOnly = true;
        else if (value && !std::strcmp(argv[i], "--seeds"))
            seeds = std::atoi(argv[++i]);
        else if (value && !std::strcmp(argv[i], "--refine"))
            refine = std::atoi(argv[++i]);
        else if (value && !std::strcmp(argv[i], "--threads"))
            threads = std::atoi(argv[++i]);
        else if (value && !std::strcmp(argv[i], "--case"))
            only = argv[++i];
    }
    std::printf("%d seeds per case, refinement %d rounds; terms 5..22\n", seeds, refine);
    // The bars as reported (with the model error) and the noise's alone.
    const char* labels[2] = {"", " noise"};
    const int order[2] = {1, 0};
    Tally all[2][2];
    for (const Case& c : Cases()) {
        if (!only.empty() && c.name != only) continue;
        for (int bright = 1; bright >= 0; --bright) {
            const std::vector<Run> runs = RunSeeds(c, bright, seeds, refine, noiseOnly, threads);
            for (int v = 0; v < 2; ++v) {
                const Tally t = Measure(c, runs, order[v]);
                t.Print((c.name + (bright ? " bright" : " faint") + labels[v]).c_str());
                all[v][bright].Add(t);
            }
            std::fflush(stdout);
        }
    }
    for (int v = 0; v < 2; ++v) {
        for (int bright = 1; bright >= 0; --bright) {
            all[v][bright].Print((std::string(bright ? "all bright" : "all faint") + labels[v]).c_str());
            if (perTerm && v == 0) all[v][bright].PrintTerms();
        }
        Tally both = all[v][0];
        both.Add(all[v][1]);
        both.Print((std::string("all") + labels[v]).c_str());
    }
    return 0;
}
