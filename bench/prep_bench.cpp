// Co-centring and resizing a pair of 2048 x 2048 star images, as the preparation commands run them.
#include <benchmark/benchmark.h>

#include <cmath>

#include "prep/pupil_alignment.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

constexpr int kSide = 2048;

// A soft-edged obstructed pupil centred off the frame middle by a fractional amount.
ImageSlot StarImage(double cx, double cy, double outer, double inner)
{
    ImageSlot image = NewImage(kSide, kSide);
    for (int r = 1; r <= kSide; ++r) {
        double* row = image->Row(r - 1);
        for (int c = 1; c <= kSide; ++c) {
            const double d = std::hypot(c - cx, r - cy);
            const double light = 1 / (1 + std::exp(-(outer - d))) / (1 + std::exp(-(d - inner)));
            row[c - 1] = 150 + 3000 * light + ((r * 7919 + c * 104729) % 61) - 30;
        }
    }
    AutoThreshold(*image, 32, 50);
    ApplyThreshold(image.get());
    return image;
}

struct Pair {
    ImageSlot intra = StarImage(1003.37, 1051.81, 610, 210);
    ImageSlot extra = StarImage(1040.62, 998.14, 680, 230);
};

const Pair& Originals()
{
    static const Pair pair;
    return pair;
}

void BM_CoCentre(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        TImageRec intra = *Originals().intra, extra = *Originals().extra;
        state.ResumeTiming();
        CoCentre(&intra, &extra);
        benchmark::DoNotOptimize(intra.CentreX);
    }
}
BENCHMARK(BM_CoCentre)->Unit(benchmark::kMillisecond);

void BM_MatchPupilSizes(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        TImageRec intra = *Originals().intra, extra = *Originals().extra;
        state.ResumeTiming();
        MatchPupilSizes(&intra, &extra);
        benchmark::DoNotOptimize(extra.Radius);
    }
}
BENCHMARK(BM_MatchPupilSizes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace frontlys

BENCHMARK_MAIN();
