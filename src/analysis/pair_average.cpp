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

// Root mean square over terms 5..22 of (value - median of the term) / sigma of the term. The sigma
// is the larger of the term's robust sigma and the one pooled over every term: taken term by term, a
// median absolute deviation of three or four pairs is too unsteady to judge by, while a term that
// truly varies between the pairs must not make each of them an outlier.
std::vector<double> Deviations(const std::vector<PairCoefficients>& pairs,
                               const std::vector<std::size_t>& usable)
{
    const std::size_t terms = std::min<std::size_t>(kLastTerm, pairs[usable.front()].rmsNm.size());
    const std::size_t n = usable.size();
    std::vector<double> offsets, termSigma;  // offsets[(k - first) * n + u]
    for (std::size_t k = kFirstTerm - 1; k < terms; ++k) {
        std::vector<double> values;
        for (std::size_t i : usable) values.push_back(pairs[i].rmsNm[k]);
        const double median = Median(values);
        for (double& v : values) v = std::abs(v - median);
        termSigma.push_back(1.4826 * Median(values));
        for (std::size_t i : usable) offsets.push_back(pairs[i].rmsNm[k] - median);
    }
    std::vector<double> d(pairs.size(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i : usable) d[i] = 0;
    if (offsets.empty()) return d;
    std::vector<double> spread(offsets.size());
    for (std::size_t j = 0; j < offsets.size(); ++j) spread[j] = std::abs(offsets[j]);
    const double pooled = 1.4826 * Median(spread);
    for (std::size_t u = 0; u < n; ++u) {
        double sum = 0;
        for (std::size_t t = 0; t < termSigma.size(); ++t) {
            const double sigma = std::max(termSigma[t], pooled);
            if (sigma > 0) sum += std::pow(offsets[t * n + u] / sigma, 2);
        }
        d[usable[u]] = std::sqrt(sum / termSigma.size());
    }
    return d;
}

// The scatter against the bars (see PairAverage).
void CompareWithBars(const std::vector<PairCoefficients>& pairs, PairAverage& a)
{
    const std::size_t terms = a.meanRmsNm.size();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    a.chi2PerDof.assign(terms, nan);
    a.pairSigmaRmsNm.assign(terms, nan);
    a.meanSigmaRmsNm = a.semRmsNm;
    a.chi2PerDofAll = nan;
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (!a.rejected[i] && pairs[i].sigmaRmsNm.size() != terms) return;
    double all = 0;
    int dofAll = 0;
    for (std::size_t k = 0; k < terms; ++k) {
        double chi2 = 0, sq = 0;
        bool usable = true;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            if (a.rejected[i]) continue;
            const double s = pairs[i].sigmaRmsNm[k];
            usable = usable && s > 0;
            sq += s * s;
            if (s > 0) chi2 += std::pow((pairs[i].rmsNm[k] - a.meanRmsNm[k]) / s, 2);
        }
        a.pairSigmaRmsNm[k] = std::sqrt(sq / a.kept);
        a.meanSigmaRmsNm[k] = a.pairSigmaRmsNm[k] / std::sqrt(double(a.kept));
        if (!usable || a.kept < 2) continue;
        a.chi2PerDof[k] = chi2 / (a.kept - 1);
        if (k + 1 >= kFirstTerm && k + 1 <= kLastTerm) {
            all += chi2;
            dofAll += a.kept - 1;
        }
    }
    if (dofAll == 0) return;
    a.chi2PerDofAll = all / dofAll;
    a.scatterDominates = a.chi2PerDofAll > ScatterLimit(dofAll);
    if (a.scatterDominates) a.meanSigmaRmsNm = a.semRmsNm;
}

}  // namespace

double ScatterLimit(int dof) { return std::max(2.0, 1 + 3 * std::sqrt(2.0 / std::max(1, dof))); }

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
    CompareWithBars(pairs, a);
    return a;
}

}  // namespace frontlys
