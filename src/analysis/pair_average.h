#pragma once
// Several intra/extra pairs of the same star taken in a row: the seeing of one moment is not the
// mirror, so the coefficients are averaged over the pairs, with their spread and the error of the
// mean, after setting aside the pairs that disagree with the others.
//
// Coefficients are nm RMS, term k at index k - 1. A pair is set aside when its terms 5 to 22 lie,
// in root mean square, more than 3 robust sigmas from the median of the pairs, term by term (the
// robust sigma, 1.4826 median absolute deviations, is the larger of the term's own and the one
// pooled over every pair and term); with fewer than three pairs none is set aside.

#include <string>
#include <vector>

namespace frontlys {

struct PairCoefficients {
    std::string name;          // how the user knows the pair (its files)
    std::vector<double> rmsNm;  // the same count of terms for every pair
};

struct PairAverage {
    std::vector<double> meanRmsNm;  // over the pairs kept
    std::vector<double> stdRmsNm;   // sample standard deviation (n - 1); NaN with one pair kept
    std::vector<double> semRmsNm;   // standard error of the mean, std / sqrt(n)
    std::vector<double> deviation;  // each pair's robust distance from the median (terms 5 to 22)
    std::vector<bool> rejected;     // each pair: set aside
    int kept = 0;
};

// Empty result for no pair. Pairs with a different count of terms than the first are set aside.
PairAverage AveragePairs(const std::vector<PairCoefficients>& pairs);

}  // namespace frontlys
