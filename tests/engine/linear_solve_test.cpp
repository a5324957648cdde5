#include "engine/linear_solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace frontlys {
namespace {

// A zero on the first diagonal needs a row exchange; a tiny one would lose every digit without it.
TEST(LinearSolve, SolvesSystemsThatNeedPivoting)
{
    for (double corner : {0.0, 1e-18}) {
        const std::vector<double> a = {corner, 2, 1, 1, 1, 1, 4, -1, 3};
        const std::vector<double> x = {1, -2, 3};
        std::vector<double> b(3, 0.0);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) b[r] += a[r * 3 + c] * x[c];
        ASSERT_TRUE(SolveLinear(a, b).ok()) << corner;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(b[k], x[k], 1e-12) << corner << " unknown " << k;
    }
    // A larger system in the range of the weak-form solves: a Hilbert-like but well conditioned matrix.
    const int n = 21;
    std::vector<double> a(n * n), x(n), b(n, 0.0);
    for (int r = 0; r < n; ++r) {
        x[r] = std::sin(r + 1.0);
        for (int c = 0; c < n; ++c) a[r * n + c] = 1.0 / (1 + std::abs(r - c)) + (r == c ? n : 0);
    }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) b[r] += a[r * n + c] * x[c];
    ASSERT_TRUE(SolveLinear(a, b).ok());
    for (int k = 0; k < n; ++k) EXPECT_NEAR(b[k], x[k], 1e-12) << k;
}

TEST(LinearSolve, RefusesASingularMatrixAndLeavesTheRightHandSide)
{
    const std::vector<double> rhs = {1, 2, 3};
    // Second row = twice the first: the elimination meets an exact zero pivot.
    std::vector<double> b = rhs;
    Status s = SolveLinear({1, 2, 3, 2, 4, 6, 0, 1, 1}, b);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.code, StatusCode::NumericalFailure);
    EXPECT_EQ(b, rhs);
    // An empty column from the start, and a matrix of the wrong size.
    EXPECT_FALSE(SolveLinear({0, 1, 0, 0, 0, 1, 0, 1, 1}, b).ok());
    EXPECT_FALSE(SolveLinear({1, 0, 0, 1}, b).ok());
    EXPECT_EQ(b, rhs);
}

}  // namespace
}  // namespace frontlys
