// Averaging several pairs: known spread, and the pair that disagrees set aside.
#include "analysis/pair_average.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace frontlys {
namespace {

// Pairs whose term k is 10 k nm plus Gaussian noise of a known sigma.
std::vector<PairCoefficients> NoisyPairs(int count, double sigma)
{
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, sigma);
    std::vector<PairCoefficients> pairs(count);
    for (auto& p : pairs)
        for (int k = 1; k <= 22; ++k) p.rmsNm.push_back(10.0 * k + noise(rng));
    return pairs;
}

TEST(AveragePairs, MeanSpreadAndErrorMatchTheKnownNoise)
{
    const PairAverage a = AveragePairs(NoisyPairs(60, 5));
    EXPECT_EQ(a.kept, 60);
    for (int k = 1; k <= 22; ++k) {
        EXPECT_NEAR(a.meanRmsNm[k - 1], 10.0 * k, 4 * 5 / std::sqrt(60.0)) << "Z" << k;
        EXPECT_NEAR(a.stdRmsNm[k - 1], 5, 1.5) << "Z" << k;
        EXPECT_NEAR(a.semRmsNm[k - 1], a.stdRmsNm[k - 1] / std::sqrt(60.0), 1e-12);
    }
}

TEST(AveragePairs, APairFarFromTheOthersIsSetAside)
{
    auto pairs = NoisyPairs(6, 2);
    for (int k = 5; k <= 22; ++k) pairs[4].rmsNm[k - 1] += 30;  // a moment of bad seeing
    const PairAverage a = AveragePairs(pairs);
    EXPECT_TRUE(a.rejected[4]);
    EXPECT_EQ(a.kept, 5);
    pairs.resize(2);  // two pairs cannot outvote each other
    EXPECT_EQ(AveragePairs(pairs).kept, 2);
}

// Pairs with error bars: scatter as the bars allow, then scatter four times beyond them.
TEST(AveragePairs, ChiSquareTellsNoiseFromScatterBeyondIt)
{
    std::vector<PairCoefficients> pairs = NoisyPairs(8, 2);
    for (auto& p : pairs) p.sigmaRmsNm.assign(22, 2.0);
    const PairAverage noise = AveragePairs(pairs);
    EXPECT_NEAR(noise.chi2PerDofAll, 1, 0.4);
    EXPECT_FALSE(noise.scatterDominates);
    EXPECT_NEAR(noise.meanSigmaRmsNm[10], 2 / std::sqrt(8.0), 1e-12);  // from the bars
    EXPECT_NEAR(noise.pairSigmaRmsNm[10], 2, 1e-12);

    for (auto& p : pairs) p.sigmaRmsNm.assign(22, 0.5);
    const PairAverage seeing = AveragePairs(pairs);
    EXPECT_GT(seeing.chi2PerDofAll, 8);
    EXPECT_TRUE(seeing.scatterDominates);
    EXPECT_EQ(seeing.meanSigmaRmsNm[10], seeing.semRmsNm[10]);  // from the scatter

    pairs[3].sigmaRmsNm.clear();  // one pair without bars: no comparison
    const PairAverage mixed = AveragePairs(pairs);
    EXPECT_TRUE(std::isnan(mixed.chi2PerDofAll));
    EXPECT_FALSE(mixed.scatterDominates);
}

}  // namespace
}  // namespace frontlys
