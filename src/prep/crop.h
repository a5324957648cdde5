#pragma once
// Cutting a square around the donut out of a frame far larger than it, so the analysis works on a
// record sized by the donut, not by the camera.
//
// Frames are row-major, 0-based columns and rows, row 0 first. The window keeps the pixel scale:
// no resampling. Pixels of the window that fall outside the frame take a fill value (the sky level),
// so a donut near the edge stays centred in the window.

#include <span>
#include <vector>

#include "core/image_rec.h"

namespace frontlys {

// The smallest power of two at least 128 and at least 2.6 r + 16 (the donut, the halo the threshold
// and co-centring need, and a few pixels of sky beyond).
int CropSide(double radiusPx);

// A frame this many donut radii wide or more is cut around its donut at opening.
inline constexpr double kCutFrameRadii = 10;

struct CropWindow {
    int left = 0, top = 0, side = 0;  // 0-based first column and row of the square in the frame
};

// The side x side square whose pixel (side / 2, side / 2) is the frame pixel nearest (cx, cy).
CropWindow WindowAround(double cx, double cy, int side);

// A one-plane side x side record holding the window's pixels; outside the frame, fill.
ImageSlot CutSquare(
    std::span<const double> frame, int width, int height, const CropWindow& window, double fill);

// Mean over factor x factor blocks (the last, partial blocks over the pixels they hold; NaN and inf
// pixels left out); *binnedWidth and *binnedHeight receive the result's size.
std::vector<double> BinFrame(
    std::span<const double> frame, int width, int height, int factor, int* binnedWidth, int* binnedHeight);

}  // namespace frontlys
