#include "engine/svd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace frontlys {
namespace {

// Reflector H = I - beta * v * v^T that maps x onto alpha * e1; beta = 0 leaves x as it is.
struct Reflector {
    double alpha = 0;
    double beta = 0;
};

// x[0], x[stride], ... x[(len - 1) * stride] becomes the reflector's vector v.
Reflector MakeReflector(double* x, int len, std::ptrdiff_t stride)
{
    double scale = 0;
    for (int k = 0; k < len; ++k) scale = std::max(scale, std::fabs(x[k * stride]));
    if (scale == 0 || len == 1) return {len == 1 ? x[0] : 0, 0};
    double sum = 0;
    for (int k = 0; k < len; ++k) sum += (x[k * stride] / scale) * (x[k * stride] / scale);
    const double norm = scale * std::sqrt(sum);
    const double alpha = -std::copysign(norm, x[0]);
    const double beta = 1 / (norm * (norm + std::fabs(x[0])));
    x[0] -= alpha;
    return {alpha, beta};
}

class GolubReinsch {
public:
    GolubReinsch(std::vector<double> a, int rows, int cols)
        : m_m(rows),
          m_n(cols),
          m_a(std::move(a)),
          m_w(cols),
          m_e(cols),
          m_v(std::size_t(cols) * cols),
          m_betaLeft(cols),
          m_betaRight(cols)
    {
    }

    SvdResult Run()
    {
        Bidiagonalise();
        AccumulateRight();
        AccumulateLeft();
        Diagonalise();
        return {m_m, m_n, std::move(m_a), std::move(m_w), std::move(m_v), m_converged};
    }

private:
    double& A(int r, int c) { return m_a[std::size_t(r) * m_n + c]; }
    double& V(int r, int c) { return m_v[std::size_t(r) * m_n + c]; }

    void Bidiagonalise()
    {
        for (int i = 0; i < m_n; ++i) {
            const Reflector left = MakeReflector(&A(i, i), m_m - i, m_n);
            m_w[i] = left.alpha;
            m_betaLeft[i] = left.beta;
            for (int c = i + 1; c < m_n; ++c) ReflectColumn(i, c, left.beta);
            if (i + 1 >= m_n) continue;
            const Reflector right = MakeReflector(&A(i, i + 1), m_n - i - 1, 1);
            m_e[i + 1] = right.alpha;
            m_betaRight[i] = right.beta;
            for (int r = i + 1; r < m_m; ++r) ReflectRow(i, r, right.beta);
        }
    }

    // Column c of rows i.. by the left reflector stored in column i.
    void ReflectColumn(int i, int c, double beta)
    {
        if (beta == 0) return;
        double f = 0;
        for (int r = i; r < m_m; ++r) f += A(r, i) * A(r, c);
        f *= beta;
        for (int r = i; r < m_m; ++r) A(r, c) -= f * A(r, i);
    }

    // Row r, columns i + 1.., by the right reflector stored in row i.
    void ReflectRow(int i, int r, double beta)
    {
        if (beta == 0) return;
        double* vec = &A(i, i + 1);
        double* row = &A(r, i + 1);
        const int len = m_n - i - 1;
        double f = 0;
        for (int k = 0; k < len; ++k) f += vec[k] * row[k];
        f *= beta;
        for (int k = 0; k < len; ++k) row[k] -= f * vec[k];
    }

    // V = H_0 H_1 ... applied from the last reflector back to the first.
    void AccumulateRight()
    {
        for (int i = m_n - 1; i >= 0; --i) {
            V(i, i) = 1;
            if (i + 1 >= m_n || m_betaRight[i] == 0) continue;
            const double* vec = &A(i, i + 1);
            for (int c = i + 1; c < m_n; ++c) {
                double f = 0;
                for (int k = i + 1; k < m_n; ++k) f += vec[k - i - 1] * V(k, c);
                f *= m_betaRight[i];
                for (int k = i + 1; k < m_n; ++k) V(k, c) -= f * vec[k - i - 1];
            }
        }
    }

    // U overwrites A: each left reflector is consumed from its column just before that column is set.
    void AccumulateLeft()
    {
        std::vector<double> vec(m_m);
        for (int i = m_n - 1; i >= 0; --i) {
            for (int r = i; r < m_m; ++r) vec[r] = A(r, i);
            for (int r = 0; r < m_m; ++r) A(r, i) = r == i ? 1 : 0;
            const double beta = m_betaLeft[i];
            if (beta == 0) continue;
            for (int c = i; c < m_n; ++c) {
                double f = 0;
                for (int r = i; r < m_m; ++r) f += vec[r] * A(r, c);
                f *= beta;
                for (int r = i; r < m_m; ++r) A(r, c) -= f * vec[r];
            }
        }
    }

