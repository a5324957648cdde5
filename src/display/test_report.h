#pragma once
// The one-page test report, as the program and the command-line tool both write it: the conditions,
// the pictures, the coefficients (with their error bars when several pairs gave them), the results,
// the collimation and the warnings. As HTML that needs nothing beside it (the pictures are data URIs)
// and as a PDF drawn by Qt's text layout, scaled to hold on one A4 page. The texts come filled in the
// caller's language; writing the PDF needs a QGuiApplication.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <QImage>

#include "core/status.h"

namespace frontlys {

struct ReportPicture {
    std::string name;     // file-like key, such as "mtf.png"
    std::string caption;  // alternative text
    QImage image;
};

struct ReportContent {
    std::string language = "fr";  // the HTML's lang
    std::string title;
    std::vector<std::pair<std::string, std::string>> conditions;  // label, value
    std::vector<ReportPicture> pictures;
    int pictureWidth = 230;  // layout pixels of a picture on the page
    int picturesPerRow = 3;
    std::string coefficientsHeading = "Coefficients de Zernike (nm RMS)";
    std::vector<std::string> termNames;
    std::vector<double> rmsNm;                                 // nm RMS, term 1 first
    std::vector<double> errorNm;                               // error bar per term; empty or NaN: none
    std::vector<std::pair<std::string, std::string>> results;  // PTV, RMS, Strehl, ...
    std::string collimation;
    std::string warningsHeading = "Avertissements";
    std::vector<std::string> warnings;
};

// HTML with the pictures as data URIs (embedded = true) or as names a QTextDocument resolves.
std::string ReportHtml(const ReportContent& content, bool embedded);

[[nodiscard]] Status WriteReportHtml(const ReportContent& content, const std::filesystem::path& file);
[[nodiscard]] Status WriteReportPdf(const ReportContent& content, const std::filesystem::path& file);
// PDF when the name ends in .pdf (any case), HTML otherwise.
[[nodiscard]] Status WriteReport(const ReportContent& content, const std::filesystem::path& file);

}  // namespace frontlys
