#pragma once
// frontlys-cli analyse INTRA EXTRA [options]: the whole analysis of a test as the main window runs
// it, with its result files and pictures, a readable summary or one JSON object on stdout.

#include <filesystem>
#include <optional>
#include <string>

#include "analysis/run_analysis.h"

namespace frontlys::cli {

struct AnalyseRequest {
    AnalysisOptions analysis;
    std::optional<std::filesystem::path> outDir;
    bool json = false;
};

// Writes coefficients.txt, wavefront.opd and the PNG pictures of the analysed test into dir
// (created when missing). The decimal separator in force is kept.
Status WriteAnalysisOutputs(const AnalysisReport& report, const std::filesystem::path& dir);

// The summary as printed, and the JSON object.
std::string SummaryText(const AnalysisReport& report);
std::string JsonText(const AnalysisReport& report);

// Runs the request; returns the exit status (0 done, 2 refused input).
int RunAnalyse(const AnalyseRequest& request);

}  // namespace frontlys::cli
