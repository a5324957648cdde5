#pragma once
// The one renderer that turns an image record into a 24-bit picture.
//
// RenderImage works on a private copy of the record: optional decimal logarithm, bilinear resampling
// to the control's size, a linear map of the copy's minimum..maximum onto the palette, pixels with
// mask 0 in the palette's background colour when the mask is shown, mask values above 1 dimmed to
// 40 %, and an optional scale ramp (the last eleven columns) with its two end values. The record is
// left as it was except MinValue and MaxValue, which take the extremes of the drawn copy.
//
// The "control" is a QImage whose size is the size of the picture control. A successful call
// replaces it with a Format_RGB888 picture of that size. Control pixels that the resampled copy does
// not cover, and the whole picture of a uniform image, are in the window background colour.
// Non-finite values never reach the palette table: the extremes are those of the finite values, +inf
// and -inf draw as the top and bottom colours, NaN as the background colour.
//
// Text needs a QGuiApplication: with the scale shown and none running, the call fails cleanly.

#include <cstdint>
#include <string>

#include <QImage>
#include <QRgb>
#include <QSize>

#include "core/image_rec.h"
#include "core/planes.h"
#include "core/status.h"

namespace frontlys {

// One record per image window; a window's settings start all off with palette 0.
struct DisplaySettings {
    std::uint8_t PaletteIndex = 0;  // 0..5; anything else draws with palette 0
    bool ScaleVisible = false;      // "Echelle visible"
    bool MaskVisible = false;       // "Masque visible"
    bool LogDisplay = false;        // PSF "Log"
    bool operator==(const DisplaySettings&) const = default;
};

// The process-wide current display state that the renderer reads. The owner (the windows' shared
// state, the command-line tool) holds one value and copies a window's settings into Settings before
// drawing that window.
struct CurrentDisplay {
    DisplaySettings Settings;
    double LambdaInterfero = 555;                 // nm, the colour of the Monochrome palette
    QRgb WindowBackground = qRgb(240, 240, 240);  // uncovered and blank picture pixels
};

// Draws image into control with the current settings. An empty record, a record of zero width or
// height, or a control of zero size draws nothing and succeeds. Fails, leaving control and image
// untouched, when memory for the picture is lacking.
Status RenderImage(TImageRec* image, QImage& control, const CurrentDisplay& current);
// The same for a control of the given size whose picture is `picture`.
Status RenderImage(TImageRec* image, QSize controlSize, const CurrentDisplay& current, QImage& picture);

// A vertical ramp of the current palette filling control: row r (1-based) of H has the value
// top - r x (top - bottom) / H, all inside the mask.
Status RenderColourBar(QImage& control, double top, double bottom, const CurrentDisplay& current);

// Resamples every plane bilinearly by columnFactor and rowFactor: the sizes become
// round((width - 1) x columnFactor + 1) and round((height - 1) x rowFactor + 1), halves to even. Output
// pixel (j, k), 0-based, reads the input at 1-based position (j / rowFactor + 1, k / columnFactor + 1);
// positions beyond the last row or column read zeros. 16-bit values are rounded, doubles kept as
// computed. Factors must be positive.
void BilinearResample(
    Planes3D<double>& planes, int& width, int& height, double columnFactor, double rowFactor);
void BilinearResample(
    Planes3D<std::int16_t>& planes, int& width, int& height, double columnFactor, double rowFactor);

// Every value v of the current plane becomes log10(v) when v > 0, 0 otherwise (NaN included).
void LogValues(TImageRec& image);

// The two scale labels: MaxValue and MinValue in "0.0" followed, for a wavefront (Kind 3), by "nm".
struct ScaleLabels {
    std::string Top, Bottom;
};
ScaleLabels ScaleLabelTexts(const TImageRec& image);
ScaleLabels ScaleLabelTexts(double minValue, double maxValue, std::uint8_t kind);

}  // namespace frontlys
