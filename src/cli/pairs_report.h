#pragma once
// The one-page report of a several-pair run: the mean coefficients with the error of the mean per
// term (drawn and listed), each pair's RMS, the collimation of the mean coma, and the pairs refused
// or set aside.

#include <string>
#include <vector>

#include "analysis/pair_average.h"
#include "analysis/run_analysis.h"
#include "cli/test_report.h"

namespace frontlys::cli {

struct ReportedPair {
    std::string name;
    const AnalysisReport* report = nullptr;  // null: refused, for `refusal`
    std::string refusal;
};

// `average` holds one flag per pair given (refused ones rejected); `warnings`: the checks on the set.
ReportContent PairsReport(const std::vector<ReportedPair>& pairs,
                          const PairAverage& average,
                          const std::vector<std::string>& warnings,
                          const ReportOptions& options);

}  // namespace frontlys::cli
