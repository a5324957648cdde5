#include "core/selection.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace frontlys {

double NthSmallest(std::span<double> values, std::size_t k, std::vector<double>& scratch)
{
    const std::size_t n = values.size();
    const auto whole = [&] {
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
        return values[k];
    };
    constexpr std::size_t kSample = 1024;
    if (n < 8 * kSample) return whole();
    std::array<double, kSample> sample;
    for (std::size_t s = 0; s < kSample; ++s) sample[s] = values[s * n / kSample];
    if (std::any_of(sample.begin(), sample.end(), [](double v) { return std::isnan(v); })) return whole();
    std::sort(sample.begin(), sample.end());
    // The sample's rank of k, with about 3 standard deviations of it either side.
    constexpr std::size_t kSpread = 48;
    const std::size_t at = k * kSample / n;
    const double lo = sample[at > kSpread ? at - kSpread : 0];
    const double hi = sample[std::min(kSample - 1, at + kSpread)];
    std::size_t below = 0, compared = 0;  // compared: values that are not NaN
    scratch.clear();
    for (double v : values) {
        below += v < lo;
        compared += v == v;
        if (v >= lo && v <= hi) scratch.push_back(v);
    }
    if (compared < n || k < below || k >= below + scratch.size()) return whole();
    const auto kth = scratch.begin() + static_cast<std::ptrdiff_t>(k - below);
    std::nth_element(scratch.begin(), kth, scratch.end());
    return *kth;
}

double NthSmallest(std::span<double> values, std::size_t k)
{
    std::vector<double> scratch;
    return NthSmallest(values, k, scratch);
}

}  // namespace frontlys
