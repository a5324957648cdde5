#include "core/sincos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace frontlys {
namespace {

void ExpectLibraryValues(const std::vector<double>& angles, double tolerance)
{
    std::vector<double> s(angles.size()), c(angles.size());
    SinCos(angles.data(), s.data(), c.data(), angles.size());
    for (std::size_t i = 0; i < angles.size(); ++i) {
        if (std::isnan(angles[i]) || std::isinf(angles[i])) {
            EXPECT_TRUE(std::isnan(s[i]) && std::isnan(c[i])) << angles[i];
            continue;
        }
        EXPECT_NEAR(s[i], std::sin(angles[i]), tolerance) << angles[i];
        EXPECT_NEAR(c[i], std::cos(angles[i]), tolerance) << angles[i];
    }
}

// Every quadrant, the octant boundaries where the polynomials change roles, the phases of the
// renders (thousands of radians), the library's own range beyond, and a tail of fewer than four.
TEST(SinCos, MatchesTheLibraryToAnUlpOrTwo)
{
    std::vector<double> angles = {0.0, -0.0, 1e-300, -1e-8};
    for (int k = -12; k <= 12; ++k)
        for (double d : {-1e-12, 0.0, 1e-12}) angles.push_back(k * std::numbers::pi / 4 + d);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> small(-10, 10), large(-9.9e5, 9.9e5);
    for (int i = 0; i < 4000; ++i) angles.push_back(i % 2 ? small(random) : large(random));
    for (double v : {2e6, -3.5e9, 1e300}) angles.push_back(v);
    angles.push_back(std::numeric_limits<double>::quiet_NaN());
    angles.push_back(std::numeric_limits<double>::infinity());
    angles.push_back(0.5);  // 4001 + ... : the count is not a multiple of four
    ASSERT_NE(angles.size() % 4, 0u);
    ExpectLibraryValues(angles, 4e-16);
}

}  // namespace
}  // namespace frontlys
