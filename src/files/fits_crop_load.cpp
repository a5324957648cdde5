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
    auto plane = ReadFitsFirstPlane(file, frame.Header);
    if (!plane.ok()) return plane.status();
    frame.Width = plane.value().Columns;
    frame.Height = plane.value().Rows;
    frame.FormatMax = FormatMaxOf(frame.Header);
    frame.Pixels = std::move(plane.value().Pixels);
    return frame;
}

}  // namespace frontlys
