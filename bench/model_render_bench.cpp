// The refinement's model renders alone: both images of a 200 mm f/6 Newtonian (25 % obstruction,
// 9 um pixels) with spherical aberration, astigmatism and coma, rendered at once as the refinement
// does, on render buffers kept across the iterations, for donut radii of 40 and 120 pixels.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>

#include "core/thread_pool.h"
#include "engine/compensated/refine.h"

namespace {

using namespace frontlys;

void BM_ModelRender(benchmark::State& state)
{
    const int radiusPx = static_cast<int>(state.range(0));
    CompensatedOptions o;
    o.focalNm = 1.2e9;
    o.apertureRadiusNm = 1e8;
    o.pixelNm = 9000;
    ModelEstimate e;
    e.obstruction = 0.25;
    e.defocusNm = radiusPx * o.focalNm * o.pixelNm / o.apertureRadiusNm;
    e.coef[10] = 30;  // spherical aberration
    e.coef[4] = 15;   // astigmatism
    e.coef[6] = 10;   // coma
    ModelRenderCache cache;
    for (auto _ : state) {
        std::array<Result<ModelFrame>, 2> frames = {Status::Ok(), Status::Ok()};
        ParallelFor(2, [&](int side) { frames[side] = RenderModelFrame(o, e, 555, side == 1, 1.5, &cache); });
        for (const auto& f : frames) {
            if (!f.ok()) {
                state.SkipWithError("render refused");
                return;
            }
        }
        benchmark::DoNotOptimize(frames);
    }
}
BENCHMARK(BM_ModelRender)
    ->Arg(40)
    ->Arg(120)
    ->ArgName("radius")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

// FRONTLYS_THREADS sets the pool's thread count (default: one per core); CPU times are the
// process's, all threads together.
int main(int argc, char** argv)
{
    if (const char* threads = std::getenv("FRONTLYS_THREADS")) frontlys::SetThreadCount(std::atoi(threads));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
