// The k-th smallest of many values: the answer of std::nth_element, whatever the values' order
// and repeats.
#include "core/selection.h"

#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
}  // namespace frontlys
