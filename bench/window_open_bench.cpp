// Opening a large pair through the main window's own path (the files given at start), offscreen:
// the wall time until the outcome is shown, the longest time the window's event loop went without
// turning meanwhile, the peak memory of the process, and what the windows show.
// Usage: window_open_bench INTRA.fits EXTRA.fits
#include <sys/resource.h>

#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "ui/form_image.h"
#include "ui/form_orvane.h"
#include "ui/platform.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INTRA.fits EXTRA.fits\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace frontlys;
    ui::QtPlatform platform;
    QTemporaryDir prefs;
    ui::TFormOrvane window(platform, prefs.path());
    window.SetPlacementArea(QRect(0, 0, 1920, 1080));
    window.show();

    // The event loop's pulse: the longest gap between two ticks of a 10 ms timer.
    QElapsedTimer pulse;
    qint64 longestGap = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] { longestGap = std::max(longestGap, pulse.restart()); });
    QElapsedTimer wall;
    wall.start();
    pulse.start();
    tick.start();
    window.OpenFiles({QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])});
    window.WaitForIdle();
    const double seconds = wall.nsecsElapsed() * 1e-9;
    tick.stop();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const TestSession& s = window.session();
    if (!s.ImageIntra) {
        std::fprintf(stderr, "the pair did not open\n");
        return 1;
    }
    std::printf(
        "open 6000 x 4000 pair in the window: %.2f s wall, %ld KiB peak, longest event-loop gap %lld ms\n",
        seconds,
        usage.ru_maxrss,
        static_cast<long long>(longestGap));
    std::printf("records %d x %d, intra radius %.1f px\n",
                s.ImageIntra->Width,
                s.ImageIntra->Height,
                s.ImageIntra->Radius);
    for (ui::TFormImage* f : window.findChildren<ui::TFormImage*>())
        std::printf("%s at (%d, %d) %d x %d, scale %.2f\n",
                    qPrintable(f->objectName()),
                    f->frameGeometry().x(),
                    f->frameGeometry().y(),
                    f->width(),
                    f->height(),
                    f->scale());
    return 0;
}
