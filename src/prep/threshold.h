#pragma once
// Separating the bright pupil disk of a defocused star image from its background.
//
// Conventions: values are in the image's own units (ADU for star images). The threshold search
// always reads plane 1; the mask is set from the current plane. Mask rule: 1 for a pixel at or
// above Threshold, 0 otherwise, each pixel on its own (no connectivity). An empty reference (null)
// does nothing. The information window's slider runs from 0 (threshold at the maximum) to its
// maximum (threshold at the minimum).

#include <optional>

#include "core/image_rec.h"
#include "prep/crop.h"

namespace frontlys {

struct ReducedRange {
    double min = 0;
    double max = 0;
};

// Lowest and highest cell of plane 1 averaged over n x n blocks of trunc(Width / n) x
// trunc(Height / n) pixels; the columns and rows beyond n blocks take no part. An image smaller
// than n (or n < 1) gives zero-sized blocks and cells of 0. Nothing for a null image.
std::optional<ReducedRange> ReducedMinMax(const TImageRec* image, int extractDim);

// The same over n x n square cells of side / n pixels from the window's corner; cells not wholly on
// the record take no part. Nothing when no cell does.
std::optional<ReducedRange> WindowReducedMinMax(const TImageRec& image,
                                                int extractDim,
                                                const CropWindow& window);

// Refreshes the all-pixel statistics of the image and sets Threshold at extractSeuil percent of the
// way from the lowest to the highest reduced cell. asCut: the record is (or holds) a frame that
// opening cuts around its donut; the cells are those of the cut square around the donut found on the
// record, so that the pupil does not depend on the cut.
void AutoThreshold(TImageRec& image, int extractDim, double extractSeuil, bool asCut = false);

// Mask from Threshold over the current plane, and MaskCount.
void ApplyThreshold(TImageRec* image);

inline constexpr int kSliderMax = 100;

// Threshold for a slider position: pos = sliderMax gives minValue, pos = 0 gives maxValue.
double SliderThreshold(double minValue, double maxValue, int pos, int sliderMax = kSliderMax);

// The slider follows the image's threshold: refreshes the all-pixel statistics and returns the
// position of Threshold between them. A threshold outside [MinValue, MaxValue], or a uniform image,
// resets Threshold to MinValue and gives sliderMax.
int FollowThreshold(TImageRec& image, int sliderMax = kSliderMax);

}  // namespace frontlys
