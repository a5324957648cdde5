// Rendering cost on the interface thread: every zoom, palette change and redraw runs it.
#include <benchmark/benchmark.h>

#include <cmath>

#include <QGuiApplication>
#include <QImage>
#include <QtGlobal>

#include "display/render.h"

namespace frontlys {
namespace {

// A wavefront-like record: a smooth surface inside a disc, the mask set inside it.
ImageSlot Wavefront(int side)
{
    ImageSlot image = NewImage(side, side);
    image->Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    const double half = side / 2.0;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const double x = (c + 0.5 - half) / half, y = (r + 0.5 - half) / half;
            const double rho2 = x * x + y * y;
            image->At(r, c) = 80 * (6 * rho2 * rho2 - 6 * rho2 + 1) + 30 * x * y;
            image->MaskAt(r, c) = rho2 <= 1 ? 1 : 0;
        }
    return image;
}

void Render(benchmark::State& state, int side, int control, int palette, bool scale, bool log)
{
    ImageSlot image = Wavefront(side);
    CurrentDisplay current;
    current.Settings.PaletteIndex = static_cast<std::uint8_t>(palette);
    current.Settings.MaskVisible = true;
    current.Settings.ScaleVisible = scale;
    current.Settings.LogDisplay = log;
    QImage picture(control, control, QImage::Format_RGB888);
    for (auto _ : state) {
        const Status s = RenderImage(image.get(), picture, current);
        if (!s.ok()) state.SkipWithError(s.reason.c_str());
        benchmark::DoNotOptimize(picture.constBits());
    }
}

void BM_Render1024To1024Scale(benchmark::State& s) { Render(s, 1024, 1024, 1, true, false); }
void BM_Render1024To1024NoScale(benchmark::State& s) { Render(s, 1024, 1024, 1, false, false); }
void BM_Render1024To1024Log(benchmark::State& s) { Render(s, 1024, 1024, 4, true, true); }
void BM_Render256To1024Zoom4(benchmark::State& s) { Render(s, 256, 1024, 2, true, false); }
void BM_Render1024To512Zoom50(benchmark::State& s) { Render(s, 1024, 512, 0, true, false); }

BENCHMARK(BM_Render1024To1024Scale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render1024To1024NoScale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render1024To1024Log)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render256To1024Zoom4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render1024To512Zoom50)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace frontlys

// The scale labels need a QGuiApplication, so this program has its own main.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
