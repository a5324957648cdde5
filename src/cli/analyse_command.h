#pragma once
// frontlys-cli analyse INTRA EXTRA [options]: the whole analysis of a test as the main window runs
// it, with its result files and pictures, a readable summary or one JSON object on stdout.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/run_analysis.h"
#include "cli/test_report.h"

namespace frontlys::cli {

struct AnalyseRequest {
    AnalysisOptions analysis;
    std::optional<std::filesystem::path> outDir;
    bool json = false;
    bool refineGiven = false;             // --refine on the command line (its value has a default)
    std::optional<ReportOptions> report;  // report.html and report.pdf into outDir
};

// Writes the set coefficients.txt, coefficients.csv, results.json, wavefront.opd and the PNG pictures
// of the analysed test into dir (created when missing) as a whole: on failure the previous set stays
// as it was; on success no file of an older set is left. The decimal separator in force is kept.
// *written receives the files put in place.
[[nodiscard]] Status WriteAnalysisOutputs(const AnalysisReport& report,
                                          const AnalysisOptions& options,
                                          const std::filesystem::path& dir,
                                          std::vector<std::filesystem::path>* written = nullptr,
                                          const ReportOptions* reportOptions = nullptr);

// The summary as printed (in the run's language), the numeric JSON object, and the same object with
// its description (inputs, parameters and their origin, units, Zernike set, files written).
std::string SummaryText(const AnalysisReport& report);
std::string JsonText(const AnalysisReport& report);
std::string JsonText(const AnalysisReport& report,
                     const AnalysisOptions& options,
                     const std::vector<std::filesystem::path>& files);

// Runs the request; returns the exit status (0 done, 2 refused input).
int RunAnalyse(const AnalyseRequest& request);

}  // namespace frontlys::cli
