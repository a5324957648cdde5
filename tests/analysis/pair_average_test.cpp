// Averaging several pairs: known spread, and the pair that disagrees set aside by name.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/pair_average.h"

namespace frontlys {
namespace {

// Pairs whose terms are truth + Gaussian noise of a known sigma.
std::vector<PairCoefficients> NoisyPairs(int count, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, sigma);
    std::vector<PairCoefficients> pairs;
    for (int i = 0; i < count; ++i) {
        PairCoefficients p{"pair " + std::to_string(i), {}};
        for (int k = 1; k <= 22; ++k) p.rmsNm.push_back(10.0 * k + noise(rng));
        pairs.push_back(p);
    }
    return pairs;
}

TEST(AveragePairs, MeanSpreadAndErrorMatchTheKnownNoise)
{
    const auto pairs = NoisyPairs(60, 5, 7);
    const PairAverage a = AveragePairs(pairs);
    ASSERT_EQ(a.meanRmsNm.size(), 22u);
    EXPECT_EQ(a.kept, 60);
    for (int k = 1; k <= 22; ++k) {
        EXPECT_NEAR(a.meanRmsNm[k - 1], 10.0 * k, 4 * 5 / std::sqrt(60.0)) << "Z" << k;
        EXPECT_NEAR(a.stdRmsNm[k - 1], 5, 1.5) << "Z" << k;
        EXPECT_NEAR(a.semRmsNm[k - 1], a.stdRmsNm[k - 1] / std::sqrt(60.0), 1e-12);
    }
}

TEST(AveragePairs, APairFarFromTheOthersIsSetAside)
{
    auto pairs = NoisyPairs(6, 2, 3);
    for (int k = 5; k <= 22; ++k) pairs[4].rmsNm[k - 1] += 30;  // a moment of bad seeing
    const PairAverage a = AveragePairs(pairs);
    EXPECT_TRUE(a.rejected[4]);
    EXPECT_EQ(a.kept, 5);
    EXPECT_NEAR(a.meanRmsNm[10], 110, 4);
    // Two pairs cannot outvote each other; one pair has no spread.
    pairs.resize(2);
    EXPECT_EQ(AveragePairs(pairs).kept, 2);
    pairs.resize(1);
    EXPECT_TRUE(std::isnan(AveragePairs(pairs).stdRmsNm[0]));
}

}  // namespace
}  // namespace frontlys
