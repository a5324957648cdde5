// The numeric correction loop on a 512 x 512 model pair (pupil radius 80 px, blurred by 1 px, astigmatism,
// coma and spherical aberration): 3 passes as the program's default runs it, and 1; and the first pass's
// solution alone, whose time over its "solver_iterations" is the cost of one iteration. FRONTLYS_THREADS=1
// measures one thread; CPU times are the process's.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "../tests/engine/curvature_model.h"
#include "core/thread_pool.h"
#include "engine/correction_loop.h"
#include "engine/curvature_signal.h"
#include "engine/reconstruct.h"

namespace {

using namespace frontlys;

testing::ModelPair Pair512()
{
    testing::KnownWavefront w;
    w.coefficients[4] = 25;
    w.coefficients[6] = -20;
    w.coefficients[10] = 15;
    testing::ModelPupil pupil;
    pupil.size = 512;
    pupil.radiusPx = 80;
    pupil.blurPx = 1;
    pupil.supersample = 1;
    return testing::MakeModelPair(w, pupil, testing::ModelGeometry());
}

void BM_CorrectionLoop512(benchmark::State& state)
{
    const int passes = static_cast<int>(state.range(0));
    auto pair = Pair512();
    ImageSlot signal = NewImage(512, 512);
    if (!ComputeSignal(*pair.intra, *pair.extra, *signal).ok()) {
        state.SkipWithError("no signal");
        return;
    }
    int iterations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TImageRec intra = *pair.intra, extra = *pair.extra, sig = *signal;
        ImageSlot residual = NewImage(512, 512), total = NewImage(512, 512);
        state.ResumeTiming();
        auto r =
            CorrectionLoopInPlace(testing::ModelGeometry(), intra, extra, *residual, *total, sig, passes);
        if (!r.ok()) {
            state.SkipWithError(r.status().reason.c_str());
            return;
        }
        iterations = 0;
        for (const auto& pass : r.value().passes) iterations += pass.poisson.iterations;
        benchmark::DoNotOptimize(r);
    }
    state.counters["solver_iterations"] = iterations;
}
BENCHMARK(BM_CorrectionLoop512)->Arg(3)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_Solution512(benchmark::State& state)
{
    auto pair = Pair512();
    ImageSlot signal = NewImage(512, 512), wavefront = NewImage(512, 512);
    if (!ComputeSignal(*pair.intra, *pair.extra, *signal).ok()) {
        state.SkipWithError("no signal");
        return;
    }
    int iterations = 0;
    for (auto _ : state) {
        auto r = ReconstructWavefront(testing::ModelGeometry(), *signal, *wavefront);
        if (!r.ok()) {
            state.SkipWithError(r.status().reason.c_str());
            return;
        }
        iterations = r.value().poisson.iterations;
    }
    state.counters["solver_iterations"] = iterations;
}
BENCHMARK(BM_Solution512)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (const char* threads = std::getenv("FRONTLYS_THREADS")) SetThreadCount(std::atoi(threads));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
