// ReconstructWavefront at 256, 512 and 1024 on a synthetic signal (a disc pupil of radius 0.375 N
// with an interior curvature and an astigmatic edge). Counters: the solver's iterations, and the
// ratio of the reconstruction time to the FFT work of its iterations (iterations x one complex 2-D
// forward + inverse pair of the same N, timed in the same run).
#include <benchmark/benchmark.h>
#include <time.h>

#include <cmath>
#include <complex>
#include <vector>

#include "engine/fft.h"
#include "engine/reconstruct.h"

namespace {

// Thread CPU time: the ratios stay meaningful on a loaded machine.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

using namespace frontlys;

ImageSlot SyntheticSignal(int n)
{
    ImageSlot s = NewImage(n, n);
    s->CentreX = s->CentreY = n / 2.0 + 0.5;
    s->Radius = 0.375 * n;
    SetPupilAxes(s.get());
    const double edge = 1.5 / s->Radius;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double x = s->XAxis[c], y = s->YAxis[r], rho = std::hypot(x, y);
            if (rho > 1) continue;
            const double theta = std::atan2(y, x);
            s->At(r, c) = rho > 1 - edge ? 0.3 * std::cos(2 * theta) : 2e-3 * (12 * rho * rho - 3);
            s->MaskAt(r, c) = 1;
        }
    }
    return s;
}

double FftPairSeconds(int n)
{
    FftPlan plan(n);
    std::vector<std::complex<double>> data(static_cast<std::size_t>(n) * n, {1.0, 0.5});
    const int repeats = std::max(2, (1 << 22) / (n * n));
    const double start = CpuSeconds();
    for (int i = 0; i < repeats; ++i) {
        plan.Transform2D(data.data(), FftDirection::Forward);
        plan.Transform2D(data.data(), FftDirection::Inverse);
    }
    return (CpuSeconds() - start) / repeats;
}

void BM_ReconstructWavefront(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const ImageSlot signal = SyntheticSignal(n);
    ImageSlot front = NewImage(n, n);
    const TestGeometry geometry{1.0e9, 1.0e8, 2.0e6};
    int iterations = 0;
    double seconds = 0;
    long runs = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        auto result = ReconstructWavefront(geometry, *signal, *front);
        seconds += (CpuSeconds() - start);
        ++runs;
        if (!result.ok()) {
            state.SkipWithError(result.status().reason.c_str());
            return;
        }
        iterations = result.value().poisson.iterations;
    }
    state.counters["iterations"] = iterations;
    state.counters["ratio_to_fft_work"] = (seconds / runs) / (iterations * FftPairSeconds(n));
}
BENCHMARK(BM_ReconstructWavefront)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
