// The bars as the outputs carry them: the refinement's remaining distance to its fixed point enters
// each term's sigma in quadrature with the noise, and nowhere else.
#include "analysis/coefficient_uncertainty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/compensated/uncertainty.h"

namespace frontlys {
namespace {

TEST(CoefficientUncertainty, RemainingDistanceAddsInQuadrature)
{
    constexpr int n = 22;
    const ZernikeBasis basis = ZernikeBasis::ForCount(n);
    std::vector<double> cov(n * n, 0.0);
    cov[10 * n + 10] = std::pow(0.3 * basis.Norm(11), 2);  // Z11: 0.3 nm RMS of noise
    cov[21 * n + 21] = std::pow(0.2 * basis.Norm(22), 2);
    cov[10 * n + 21] = cov[21 * n + 10] = 0.01;
    std::vector<double> remaining(n, 0.0);
    remaining[21] = 0.4;  // Z22 stopped 0.4 nm RMS short of the fixed point

    CompensatedSummary summary;
    CompensatedResult result;
    FillUncertainty(summary, result, cov, remaining, n);
    ASSERT_EQ(summary.sigmaRmsNm.size(), static_cast<std::size_t>(n));
    EXPECT_NEAR(summary.sigmaRmsNm[21], std::hypot(0.2, 0.4), 1e-12);
    EXPECT_NEAR(summary.sigmaRmsNm[10], 0.3, 1e-12);
    EXPECT_EQ(summary.covariance[10 * n + 21], 0.01);  // the noise's correlations are kept

    FillUncertainty(summary, result, cov, {}, n);  // an unrefined answer: the noise alone
    EXPECT_NEAR(summary.sigmaRmsNm[21], 0.2, 1e-12);
}

}  // namespace
}  // namespace frontlys
