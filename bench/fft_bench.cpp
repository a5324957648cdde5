// 2-D forward + inverse transforms, complex and real input, ours beside FFTW (FFTW_MEASURE, one
// thread, double), at sizes 2^a 3^b 5^c from 64 to 4096. The times are those of the default thread
// count. The "ratio_to_fftw" counter of our runs is our CPU time over FFTW's for the same kind and N,
// both on one thread, timed in turn in the same process (the least of a few rounds each).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <complex>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/thread_pool.h"
#include "engine/fft.h"

#ifdef FRONTLYS_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

// Thread CPU time: the ratios stay meaningful on a loaded machine.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

using cd = std::complex<double>;

std::vector<cd> RandomData(int n)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<cd> v(static_cast<std::size_t>(n) * n);
    for (auto& z : v) z = cd(u(rng), u(rng));
    return v;
}

std::vector<double> RandomReal(int n)
{
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> v(static_cast<std::size_t>(n) * n);
    for (auto& x : v) x = u(rng);
    return v;
}

// Seconds per forward+inverse pair, timed outside the benchmark loop for the ratio.
template <class F>
double TimePair(F&& pair, int repeats)
{
    const double start = CpuSeconds();
    for (int i = 0; i < repeats; ++i) pair();
    return (CpuSeconds() - start) / repeats;
}

// The sizes of 2^a 3^b 5^c the grids take, odd ones included: the refinement's even fine grids run
// from about 700 (a 40-pixel donut) to 2160 (120 pixels), the other grids are powers of two. With
// FRONTLYS_FFT_SWEEP set, every 2^a 3^b 5^c from 64 to 4096 instead (111 sizes; a long run).
void Sizes(benchmark::internal::Benchmark* b)
{
    if (std::getenv("FRONTLYS_FFT_SWEEP")) {
        for (int n = 64; n <= 4096; ++n)
            if (frontlys::IsFastFftSize(n)) b->Arg(n);
        return;
    }
    for (int n : {64,   96,   120,  128,  160,  192,  225,  240,  256,  320,  360,  384,  480,
                  500,  512,  640,  675,  720,  768,  960,  1000, 1024, 1080, 1200, 1280, 1440,
                  1536, 1800, 2000, 2025, 2048, 2160, 2400, 2880, 3000, 3072, 4096})
        b->Arg(n);
}

int Repeats(int n) { return std::max(2, (1 << 23) / (n * n)); }

// FFTW's forward and inverse plans of one kind (0 complex, 1 real) and size, on buffers of their own.
struct FftwPair {
#ifdef FRONTLYS_HAVE_FFTW
    FftwPair(int kind, int n)
    {
        const std::size_t cells = static_cast<std::size_t>(n) * n;  // holds the half spectrum too
        complex = reinterpret_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * cells));
        real = static_cast<double*>(fftw_malloc(sizeof(double) * cells));
        if (kind == 0) {
            forward = fftw_plan_dft_2d(n, n, complex, complex, FFTW_FORWARD, FFTW_MEASURE);
            inverse = fftw_plan_dft_2d(n, n, complex, complex, FFTW_BACKWARD, FFTW_MEASURE);
        } else {
            forward = fftw_plan_dft_r2c_2d(n, n, real, complex, FFTW_MEASURE);
            inverse = fftw_plan_dft_c2r_2d(n, n, complex, real, FFTW_MEASURE);
        }
        const auto data = RandomData(n);
        std::copy(data.begin(), data.end(), reinterpret_cast<cd*>(complex));
        const auto values = RandomReal(n);
        std::copy(values.begin(), values.end(), real);
    }
    ~FftwPair()
    {
        fftw_destroy_plan(forward);
        fftw_destroy_plan(inverse);
        fftw_free(real);
        fftw_free(complex);
    }
    FftwPair(const FftwPair&) = delete;
    FftwPair& operator=(const FftwPair&) = delete;
    void operator()() const
    {
        fftw_execute(forward);
        fftw_execute(inverse);
    }
    fftw_complex* complex = nullptr;
    double* real = nullptr;
    fftw_plan forward = nullptr, inverse = nullptr;
#endif
};

// Our pair and FFTW's timed in turn, on one thread each: a passing load on the machine reaches both.
template <class F>
void ReportRatio(benchmark::State& state, int kind, F&& pair)
{
#ifdef FRONTLYS_HAVE_FFTW
    const int n = static_cast<int>(state.range(0));
    const FftwPair fftw(kind, n);
    frontlys::SetThreadCount(1);
    double ours = 1e300, theirs = 1e300;
    for (int round = 0; round < 3; ++round) {
        ours = std::min(ours, TimePair(pair, Repeats(n)));
        theirs = std::min(theirs, TimePair(fftw, Repeats(n)));
    }
    frontlys::SetThreadCount(0);
    state.counters["ratio_to_fftw"] = ours / theirs;
#else
    (void)state;
    (void)kind;
    (void)pair;
#endif
}

