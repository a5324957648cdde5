#pragma once
// The annular Zernike terms with their first and second derivatives, anywhere in the plane.
//
// Each term is Q_k(u) Re((x + iy)^m) or Q_k(u) Im((x + iy)^m) with u = x^2 + y^2 and Q_k a
// polynomial of degree (n - m) / 2. Q_k is taken once per obstruction from the annular recurrences
// (ZernikeEvaluator), after which values and derivatives are exact polynomial algebra: smooth at the
// centre, and extended past the pupil edge and into the central hole as the same polynomials
// (the compensated analysis samples a margin around the pupil).

#include <array>
#include <span>

#include "engine/zernike.h"

namespace frontlys {

struct ZernikeJet {
    ZernikeValues v{}, dx{}, dy{}, dxx{}, dyy{}, dxy{};
};

class ZernikePolynomials {
public:
    ZernikePolynomials(const ZernikeBasis& basis, double obstruction);

    // Terms the basis does not reach are 0. Without second derivatives, dxx, dyy and dxy are left
    // as they were for the terms the basis reaches (the values and slopes are the same bits).
    void Eval(double x, double y, ZernikeJet& out, bool secondDerivatives = true) const;
    // Eval at the four points (x[l], y[l]) into out[0..3], each with the bits of its own Eval.
    void Eval4(const double* x, const double* y, ZernikeJet* out, bool secondDerivatives = true) const;

    const ZernikeBasis& Basis() const { return m_basis; }
    double Obstruction() const { return m_eps; }

private:
    friend class ZernikeSurface;
    static constexpr int kMaxDegree = 4;  // of Q in u, for n <= 7
    ZernikeBasis m_basis;
    double m_eps = 0;
    std::array<std::array<double, kMaxDegree>, kZernikeTerms> m_q{};  // coefficients of u^0..u^3
};

// The value of one wavefront sum c_k Z_k, with its terms gathered by azimuthal order: one polynomial
// in u per order and part, so that a point costs a few multiplications instead of every term (the
// wave-optics renders evaluate it at every pupil sample).
class ZernikeSurface {
public:
    ZernikeSurface(const ZernikePolynomials& polynomials, const ZernikeCoefficients& c);
    double Value(double x, double y) const;
    // out[i] = Value(x[i], y) to rounding, for the points of one row: the sum is one polynomial in x
    // whose coefficients are taken once per row, a multiplication and an addition per power a point.
    void RowValues(double y, std::span<const double> x, std::span<double> out) const;
    // RowValues on the annulus eps..1; outside it, the value on the nearest edge along the radius. The
    // renders' soft pupil edge reaches a little past the annulus, where the polynomial must not run away.
    void AnnulusRowValues(double y, std::span<const double> x, std::span<double> out, double eps) const;
    // The first and second derivatives at the same points, x.size() of each.
    void RowDerivatives(double y,
                        std::span<const double> x,
                        double* dx,
                        double* dy,
                        double* dxx,
                        double* dyy,
                        double* dxy) const;

private:
    static constexpr int kOrders = 9;
    static constexpr int kMaxPower = 2 * (ZernikePolynomials::kMaxDegree - 1) + kOrders - 1;
    std::array<std::array<double, ZernikePolynomials::kMaxDegree>, kOrders> m_cos{}, m_sin{};
    int m_orders = 0;  // highest order used + 1
    // The same sum in powers of x and y: m_power[i][j] multiplies x^i y^j.
    std::array<std::array<double, kMaxPower + 1>, kMaxPower + 1> m_power{};
    int m_degree = 0;  // highest power of x or y with a coefficient
};

}  // namespace frontlys
