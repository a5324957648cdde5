#pragma once
// Plane 1 of a FITS file at its own size, for frames far larger than the star they show: the caller
// locates the donut and cuts a small square out of it, instead of padding the whole frame to a
// power-of-two record (a 6000 x 4000 frame would become 8192 x 8192).

#include <filesystem>
#include <vector>

#include "core/status.h"
#include "files/fits_header.h"

namespace frontlys {

struct FitsFrame {
    TFitsHeader Header;
    int Width = 0;               // NAXIS1
    int Height = 0;              // NAXIS2
    std::vector<double> Pixels;  // Width x Height, row-major, BZERO and BSCALE applied
    double FormatMax = 0;        // the largest value the sample format can hold (+inf for floats)
};

// Refused as the loader refuses ("L'image est introuvable" and a reason).
Result<FitsFrame> ReadFitsFrame(const std::filesystem::path& file);

}  // namespace frontlys
