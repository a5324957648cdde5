#include "core/selection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace frontlys {
namespace {

// The k-th smallest and, when `wantBelow` and k > 0, the (k-1)-th: the largest of the values
// ordered before the k-th, taken from what the selection left ordered rather than by a second
// selection.
struct Selected {
    double kth = 0;
    double below = 0;
};

Selected Select(std::span<double> values, std::size_t k, std::vector<double>& scratch, bool wantBelow)
{
    const std::size_t n = values.size();
    const auto whole = [&] {
        const auto kth = values.begin() + static_cast<std::ptrdiff_t>(k);
        std::nth_element(values.begin(), kth, values.end());
        Selected s{*kth, 0};
        if (wantBelow && k > 0) s.below = *std::max_element(values.begin(), kth);
        return s;
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
    Selected s{*kth, 0};
    if (!wantBelow || k == 0) return s;
    if (kth != scratch.begin()) {
        s.below = *std::max_element(scratch.begin(), kth);
    } else {  // the k-th is the bracket's least: the (k-1)-th is the largest value under the bracket
        s.below = -std::numeric_limits<double>::infinity();
        for (double v : values)
            if (v < lo) s.below = std::max(s.below, v);
    }
    return s;
}

}  // namespace

double NthSmallest(std::span<double> values, std::size_t k, std::vector<double>& scratch)
{
    return Select(values, k, scratch, false).kth;
}

double NthSmallest(std::span<double> values, std::size_t k)
{
    std::vector<double> scratch;
    return NthSmallest(values, k, scratch);
}

double Median(std::span<double> values, std::vector<double>& scratch)
{
    if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
    const std::size_t mid = values.size() / 2;
    const Selected s = Select(values, mid, scratch, values.size() % 2 == 0);
    return values.size() % 2 == 0 ? 0.5 * (s.kth + s.below) : s.kth;
}

}  // namespace frontlys
