// The Zernike fit at 512 x 512 with 28 terms, and the PSF of a 256 x 256 wavefront enlarged 8 times
// beside the two 2048 x 2048 FFTW transforms (FFTW_MEASURE, one thread) that the zero-padded road
// would cost (the plain FFTW library, single-threaded). The "ratio_to_fftw" counter is our PSF time over
// those two transforms, timed in the same process just before.
#include <benchmark/benchmark.h>
#include <time.h>

#include <complex>
#include <random>
#include <vector>

#include "engine/psf.h"
#include "engine/zernike.h"
#include "engine/zernike_fit.h"

#ifdef FRONTLYS_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

using namespace frontlys;

ImageSlot SyntheticWavefront(int side, double radius, double eps)
{
    ImageSlot image = NewImage(side, side);
    image->CentreX = image->CentreY = (side + 1) / 2.0;
    image->Radius = radius;
    image->Obstruction = eps;
    SetPupilAxes(image.get());
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> value(-40, 40);
    ZernikeCoefficients coef{};
    for (double& c : coef) c = value(rng);
    SynthesiseWavefront(*image, ZernikeBasis::ForCount(28), coef, AllTermsSelected());
    return image;
}

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

// Processor time, not wall time: everything here runs on one thread, and the ratio then holds on a
// busy machine too.
template <class F>
double SecondsPerCall(F&& call, int repeats)
{
    const double start = CpuSeconds();
    for (int i = 0; i < repeats; ++i) call();
    return (CpuSeconds() - start) / repeats;
}

double& FftwPairSeconds()
{
    static double seconds = 0;
    return seconds;
}

void BM_FitZernike28(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const ImageSlot w = SyntheticWavefront(side, 0.48 * side, 0.25);
    const ZernikeBasis basis = ZernikeBasis::ForCount(28);
    ZernikeCoefficients coef{};
    ZernikeFitInfo info;
    for (auto _ : state) {
        info = FitZernike(*w, basis, AllTermsSelected(), coef);
        benchmark::DoNotOptimize(coef);
    }
    state.counters["pixels"] = info.pixels;
}
BENCHMARK(BM_FitZernike28)->Arg(512)->Unit(benchmark::kMillisecond);

#ifdef FRONTLYS_HAVE_FFTW
void BM_FftwTwoTransforms(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto* a = reinterpret_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n * n));
    auto* b = reinterpret_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n * n));
    fftw_plan pa = fftw_plan_dft_2d(n, n, a, a, FFTW_FORWARD, FFTW_MEASURE);
    fftw_plan pb = fftw_plan_dft_2d(n, n, b, b, FFTW_FORWARD, FFTW_MEASURE);
    for (int i = 0; i < n * n; ++i) a[i][0] = b[i][0] = (i % 7) * 0.1, a[i][1] = b[i][1] = 0;
    auto pair = [&] {
        fftw_execute(pa);
        fftw_execute(pb);
    };
    for (auto _ : state) {
        pair();
        benchmark::ClobberMemory();
    }
    FftwPairSeconds() = SecondsPerCall(pair, 5);
    fftw_destroy_plan(pa);
    fftw_destroy_plan(pb);
    fftw_free(a);
    fftw_free(b);
}
BENCHMARK(BM_FftwTwoTransforms)->Arg(2048)->Unit(benchmark::kMillisecond);
#endif

void BM_ComputePsf(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const int factor = static_cast<int>(state.range(1));
    const auto method = static_cast<PsfMethod>(state.range(2));
    const ImageSlot w = SyntheticWavefront(side, 0.48 * side, 0.25);
    auto call = [&] {
        Result<PsfImages> psf = ComputePsf(*w, 632.8, factor, method);
        benchmark::DoNotOptimize(psf);
    };
    for (auto _ : state) call();
    if (side * factor == 2048 && FftwPairSeconds() > 0)
        state.counters["ratio_to_fftw"] = SecondsPerCall(call, 5) / FftwPairSeconds();
}
// Arguments: side, factor, method (0 automatic, 1 zero-padded FFT, 2 matrix Fourier transform).
BENCHMARK(BM_ComputePsf)
    ->Args({256, 8, 0})
    ->Args({256, 8, 1})
    ->Args({256, 4, 1})
    ->Args({256, 4, 2})
    ->Args({256, 2, 1})
    ->Args({256, 2, 2})
    ->Args({256, 1, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
