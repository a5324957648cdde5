#pragma once
// The one image type: pixel planes of doubles, a 16-bit pupil mask, one coordinate per column
// and per row, the statistics last computed and the pupil geometry.
//
// Conventions: storage is 0-based [plane][row][column]; pupil geometry (CentreX, CentreY) and the
// axes use 1-based pixel positions. After SetPupilAxes, x = (column - CentreX) / Radius and
// y = -(row - CentreY) / Radius: y points up while rows count down. Statistics "in the mask" count
// only pixels whose mask value is exactly 1. An empty ImageSlot means "no image"; the operations that
// accept one take a pointer and do nothing on nullptr.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/planes.h"

namespace frontlys {

enum class ImageKind : std::uint8_t {
    Intra = 0,
    Extra = 1,
    Signal = 2,
    Wavefront = 3,
    Psf = 4,
    Interferogram = 5,
    Residual = 6,
    Ronchigram = 7,
};

struct TImageRec {
    Planes3D<double> Planes;      // PlaneCount x Height x Width
    Planes3D<std::int16_t> Mask;  // 1 x Height x Width; 1 = inside the pupil
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint8_t PlaneCount = 1;
    std::uint8_t CurrentPlane = 1;  // 1-based
    std::vector<double> XAxis;      // Width entries, XAxis[0] is column 1
    std::vector<double> YAxis;      // Height entries
    std::int32_t MaskCount = 0;
    double MinValue = 0, MaxValue = 0, MeanValue = 0, Range = 0, StdDev = 0;
    double CentreX = 0, CentreY = 0, Radius = 0, Obstruction = 0, RadiusNm = 0, Threshold = 0;
    std::uint8_t Kind = 0;

    // Pixel (row, column), 0-based, of the current plane or of a given 0-based plane.
    double& At(int row, int col) { return Planes(CurrentPlane - 1, row, col); }
    double At(int row, int col) const { return Planes(CurrentPlane - 1, row, col); }
    double* Row(int row) { return Planes.Row(CurrentPlane - 1, row); }
    const double* Row(int row) const { return Planes.Row(CurrentPlane - 1, row); }
    std::int16_t& MaskAt(int row, int col) { return Mask(0, row, col); }
    std::int16_t MaskAt(int row, int col) const { return Mask(0, row, col); }
    bool InMask(int row, int col) const { return Mask(0, row, col) == 1; }
};

using ImageSlot = std::unique_ptr<TImageRec>;  // empty = no image

// Creates a record owning the given planes (planeCount x height x width); the mask and axes are zero.
ImageSlot NewImage(Planes3D<double> planes, int width, int height, int planeCount = 1);
// A zeroed width x height record of one plane.
ImageSlot NewImage(int width, int height);
inline void FreeImage(ImageSlot& slot) noexcept { slot.reset(); }

void ClearImage(TImageRec& image);
void SetAxes(TImageRec& image,
             double colA,
             double rowA,
             double xA,
             double yA,
             double colB,
             double rowB,
             double xB,
             double yB);
void SetPupilAxes(TImageRec* image);
// Gives `to` the pupil centre and radius of `from`, and the reduced axes that go with them.
void TakePupilGeometry(const TImageRec& from, TImageRec& to);
void ScaleImage(TImageRec& image, double factor);
void MinMaxInMask(TImageRec& image);
void MinMaxAll(TImageRec* image);
void MeanStdInMask(TImageRec& image);
void AddImage(TImageRec& destination, const TImageRec& source);
void CopyMask(const TImageRec& source, TImageRec& destination);
// Destination must have the source's sizes; does nothing when either is empty.
void CopyImage(const TImageRec* source, TImageRec* destination);
void ClampBelow(TImageRec& image, double floor);

}  // namespace frontlys
