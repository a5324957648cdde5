// Opening a 6000 x 4000 16-bit camera pair as "&Ouvrir les images" does (read, clean, check, cut
// around the donut), and its stages on one frame. The frames are made here: a sloped, noisy sky with
// hot pixels and a few cosmic-ray tracks, and a 100-pixel donut far from the centre.
// Whole-process peak memory: /usr/bin/time -v build/bench/open_pair_bench --benchmark_filter=OpenPair
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "../tests/support/fits_builder.h"
#include "../tests/support/temp_dir.h"
#include "analysis/data_checks.h"
#include "analysis/open_commands.h"
#include "analysis/test_session.h"
#include "core/thread_pool.h"
#include "files/fits_crop_load.h"
#include "prep/frame_cleaning.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

// Stored values (BZERO 32768): a sky of 1000 ADU rising 40 ADU across the frame, Poisson-like noise,
// a donut of radius 100 with a 35 % obstruction at (cx, cy), 300 hot pixels, 20 short tracks.
std::vector<double> CameraFrame(double cx, double cy, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double r = std::hypot(x - cx, y - cy) / 100.0;
            double level = 1000 + 40.0 * x / kWidth;
            if (r < 1 && r > 0.35) level += 8000 * (1 + 0.05 * (2 * r * r - 1));
            v[static_cast<std::size_t>(y) * kWidth + x] = std::round(level + std::sqrt(level) * unit(rng));
        }
    std::uniform_int_distribution<int> px(0, kWidth - 1), py(0, kHeight - 1);
    for (int i = 0; i < 300; ++i) v[static_cast<std::size_t>(py(rng)) * kWidth + px(rng)] = 30000;
    for (int i = 0; i < 20; ++i) {
        const int x = px(rng) % (kWidth - 10), y = py(rng);
        for (int k = 0; k < 8; ++k) v[static_cast<std::size_t>(y) * kWidth + x + k] = 20000;
    }
    for (double& p : v) p = std::min(p, 65535.0) - 32768;
    return v;
}

struct Pair {
    frontlys::TempDir dir;
    std::filesystem::path intra, extra;
    bool ok = false;

    Pair()
    {
        intra = dir.path() / "intra.fits";
        extra = dir.path() / "extra.fits";
        using frontlys::testing::FitsBuilder;
        ok = FitsBuilder::Image(16, kWidth, kHeight)
                 .Real("BZERO", 32768)
                 .Pixels(CameraFrame(4200, 3000, 1))
                 .WriteTo(intra) &&
             FitsBuilder::Image(16, kWidth, kHeight)
                 .Real("BZERO", 32768)
                 .Pixels(CameraFrame(1800, 1000, 2))
                 .WriteTo(extra);
    }
};

const Pair& ThePair()
{
    static const Pair pair;
    return pair;
}

void ReadFrame(benchmark::State& state)
{
    const Pair& pair = ThePair();
    if (!pair.ok) return state.SkipWithError("cannot write the frames");
    for (auto _ : state) benchmark::DoNotOptimize(frontlys::ReadFitsFrame(pair.intra).value().Pixels.data());
}
BENCHMARK(ReadFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void CleanFrame(benchmark::State& state)
{
    const Pair& pair = ThePair();
    if (!pair.ok) return state.SkipWithError("cannot write the frames");
    const auto read = frontlys::ReadFitsFrame(pair.intra).value();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<double> pixels = read.Pixels;
        state.ResumeTiming();
        benchmark::DoNotOptimize(frontlys::CleanFrame(pixels, read.Width, read.Height).defects.hotPixels);
    }
}
BENCHMARK(CleanFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void CleanAndMeasure(benchmark::State& state)
{
    const Pair& pair = ThePair();
    if (!pair.ok) return state.SkipWithError("cannot write the frames");
    const auto read = frontlys::ReadFitsFrame(pair.intra).value();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<double> pixels = read.Pixels;
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            frontlys::CleanAndMeasureFrame(pixels, read.Width, read.Height, read.FormatMax).snr);
    }
}
BENCHMARK(CleanAndMeasure)->Unit(benchmark::kMillisecond)->UseRealTime();

// The argument is the thread count of the shared pool: with 1 the CPU column is the whole work.
void OpenPair(benchmark::State& state)
{
    const Pair& pair = ThePair();
    if (!pair.ok) return state.SkipWithError("cannot write the frames");
    frontlys::SetThreadCount(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        frontlys::TestSession session;
        const auto outcome = frontlys::OpenPair(session, pair.intra, pair.extra, frontlys::CropMode::Auto);
        if (outcome.failed()) return state.SkipWithError(outcome.status.reason.c_str());
        benchmark::DoNotOptimize(session.ImageIntra->Radius);
    }
}
BENCHMARK(OpenPair)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
