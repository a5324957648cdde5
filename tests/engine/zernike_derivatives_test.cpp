#include "engine/zernike_derivatives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace frontlys {
namespace {

// Central differences at this step carry h^2 f''' / 6, a few 1e-6 for these terms; a wrong
// factor or sign is off by order 1.
void ExpectClose(double exact, double difference, int k)
{
    EXPECT_NEAR(exact, difference, 5e-5 * (1 + std::abs(exact))) << "term " << k + 1;
}

// Four points evaluated at once give each point's own bits, with and without second derivatives,
// for a basis that leaves terms out.
TEST(ZernikeDerivatives, FourPointsAtOnceGiveEachPointsOwnBits)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coord(-1.3, 1.3);
    for (int count : {28, 15}) {
        const ZernikePolynomials poly(ZernikeBasis::ForCount(count), 0.3);
        for (bool second : {true, false}) {
            int mismatches = 0;
            for (int trial = 0; trial < 50; ++trial) {
                double x[4], y[4];
                for (int l = 0; l < 4; ++l) {
                    x[l] = coord(rng);
                    y[l] = coord(rng);
                }
                ZernikeJet four[4], one;
                poly.Eval4(x, y, four, second);
                for (int l = 0; l < 4; ++l) {
                    poly.Eval(x[l], y[l], one, second);
                    mismatches += four[l].v != one.v || four[l].dx != one.dx || four[l].dy != one.dy;
                    if (second)
                        mismatches +=
                            four[l].dxx != one.dxx || four[l].dyy != one.dyy || four[l].dxy != one.dxy;
                }
            }
            EXPECT_EQ(mismatches, 0) << count << " " << second;
        }
    }
}

// Values match the recurrences inside the annulus; first and second derivatives match central
// differences of the values, in the annulus, in the hole and past the edge.
TEST(ZernikeDerivatives, ValuesMatchAndDerivativesMatchFiniteDifferences)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> coord(-1.2, 1.2);
    for (double eps : {0.0, 0.35}) {
        const ZernikeBasis basis = ZernikeBasis::ForCount(28);
        const ZernikePolynomials poly(basis, eps);
        const ZernikeEvaluator ref(basis, eps);
        const double h = 1e-4;
        for (int trial = 0; trial < 200; ++trial) {
            const double x = coord(rng), y = coord(rng);
            ZernikeJet j, px, mx, py, my;
            poly.Eval(x, y, j);
            poly.Eval(x + h, y, px);
            poly.Eval(x - h, y, mx);
            poly.Eval(x, y + h, py);
            poly.Eval(x, y - h, my);
            ZernikeJet first;  // values and slopes alone: the same bits
            poly.Eval(x, y, first, false);
            EXPECT_EQ(first.v, j.v);
            EXPECT_EQ(first.dx, j.dx);
            EXPECT_EQ(first.dy, j.dy);
            ZernikeValues z{};
            const bool inside = ref.Eval(x, y, z);
            for (int k = 0; k < kZernikeTerms; ++k) {
                if (inside) {
                    EXPECT_NEAR(j.v[k], z[k], 1e-10) << "term " << k + 1 << " eps " << eps;
                }
                ExpectClose(j.dx[k], (px.v[k] - mx.v[k]) / (2 * h), k);
                ExpectClose(j.dy[k], (py.v[k] - my.v[k]) / (2 * h), k);
                ExpectClose(j.dxx[k], (px.dx[k] - mx.dx[k]) / (2 * h), k);
                ExpectClose(j.dyy[k], (py.dy[k] - my.dy[k]) / (2 * h), k);
                ExpectClose(j.dxy[k], (px.dy[k] - mx.dy[k]) / (2 * h), k);
                ExpectClose(j.dxy[k], (py.dx[k] - my.dx[k]) / (2 * h), k);
            }
        }
    }
}

