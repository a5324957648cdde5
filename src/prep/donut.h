#pragma once
// Finding the defocused star (the "donut") on a raw camera frame, whatever the frame's size or the
// donut's place on it, and the background around it. Works on the raw pixels: no shift, no resampling.
//
// Coordinates are 0-based columns and rows of the frame (row-major, row 0 first).

#include <span>
#include <vector>

#include "core/status.h"

namespace frontlys {

struct DonutBlob {
    double cx = 0, cy = 0;  // light centroid (main) or mean position (others)
    double radius = 0;      // outer radius of the lit component, pixels
    double flux = 0;        // background-free sum (main: within 1.3 radius + 6 of the centre)
    int pixels = 0;         // pixels of the connected component
};

struct DonutLocation {
    DonutBlob main;
    std::vector<DonutBlob> others;  // brightest first
    double background = 0;          // clipped median of the annulus around main
    double noise = 0;               // robust sigma of the frame border
};

// The brightest connected component of the smoothed frame, its centre refined on the
// background-subtracted frame. NaN and infinite pixels are ignored. Refused when no component
// stands out of the noise, or the frame is too small to have a border.
// Light centroid of a row-major w x h frame within radius of (cx, cy), moved there once; returns
// the flux inside.
double LightCentroid(std::span<const double> frame, int w, int h, double radius, double& cx, double& cy);

Result<DonutLocation> LocateDonut(std::span<const double> frame, int width, int height);

// The donut of a frame of any size: on a block-binned copy first when the frame is very large, then
// at full scale on a window around it.
Result<DonutLocation> LocateDonutInFrame(std::span<const double> frame, int width, int height);

// Clipped median and robust sigma (1.4826 MAD) of the finite values: three rounds keeping
// |v - median| < 4 MAD.
struct ClippedStats {
    double median = 0;
    double sigma = 0;
    int count = 0;
};
ClippedStats ClippedMedian(std::vector<double> values);

}  // namespace frontlys
