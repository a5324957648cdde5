#pragma once
// The one-page test report of the analyse command (see display/test_report.h): its options and its
// content from an analysed test, in the run's language.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/run_analysis.h"
#include "core/status.h"
#include "display/test_report.h"
#include "engine/collimation.h"

namespace CLI {
class App;
}

namespace frontlys::cli {

// An empty report with its headings in the run's language; a QGuiApplication is made for its pictures
// and its PDF when none runs.
ReportContent ReportInRunLanguage();

struct ReportOptions {
    DesignOptics design;  // diameter, focal length and obstruction come from the analysis
};

// The analyse command's --report and the design of the collimation (--design, --magnification,
// --back-focus, --field-coma).
struct ReportFlags {
    bool report = false;
    std::string design = "newtonian";
    double magnification = 0, backFocusMm = 0;
    std::optional<double> fieldComa;
    std::optional<ReportOptions> Requested() const;
};
std::shared_ptr<ReportFlags> AddReportOptions(CLI::App& command);

// From an analysed test with its images (derived images included).
ReportContent ReportOf(const AnalysisReport& report,
                       const AnalysisOptions& options,
                       const ReportOptions& design);

}  // namespace frontlys::cli
