// Simulation of a whole intra/extra-focal pair at 512 x 512 pixels, the demo's telescope and light
// (200 mm f/6, 25 % obstruction, three aberrations, a five-wavelength band, seeing and noise). The
// argument is the thread count (0: one per core); wall time first, the processor time beside it.
#include <benchmark/benchmark.h>

#include "core/thread_pool.h"
#include "simulation/demo_setup.h"
#include "simulation/star_simulator.h"

namespace {

void BM_SimulatePair512(benchmark::State& state)
{
    frontlys::SetThreadCount(static_cast<int>(state.range(0)));
    frontlys::SimulationParams params = frontlys::DemoParams();
    params.size = 512;
    for (auto _ : state) {
        auto pair = frontlys::SimulatePair(params);
        if (!pair.ok()) state.SkipWithError(pair.status().reason.c_str());
        benchmark::DoNotOptimize(pair.value().intra.adu.data());
    }
}
BENCHMARK(BM_SimulatePair512)
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The same optics with a monochromatic, noiseless image: the cost of one transform per plane.
void BM_SimulatePair512Monochromatic(benchmark::State& state)
{
    frontlys::SetThreadCount(static_cast<int>(state.range(0)));
    frontlys::SimulationParams params = frontlys::DemoParams();
    params.size = 512;
    params.bandMaxNm = params.bandMinNm = 0;
    params.poisson = false;
    for (auto _ : state) {
        auto pair = frontlys::SimulatePair(params);
        benchmark::DoNotOptimize(pair.value().intra.adu.data());
    }
}
BENCHMARK(BM_SimulatePair512Monochromatic)
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
