#pragma once
// The one-page test report: the conditions, the pictures, the coefficients (with their error bars
// when several pairs gave them), the results, the collimation and the warnings. As HTML that needs
// nothing beside it (the pictures are data URIs) and as a PDF drawn by Qt's text layout, scaled to
// hold on one A4 page.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>

#include "analysis/run_analysis.h"
#include "core/status.h"
#include "engine/collimation.h"

namespace CLI {
class App;
}

namespace frontlys::cli {

struct ReportPicture {
    std::string name;     // file-like key, such as "mtf.png"
    std::string caption;  // the run's language
    QImage image;
};

struct ReportContent {
    std::string title;
    std::vector<std::pair<std::string, std::string>> conditions;  // label, value
    std::vector<ReportPicture> pictures;
    int pictureWidth = 230;  // layout pixels of a picture on the page
    int picturesPerRow = 3;
    std::vector<std::string> termNames;
    std::vector<double> rmsNm;                                 // nm RMS, term 1 first
    std::vector<double> errorNm;                               // standard error per term; empty or NaN: none
    std::vector<std::pair<std::string, std::string>> results;  // PTV, RMS, Strehl, ...
    std::string collimation;
    std::vector<std::string> warnings;
};

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

// HTML with the pictures as data URIs (embedded = true) or as names a QTextDocument resolves.
std::string ReportHtml(const ReportContent& content, bool embedded);

[[nodiscard]] Status WriteReportHtml(const ReportContent& content, const std::filesystem::path& file);
[[nodiscard]] Status WriteReportPdf(const ReportContent& content, const std::filesystem::path& file);

}  // namespace frontlys::cli
