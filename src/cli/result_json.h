#pragma once
// What other programs read from an analysis: the rows of coefficients.csv and the self-describing
// part of the JSON (tool version, inputs and the parameters used with their origin, units, the
// Zernike set, the sign convention, the terms the wavefront error leaves out, warnings, files).

#include <filesystem>
#include <nlohmann/json.hpp>
#include <vector>

#include "analysis/run_analysis.h"
#include "files/result_files.h"

namespace frontlys::cli {

inline constexpr const char* kToolVersion = FRONTLYS_VERSION;  // the project's version, from CMakeLists.txt

std::vector<CoefficientRow> CoefficientRows(const AnalysisReport& report);

// Adds the description to j (which holds the numeric results).
void DescribeAnalysis(nlohmann::ordered_json& j,
                      const AnalysisReport& report,
                      const AnalysisOptions& options,
                      const std::vector<std::filesystem::path>& files);

// The warnings of a run in its language: what was ignored on the way and the checks on the data.
std::vector<std::string> RunWarnings(const AnalysisReport& report);

}  // namespace frontlys::cli
