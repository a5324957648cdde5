#include "engine/svd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace frontlys {
namespace {

using Matrix = std::vector<double>;

Matrix RandomMatrix(int rows, int cols, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> value(0, 1);
    Matrix a(std::size_t(rows) * cols);
    for (double& x : a) x = value(rng);
    return a;
}

double MaxReconstructionError(const Matrix& a, const SvdResult& svd)
{
    double worst = 0;
    for (int r = 0; r < svd.rows; ++r) {
        for (int c = 0; c < svd.cols; ++c) {
            double sum = 0;
            for (int i = 0; i < svd.cols; ++i)
                sum += svd.u[r * svd.cols + i] * svd.w[i] * svd.v[c * svd.cols + i];
            worst = std::max(worst, std::fabs(sum - a[r * svd.cols + c]));
        }
    }
    return worst;
}

// Largest deviation of M^T M from the identity, M being rows x cols.
double MaxOrthogonalityError(const Matrix& m, int rows, int cols)
{
    double worst = 0;
    for (int p = 0; p < cols; ++p) {
        for (int q = 0; q < cols; ++q) {
            double sum = 0;
            for (int r = 0; r < rows; ++r) sum += m[r * cols + p] * m[r * cols + q];
            worst = std::max(worst, std::fabs(sum - (p == q ? 1 : 0)));
        }
    }
    return worst;
}

struct Shape {
    int rows, cols;
};

class SvdShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(SvdShapes, ReconstructsWithOrthogonalFactors)
{
    const auto [rows, cols] = GetParam();
    const Matrix a = RandomMatrix(rows, cols, 11 * rows + cols);
    const SvdResult svd = SvdDecompose(a, rows, cols);
    ASSERT_TRUE(svd.converged);
    ASSERT_EQ(svd.u.size(), std::size_t(rows) * cols);
    ASSERT_EQ(svd.w.size(), std::size_t(cols));
    EXPECT_LT(MaxReconstructionError(a, svd), 1e-12);
    EXPECT_LT(MaxOrthogonalityError(svd.v, cols, cols), 1e-12);
    if (rows >= cols) {
        EXPECT_LT(MaxOrthogonalityError(svd.u, rows, cols), 1e-12);
    }
    for (double w : svd.w) EXPECT_GE(w, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes,
                         SvdShapes,
                         ::testing::Values(Shape{1, 1},
                                           Shape{5, 1},
                                           Shape{2, 2},
                                           Shape{7, 3},
                                           Shape{40, 28},
                                           Shape{300, 10},
                                           Shape{3, 6},
                                           Shape{28, 28}),
                         [](const auto& info) {
                             return std::to_string(info.param.rows) + "x" + std::to_string(info.param.cols);
                         });

// Q = product of random reflectors: orthogonal by construction.
Matrix RandomOrthogonal(int n, unsigned seed)
{
    Matrix q(std::size_t(n) * n, 0.0);
    for (int i = 0; i < n; ++i) q[i * n + i] = 1;
    std::mt19937 rng(seed);
    std::normal_distribution<double> value(0, 1);
    for (int k = 0; k < n; ++k) {
        std::vector<double> v(n);
        double norm = 0;
        for (double& x : v) {
            x = value(rng);
            norm += x * x;
        }
        for (int c = 0; c < n; ++c) {
            double f = 0;
            for (int r = 0; r < n; ++r) f += v[r] * q[r * n + c];
            for (int r = 0; r < n; ++r) q[r * n + c] -= 2 * f * v[r] / norm;
        }
    }
    return q;
}

TEST(Svd, RecoversKnownSingularValues)
{
    const int n = 6;
    const std::vector<double> sigma = {9, 4, 2.5, 1, 1e-3, 0};
    const Matrix q1 = RandomOrthogonal(n, 1), q2 = RandomOrthogonal(n, 2);
    Matrix a(n * n, 0.0);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            for (int i = 0; i < n; ++i) a[r * n + c] += q1[r * n + i] * sigma[i] * q2[c * n + i];
    SvdResult svd = SvdDecompose(a, n, n);
    std::sort(svd.w.begin(), svd.w.end(), std::greater<>());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(svd.w[i], sigma[i], 1e-13) << i;
}

TEST(Svd, RankDeficientColumnsGiveZeroSingularValues)
{
    const int rows = 12, cols = 4;
    Matrix a = RandomMatrix(rows, cols, 5);
    for (int r = 0; r < rows; ++r) {
        a[r * cols + 2] = 2 * a[r * cols + 0] - a[r * cols + 1];  // dependent column
        a[r * cols + 3] = 0;                                      // empty column
    }
    SvdResult svd = SvdDecompose(a, rows, cols);
    EXPECT_TRUE(svd.converged);
    EXPECT_LT(MaxReconstructionError(a, svd), 1e-12);
    std::sort(svd.w.begin(), svd.w.end());
    EXPECT_LT(svd.w[0], 1e-13);
    EXPECT_LT(svd.w[1], 1e-13);
    EXPECT_GT(svd.w[2], 0.1);
}

TEST(Svd, ZeroMatrixAndEmptyShapes)
{
    const SvdResult zero = SvdDecompose(Matrix(15, 0.0), 5, 3);
    EXPECT_TRUE(zero.converged);
    for (double w : zero.w) EXPECT_EQ(w, 0);
    EXPECT_LT(MaxOrthogonalityError(zero.v, 3, 3), 1e-15);
    const SvdResult empty = SvdDecompose({}, 0, 4);
    EXPECT_TRUE(empty.w.empty());
    EXPECT_TRUE(empty.u.empty());
}

TEST(Svd, NonFiniteInputEndsAndSaysSo)
{
    Matrix a = RandomMatrix(8, 4, 9);
    a[5] = std::numeric_limits<double>::quiet_NaN();
    const SvdResult svd = SvdDecompose(a, 8, 4);
    EXPECT_EQ(svd.w.size(), 4u);
    EXPECT_FALSE(svd.converged);
    a[5] = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(SvdDecompose(a, 8, 4).converged);
}

}  // namespace
}  // namespace frontlys