// A wavefront summed by azimuthal order is the sum of its terms, with sine and cosine parts and
// every order kept apart.
TEST(ZernikeDerivatives, SurfaceIsTheSumOfItsTerms)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coord(-1, 1), coef(-50, 50);
    const ZernikeBasis basis = ZernikeBasis::ForCount(28);
    const ZernikePolynomials poly(basis, 0.3);
    const ZernikeEvaluator ref(basis, 0.3);
    ZernikeCoefficients c{};
    for (double& v : c) v = coef(rng);
    const ZernikeSurface surface(poly, c);
    int checked = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const double x = coord(rng), y = coord(rng);
        ZernikeValues z{};
        if (!ref.Eval(x, y, z)) continue;
        double w = 0;
        for (int k = 0; k < kZernikeTerms; ++k) w += c[k] * z[k];
        EXPECT_NEAR(surface.Value(x, y), w, 1e-8);
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

// A row's values and derivatives from its polynomial in x are those of the point evaluations, for
// every row, order and part, in the hole and past the edge too, on rows whose length is no multiple
// of the batch.
TEST(ZernikeDerivatives, RowValuesAndDerivativesMatchPointEvaluations)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coef(-80, 80);
    ZernikeCoefficients c{};
    for (double& v : c) v = coef(rng);
    const ZernikePolynomials poly(ZernikeBasis::ForCount(28), 0.4);
    const ZernikeSurface surface(poly, c);
    const std::size_t n = 37;
    std::vector<double> x(n), row(n), dx(n), dy(n), dxx(n), dyy(n), dxy(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = -1.1 + 2.2 * i / (n - 1.0);
    for (double y : {-1.1, -0.5, 0.0, 0.23, 0.9}) {
        surface.RowValues(y, x, row);
        surface.RowDerivatives(y, x, dx.data(), dy.data(), dxx.data(), dyy.data(), dxy.data());
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(row[i], surface.Value(x[i], y), 1e-9) << "x " << x[i] << " y " << y;
            ZernikeJet jet;
            poly.Eval(x[i], y, jet);
            double sum[5] = {};
            for (int k = 0; k < kZernikeTerms; ++k) {
                sum[0] += c[k] * jet.dx[k];
                sum[1] += c[k] * jet.dy[k];
                sum[2] += c[k] * jet.dxx[k];
                sum[3] += c[k] * jet.dyy[k];
                sum[4] += c[k] * jet.dxy[k];
            }
            const double got[5] = {dx[i], dy[i], dxx[i], dyy[i], dxy[i]};
            for (int d = 0; d < 5; ++d)
                EXPECT_NEAR(got[d], sum[d], 1e-8 * (1 + std::abs(sum[d])))
                    << "derivative " << d << " x " << x[i] << " y " << y;
        }
    }
}

// Inside the annulus a row's clamped values are its plain values; in the hole and past the rim they
// are the value on the nearest edge along the same radius, so they stay bounded however far out.
TEST(ZernikeDerivatives, AnnulusRowValuesTakeTheEdgeValueOutsideTheAnnulus)
{
    ZernikeCoefficients c{};
    c[10] = 60;  // spherical: steep past the rim
    c[7] = -25;
    const double eps = 0.35;
    const ZernikeSurface surface(ZernikePolynomials(ZernikeBasis::ForCount(28), eps), c);
    const std::vector<double> x{-1.4, -1.0, -0.6, -0.2, 0.0, 0.1, 0.5, 0.99, 1.3};
    std::vector<double> plain(x.size()), clamped(x.size());
    for (double y : {0.0, 0.2, -0.7}) {
        surface.RowValues(y, x, plain);
        surface.AnnulusRowValues(y, x, clamped, eps);
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double r = std::hypot(x[i], y);
            if (r > eps * 1.001 && r < 0.999) {
                EXPECT_DOUBLE_EQ(clamped[i], plain[i]);
                continue;
            }
            const double edge = r > 0.5 ? 1.0 : eps, k = r > 0 ? edge / r : 1;
            const double want = r > 0 ? surface.Value(x[i] * k, y * k) : surface.Value(edge, 0);
            EXPECT_NEAR(clamped[i], want, 1e-6) << "x " << x[i] << " y " << y;
        }
    }
}

}  // namespace
}  // namespace frontlys
