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
    std::string name;                // how the user knows the pair (its files)
    std::vector<double> rmsNm;       // the same count of terms for every pair
    std::vector<double> sigmaRmsNm;  // its 1-sigma from the pair's noise; empty: none
};

struct PairAverage {
    std::vector<double> meanRmsNm;  // over the pairs kept
    std::vector<double> stdRmsNm;   // sample standard deviation (n - 1); NaN with one pair kept
    std::vector<double> semRmsNm;   // standard error of the mean, std / sqrt(n)
    std::vector<double> deviation;  // each pair's robust distance from the median (terms 5 to 22)
    std::vector<bool> rejected;     // each pair: set aside
    int kept = 0;

    // When every kept pair has error bars: the scatter between the pairs against them. chi2 per degree
    // of freedom of each term (sum of (x - mean)^2 / sigma^2 over n - 1) and over terms 5..22 pooled;
    // NaN without bars or with one pair.
    std::vector<double> pairSigmaRmsNm;  // each term: RMS over the kept pairs of their sigmas
    std::vector<double> chi2PerDof;
    double chi2PerDofAll = 0;
    // The pairs scatter well beyond their noise (seeing or the instrument dominates): the mean's
    // uncertainty is then the standard error of the scatter; otherwise that of the noise, RMS sigma /
    // sqrt(n).
    bool scatterDominates = false;
    std::vector<double> meanSigmaRmsNm;
};

// chi2 per degree of freedom above which the scatter is called larger than the noise: 2, or three
// standard deviations of chi2 / dof above 1 when there are few degrees of freedom.
double ScatterLimit(int dof);

// Empty result for no pair. Pairs with a different count of terms than the first are set aside.
PairAverage AveragePairs(const std::vector<PairCoefficients>& pairs);

}  // namespace frontlys
