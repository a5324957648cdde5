#include "engine/beam_geometry.h"

// The AVX vectors never cross a call; GCC notes the ABI anyway, at the end of the unit.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace frontlys {

namespace {
constexpr double kMaxEdgeSine = 0.95;
}

double EdgeSine(double focal, double apertureRadius)
{
    if (!(focal > 0) || !(apertureRadius > 0)) return 0;
    return std::min(apertureRadius / focal, kMaxEdgeSine);
}

double DonutRadiusPerDefocus(double focal, double apertureRadius)
{
    const double s = EdgeSine(focal, apertureRadius);
    return s / std::sqrt(1 - s * s);
}

double DonutRadius(double focal, double apertureRadius, double defocus)
{
    return defocus * DonutRadiusPerDefocus(focal, apertureRadius);
}

double DefocusForDonutRadius(double focal, double apertureRadius, double radius)
{
    const double k = DonutRadiusPerDefocus(focal, apertureRadius);
    return k > 0 ? radius / k : 0;
}

// Past the pupil edge (the halo the analysis samples) the mapping goes on along its edge tangent:
// a fast beam's sine would otherwise pass 1 there.
double RayRadius(double x, double edgeSine)
{
    const double s2 = edgeSine * edgeSine;
    if (x > 1) return 1 + RayRadiusSlope(1, edgeSine) * (x - 1);
    return x * std::sqrt((1 - s2) / (1 - s2 * x * x));
}

double RayRadiusSlope(double x, double edgeSine)
{
    const double s2 = edgeSine * edgeSine, q = 1 - s2 * std::min(x * x, 1.0);
    return std::sqrt(1 - s2) / (q * std::sqrt(q));
}

namespace {
// F^2 (1 - cos u) = h^2 / (1 + cos u), without the cancellation of the difference.
inline double Path(double h2, double focal, double plane)
{
    const double q = std::min(h2 / (focal * focal), kMaxEdgeSine * kMaxEdgeSine);
    return (1.0 / focal - 1.0 / plane) * h2 / (1 + std::sqrt(1 - q));
}
}  // namespace

double DefocusPath(double h2, double focal, double plane) { return Path(h2, focal, plane); }

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
namespace {
// Four points a vector where the processor has AVX2: Path's operations in its order, each rounded once
// (no multiply fused with an add), so the bits are those of the two-point loop below. Returns how many
// points it took.
__attribute__((target("avx2"), optimize("fp-contract=off"))) std::size_t DefocusPaths4(
    const double* h2, std::size_t n, double focal2, double cap, double gain, double* out)
{
    using V4 = double __attribute__((vector_size(32)));
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        V4 h;
        std::memcpy(&h, h2 + i, sizeof h);
        const V4 a = h / focal2;
        const V4 q = cap < a ? V4{cap, cap, cap, cap} : a;  // std::min(a, cap)
        const V4 path = gain * h / (1 + __builtin_ia32_sqrtpd256(1 - q));
        std::memcpy(out + i, &path, sizeof path);
    }
    return i;
}
}  // namespace
#endif

void DefocusPaths(std::span<const double> h2, double focal, double plane, std::span<double> out)
{
    const std::size_t n = std::min(h2.size(), out.size());
    std::size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    // Two points a vector: Path's operations in its order, with the same rounding (a scalar square
    // root may call the library for its error flag, which keeps the loop from vectorising).
    using V2 = double __attribute__((vector_size(16)));
    const double focal2 = focal * focal, cap = kMaxEdgeSine * kMaxEdgeSine;
    const double gain = 1.0 / focal - 1.0 / plane;
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) i = DefocusPaths4(h2.data(), n, focal2, cap, gain, out.data());
    for (; i + 2 <= n; i += 2) {
        V2 h;
        std::memcpy(&h, &h2[i], sizeof h);
        const V2 a = h / focal2;
        const V2 q = cap < a ? V2{cap, cap} : a;  // std::min(a, cap)
        const V2 path = gain * h / (1 + __builtin_ia32_sqrtpd(1 - q));
        std::memcpy(&out[i], &path, sizeof path);
    }
#endif
    for (; i < n; ++i) out[i] = Path(h2[i], focal, plane);
}

}  // namespace frontlys
