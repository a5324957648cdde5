#include "engine/zernike_derivatives.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace frontlys {
namespace {

// Solves the small Vandermonde system sum_c q_c u_i^c = f_i by Gaussian elimination.
template <std::size_t N>
void SolveVandermonde(int size, const std::array<double, N>& u, const std::array<double, N>& f,
                      std::array<double, N>& q)
{
    std::array<std::array<double, N + 1>, N> a{};
    for (int i = 0; i < size; ++i) {
        double p = 1;
        for (int c = 0; c < size; ++c, p *= u[i]) a[i][c] = p;
        a[i][size] = f[i];
    }
    for (int col = 0; col < size; ++col) {
        int pivot = col;
        for (int r = col + 1; r < size; ++r)
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
        std::swap(a[col], a[pivot]);
        for (int r = 0; r < size; ++r) {
            if (r == col) continue;
            const double g = a[r][col] / a[col][col];
            for (int c = col; c <= size; ++c) a[r][c] -= g * a[col][c];
        }
    }
    for (int i = 0; i < size; ++i) q[i] = a[i][size] / a[i][i];
}

}  // namespace

ZernikePolynomials::ZernikePolynomials(const ZernikeBasis& basis, double obstruction)
    : m_basis(basis), m_eps(obstruction)
{
    const ZernikeEvaluator evaluator(basis, obstruction);
    const double u0 = obstruction * obstruction;
    for (int k = 1; k <= kZernikeTerms; ++k) {
        if (!basis.Reaches(k)) continue;
        const ZernikeTerm& t = ZernikeTermInfo(k);
        const int size = (t.n - t.m) / 2 + 1;
        const int cosIndex = t.sine ? k - 1 : k;  // the radial part is read on the x axis
        std::array<double, kMaxDegree> u{}, f{};
        for (int i = 0; i < size; ++i) {
            // Chebyshev nodes inside [eps^2, 1]: well conditioned, and every node is inside the annulus.
            const double c = std::cos(std::numbers::pi * (i + 0.5) / size);
            u[i] = u0 + (1 - u0) * 0.5 * (1 + c);
            const double rho = std::sqrt(u[i]);
            ZernikeValues z{};
            if (!evaluator.Eval(rho, 0, z)) continue;
            f[i] = z[cosIndex - 1] / std::pow(rho, t.m);
        }
        SolveVandermonde(size, u, f, m_q[k - 1]);
    }
}

void ZernikePolynomials::Eval(double x, double y, ZernikeJet& out) const
{
    using C = std::complex<double>;
    const double u = x * x + y * y;
    const C z(x, y);
    // z^m, z^(m-1), z^(m-2) for m = 0..7.
    std::array<C, 9> power{};
    power[0] = 1;
    for (int m = 1; m < 9; ++m) power[m] = power[m - 1] * z;
    const auto pw = [&](int m) { return m < 0 ? C(0) : power[m]; };
    for (int k = 1; k <= kZernikeTerms; ++k) {
        const std::size_t i = k - 1;
        if (!m_basis.Reaches(k)) {
            out.v[i] = out.dx[i] = out.dy[i] = out.dxx[i] = out.dyy[i] = out.dxy[i] = 0;
            continue;
        }
        const ZernikeTerm& t = ZernikeTermInfo(k);
        const auto& q = m_q[i];
        // Q, Q' and Q'' in u by Horner.
        double q0 = 0, q1 = 0, q2 = 0;
        for (int c = kMaxDegree - 1; c >= 0; --c) {
            q2 = q2 * u + 2 * q1;
            q1 = q1 * u + q0;
            q0 = q0 * u + q[c];
        }
        const double qx = 2 * x * q1, qy = 2 * y * q1;
        const double qxx = 4 * x * x * q2 + 2 * q1, qyy = 4 * y * y * q2 + 2 * q1, qxy = 4 * x * y * q2;
        const int m = t.m;
        const C zm = pw(m), zm1 = double(m) * pw(m - 1), zm2 = double(m) * (m - 1) * pw(m - 2);
        const C I(0, 1);
        const C g = q0 * zm;
        const C gx = qx * zm + q0 * zm1;
        const C gy = qy * zm + I * q0 * zm1;
        const C gxx = qxx * zm + 2 * qx * zm1 + q0 * zm2;
        const C gyy = qyy * zm + 2.0 * I * qy * zm1 - q0 * zm2;
        const C gxy = qxy * zm + I * qx * zm1 + qy * zm1 + I * q0 * zm2;
        const auto part = [&](const C& c) { return t.sine ? c.imag() : c.real(); };
        out.v[i] = part(g);
        out.dx[i] = part(gx);
        out.dy[i] = part(gy);
        out.dxx[i] = part(gxx);
        out.dyy[i] = part(gyy);
        out.dxy[i] = part(gxy);
    }
}

ZernikeSurface::ZernikeSurface(const ZernikePolynomials& polynomials, const ZernikeCoefficients& c)
{
    for (int k = 1; k <= kZernikeTerms; ++k) {
        if (c[k - 1] == 0 || !polynomials.m_basis.Reaches(k)) continue;
        const ZernikeTerm& t = ZernikeTermInfo(k);
        if (t.m >= kOrders) continue;
        auto& target = t.sine ? m_sin[t.m] : m_cos[t.m];
        for (int d = 0; d < ZernikePolynomials::kMaxDegree; ++d) target[d] += c[k - 1] * polynomials.m_q[k - 1][d];
        m_orders = std::max(m_orders, t.m + 1);
    }
}

double ZernikeSurface::Value(double x, double y) const
{
    const double u = x * x + y * y;
    double re = 1, im = 0, w = 0;  // (x + iy)^m
    for (int m = 0; m < m_orders; ++m) {
        const auto& a = m_cos[m];
        const auto& b = m_sin[m];
        double pc = 0, ps = 0;
        for (int d = ZernikePolynomials::kMaxDegree - 1; d >= 0; --d) {
            pc = pc * u + a[d];
            ps = ps * u + b[d];
        }
        w += pc * re + ps * im;
        const double nextRe = re * x - im * y;
        im = re * y + im * x;
        re = nextRe;
    }
    return w;
}

}  // namespace frontlys
