#include "engine/zernike_derivatives.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>
#include <vector>

#include "engine/linear_solve.h"

namespace frontlys {
namespace {

// The coefficients q of sum_c q_c u_i^c = f_i through the `size` nodes u_i (a Vandermonde system).
template <std::size_t N>
void SolveVandermonde(int size,
                      const std::array<double, N>& u,
                      const std::array<double, N>& f,
                      std::array<double, N>& q)
{
    std::vector<double> a(static_cast<std::size_t>(size) * size);
    for (int i = 0; i < size; ++i) {
        double p = 1;
        for (int c = 0; c < size; ++c, p *= u[i]) a[static_cast<std::size_t>(i) * size + c] = p;
    }
    std::copy_n(f.begin(), size, q.begin());
    // Distinct nodes: the matrix is regular.
    (void)SolveLinear(std::move(a), std::span<double>(q.data(), size));
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

namespace {

// The jets of one or several points at once: T is a double or a vector of them, and every lane runs
// the scalar arithmetic (no multiply fused with its add: the baseline instruction set has none), so
// a lane holds the bits of its point evaluated alone. Written out in real arithmetic: each term needs
// one part (real or imaginary) of the complex products only, and this runs at every point of the
// analysis grid. `store(k, part, value)` takes term k's results.
template <class T, class Q, class Store>
void EvalJets(
    const ZernikeBasis& basis, const Q& qs, const T& x, const T& y, bool secondDerivatives, Store store)
{
    const T u = x * x + y * y;
    // (x + iy)^m for m = 0..8.
    std::array<T, 9> pr{}, pi{};
    pr[0] = pr[0] + 1;
    for (int m = 1; m < 9; ++m) {
        pr[m] = pr[m - 1] * x - pi[m - 1] * y;
        pi[m] = pr[m - 1] * y + pi[m - 1] * x;
    }
    const T zero{};
    for (int k = 1; k <= kZernikeTerms; ++k) {
        const std::size_t i = k - 1;
        if (!basis.Reaches(k)) {
            for (int part = 0; part < 6; ++part) store(i, part, zero);
            continue;
        }
        const ZernikeTerm& t = ZernikeTermInfo(k);
        const auto& q = qs[i];
        const int m = t.m;
        // z^m and m z^(m-1).
        const T ar = pr[m], ai = pi[m];
        const T br = m >= 1 ? m * pr[m - 1] : zero, bi = m >= 1 ? m * pi[m - 1] : zero;
        if (!secondDerivatives) {
            // Q and Q' alone, by the same nested multiplication as below.
            T q0{}, q1{};
            for (int c = static_cast<int>(q.size()) - 1; c >= 0; --c) {
                q1 = q1 * u + q0;
                q0 = q0 * u + q[c];
            }
            const T qx = 2 * x * q1, qy = 2 * y * q1;
            store(i, 0, q0 * (t.sine ? ai : ar));
            store(i, 1, t.sine ? qx * ai + q0 * bi : qx * ar + q0 * br);
            store(i, 2, t.sine ? qy * ai + q0 * br : qy * ar - q0 * bi);
            continue;
        }
        // Q, Q' and Q'' in u by nested multiplication from the highest power.
        T q0{}, q1{}, q2{};
        for (int c = static_cast<int>(q.size()) - 1; c >= 0; --c) {
            q2 = q2 * u + 2 * q1;
            q1 = q1 * u + q0;
            q0 = q0 * u + q[c];
        }
        const T qx = 2 * x * q1, qy = 2 * y * q1;
        const T qxx = 4 * x * x * q2 + 2 * q1, qyy = 4 * y * y * q2 + 2 * q1, qxy = 4 * x * y * q2;
        // m (m-1) z^(m-2).
        const T cr = m >= 2 ? m * (m - 1.0) * pr[m - 2] : zero,
                ci = m >= 2 ? m * (m - 1.0) * pi[m - 2] : zero;
        if (t.sine) {
            store(i, 0, q0 * ai);
            store(i, 1, qx * ai + q0 * bi);
            store(i, 2, qy * ai + q0 * br);
            store(i, 3, qxx * ai + 2 * qx * bi + q0 * ci);
            store(i, 4, qyy * ai + 2 * qy * br - q0 * ci);
            store(i, 5, qxy * ai + qx * br + qy * bi + q0 * cr);
        } else {
            store(i, 0, q0 * ar);
            store(i, 1, qx * ar + q0 * br);
            store(i, 2, qy * ar - q0 * bi);
            store(i, 3, qxx * ar + 2 * qx * br + q0 * cr);
            store(i, 4, qyy * ar - 2 * qy * bi - q0 * cr);
            store(i, 5, qxy * ar - qx * bi + qy * br - q0 * ci);
        }
    }
}

ZernikeValues& PartOf(ZernikeJet& jet, int part)
{
    std::array<ZernikeValues*, 6> parts = {&jet.v, &jet.dx, &jet.dy, &jet.dxx, &jet.dyy, &jet.dxy};
    return *parts[part];
}

}  // namespace

void ZernikePolynomials::Eval(double x, double y, ZernikeJet& out, bool secondDerivatives) const
{
    EvalJets(m_basis, m_q, x, y, secondDerivatives, [&](std::size_t i, int part, const double& value) {
        PartOf(out, part)[i] = value;
    });
}

void ZernikePolynomials::Eval4(const double* x,
                               const double* y,
                               ZernikeJet* out,
                               bool secondDerivatives) const
{
    using V4 = double __attribute__((vector_size(32)));
    V4 vx, vy;
    std::memcpy(&vx, x, sizeof vx);
    std::memcpy(&vy, y, sizeof vy);
    EvalJets(m_basis, m_q, vx, vy, secondDerivatives, [&](std::size_t i, int part, const V4& value) {
        for (int l = 0; l < 4; ++l) PartOf(out[l], part)[i] = value[l];
    });
}

ZernikeSurface::ZernikeSurface(const ZernikePolynomials& polynomials, const ZernikeCoefficients& c)
{
    for (int k = 1; k <= kZernikeTerms; ++k) {
        if (c[k - 1] == 0 || !polynomials.m_basis.Reaches(k)) continue;
        const ZernikeTerm& t = ZernikeTermInfo(k);
        if (t.m >= kOrders) continue;
        auto& target = t.sine ? m_sin[t.m] : m_cos[t.m];
        for (int d = 0; d < ZernikePolynomials::kMaxDegree; ++d)
            target[d] += c[k - 1] * polynomials.m_q[k - 1][d];
        m_orders = std::max(m_orders, t.m + 1);
    }
    // u^d = sum_s C(d, s) x^2s y^2(d-s), and (x + iy)^m = sum_t C(m, t) x^(m-t) (iy)^t, whose even t
    // make the real part and odd t the imaginary one, with the sign of i^t.
    const auto choose = [](int n, int k) {
        double v = 1;
        for (int i = 1; i <= k; ++i) v = v * (n - k + i) / i;
        return v;
    };
    for (int m = 0; m < m_orders; ++m) {
        for (int d = 0; d < ZernikePolynomials::kMaxDegree; ++d) {
            for (int t = 0; t <= m; ++t) {
                const double part = t % 2 == 0 ? m_cos[m][d] : m_sin[m][d];
                if (part == 0) continue;
                const double sign = (t % 4 == 0 || t % 4 == 1) ? 1.0 : -1.0;
                for (int s = 0; s <= d; ++s) {
                    const int px = 2 * s + m - t, py = 2 * (d - s) + t;
                    m_power[px][py] += sign * part * choose(d, s) * choose(m, t);
                    m_degree = std::max({m_degree, px, py});
                }
            }
        }
    }
}

void ZernikeSurface::RowValues(double y, std::span<const double> x, std::span<double> out) const
{
    std::array<double, kMaxPower + 1> row{};  // the coefficient of each power of x on this row
    for (int i = 0; i <= m_degree; ++i) {
        double v = 0;
        for (int j = m_degree; j >= 0; --j) v = v * y + m_power[i][j];
        row[i] = v;
    }
    // Four points at a time: their nested multiplications overlap instead of waiting on each other.
    const std::size_t count = std::min(x.size(), out.size());
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        double v0 = row[m_degree], v1 = v0, v2 = v0, v3 = v0;
        for (int i = m_degree - 1; i >= 0; --i) {
            v0 = v0 * x[k] + row[i];
            v1 = v1 * x[k + 1] + row[i];
            v2 = v2 * x[k + 2] + row[i];
            v3 = v3 * x[k + 3] + row[i];
        }
        out[k] = v0;
        out[k + 1] = v1;
        out[k + 2] = v2;
        out[k + 3] = v3;
    }
    for (; k < count; ++k) {
        double v = row[m_degree];
        for (int i = m_degree - 1; i >= 0; --i) v = v * x[k] + row[i];
        out[k] = v;
    }
}

void ZernikeSurface::AnnulusRowValues(double y,
                                      std::span<const double> x,
                                      std::span<double> out,
                                      double eps) const
{
    RowValues(y, x, out);
    const double inner = eps * (1 + 1e-9), outer = 1 - 1e-12;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double u = x[i] * x[i] + y * y;
        if (u >= inner * inner && u <= outer * outer) continue;
        const double r = std::sqrt(u), target = std::clamp(r, inner, outer);
        const double k = r > 0 ? target / r : 1;
        out[i] = Value(r > 0 ? x[i] * k : target, y * k);
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

void ZernikeSurface::RowDerivatives(
    double y, std::span<const double> x, double* dx, double* dy, double* dxx, double* dyy, double* dxy) const
{
    // Per power of x: its coefficient and the coefficient's first and second derivatives in y.
    std::array<double, kMaxPower + 1> a{}, b{}, c{};
    for (int i = 0; i <= m_degree; ++i) {
        double v = 0, vy = 0, vyy = 0;
        for (int j = m_degree; j >= 0; --j) {
            vyy = vyy * y + 2 * vy;
            vy = vy * y + v;
            v = v * y + m_power[i][j];
        }
        a[i] = v;
        b[i] = vy;
        c[i] = vyy;
    }
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double t = x[k];
        double w = 0, wx = 0, wxx = 0, wy = 0, wxy = 0, wyy = 0;
        for (int i = m_degree; i >= 0; --i) {
            wxx = wxx * t + 2 * wx;
            wx = wx * t + w;
            w = w * t + a[i];
            wxy = wxy * t + wy;
            wy = wy * t + b[i];
            wyy = wyy * t + c[i];
        }
        dx[k] = wx;
        dy[k] = wy;
        dxx[k] = wxx;
        dyy[k] = wyy;
        dxy[k] = wxy;
    }
}

}  // namespace frontlys
