#pragma once
// A minimal FITS writer for the simulator: one 2-D image, primary header only, written atomically.
//
// Layout: row 0 of `pixels` is the first row of the file, which the reader loads as row 1 of the
// image (no flip). 16-bit output is the unsigned camera convention: stored = round(value) - 32768
// with BZERO 32768 and BSCALE 1, values clipped to 0..65535. Float output is BITPIX -32, unscaled.
// Lengths follow the keywords' own units: FOCLEN in metres, DIAMETER in millimetres, XPIXELSZ and
// YPIXELSZ in micrometres. Numbers are written with "." whatever the program's decimal separator.

#include <filesystem>
#include <string>
#include <vector>

#include "core/planes.h"
#include "core/status.h"

namespace frontlys {

enum class FitsSampleFormat { UInt16, Float32 };

struct FitsImageHeader {
    double focalLengthM = 0;
    double diameterMm = 0;
    double pixelSizeUm = 0;  // unbinned pixel, as cameras write it
    int binning = 1;
    std::string dateObs;  // "YYYY-MM-DDThh:mm:ss"
    int exposureS = 0;
    std::string telescope;
    std::string instrument;
    std::vector<std::string> comments;
};

// One header card of 80 characters; text values are quoted (quotes doubled) and cut to fit.
std::string FitsCard(const std::string& keyword, const std::string& value);
std::string FitsTextValue(const std::string& text);
std::string FitsNumberValue(double value);

// The whole file as bytes: header, big-endian samples, both padded to 2880-byte blocks.
std::string EncodeFitsImage(const Planes3D<double>& pixels,
                            const FitsImageHeader& header,
                            FitsSampleFormat format);

// Plane 0 of `pixels` as a FITS file; a failed write leaves any previous file as it was.
Status WriteFitsImage(const std::filesystem::path& path,
                      const Planes3D<double>& pixels,
                      const FitsImageHeader& header,
                      FitsSampleFormat format);

}  // namespace frontlys
