#pragma once
// Pixel data of FITS files, and their loading into a square image record.
//
// Samples are big-endian; row r of the file becomes row r of the plane (no flip). BITPIX 8 and 16
// stay 16-bit integers when BZERO and BSCALE are integral and every scaled value fits; otherwise
// (and for BITPIX 32, -32 and -64) the planes hold doubles. BZERO/BSCALE apply to every format but
// -64, whose doubles are stored as they are. Every refusal carries "L'image est introuvable" and a
// reason; sizes are checked against the file before anything is allocated.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "core/image_rec.h"
#include "core/planes.h"
#include "core/status.h"
#include "files/byte_source.h"
#include "files/fits_header.h"

namespace frontlys {

// Larger axes are refused: no camera makes them, and the square record would not fit in memory.
inline constexpr int kMaxFitsAxis = 32768;

struct FitsData {
    int ElementCode = 0;  // 2 or 7: Int16Planes; 5 or 8: DoublePlanes (7 and 8: three colour planes)
    int PlaneCount = 0;
    int Rows = 0;
    int Columns = 0;
    Planes3D<std::int16_t> Int16Planes;
    Planes3D<double> DoublePlanes;
};

// Parses the header into *header (reset first) and reads every plane.
Result<FitsData> ReadFitsFile(ByteSource& source, TFitsHeader& header, int maxAxis = kMaxFitsAxis);
Result<FitsData> ReadFitsFile(const std::filesystem::path& file, TFitsHeader& header);

// Plane 1 alone, straight into doubles at its own size (row-major): the values ReadFitsFile gives
// it, in one pass over the data and without the intermediate planes.
struct FirstPlane {
    int Columns = 0;
    int Rows = 0;
    std::vector<double> Pixels;
};
Result<FirstPlane> ReadFitsFirstPlane(const std::filesystem::path& file, TFitsHeader& header);

struct LoadedImage {
    ImageSlot Image;  // N x N, N the smallest power of two >= 128 holding the image
    TFitsHeader Header;
};

// Plane 1 of the file in the top-left corner of an N x N record; the margin takes the smallest
// sample when that is positive and stays 0 otherwise. Kind is left for the caller to set.
Result<LoadedImage> ReadFitsImage(ByteSource& source, int maxAxis = kMaxFitsAxis);
Result<LoadedImage> ReadFitsImage(const std::filesystem::path& file);

// The record ReadFitsImage makes, made from plane 1 already read at its own size (row-major, as
// ReadFitsFrame gives it): the same values, so a frame read once gives both.
ImageSlot PaddedRecord(std::span<const double> pixels, int columns, int rows);

// Replaces image and header only on success: a refused file leaves both exactly as they were.
[[nodiscard]] Status LoadFitsImage(const std::filesystem::path& file, ImageSlot& image, TFitsHeader& header);

// The side of the square record that holds a columns x rows image.
int PaddedSide(int columns, int rows);

}  // namespace frontlys
