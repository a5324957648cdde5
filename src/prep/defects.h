#pragma once
// The defects a camera adds to a star frame, found and repaired before anything measures it: hot
// pixels and cosmic-ray tracks (pixels far above all but a couple of their neighbours), and bad
// pixels (NaN or infinite). Each is replaced by the median of its sound neighbours, so every later
// stage (star search, threshold, signal, fit, refinement) sees a plausible value instead of a spike
// or a hole.
//
// The donut's own rim is kept: a rim pixel, however sharp the rim, has at least three lit
// neighbours (inward and along the rim) at its own level, where a hot pixel stands alone and a
// track pixel has at most two lit neighbours on its track.
//
// Frames are row-major, 0-based columns and rows.

#include <span>
#include <vector>

namespace frontlys {

struct DefectReport {
    int hotPixels = 0;          // clusters of one or two pixels
    int cosmicRays = 0;         // clusters of three pixels or more (tracks)
    int cosmicRayPixels = 0;    // pixels of those tracks
    int badPixels = 0;          // NaN or infinite pixels filled
    std::vector<int> repaired;  // indices of every pixel replaced, for the checks that follow
};

// Finds and repairs the defects in place.
DefectReport RepairDefects(std::span<double> frame, int width, int height);

}  // namespace frontlys
