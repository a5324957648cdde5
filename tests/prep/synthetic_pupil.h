#pragma once
// Synthetic star images for the preparation tests: pupils drawn from 1-based (column, row) centres.

#include <cmath>
#include <functional>
#include <random>

#include "core/image_rec.h"

namespace frontlys::synthetic {

// A width x height image whose pixel at 1-based (column, row) is value(column, row).
inline ImageSlot MakeImage(int width, int height, const std::function<double(int, int)>& value)
{
    ImageSlot image = NewImage(width, height);
    for (int r = 1; r <= height; ++r)
        for (int c = 1; c <= width; ++c) image->At(r - 1, c - 1) = value(c, r);
    return image;
}

// Mask set directly: 1 where inside(column, row).
inline void SetMask(TImageRec& image, const std::function<bool(int, int)>& inside)
{
    for (int r = 1; r <= image.Height; ++r)
        for (int c = 1; c <= image.Width; ++c) image.MaskAt(r - 1, c - 1) = inside(c, r) ? 1 : 0;
}

struct Annulus {
    double centreX, centreY;  // 1-based column, row
    double outer;             // pixels
    double inner;             // pixels; 0 for a full disk
    double edge = 0;          // width of the soft edge (logistic scale), pixels; 0 = hard
};

// Fraction of light of a soft-edged annulus at a point: 1 inside, 0 outside, half on either edge.
inline double AnnulusLight(const Annulus& a, int c, int r)
{
    const double d = std::hypot(c - a.centreX, r - a.centreY);
    const auto step = [&](double x) {
        return a.edge > 0 ? 1 / (1 + std::exp(-x / a.edge)) : (x >= 0 ? 1. : 0.);
    };
    return step(a.outer - d) * (a.inner > 0 ? step(d - a.inner) : 1.0);
}

// A defocused star: background plus a soft annulus of the given level, with Gaussian read noise.
inline ImageSlot StarImage(
    int side, const Annulus& a, double background, double level, double noise, unsigned seed)
{
    std::mt19937 gen(seed);
    std::normal_distribution<double> n(0, noise);
    return MakeImage(
        side, side, [&](int c, int r) { return background + level * AnnulusLight(a, c, r) + n(gen); });
}

}  // namespace frontlys::synthetic
