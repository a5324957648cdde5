#include "display/palettes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "render_test_support.h"

namespace frontlys {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(WavelengthColour, WorkedExamples)
{
    EXPECT_EQ(WavelengthToRGB(632.8), (Rgb8{255, 67, 0}));
    EXPECT_EQ(WavelengthToRGB(550), (Rgb8{163, 255, 0}));
    EXPECT_EQ(WavelengthToRGB(400), (Rgb8{131, 0, 181}));
    EXPECT_EQ(WavelengthToRGB(700), (Rgb8{255, 0, 0}));
    EXPECT_EQ(WavelengthToRGB(300), (Rgb8{0, 0, 0}));
    EXPECT_EQ(WavelengthToRGB(800), (Rgb8{0, 0, 0}));
}

TEST(WavelengthColour, BandEdgesUseTheWholeNanometre)
{
    // 379.9 nm truncates to 379, outside the visible band; 780.9 truncates to 780, inside it.
    EXPECT_EQ(WavelengthToRGB(379.9), (Rgb8{0, 0, 0}));
    EXPECT_EQ(WavelengthToRGB(780.9).Red, ColourComponent(1, 0.3 + 0.7 * (780 - 780.9) / 80));
    EXPECT_EQ(WavelengthToRGB(380), (Rgb8{ColourComponent(1, 0.3), 0, ColourComponent(1, 0.3)}));
    EXPECT_EQ(WavelengthToRGB(440), (Rgb8{0, 0, 255}));
    EXPECT_EQ(WavelengthToRGB(510), (Rgb8{0, 255, 0}));
    EXPECT_EQ(WavelengthToRGB(645), (Rgb8{255, 0, 0}));
}

TEST(WavelengthColour, NonFiniteAndNegativeAreBlack)
{
    EXPECT_EQ(WavelengthToRGB(kNaN), (Rgb8{0, 0, 0}));
    EXPECT_EQ(WavelengthToRGB(kInf), (Rgb8{0, 0, 0}));
    EXPECT_EQ(WavelengthToRGB(-kInf), (Rgb8{0, 0, 0}));
    EXPECT_EQ(WavelengthToRGB(-500), (Rgb8{0, 0, 0}));
}

TEST(ColourComponentTest, GammaAndLimits)
{
    EXPECT_EQ(ColourComponent(0, 1), 0);
    EXPECT_EQ(ColourComponent(1, 1), 255);
    EXPECT_EQ(ColourComponent(0.5, 1), 146);  // 255 x 0.5^0.8 = 146.4
    EXPECT_EQ(ColourComponent(1, 0.5), 146);
    EXPECT_EQ(ColourComponent(2, 1), 255);  // clamped, not wrapped
    EXPECT_EQ(ColourComponent(-1, 1), 0);
    EXPECT_EQ(ColourComponent(kNaN, 1), 0);
}

TEST(PaletteTable, NamesInListOrder)
{
    EXPECT_EQ(PaletteName(0), "Niveaux de gris");
    EXPECT_EQ(PaletteName(1), "Fausses couleurs 1");
    EXPECT_EQ(PaletteName(2), "Fausses couleurs 2");
    EXPECT_EQ(PaletteName(3), "RVB");
    EXPECT_EQ(PaletteName(4), "Corps noir");
    EXPECT_EQ(PaletteName(5), "Monochrome");
    EXPECT_EQ(PaletteName(6), "Niveaux de gris");
    EXPECT_EQ(PaletteName(-1), "Niveaux de gris");
}

TEST(PaletteTable, StopsAtTheirPositions)
{
    struct Case {
        int index;
        std::vector<Rgb8> stops;
    };
    const std::vector<Case> cases = {
        {0, {{0, 0, 0}, {255, 255, 255}}},
        {1, {{0, 0, 0}, {255, 0, 255}, {0, 0, 255}, {0, 255, 255}, {0, 255, 0}, {255, 255, 0}, {255, 0, 0}}},
        {2, {{0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {255, 255, 0}, {255, 255, 255}}},
        {3, {{0, 0, 128}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {128, 0, 0}}},
        {4, {{0, 0, 0}, {128, 0, 0}, {255, 128, 0}, {255, 255, 128}, {255, 255, 255}}},
        {5, {{0, 0, 0}, {163, 255, 0}}},
    };
    for (const Case& c : cases) {
        const TPalette p = BuildPalette(c.index, 550);
        const int n = static_cast<int>(c.stops.size()) - 1;
        ASSERT_EQ(p.SegmentCount, n) << "palette " << c.index;
        for (int k = 0; k <= n; ++k)
            EXPECT_EQ(PaletteColourAt(p, static_cast<double>(k) / n), c.stops[static_cast<std::size_t>(k)])
                << "palette " << c.index << " stop " << k;
    }
}

TEST(PaletteTable, HalfWayBetweenStopsRoundsHalfToEven)
{
    // 0.5 x 255 = 127.5 -> 128 on the grey ramp; between magenta and blue red falls to 127.5 -> 128.
    EXPECT_EQ(PaletteColourAt(BuildPalette(0, 555), 0.5), (Rgb8{128, 128, 128}));
    EXPECT_EQ(PaletteColourAt(BuildPalette(1, 555), 1.5 / 6), (Rgb8{128, 0, 255}));
}

TEST(PaletteTable, Backgrounds)
{
    EXPECT_EQ(BackgroundBytes(BuildPalette(0, 555)), (Rgb8{0, 0, 255}));
    EXPECT_EQ(BackgroundBytes(BuildPalette(1, 555)), (Rgb8{102, 102, 102}));
    EXPECT_EQ(BackgroundBytes(BuildPalette(2, 555)), (Rgb8{102, 102, 102}));
    EXPECT_EQ(BackgroundBytes(BuildPalette(3, 555)), (Rgb8{102, 102, 102}));
    EXPECT_EQ(BackgroundBytes(BuildPalette(4, 555)), (Rgb8{0, 0, 255}));
    EXPECT_EQ(BackgroundBytes(BuildPalette(5, 555)), (Rgb8{156, 156, 156}));
}

TEST(PaletteTable, IndexOutsideTheTableIsGrey)
{
    for (int index : {6, 7, 200, 255, -1}) {
        const TPalette p = BuildPalette(index, 555);
        const TPalette grey = BuildPalette(0, 555);
        EXPECT_EQ(p.SegmentCount, grey.SegmentCount) << index;
        for (double t : {0.0, 0.3, 1.0}) EXPECT_EQ(PaletteColourAt(p, t), PaletteColourAt(grey, t)) << index;
        EXPECT_EQ(BackgroundBytes(p), BackgroundBytes(grey)) << index;
    }
}

TEST(PaletteTable, MonochromeFollowsTheInterferometricWavelength)
{
    EXPECT_EQ(PaletteColourAt(BuildPalette(5, 632.8), 1), (Rgb8{255, 67, 0}));
    EXPECT_EQ(PaletteColourAt(BuildPalette(5, 400), 1), (Rgb8{131, 0, 181}));
    // An invisible wavelength makes an all-black palette, never an error.
    EXPECT_EQ(PaletteColourAt(BuildPalette(5, 900), 1), (Rgb8{0, 0, 0}));
}

// Sweeps over 0..1: no palette jumps between neighbouring values (a wrong stop index or an
// off-by-one segment shows as a jump), and the single-hue palettes only ever get brighter.
TEST(PaletteSweep, ContinuousEverywhere)
{
    constexpr int kSteps = 6000;
    for (int index = 0; index < kPaletteCount; ++index) {
        const TPalette p = BuildPalette(index, 555);
        Rgb8 previous = PaletteColourAt(p, 0);
        for (int i = 1; i <= kSteps; ++i) {
            const Rgb8 c = PaletteColourAt(p, static_cast<double>(i) / kSteps);
            const int jump = std::abs(c.Red - previous.Red) + std::abs(c.Green - previous.Green) +
                             std::abs(c.Blue - previous.Blue);
            ASSERT_LE(jump, 3) << "palette " << index << " at step " << i;
            previous = c;
        }
    }
}

TEST(PaletteSweep, SingleHuePalettesAreMonotone)
{
    for (int index : {0, 4, 5}) {
        const TPalette p = BuildPalette(index, 632.8);
        Rgb8 previous = PaletteColourAt(p, 0);
        for (int i = 1; i <= 1000; ++i) {
            const Rgb8 c = PaletteColourAt(p, i / 1000.0);
            ASSERT_GE(c.Red, previous.Red) << index << " " << i;
            ASSERT_GE(c.Green, previous.Green) << index << " " << i;
            ASSERT_GE(c.Blue, previous.Blue) << index << " " << i;
            previous = c;
        }
    }
}

TEST(PaletteSweep, OutOfRangeAndNonFinitePositionsStayInTheTable)
{
    for (int index = 0; index < kPaletteCount; ++index) {
        const TPalette p = BuildPalette(index, 555);
        EXPECT_EQ(PaletteColourAt(p, -3), PaletteColourAt(p, 0)) << index;
        EXPECT_EQ(PaletteColourAt(p, -kInf), PaletteColourAt(p, 0)) << index;
        EXPECT_EQ(PaletteColourAt(p, 7), PaletteColourAt(p, 1)) << index;
        EXPECT_EQ(PaletteColourAt(p, kInf), PaletteColourAt(p, 1)) << index;
        EXPECT_EQ(PaletteColourAt(p, kNaN), BackgroundBytes(p)) << index;
    }
}

}  // namespace
}  // namespace frontlys
