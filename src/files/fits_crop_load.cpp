#include "files/fits_crop_load.h"

#include <algorithm>
#include <limits>

#include "files/fits_reader.h"

namespace frontlys {
namespace {

double FormatMaxOf(const TFitsHeader& h)
{
    const double scale = h.BScale, zero = h.BZero;
    const auto top = [&](double stored) { return std::max(zero + scale * stored, zero); };
    switch (h.Bitpix) {
        case 8:
            return top(255);
        case 16:
            return top(32767);
        case 32:
            return top(2147483647.0);
        default:
            return std::numeric_limits<double>::infinity();
    }
}

}  // namespace

Result<FitsFrame> ReadFitsFrame(const std::filesystem::path& file)
{
    FitsFrame frame;
    auto data = ReadFitsFile(file, frame.Header);
    if (!data.ok()) return data.status();
    const FitsData& d = data.value();
    frame.Width = d.Columns;
    frame.Height = d.Rows;
    frame.FormatMax = FormatMaxOf(frame.Header);
    if (!d.DoublePlanes.empty()) {
        const auto plane = d.DoublePlanes.Plane(0);
        frame.Pixels.assign(plane.begin(), plane.end());
    } else {
        const auto plane = d.Int16Planes.Plane(0);
        frame.Pixels.assign(plane.begin(), plane.end());
    }
    return frame;
}

}  // namespace frontlys
