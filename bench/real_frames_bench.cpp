// The whole analysis of the two real 1164 x 880 full-frame pairs (16 Pup, 1.2 m f/18, 14.4 um
// pixels, 20.5 mm of defocus), as `frontlys-cli analyse` runs it without pictures: each method,
// with the frames cut around their donut (the default) and as they are.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "analysis/run_analysis.h"

namespace {

const std::filesystem::path kData = std::filesystem::path(FRONTLYS_TEST_DATA) / "auxtel";
const char* const kPairs[2][2] = {{"1579925613-16Pup_intra-0-1.fits", "1579925662-16Pup_extra-0-1.fits"},
                                  {"1579925833-16Pup_intra-0-1.fits", "1579925882-16Pup_extra-0-1.fits"}};

// range(0): pair; range(1): 1 analytic, 0 numeric; range(2): 1 cut, 0 full frame.
void BM_Analyse16Pup(benchmark::State& state)
{
    frontlys::AnalysisOptions o;
    o.intra = kData / kPairs[state.range(0)][0];
    o.extra = kData / kPairs[state.range(0)][1];
    o.diameterMm = 1200;
    o.focalMm = 21600;
    o.pixelUm = 14.4;
    o.defocusMm = 20.5;
    o.derivedImages = false;
    o.analytic = state.range(1) == 1;
    o.crop = state.range(2) == 1;
    for (auto _ : state) {
        auto r = frontlys::RunAnalysis(o);
        if (!r.ok()) {
            state.SkipWithError(r.status().reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(r.value().rmsNm);
    }
}
BENCHMARK(BM_Analyse16Pup)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 0}})
    ->ArgNames({"pair", "analytic", "cut"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
