#pragma once
// Geometric primitives on bare pixel planes: a bilinear sub-pixel shift and a separable cubic-spline
// resampling.
//
// Conventions: planes are [plane][row][column], 0-based in storage; the rules below count rows and
// columns from 1. A shift of (a, b) moves content by +a rows and +b columns: output (i, j) samples
// the input at (i - a, j - b); samples outside the plane are 0, and trunc/frac follow the sign, so a
// source position between -1 and 0 weighs the first row or column negatively (callers clamp from
// below afterwards). 16-bit planes are rounded (halves to even) and saturated; doubles keep the
// computed value. Spline positions are 1-based on unit spacing. An empty plane set does nothing.

#include <cstdint>
#include <span>

#include "core/planes.h"
#include "core/status.h"

namespace frontlys {

// Every plane, same size. A shift that is not finite leaves the planes as they are.
void ShiftImage(Planes3D<double>& planes, double rowShift, double colShift);
void ShiftImage(Planes3D<std::int16_t>& planes, double rowShift, double colShift);
// Only the given 0-based plane.
void ShiftImagePlane(Planes3D<double>& planes, int plane, double rowShift, double colShift);
// The first plane of source shifted into a plane of target, at target's size: the source may be
// smaller or larger, and what lies beyond it reads as 0.
void ShiftPlaneInto(const Planes3D<double>& source,
                    Planes3D<double>& target,
                    int targetPlane,
                    double rowShift,
                    double colShift);

// Second derivatives of the cubic spline through y[1..n] on unit spacing, with the end slopes of the
// first and last intervals. y2 must hold y.size() values; fewer than 2 samples give zeros.
void SplineSecondDerivatives(std::span<const double> y, std::span<double> y2);
// Spline value at 1-based position x; positions beyond the ends extend the end intervals.
double SplineValue(std::span<const double> y, std::span<const double> y2, double x);

// Output length of an axis of n samples resampled by f: round(f (n - 1) + 1) when f (n - 1) is whole
// (the last output falls on the last input), trunc(f (n - 1)) + 1 otherwise.
int ResampledSize(int n, double factor);

// Resamples every plane by colFactor along rows and rowFactor down columns; the planes take the new
// sizes. Refused, with the planes unchanged, for a factor that is not a positive finite number or an
// output side beyond kMaxResampledSide.
inline constexpr int kMaxResampledSide = 1 << 15;
[[nodiscard]] Status SplineResample(Planes3D<double>& planes, double colFactor, double rowFactor);
[[nodiscard]] Status SplineResample(Planes3D<std::int16_t>& planes, double colFactor, double rowFactor);
// One 0-based plane resampled into a new single-plane set; the source is left as it is.
[[nodiscard]] Result<Planes3D<double>> SplineResampled(const Planes3D<double>& planes,
                                                       int plane,
                                                       double colFactor,
                                                       double rowFactor);

}  // namespace frontlys
