#pragma once
// What the live session shows and leaves behind: one line per pair, the running mean, and in the
// output folder trend.csv, trend.json, trend.png (RMS, astigmatism, coma and spherical over time)
// and collimation.png (the collimation angle over time), each written atomically.

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/live_session.h"
#include "cli/test_report.h"
#include "core/status.h"

namespace frontlys::cli {

// newtonian, cassegrain, sct, refractor (anything else: newtonian).
TelescopeDesign DesignNamed(const std::string& name);

std::string PairLine(const LivePair& pair, TelescopeDesign design);
std::string MeanLine(const PairAverage& average);
// A collimation as read by the user: angle, position angle, offset at the focus, secondary tilt.
std::string CollimationText(const Collimation& c, TelescopeDesign design, bool labelled = true);

std::string TrendCsv(const std::vector<LivePair>& pairs);
std::string TrendJson(const std::vector<LivePair>& pairs, const PairAverage& average);

// The session as a one-page report: the trends, the mean coefficients with the error of the mean,
// the last kept pair's collimation and the pairs set aside.
ReportContent SessionReport(const std::filesystem::path& folder,
                            const std::vector<LivePair>& pairs,
                            const PairAverage& average,
                            TelescopeDesign design);

[[nodiscard]] Status WriteTrend(const std::filesystem::path& folder,
                                const std::vector<LivePair>& pairs,
                                const PairAverage& average);

}  // namespace frontlys::cli
