#pragma once
// The 28 Zernike terms in which a wavefront is described, their evaluation over a pupil (annular
// polynomials when the pupil has a central obstruction), and the operations on coefficient vectors.
//
// Conventions: terms are numbered k = 1..28 in the table order below; arrays indexed by term use
// index k - 1. Coefficients are in nanometres of wavefront and multiply polynomials with peak
// normalisation (value 1 at the edge of an unobstructed pupil); coefficient / Norm(k) is the RMS
// contribution of the term. Points are in reduced pupil coordinates (SetPupilAxes: the pupil is the
// unit disc, y points up), theta = atan2(y, x). With obstruction eps the pupil is the annulus
// eps <= rho <= 1 and the annular polynomials keep the mean square of the disc ones:
// 1/(n + 1) for m = 0 and 1/(2(n + 1)) for m > 0.
//
// The number of terms in use P (preference NPolyZern, 0..28) fixes the highest azimuthal order M;
// terms that M does not reach are never evaluated and read as 0.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/image_rec.h"

namespace frontlys {

inline constexpr int kZernikeTerms = 28;
inline constexpr int kMaxAzimuthalOrder = 6;

using ZernikeCoefficients = std::array<double, kZernikeTerms>;     // nm, index k - 1
using ZernikeSelection = std::array<std::uint8_t, kZernikeTerms>;  // 1 = term selected
using ZernikeValues = std::array<double, kZernikeTerms>;           // Z_k at one point, index k - 1

struct ZernikeTerm {
    int n = 0;          // radial order
    int m = 0;          // azimuthal order, >= 0
    bool sine = false;  // second member of a pair (m > 0)
    std::string_view name;
};

// Term k (1..28); k outside that range gives the piston.
const ZernikeTerm& ZernikeTermInfo(int k);
// Names as listed to the user, at most 20 characters each.
std::string_view ZernikeName(int k);
// Index of the first (or only) term of order (n, m), whether or not it is <= 28.
int ZernikeIndex(int n, int m);
ZernikeSelection AllTermsSelected();

// The number of terms in use, the highest azimuthal order it implies, and the normalisation table.
class ZernikeBasis {
public:
    ZernikeBasis() = default;  // P = 22, the default of NPolyZern
    // P is clamped to 0..28.
    static ZernikeBasis ForCount(int count) { return Make(count); }

    int Count() const { return m_count; }        // P
    int MaxOrder() const { return m_maxOrder; }  // M
    // Whether term k (1..28) is evaluated under M.
    bool Reaches(int k) const;
    // sqrt(n + 1) for m = 0, sqrt(2(n + 1)) for m > 0: the factor from peak to RMS normalisation.
    double Norm(int k) const;

    bool operator==(const ZernikeBasis&) const = default;

private:
    ZernikeBasis(int count, int maxOrder) : m_count(count), m_maxOrder(maxOrder) {}
    static ZernikeBasis Make(int count);
    int m_count = 22;
    int m_maxOrder = 5;
};

// The evaluation prepared for one obstruction: the parts of the annular recurrences that do not
// depend on the point are computed once. Cheap to copy.
class ZernikeEvaluator {
public:
    ZernikeEvaluator(const ZernikeBasis& basis, double obstruction);

    // Values Z_1..Z_28 at (x, y), or nothing when the point lies outside the annulus.
    // Terms the basis does not reach are 0.
    std::optional<ZernikeValues> Eval(double x, double y) const;
    // Same, into `values`; returns false (values untouched) outside the annulus.
    bool Eval(double x, double y, ZernikeValues& values) const;

    double Obstruction() const { return m_eps; }
    const ZernikeBasis& Basis() const { return m_basis; }

private:
    using Table = std::array<std::array<double, kMaxAzimuthalOrder + 1>, kMaxAzimuthalOrder + 2>;
    ZernikeBasis m_basis;
    double m_eps = 0;
    double m_epsSq = 0;
    double m_e = 1;    // 1 - eps^2
    Table m_weight{};  // B[i][m] / C[i][m], the weights of the cumulative sums
    Table m_gain{};    // G of the recurrence for (j, m)
    Table m_scale{};   // sqrt(e / (2(2j + m + 1) C[j][m]))
};

// Whether the current plane, the mask and both axes cover Width x Height, so that the image can be
// walked in reduced pupil coordinates. Operations given an image that does not are no-ops.
bool HasPupilGrid(const TImageRec& image);

// One-point evaluation with obstruction eps (0 <= eps < 1).
std::optional<ZernikeValues> ZernikeEval(const ZernikeBasis& basis, double x, double y, double obstruction);

// Writes sum over the 28 terms of coefficient * Z * selection into the current plane at every pixel
// inside the annulus (eps = image.Obstruction) and sets their mask to 1; other pixels are unchanged.
void SynthesiseWavefront(TImageRec& image,
                         const ZernikeBasis& basis,
                         const ZernikeCoefficients& coefficients,
                         const ZernikeSelection& selection);

// sign > 0 adds coefficient * Z of every selected term among the first P; otherwise subtracts those
// of every unselected term among the first P. Only pixels of mask 1 inside the annulus change.
void AddZernikeTerms(TImageRec& image,
                     const ZernikeBasis& basis,
                     const ZernikeCoefficients& coefficients,
                     const ZernikeSelection& selection,
                     int sign);

// First P coefficients divided by their norms (peak to RMS); the others are returned unchanged.
ZernikeCoefficients CoefToRms(const ZernikeBasis& basis, ZernikeCoefficients coefficients);
// Coefficients 2..P multiplied by their norms (RMS to peak) and the piston set to 0.
ZernikeCoefficients RmsToCoef(const ZernikeBasis& basis, ZernikeCoefficients coefficients);

}  // namespace frontlys
