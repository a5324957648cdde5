// The k-th smallest of many values: the answer of std::nth_element, whatever the values' order
// and repeats; the median: the middle of the sorted values, or the mean of the two middles.
#include "core/selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace frontlys {
namespace {

TEST(NthSmallest, GivesTheValueNthElementPlaces)
{
    std::mt19937 rng(7);
    std::normal_distribution<double> gauss(100, 15);
    std::uniform_int_distribution<int> adu(-3, 3);
    const auto noisy = [&](std::size_t n) {
        std::vector<double> v(n);
        for (double& x : v) x = gauss(rng);
        return v;
    };
    const auto integers = [&](std::size_t n) {  // a few values, each repeated thousands of times
        std::vector<double> v(n);
        for (double& x : v) x = adu(rng);
        return v;
    };
    std::vector<std::vector<double>> sets = {noisy(500), noisy(70000), integers(70000)};
    std::vector<double> sorted = noisy(50000), skewed = noisy(50000);
    std::sort(sorted.begin(), sorted.end());
    // A tail of huge values makes the sample's bracket miss ranks near the top.
    for (std::size_t i = 0; i < 300; ++i) skewed[i * 100] = 1e12 + double(i);
    sets.push_back(sorted);
    sets.push_back(skewed);
    std::vector<double> scratch;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        const std::size_t n = sets[s].size();
        for (std::size_t k : {std::size_t{0}, n / 3, n / 2, n / 2 - 1, n - 150, n - 1}) {
            std::vector<double> expected = sets[s], values = sets[s];
            std::nth_element(
                expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(k), expected.end());
            EXPECT_EQ(NthSmallest(values, k, scratch), expected[k]) << s << " " << k;
            std::sort(values.begin(), values.end());  // a reordering only: the same values
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(values, expected) << s;
        }
    }
}

// What the median is, from a full sort: (upper + lower) / 2 in that order, as the callers had it.
double SortedMedian(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 == 0 ? 0.5 * (v[mid] + v[mid - 1]) : v[mid];
}

TEST(Median, IsTheMiddleOfTheSortedValues)
{
    std::vector<double> scratch;
    const auto median = [&](std::vector<double> v) { return Median(v, scratch); };
    EXPECT_EQ(median({3, -1, 7}), 3);
    EXPECT_EQ(median({3, -1, 7, 10}), 5);
    EXPECT_EQ(median({2, 2, 9, 2}), 2);
    EXPECT_EQ(median({4.5}), 4.5);
    EXPECT_TRUE(std::isnan(median({})));
    EXPECT_EQ(median(std::vector<double>(70000, 12.25)), 12.25);
    EXPECT_EQ(median(std::vector<double>(70001, -3)), -3);

    // Frames' worth, odd and even, smooth or with few distinct levels, against a full sort.
    std::mt19937 rng(11);
    std::normal_distribution<double> gauss(1000, 30);
    std::uniform_int_distribution<int> adu(0, 5);
    for (std::size_t n : {65, 4000, 8191, 100000, 100001, 262144})
        for (bool levels : {false, true}) {
            std::vector<double> v(n);
            for (double& x : v) x = levels ? adu(rng) : std::round(gauss(rng) * 1e3) / 1e3;
            EXPECT_EQ(median(v), SortedMedian(v)) << n << " " << levels;
        }

    // The upper middle is the least value the sample brackets (every sampled value is 1), so the
    // lower middle lies under the bracket and is found there.
    const std::size_t n = 65536;
    std::uniform_real_distribution<double> low(0, 1), high(1.5, 2);
    std::vector<double> v(n);
    std::size_t lower = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % (n / 1024) == 0)
            v[i] = 1.0;
        else if (lower++ < n / 2)
            v[i] = low(rng);
        else
            v[i] = high(rng);
    }
    EXPECT_EQ(median(v), SortedMedian(v));
}

}  // namespace
}  // namespace frontlys
