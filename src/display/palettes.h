#pragma once
// The six display palettes and the colour of a visible wavelength.
//
// A palette has N segments (1..6) and nine colour entries of three doubles in 0..1: entries 0..N are
// colour stops spread evenly over the value range, entry N + 1 is read with weight 0 at the very top
// of the range, and entry 8 is the colour of the pixels outside the pupil mask. Colours become bytes
// as round(255 x component), halves to even, keeping the low 8 bits: that is how the Monochrome
// background entry of 100 ends up as the grey 156.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace frontlys {

struct PaletteColour {
    double Red = 0, Green = 0, Blue = 0;
};

struct Rgb8 {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const Rgb8&) const = default;
};

struct TPalette {
    std::uint8_t SegmentCount = 1;  // N
    std::array<PaletteColour, 9> Entries{};
};

inline constexpr int kPaletteCount = 6;
inline constexpr int kPaletteBackgroundEntry = 8;

// "Niveaux de gris", "Fausses couleurs 1", "Fausses couleurs 2", "RVB", "Corps noir", "Monochrome",
// the items of every palette list; an index outside 0..5 gives the first name.
std::string_view PaletteName(int index);

// Palette `index`; an index outside 0..5 gives palette 0 (grey levels). The Monochrome palette runs
// from black to the colour of the interferometric wavelength (nm).
TPalette BuildPalette(int index, double lambdaInterferoNm);

namespace palette_detail {

// round(255 x component), halves to even (nearbyint in the default rounding mode), low 8 bits kept.
// Palette entries are finite table constants.
inline std::uint8_t ToByte(double component)
{
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(std::nearbyint(component * 255.0)) & 0xFF);
}

inline Rgb8 ToBytes(const PaletteColour& c) { return {ToByte(c.Red), ToByte(c.Green), ToByte(c.Blue)}; }

}  // namespace palette_detail

// The bytes drawn for pixels outside the mask.
inline Rgb8 BackgroundBytes(const TPalette& palette)
{
    return palette_detail::ToBytes(palette.Entries[kPaletteBackgroundEntry]);
}

// Colour of position t (0 = minimum, 1 = maximum) on the palette. t outside 0..1 is clamped and a NaN
// gives the background colour, so any value reads inside the table. Inline: it runs once per pixel.
inline Rgb8 PaletteColourAt(const TPalette& palette, double t)
{
    if (std::isnan(t)) return BackgroundBytes(palette);
    const int n = std::clamp<int>(palette.SegmentCount, 1, kPaletteBackgroundEntry - 2);
    // u = t / (1 / N) as the display always computed it; t * N rounds differently in the last bit.
    const double u = std::clamp(t, 0.0, 1.0) / (1.0 / n);
    const int k = std::min(static_cast<int>(u), n);
    const double a = u - k;
    const PaletteColour& lo = palette.Entries[static_cast<std::size_t>(k)];
    const PaletteColour& hi = palette.Entries[static_cast<std::size_t>(k) + 1];
    return palette_detail::ToBytes({lo.Red + (hi.Red - lo.Red) * a,
                                    lo.Green + (hi.Green - lo.Green) * a,
                                    lo.Blue + (hi.Blue - lo.Blue) * a});
}

// One byte of a wavelength colour: 0 for a component of 0, otherwise round(255 x (c x f)^0.8), where c
// is the component (0..1) and f the intensity factor; the result is clamped to 0..255.
std::uint8_t ColourComponent(double component, double intensity);

// Colour of the wavelength lambdaNm (nanometres) as the eye sees it: black outside 380..780 nm, with
// the intensity falling off towards both ends of the visible range.
Rgb8 WavelengthToRGB(double lambdaNm);

}  // namespace frontlys
