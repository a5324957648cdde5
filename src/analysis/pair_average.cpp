#include "analysis/pair_average.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace frontlys {
namespace {

constexpr int kFirstTerm = 5;
constexpr int kLastTerm = 22;
constexpr double kLimit = 3;
constexpr std::size_t kMinPairsToReject = 3;

double Median(std::vector<double> v)
{
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 == 1) return upper;
    return 0.5 * (upper + *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid)));
}

// Root mean square over terms 5..22 of (value - median of the term) / robust sigma. The sigma pools
// every pair and term: taken term by term, a median absolute deviation of three or four pairs is
// too unsteady to judge by.
std::vector<double> Deviations(const std::vector<PairCoefficients>& pairs, const std::vector<std::size_t>& usable)
{
    const std::size_t terms = pairs[usable.front()].rmsNm.size();
    const std::size_t last = std::min<std::size_t>(kLastTerm, terms);
    std::vector<double> offsets;  // [pair][term], row per usable pair
    for (std::size_t k = kFirstTerm - 1; k < last; ++k) {
        std::vector<double> values;
        for (std::size_t i : usable) values.push_back(pairs[i].rmsNm[k]);
        const double median = Median(values);
        for (std::size_t i : usable) offsets.push_back(pairs[i].rmsNm[k] - median);
    }
    std::vector<double> d(pairs.size(), std::numeric_limits<double>::quiet_NaN());
    if (offsets.empty()) {
        for (std::size_t i : usable) d[i] = 0;
        return d;
    }
    std::vector<double> spread(offsets.size());
    for (std::size_t j = 0; j < offsets.size(); ++j) spread[j] = std::abs(offsets[j]);
    const double sigma = 1.4826 * Median(spread);
    const std::size_t n = usable.size();
    for (std::size_t u = 0; u < n; ++u) {
        double sum = 0;
        int count = 0;
        for (std::size_t j = u; j < offsets.size(); j += n, ++count) sum += offsets[j] * offsets[j];
        d[usable[u]] = sigma > 0 ? std::sqrt(sum / count) / sigma : 0.0;
    }
    return d;
}

}  // namespace

PairAverage AveragePairs(const std::vector<PairCoefficients>& pairs)
{
    PairAverage a;
    if (pairs.empty()) return a;
    const std::size_t terms = pairs.front().rmsNm.size();
    std::vector<std::size_t> usable;
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (pairs[i].rmsNm.size() == terms) usable.push_back(i);
    a.deviation = Deviations(pairs, usable);
    a.rejected.assign(pairs.size(), true);
    for (std::size_t i : usable)
        a.rejected[i] = usable.size() >= kMinPairsToReject && a.deviation[i] > kLimit;
    a.meanRmsNm.assign(terms, 0.0);
    a.stdRmsNm.assign(terms, std::numeric_limits<double>::quiet_NaN());
    a.semRmsNm = a.stdRmsNm;
    if (std::all_of(usable.begin(), usable.end(), [&](std::size_t i) { return a.rejected[i]; }))
        for (std::size_t i : usable) a.rejected[i] = false;  // no majority to judge by: keep them all
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (!a.rejected[i]) ++a.kept;
    for (std::size_t k = 0; k < terms; ++k) {
        double sum = 0, squares = 0;
        for (std::size_t i = 0; i < pairs.size(); ++i)
            if (!a.rejected[i]) sum += pairs[i].rmsNm[k];
        const double mean = sum / a.kept;
        for (std::size_t i = 0; i < pairs.size(); ++i)
            if (!a.rejected[i]) squares += (pairs[i].rmsNm[k] - mean) * (pairs[i].rmsNm[k] - mean);
        a.meanRmsNm[k] = mean;
        if (a.kept < 2) continue;
        a.stdRmsNm[k] = std::sqrt(squares / (a.kept - 1));
        a.semRmsNm[k] = a.stdRmsNm[k] / std::sqrt(double(a.kept));
    }
    return a;
}

}  // namespace frontlys
