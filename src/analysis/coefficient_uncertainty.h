#pragma once
// The error bars of a compensated analysis as the session and the outputs carry them: each term's
// 1-sigma from the pair's noise, the noise model it rests on, and the note that says when the bars are
// only a lower bound (the noise is not the whole story).

#include "analysis/compensated_summary.h"
#include "analysis/test_session.h"
#include "engine/compensated/analysis.h"

namespace frontlys {

// The refinement's misfit counts as far above the noise beyond this many sigmas (RMS over 5..22).
inline constexpr double kMisfitSigmas = 3;
// ... and beyond this many nm, so that noise-free frames whose bars are nil are not flagged for
// rounding-level misfits.
inline constexpr double kMisfitFloorNm = 0.05;

// From the answer kept, the covariance of its coefficients (the analysis's, or propagated through
// the refinement) and, for a refined answer, each term's remaining distance to the refinement's fixed
// point (nm RMS, may be empty), which enters the bars in quadrature (see AddRemaining).
void FillUncertainty(CompensatedSummary& summary,
                     const CompensatedResult& analysed,
                     const std::vector<double>& covariance,
                     const std::vector<double>& remainingRmsNm,
                     int terms);

// The covariance with each term's remaining distance added to its variance (peak-normalised units):
// an error of the estimate that the pixels' noise does not make, independent from term to term.
std::vector<double> AddRemaining(std::vector<double> covariance,
                                 const std::vector<double>& remainingRmsNm,
                                 int terms);

// RMS over terms 5..22 of the sigmas, nm.
double MeanSigmaNm(const std::vector<double>& sigmaRmsNm);

// Sets summary.lowerBoundReasons from the guard, the checks of the session (a `geometry_mismatch`
// warning or note) and the refinement's misfit, and adds the note `sigma_lower_bound` when any holds.
void MarkLowerBound(TestSession& session, CompensatedSummary& summary);

}  // namespace frontlys
