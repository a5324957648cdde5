#pragma once
// Sines and cosines of many angles at once, for the per-sample phases of the wave-optics renders.
// Four angles share one vector pass, within an ulp or two of the library's, and the same bits on
// every machine and thread count (no fused multiply-adds). Angles beyond a million radians, and
// non-finite ones, take the library's path.

#include <cstddef>

namespace frontlys {

void SinCos(const double* angle, double* sine, double* cosine, std::size_t count);

}  // namespace frontlys