#ifdef FRONTLYS_HAVE_FFTW
void BM_Fftw2D(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto* data = reinterpret_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n * n));
    fftw_plan forward = fftw_plan_dft_2d(n, n, data, data, FFTW_FORWARD, FFTW_MEASURE);
    fftw_plan inverse = fftw_plan_dft_2d(n, n, data, data, FFTW_BACKWARD, FFTW_MEASURE);
    const auto input = RandomData(n);
    std::copy(input.begin(), input.end(), reinterpret_cast<cd*>(data));
    auto pair = [&] {
        fftw_execute(forward);
        fftw_execute(inverse);
    };
    for (auto _ : state) {
        pair();
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(data);
}
BENCHMARK(BM_Fftw2D)->Apply(Sizes)->Unit(benchmark::kMillisecond);

void BM_FftwReal2D(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::size_t halfSize = static_cast<std::size_t>(n) * (n / 2 + 1);
    auto* real = static_cast<double*>(fftw_malloc(sizeof(double) * n * n));
    auto* half = reinterpret_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * halfSize));
    fftw_plan forward = fftw_plan_dft_r2c_2d(n, n, real, half, FFTW_MEASURE);
    fftw_plan inverse = fftw_plan_dft_c2r_2d(n, n, half, real, FFTW_MEASURE);
    const auto input = RandomReal(n);
    std::copy(input.begin(), input.end(), real);
    auto pair = [&] {
        fftw_execute(forward);
        fftw_execute(inverse);
    };
    for (auto _ : state) {
        pair();
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(half);
    fftw_free(real);
}
BENCHMARK(BM_FftwReal2D)->Apply(Sizes)->Unit(benchmark::kMillisecond);
#endif

void BM_Ours2D(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    frontlys::FftPlan plan(n);
    auto data = RandomData(n);
    auto pair = [&] {
        plan.Transform2D(data.data(), frontlys::FftDirection::Forward);
        plan.Transform2D(data.data(), frontlys::FftDirection::Inverse);
    };
    for (auto _ : state) {
        pair();
        benchmark::ClobberMemory();
    }
    ReportRatio(state, 0, pair);
}
BENCHMARK(BM_Ours2D)->Apply(Sizes)->Unit(benchmark::kMillisecond);

void BM_OursReal2D(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    frontlys::RealFft2Plan plan(n);
    auto real = RandomReal(n);
    std::vector<cd> half(static_cast<std::size_t>(n) * plan.halfWidth());
    auto pair = [&] {
        plan.Forward(real.data(), half.data());
        plan.Inverse(half.data(), real.data());
    };
    for (auto _ : state) {
        pair();
        benchmark::ClobberMemory();
    }
    ReportRatio(state, 1, pair);
}
BENCHMARK(BM_OursReal2D)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// The render's use: a separable filter sampled every `step` pixels (n / step = 135, 150, 160, ...),
// on the calling thread.
void BM_OursSampledSeparable(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0)), step = static_cast<int>(state.range(1));
    frontlys::SetThreadCount(1);
    frontlys::RealFft2Plan plan(n);
    const auto input = RandomReal(n);
    std::vector<double> filter(n);
    for (int k = 0; k < n; ++k) filter[k] = 1.0 / (1.0 + std::min(k, n - k));
    const int count = n / step;
    std::vector<double> output(static_cast<std::size_t>(count) * count);
    for (auto _ : state) {
        plan.FilterSampledSeparable(input.data(), filter.data(), 0, step, count, output.data());
        benchmark::DoNotOptimize(output.data());
    }
    frontlys::SetThreadCount(0);
}
BENCHMARK(BM_OursSampledSeparable)
    ->Args({800, 5})
    ->Args({800, 4})
    ->Args({810, 6})
    ->Args({810, 5})
    ->Args({720, 5})
    ->Args({960, 5})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

// With FRONTLYS_FFTW_WISDOM naming a file, FFTW's measured plans are kept there: later runs plan in
// no time, with the same plans.
int main(int argc, char** argv)
{
#ifdef FRONTLYS_HAVE_FFTW
    const char* wisdom = std::getenv("FRONTLYS_FFTW_WISDOM");
    if (wisdom) fftw_import_wisdom_from_filename(wisdom);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
#ifdef FRONTLYS_HAVE_FFTW
    if (wisdom) fftw_export_wisdom_to_filename(wisdom);
#endif
    return 0;
}
