#pragma once
// A synthetic intra-focal and extra-focal pair of defocused star images for end-to-end tests.
//
// Each image is a uniform-background frame holding a disc ("donut" when obstructed) of radiusPx
// pixels. Inside the pupil the intra-focal intensity is level x (1 + eps (2 r^2 - 1)) and the
// extra-focal one level x (1 - eps (2 r^2 - 1)), r the reduced radius: the curvature signal is then
// eps (2 r^2 - 1), the Laplacian of (eps K / 48) (Z11 - 3 Z4) with K = R^2 l / (F (F - l)). That
// wavefront has no slope at the pupil edge, so equal radii and no edge signal are consistent with
// it, and the analysis must find spherical aberration of eps K / 48 nm (peak normalisation) with
// nothing else but defocus. Both discs are written as a camera sees them: the extra-focal one is
// given at the position that the program's 180-degree turn brings onto (centreX, centreY).

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fits_builder.h"

namespace frontlys::testing {

struct DonutSpec {
    int width = 120;
    int height = 120;
    double centreX = 62.3;  // 1-based column of the intra pupil centre
    double centreY = 66.7;  // 1-based row
    double radiusPx = 40;
    double obstruction = 0;
    double eps = 0.04;
    double level = 20000;
    double background = 200;
    double focalMm = 1000;
    double diameterMm = 200;
    double pixelUm = 12.5;  // with the other defaults: a defocus of 5 mm gives a 40-pixel pupil
    bool writeOptics = true;
};

inline std::vector<double> DonutPixels(const DonutSpec& s, double sign, double cx, double cy)
{
    std::vector<double> v(static_cast<std::size_t>(s.width) * s.height, s.background);
    for (int r = 0; r < s.height; ++r)
        for (int c = 0; c < s.width; ++c) {
            const double x = (c + 1 - cx) / s.radiusPx, y = (r + 1 - cy) / s.radiusPx;
            const double rho2 = x * x + y * y;
            if (rho2 > 1 || rho2 < s.obstruction * s.obstruction) continue;
            const double value = s.level * (1 + sign * s.eps * (2 * rho2 - 1));
            v[static_cast<std::size_t>(r) * s.width + c] = std::round(value);
        }
    for (auto& p : v) p -= 32768;  // stored as signed 16-bit with BZERO 32768
    return v;
}

inline bool WriteDonut(
    const std::filesystem::path& file, const DonutSpec& s, double sign, double cx, double cy)
{
    auto b = FitsBuilder::Image(16, s.width, s.height).Real("BZERO", 32768).Real("BSCALE", 1);
    if (s.writeOptics) {
        b.Real("FOCLEN", s.focalMm / 1000).Real("DIAMETER", s.diameterMm);
        b.Real("XPIXELSZ", s.pixelUm).Real("YPIXELSZ", s.pixelUm);
    }
    return b.Pixels(DonutPixels(s, sign, cx, cy)).WriteTo(file);
}

struct DonutFiles {
    std::filesystem::path intra, extra;
};

// The extra-focal disc is placed where the 180-degree turn of a width x height frame padded to a
// side N maps it onto the intra centre: the turn sends 1-based column c of the padded frame to
// N + 1 - c, so the camera position is N + 1 - centre.
inline DonutFiles WriteDonutPair(const std::filesystem::path& dir, const DonutSpec& s, int paddedSide)
{
    DonutFiles f{dir / "intra.fits", dir / "extra.fits"};
    WriteDonut(f.intra, s, +1, s.centreX, s.centreY);
    WriteDonut(f.extra, s, -1, paddedSide + 1 - s.centreX, paddedSide + 1 - s.centreY);
    return f;
}

}  // namespace frontlys::testing
