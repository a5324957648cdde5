// Loading a 4096 x 4096 16-bit camera file into the square record, from disk (page cache warm).
#include <benchmark/benchmark.h>

#include "../tests/support/fits_builder.h"
#include "../tests/support/temp_dir.h"
#include "files/fits_reader.h"

namespace {

constexpr int kSide = 4096;

std::vector<double> Frame(int side, int offset)
{
    std::vector<double> v(static_cast<std::size_t>(side) * side);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<double>((i * 7919 + offset) % 60000) - 30000;
    return v;
}

// BZERO 0: the samples fit 16 bits (one pass). BZERO 32768: unsigned camera data, whose values
// above 32767 send the reader to its second pass into doubles.
void LoadFits16(benchmark::State& state)
{
    frontlys::TempDir dir;
    const auto path = dir.path() / "frame.fits";
    const double bzero = static_cast<double>(state.range(0));
    if (!frontlys::testing::FitsBuilder::Image(16, kSide, kSide)
             .Real("BZERO", bzero)
             .Pixels(Frame(kSide, 0))
             .WriteTo(path)) {
        state.SkipWithError("cannot write the test file");
        return;
    }
    for (auto _ : state) {
        auto loaded = frontlys::ReadFitsImage(path);
        if (!loaded.ok()) {
            state.SkipWithError(loaded.status().reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(loaded.value().Image->At(kSide - 1, kSide - 1));
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kSide} * kSide * 2);
}
BENCHMARK(LoadFits16)->Arg(0)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
