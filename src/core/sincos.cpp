#include "core/sincos.h"

// The vectors below never cross a call (the helpers are always inlined); GCC notes the AVX ABI anyway,
// at the end of the unit, which no push/pop can reach.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <cmath>
#include <cstring>

namespace frontlys {
namespace {

// Compiled with and without AVX2, the loader picking one; no multiply is fused with its add, so
// both give the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_SINCOS_CLONES \
    __attribute__((target_clones("arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_SINCOS_CLONES
#endif

typedef double V4 __attribute__((vector_size(32)));

constexpr double kLimit = 1e6;  // |angle| * 2 / pi stays far under 2^20: the reduction is exact
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
// pi / 2 in two parts, the first with 33 bits so that k times it is exact.
constexpr double kPio2Hi = 1.57079632673412561417e+00;
constexpr double kPio2Lo = 6.07710050650619224932e-11;
constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to an integer

// Minimax polynomials of sin and cos over [-pi/4, pi/4].
constexpr double kS1 = -1.66666666666666324348e-01, kS2 = 8.33333333332248946124e-03,
                 kS3 = -1.98412698298579493134e-04, kS4 = 2.75573137070700676789e-06,
                 kS5 = -2.50507602534068634195e-08, kS6 = 1.58969099521155010221e-10;
constexpr double kC1 = 4.16666666666666019037e-02, kC2 = -1.38888888888741095749e-03,
                 kC3 = 2.48015872894767294178e-05, kC4 = -2.75573143513906633035e-07,
                 kC5 = 2.08757232129817482790e-09, kC6 = -1.13596475577881948265e-11;

__attribute__((always_inline)) inline V4 Splat(double v) { return V4{v, v, v, v}; }

__attribute__((always_inline)) inline void Kernel(V4 x, V4& sine, V4& cosine)
{
    x = (x > -kLimit && x < kLimit) ? x : Splat(0);  // the others are redone below
    const V4 k = (x * kTwoOverPi + kRound) - kRound;
    const V4 y = (x - k * kPio2Hi) - k * kPio2Lo;
    const V4 z = y * y;
    const V4 s = y + y * z * (kS1 + z * (kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)))));
    const V4 c = 1.0 - (0.5 * z - z * z * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * kC6))))));
    // The quadrant, k modulo 4 as -2..2.
    const V4 q = k - 4.0 * ((k * 0.25 + kRound) - kRound);
    const auto swap = q == 1 || q == -1;
    const V4 sinSign = (q >= 2 || q <= -1) ? Splat(-1) : Splat(1);
    const V4 cosSign = (q >= 1 || q == -2) ? Splat(-1) : Splat(1);
    sine = (swap ? c : s) * sinSign;
    cosine = (swap ? s : c) * cosSign;
}

}  // namespace

FRONTLYS_SINCOS_CLONES void SinCos(const double* angle, double* sine, double* cosine, std::size_t count)
{
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        V4 x, s, c;
        std::memcpy(&x, angle + i, sizeof x);
        Kernel(x, s, c);
        std::memcpy(sine + i, &s, sizeof s);
        std::memcpy(cosine + i, &c, sizeof c);
    }
    if (i < count) {
        V4 x = Splat(0), s, c;
        std::memcpy(&x, angle + i, (count - i) * sizeof(double));
        Kernel(x, s, c);
        std::memcpy(sine + i, &s, (count - i) * sizeof(double));
        std::memcpy(cosine + i, &c, (count - i) * sizeof(double));
    }
    for (std::size_t j = 0; j < count; ++j) {
        if (!(std::abs(angle[j]) < kLimit)) {
            sine[j] = std::sin(angle[j]);
            cosine[j] = std::cos(angle[j]);
        }
    }
}

}  // namespace frontlys
