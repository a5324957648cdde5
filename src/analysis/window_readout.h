#pragma once
// What the image windows and the information window write about an image, computed without any
// window: the read-out of the pixel under the mouse in the three coordinate systems, the size and
// radius rows, and the pupil operations of the windows' threshold controls.
//
// Conventions: the mouse position is 0-based in the zoomed picture; columns and rows read out are
// 1-based and never below 1 nor beyond the image. Lengths of the test parameters are nanometres;
// "(millimètres)" scales reduced coordinates by the radius of the pupil on the detector (l R / F)
// or, for a wavefront, of the aperture (R).

#include <string>

#include "analysis/test_params.h"
#include "core/image_rec.h"
#include "files/prefs.h"

namespace frontlys {

enum class CoordSystem { Pixels = 0, Reduced = 1, Millimetres = 2 };

struct ReadoutOptions {
    double zoom = 1;                          // the window's zoom factor
    CoordSystem coord = CoordSystem::Pixels;  // ComboBoxCoord
    bool polar = false;                       // ComboBoxRectPol on "Coord. pol."
    bool waves = false;                       // ComboBoxUnite on its second item
    double lambdaRefNm = 555;
};

struct Readout {
    int column = 1, row = 1;  // 1-based
    double value = 0;         // nm, or waves with ReadoutOptions::waves
    std::string xText, yText, valueText;
};

// The read-out of the picture position (x, y). The image must not be empty.
Readout ReadPixel(
    const TImageRec& image, const TTestParams& params, int x, int y, const ReadoutOptions& options);

// Edit1: "[128x128]", or the mask count for "Effectif (pix)".
std::string SizeText(const TImageRec& image, bool effective);
// EditRayon: the radius, or radius x obstruction, in the coordinate system chosen.
std::string PupilRadiusText(const TImageRec& image, bool obstruction, CoordSystem coord);

// The pupil of an image window from the threshold it holds: mask, centre and radius, pupil axes.
void MeasurePupil(TImageRec& image);
// The automatic threshold of the preferences, then MeasurePupil ("Extraire la plage"); asCut as
// AutoThreshold's (ThresholdAsCut of the image's frame).
void ExtractPupil(TImageRec& image, const Tpreferences& prefs, bool asCut = false);
// The information window's slider at pos (0 = maximum, kSliderMax = minimum): the threshold, the
// mask and the pupil; the axes stay as they were until the next extraction.
void ThresholdFromSlider(TImageRec& image, int pos);

}  // namespace frontlys
