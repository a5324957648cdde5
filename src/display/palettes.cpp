#include "display/palettes.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr std::array<std::string_view, kPaletteCount> kNames = {
    "Niveaux de gris", "Fausses couleurs 1", "Fausses couleurs 2", "RVB", "Corps noir", "Monochrome"};

const PaletteColour kBlue{0, 0, 1};
const PaletteColour kGrey40{0.4, 0.4, 0.4};
// Stored as 100 per channel: the byte conversion keeps the low 8 bits of 25500, a light grey (156).
const PaletteColour kMonochromeBackground{100, 100, 100};

TPalette MakePalette(std::initializer_list<PaletteColour> stops,
                     PaletteColour afterTop,
                     PaletteColour background)
{
    TPalette p;
    p.SegmentCount = static_cast<std::uint8_t>(stops.size() - 1);
    std::copy(stops.begin(), stops.end(), p.Entries.begin());
    p.Entries[stops.size()] = afterTop;
    p.Entries[kPaletteBackgroundEntry] = background;
    return p;
}

// Colour components of a wavelength before the intensity factor; b is the whole number of nanometres.
PaletteColour WavelengthComponents(double lambda, double b)
{
    if (b >= 380 && b <= 439) return {-(lambda - 440) / 60, 0, 1};
    if (b >= 440 && b <= 489) return {0, (lambda - 440) / 50, 1};
    if (b >= 490 && b <= 509) return {0, 1, -(lambda - 510) / 20};
    if (b >= 510 && b <= 579) return {(lambda - 510) / 70, 1, 0};
    if (b >= 580 && b <= 644) return {1, -(lambda - 645) / 65, 0};
    if (b >= 645 && b <= 780) return {1, 0, 0};
    return {0, 0, 0};
}

double WavelengthIntensity(double lambda, double b)
{
    if (b >= 380 && b <= 419) return 0.3 + 0.7 * (lambda - 380) / 40;
    if (b >= 420 && b <= 700) return 1;
    if (b >= 701 && b <= 780) return 0.3 + 0.7 * (780 - lambda) / 80;
    return 0;
}

}  // namespace

std::string_view PaletteName(int index) { return kNames[index >= 0 && index < kPaletteCount ? index : 0]; }

TPalette BuildPalette(int index, double lambdaInterferoNm)
{
    switch (index) {
        case 1:
            return MakePalette({{0, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}},
                               {1, 1, 1},
                               kGrey40);
        case 2:
            return MakePalette({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}}, {0, 0, 0}, kGrey40);
        case 3:
            return MakePalette(
                {{0, 0, 0.5}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0.5, 0, 0}}, {0, 0, 0}, kGrey40);
        case 4:
            return MakePalette(
                {{0, 0, 0}, {0.5, 0, 0}, {1, 0.5, 0}, {1, 1, 0.5}, {1, 1, 1}}, {0, 0, 0}, kBlue);
        case 5: {
            const Rgb8 c = WavelengthToRGB(lambdaInterferoNm);
            const PaletteColour top{c.Red / 255.0, c.Green / 255.0, c.Blue / 255.0};
            return MakePalette({{0, 0, 0}, top}, {0, 0, 0}, kMonochromeBackground);
        }
        default:  // 0, and any index outside the table
            return MakePalette({{0, 0, 0}, {1, 1, 1}}, {0, 0, 0}, kBlue);
    }
}

std::uint8_t ColourComponent(double component, double intensity)
{
    if (component == 0) return 0;
    const double value = 255.0 * std::pow(component * intensity, 0.8);
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(RoundToInt(value), 0, 255));
}

Rgb8 WavelengthToRGB(double lambdaNm)
{
    const double b = std::trunc(lambdaNm);  // NaN fails every range test below: black
    const PaletteColour c = WavelengthComponents(lambdaNm, b);
    const double f = WavelengthIntensity(lambdaNm, b);
    return {ColourComponent(c.Red, f), ColourComponent(c.Green, f), ColourComponent(c.Blue, f)};
}

}  // namespace frontlys