    template <class Access>
    void RotateColumns(int rows, int p, int q, double c, double s, Access at)
    {
        for (int r = 0; r < rows; ++r) {
            const double x = at(r, p);
            const double z = at(r, q);
            at(r, p) = x * c + z * s;
            at(r, q) = z * c - x * s;
        }
    }
    void RotateU(int p, int q, double c, double s)
    {
        RotateColumns(m_m, p, q, c, s, [this](int r, int col) -> double& { return A(r, col); });
    }
    void RotateV(int p, int q, double c, double s)
    {
        RotateColumns(m_n, p, q, c, s, [this](int r, int col) -> double& { return V(r, col); });
    }

    bool Negligible(double value) const { return std::fabs(value) + m_anorm == m_anorm; }

    // Top l of the unreduced block ending at k; cancel is set when w[l - 1] is negligible.
    int FindSplit(int k, bool& cancel) const
    {
        cancel = false;
        for (int l = k; l > 0; --l) {
            if (Negligible(m_e[l])) return l;
            if (Negligible(m_w[l - 1])) {
                cancel = true;
                return l;
            }
        }
        return 0;
    }

    // With w[l - 1] negligible, rotations zero e[l..k] against row l - 1.
    void Cancel(int l, int k)
    {
        double c = 0, s = 1;
        for (int i = l; i <= k; ++i) {
            const double f = s * m_e[i];
            m_e[i] *= c;
            if (Negligible(f)) break;
            const double g = m_w[i];
            const double h = std::hypot(f, g);
            m_w[i] = h;
            c = g / h;
            s = -f / h;
            RotateU(l - 1, i, c, s);
        }
    }

    // One implicit-shift QR sweep over the block l..k, shift from its trailing 2 x 2.
    void Sweep(int l, int k)
    {
        double x = m_w[l];
        double y = m_w[k - 1];
        double g = m_e[k - 1];
        double h = m_e[k];
        const double z0 = m_w[k];
        double f = ((y - z0) * (y + z0) + (g - h) * (g + h)) / (2 * h * y);
        g = std::hypot(f, 1.0);
        f = ((x - z0) * (x + z0) + h * (y / (f + std::copysign(g, f)) - h)) / x;
        double c = 1, s = 1;
        for (int j = l; j < k; ++j) {
            const int i = j + 1;
            g = m_e[i];
            y = m_w[i];
            h = s * g;
            g = c * g;
            double z = std::hypot(f, h);
            m_e[j] = z;
            c = f / z;
            s = h / z;
            f = x * c + g * s;
            g = g * c - x * s;
            h = y * s;
            y *= c;
            RotateV(j, i, c, s);
            z = std::hypot(f, h);
            m_w[j] = z;
            if (z != 0) {
                c = f / z;
                s = h / z;
            }
            f = c * g + s * y;
            x = c * y - s * g;
            RotateU(j, i, c, s);
        }
        m_e[l] = 0;
        m_e[k] = f;
        m_w[k] = x;
    }

    void MakeNonNegative(int k)
    {
        if (!(m_w[k] < 0)) return;
        m_w[k] = -m_w[k];
        for (int r = 0; r < m_n; ++r) V(r, k) = -V(r, k);
    }

    void Diagonalise()
    {
        m_anorm = 0;
        for (int i = 0; i < m_n; ++i) m_anorm = std::max(m_anorm, std::fabs(m_w[i]) + std::fabs(m_e[i]));
        for (int k = m_n - 1; k >= 0; --k) {
            for (int sweep = 0;; ++sweep) {
                bool cancel = false;
                const int l = FindSplit(k, cancel);
                if (cancel) Cancel(l, k);
                if (l == k) break;
                if (sweep == kSvdMaxSweeps) {
                    m_converged = false;
                    break;
                }
                Sweep(l, k);
            }
            MakeNonNegative(k);
        }
    }

    int m_m, m_n;
    std::vector<double> m_a;
    std::vector<double> m_w, m_e, m_v;
    std::vector<double> m_betaLeft, m_betaRight;
    double m_anorm = 0;
    bool m_converged = true;
};

}  // namespace

SvdResult SvdDecompose(std::vector<double> a, int rows, int cols)
{
    if (rows <= 0 || cols <= 0) return {std::max(rows, 0), std::max(cols, 0), {}, {}, {}, true};
    // Fewer rows than columns: decompose with zero rows appended, then drop them from U.
    const int padded = std::max(rows, cols);
    a.resize(std::size_t(padded) * cols, 0.0);
    SvdResult result = GolubReinsch(std::move(a), padded, cols).Run();
    result.rows = rows;
    result.u.resize(std::size_t(rows) * cols);
    return result;
}

}  // namespace frontlys
