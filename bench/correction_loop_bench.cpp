// The numeric correction loop on a 512 x 512 model pair (pupil radius 80 px, blurred by 1 px, astigmatism,
// coma and spherical aberration): 3 passes as the program's default runs it, and 1; and the first pass's
// solution alone, whose time over its "solver_iterations" is the cost of one iteration. FRONTLYS_THREADS=1
// measures one thread; CPU times are the process's. BM_FftwTransforms512, the yardstick: the solution's
// transforms alone as FFTW runs them on one thread (100 times a real 512 x 512 grid forward, through a
// real filter and back), the floor of an iteration whose every step needs both transforms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#ifdef FRONTLYS_HAVE_FFTW
#include <fftw3.h>
#endif

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

#ifdef FRONTLYS_HAVE_FFTW
void BM_FftwTransforms512(benchmark::State& state)
{
    constexpr int n = 512, iterations = 100;
    const std::size_t halfSize = static_cast<std::size_t>(n) * (n / 2 + 1);
    auto* real = static_cast<double*>(fftw_malloc(sizeof(double) * n * n));
    auto* half = reinterpret_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * halfSize));
    const fftw_plan forward = fftw_plan_dft_r2c_2d(n, n, real, half, FFTW_MEASURE);
    const fftw_plan inverse = fftw_plan_dft_c2r_2d(n, n, half, real, FFTW_MEASURE);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1, 1);
    std::generate(real, real + static_cast<std::ptrdiff_t>(n) * n, [&] { return u(rng); });
    std::vector<double> filter(halfSize);
    for (std::size_t i = 0; i < halfSize; ++i)
        filter[i] = 1.0 / (1.0 + static_cast<double>(i % 97)) / (double(n) * n);
    for (auto _ : state) {
        for (int k = 0; k < iterations; ++k) {
            fftw_execute(forward);
            for (std::size_t i = 0; i < halfSize; ++i) {
                half[i][0] *= filter[i];
                half[i][1] *= filter[i];
            }
            fftw_execute(inverse);
        }
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(half);
    fftw_free(real);
}
BENCHMARK(BM_FftwTransforms512)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
#endif

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
