// The line plot of the MTF, the encircled energy and the session trends.
#include "display/line_plot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace frontlys {
namespace {

// Ticks are 1, 2 or 5 times a power of ten and give at most the asked number of intervals (+1 for
// the rounding at the ends).
TEST(LinePlot, TickStepsAreRound)
{
    for (double span : {0.0031, 0.7, 1.0, 9.5, 123.0, 3e5}) {
        const double step = TickStep(span, 5);
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                    std::abs(mantissa - 5) < 1e-9)
            << span << " -> " << step;
        EXPECT_LE(span / step, 5 + 1e-9);
        EXPECT_GT(span / step, 2 - 1e-9);
    }
    EXPECT_EQ(TickStep(0, 5), 1);
}

// A curve is drawn in its colour inside the frame; gaps (NaN) and a size too small are no failure.
TEST(LinePlot, DrawsTheCurvesAndRefusesNoSize)
{
    PlotSpec spec;
    spec.title = "test";
    spec.curves = {MakeCurve("a", {0, 1, 2, std::nan(""), 4}, {0, 1, 0.5, 2, 1}, QColor(255, 0, 0))};
    const QImage image = DrawLinePlot(spec);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 640);
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_GT(red, 300);
    spec.width = 10;
    EXPECT_TRUE(DrawLinePlot(spec).isNull());
}

}  // namespace
}  // namespace frontlys
