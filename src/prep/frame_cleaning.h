#pragma once
// A raw camera frame made fit to measure, once, as it is read: its defects repaired (prep/defects)
// and the slope of its sky removed (prep/sky), the sky's level at the donut kept. Every later stage
// (the checks, the star search, the threshold, the signal, the fit, the refinement) then works on the
// same cleaned pixels.
//
// Frames are row-major, 0-based columns and rows.

#include <span>

#include "prep/defects.h"
#include "prep/sky.h"

namespace frontlys {

struct FrameCleaning {
    DefectReport defects;
    SkyPlane sky;               // fitted around the donut (samples 0: no room for a fit, or no donut)
    bool slopeRemoved = false;  // the slope stood out of the noise and was subtracted
};

// Repairs the defects, then fits the sky around the donut and removes its slope when measured.
FrameCleaning CleanFrame(std::span<double> frame, int width, int height);

// Radius around the donut's centre left out of the sky fit: the donut, the seeing's wings and its
// diffraction halo.
double SkyExclusionRadius(double donutRadius);

}  // namespace frontlys
