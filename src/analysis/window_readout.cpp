#include "analysis/window_readout.h"

#include <algorithm>
#include <cmath>

#include "core/numbers.h"
#include "engine/beam_geometry.h"
#include "prep/pupil.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

// 1-based position under the mouse: round((p + 1) / zoom), kept inside 1 .. size.
int Cell(int p, double zoom, int size)
{
    const auto cell = RoundToInt((p + 1) / zoom);
    return static_cast<int>(std::clamp<std::int64_t>(cell, 1, std::max(size, 1)));
}

double AxisAt(const std::vector<double>& axis, int index1)
{
    return index1 >= 1 && static_cast<std::size_t>(index1) <= axis.size() ? axis[index1 - 1] : 0.0;
}

// Nanometres per reduced unit for "(millimètres)".
double LengthScale(const TImageRec& image, const TTestParams& p)
{
    if (image.Kind == static_cast<std::uint8_t>(ImageKind::Wavefront)) return p.ApertureRadius;
    return DonutRadius(p.Focal, p.ApertureRadius, p.Defocus);
}

const char* PatternOf(CoordSystem coord)
{
    switch (coord) {
        case CoordSystem::Reduced:
            return "0.000";
        case CoordSystem::Millimetres:
            return "0.00";
        default:
            return "0.0";
    }
}

}  // namespace

Readout ReadPixel(
    const TImageRec& image, const TTestParams& params, int x, int y, const ReadoutOptions& options)
{
    Readout r;
    r.column = Cell(x, options.zoom, image.Width);
    r.row = Cell(y, options.zoom, image.Height);
    double px = r.column, py = r.row;
    if (options.coord != CoordSystem::Pixels) {
        const double k = options.coord == CoordSystem::Millimetres ? LengthScale(image, params) * 1e-6 : 1.0;
        px = k * AxisAt(image.XAxis, r.column);
        py = k * AxisAt(image.YAxis, r.row);
    }
    if (options.polar) {
        const double radius = std::hypot(px, py);  // no overflow for large coordinates
        const double angle = std::atan2(py, px) * 180 / 3.141592653589;
        px = radius;
        py = angle;
    }
    const char* pattern = PatternOf(options.coord);
    r.xText = FormatFloat(pattern, px);
    r.yText = FormatFloat(pattern, py);
    r.value = image.Planes(0, r.row - 1, r.column - 1);
    if (options.waves && options.lambdaRefNm > 0) r.value /= options.lambdaRefNm;
    r.valueText = FormatFloat("0.000", r.value);
    return r;
}

std::string SizeText(const TImageRec& image, bool effective)
{
    if (effective) return std::to_string(image.MaskCount);
    return "[" + std::to_string(image.Width) + "x" + std::to_string(image.Height) + "]";
}

std::string PupilRadiusText(const TImageRec& image, bool obstruction, CoordSystem coord)
{
    double q = obstruction ? image.Radius * image.Obstruction : image.Radius;
    if (coord == CoordSystem::Pixels) return FormatFloat("0.0", q);
    if (image.Radius != 0) q /= image.Radius;
    if (coord == CoordSystem::Millimetres) q *= image.RadiusNm * 1e-6;
    return FormatFloat("0.00", q);
}

void MeasurePupil(TImageRec& image)
{
    ApplyThreshold(&image);
    FindPupil(&image);
    SetPupilAxes(&image);
}

void ExtractPupil(TImageRec& image, const Tpreferences& prefs, bool asCut)
{
    AutoThreshold(image, prefs.ExtractDim, prefs.ExtractSeuil, asCut);
    MeasurePupil(image);
}

void ThresholdFromSlider(TImageRec& image, int pos)
{
    image.Threshold = SliderThreshold(image.MinValue, image.MaxValue, pos);
    ApplyThreshold(&image);
    FindPupil(&image);
}

}  // namespace frontlys
