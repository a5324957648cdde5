// The compensated analysis from loaded frames to coefficients, for donut radii of 40, 80 and 120
// pixels, without and with the forward-model refinement (4 rounds); and the whole analysis of a
// 512 x 512 pair from its files, with each correction. Simulated pairs of a 200 mm f/6 Newtonian
// (25 % obstruction, 9 um pixels) with spherical aberration, astigmatism and coma.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

#include "../tests/support/temp_dir.h"
#include "analysis/run_analysis.h"
#include "core/thread_pool.h"
#include "engine/compensated/analysis.h"
#include "engine/compensated/refine.h"
#include "engine/compensated/uncertainty.h"
#include "simulation/simulation_files.h"
#include "simulation/star_simulator.h"

namespace {

using namespace frontlys;

SimulationParams Pair(int radiusPx, int size)
{
    SimulationParams p;
    p.diameterMm = 200;
    p.focalMm = 1200;
    p.obstruction = 0.25;
    p.pixelUm = 9;
    p.defocusMm = radiusPx * p.focalMm * p.pixelUm * 1e-3 / (p.diameterMm / 2);
    p.size = size;
    p.zernikeRmsNm[10] = 30;
    p.zernikeRmsNm[4] = 15;
    p.zernikeRmsNm[6] = 10;
    p.photons = 1e7;
    return p;
}

struct Frames {
    SimulationParams params;
    std::vector<double> intra, extra;  // the extra-focal one turned, as on opening
};

const Frames& FramesFor(int radiusPx)
{
    static std::map<int, Frames> cache;
    auto it = cache.find(radiusPx);
    if (it != cache.end()) return it->second;
    Frames f;
    f.params = Pair(radiusPx, radiusPx <= 40 ? 256 : 512);
    auto pair = SimulatePair(f.params);
    if (pair.ok()) {
        const auto plane = [](const Planes3D<double>& a) {
            return std::vector<double>(a.Plane(0).begin(), a.Plane(0).end());
        };
        f.intra = plane(pair.value().intra.adu);
        f.extra = plane(pair.value().extra.adu);
        std::reverse(f.extra.begin(), f.extra.end());
    }
    return cache.emplace(radiusPx, std::move(f)).first->second;
}

CompensatedOptions OptionsFor(const SimulationParams& p)
{
    CompensatedOptions o;
    o.focalNm = p.focalMm * 1e6;
    o.apertureRadiusNm = p.diameterMm * 5e5;
    o.pixelNm = BinnedPixelNm(p);
    return o;
}

void BM_Compensated(benchmark::State& state)
{
    const Frames& f = FramesFor(static_cast<int>(state.range(0)));
    const bool refine = state.range(1) != 0;
    const bool covariance = state.range(2) != 0;
    const int n = f.params.size;
    if (f.intra.empty()) {
        state.SkipWithError("simulation failed");
        return;
    }
    CompensatedOptions o = OptionsFor(f.params);
    o.noiseCovariance = covariance;  // the error bars, as the program computes them
    int passes = 0;
    for (auto _ : state) {
        // One set of render buffers and prepared frames for the analysis, the refinement and the bars,
        // as the program's pipeline has.
        ModelRenderCache cache;
        auto r = CompensatedAnalysis({f.intra, n, n}, {f.extra, n, n}, o, cache);
        if (!r.ok()) {
            state.SkipWithError("analysis refused");
            return;
        }
        passes = r.value().passes;
        if (refine) {
            RefineOptions ro;
            ro.lambdaNm = f.params.lambdaNm;
            auto refined = RefineCompensated({f.intra, n, n}, {f.extra, n, n}, o, r.value(), ro, &cache);
            // The refined answer's bars, as the program computes them.
            if (covariance && refined.ok()) {
                auto bars = RefinedCovariance(o, r.value(), refined.value(), ro.lambdaNm, &cache);
                benchmark::DoNotOptimize(bars);
            }
            benchmark::DoNotOptimize(refined);
        }
        benchmark::DoNotOptimize(r);
    }
    state.counters["passes"] = passes;
}
BENCHMARK(BM_Compensated)
    ->ArgsProduct({{40, 80, 120}, {0, 1}, {0, 1}})
    ->ArgNames({"radius", "refine", "covariance"})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_WholeAnalysis512(benchmark::State& state)
{
    static TempDir dir;
    static bool written = false;
    const Frames& f = FramesFor(80);
    if (!written) {
        auto pair = SimulatePair(f.params);
        const SimulationStamp stamp{
            "2026-12-08T21:00:00", "2026-12-08T21:01:00", 10, FitsSampleFormat::UInt16};
        written = pair.ok() && WriteSimulationFiles(dir.path(), f.params, pair.value(), stamp).ok();
    }
    AnalysisOptions o;
    o.intra = SimulationFileNames(dir.path()).intra;
    o.extra = SimulationFileNames(dir.path()).extra;
    o.analytic = state.range(0) != 0;
    o.derivedImages = false;
    for (auto _ : state) {
        auto r = RunAnalysis(o);
        if (!r.ok()) {
            state.SkipWithError("analysis refused");
            return;
        }
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_WholeAnalysis512)
    ->ArgName("analytic")
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

// FRONTLYS_THREADS sets the pool's thread count (default: one per core); CPU times are the
// process's, all threads together.
int main(int argc, char** argv)
{
    if (const char* threads = std::getenv("FRONTLYS_THREADS")) frontlys::SetThreadCount(std::atoi(threads));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
