#include "display/test_report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include "core/atomic_write.h"
#include "core/numbers.h"

namespace frontlys {
namespace {

constexpr int kPdfDpi = 96;

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string DataUri(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "data:image/png;base64," + bytes.toBase64().toStdString();
}

}  // namespace

std::string ReportHtml(const ReportContent& c, bool embedded)
{
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html lang=\"" << Escape(c.language) << "\"><head><meta charset=\"utf-8\"><title>"
      << Escape(c.title) << "</title>\n"
      << "<style>body{font-family:sans-serif;font-size:10pt;margin:12px;max-width:760px}"
         "table{border-collapse:collapse}td,th{padding:1px 6px;text-align:left}"
         "td.n{text-align:right}h1{font-size:14pt;margin:0 0 6px}h2{font-size:11pt;margin:8px 0 2px}"
         "img{border:1px solid #ccc}</style></head><body>\n";
    h << "<h1>" << Escape(c.title) << "</h1>\n<table>";
    for (const auto& [label, value] : c.conditions)
        h << "<tr><th>" << Escape(label) << "</th><td>" << Escape(value) << "</td></tr>";
    for (const auto& [label, value] : c.results)
        h << "<tr><th>" << Escape(label) << "</th><td><b>" << Escape(value) << "</b></td></tr>";
    if (!c.collimation.empty()) h << "<tr><th>Collimation</th><td>" << Escape(c.collimation) << "</td></tr>";
    h << "</table>\n<table>";
    for (std::size_t i = 0; i < c.pictures.size(); ++i) {
        const ReportPicture& p = c.pictures[i];
        if (i % std::max(1, c.picturesPerRow) == 0) h << (i ? "</tr>" : "") << "<tr>";
        const int height =
            p.image.width() > 0 ? c.pictureWidth * p.image.height() / p.image.width() : c.pictureWidth;
        h << "<td><img src=\"" << (embedded ? DataUri(p.image) : p.name) << "\" width=\"" << c.pictureWidth
          << "\" height=\"" << height << "\" alt=\"" << Escape(p.caption) << "\"></td>";
    }
    h << (c.pictures.empty() ? "" : "</tr>") << "</table>\n";
    h << "<h2>" << Escape(c.coefficientsHeading) << "</h2>\n<table>";
    const bool errors = c.errorNm.size() == c.rmsNm.size();
    const std::size_t rows = (c.rmsNm.size() + 2) / 3;
    for (std::size_t row = 0; row < rows; ++row) {
        h << "<tr>";
        for (std::size_t col = 0; col < 3; ++col) {
            const std::size_t k = col * rows + row;
            if (k >= c.rmsNm.size()) break;
            const std::string name = k < c.termNames.size() ? c.termNames[k] : "";
            h << "<td>Z" << k + 1 << " " << Escape(name) << "</td><td class=\"n\">"
              << FormatFixed(c.rmsNm[k], 1);
            if (errors && std::isfinite(c.errorNm[k])) h << " &plusmn; " << FormatFixed(c.errorNm[k], 1);
            h << "</td>";
        }
        h << "</tr>";
    }
    h << "</table>\n";
    if (!c.warnings.empty()) {
        h << "<h2>" << Escape(c.warningsHeading) << "</h2><ul>";
        for (const std::string& w : c.warnings) h << "<li>" << Escape(w) << "</li>";
        h << "</ul>\n";
    }
    h << "</body></html>\n";
    return h.str();
}

Status WriteReportHtml(const ReportContent& c, const std::filesystem::path& file)
{
    return WriteFileAtomically(file, ReportHtml(c, true));
}

Status WriteReportPdf(const ReportContent& c, const std::filesystem::path& file)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfDpi);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        writer.setTitle(QString::fromStdString(c.title));
        QTextDocument doc;
        for (const ReportPicture& p : c.pictures)
            doc.addResource(QTextDocument::ImageResource, QUrl(QString::fromStdString(p.name)), p.image);
        doc.setHtml(QString::fromStdString(ReportHtml(c, false)));
        const QRect page(0, 0, writer.width(), writer.height());
        doc.setTextWidth(page.width());
        // One page: a document taller than the page is drawn smaller.
        const double scale = std::min(1.0, page.height() / doc.size().height());
        QPainter painter;
        if (!painter.begin(&writer))
            return Status::Fail(StatusCode::IoError, "Écriture impossible", file.string() + ": PDF");
        painter.scale(scale, scale);
        doc.drawContents(&painter);
        painter.end();
    }
    if (bytes.isEmpty())
        return Status::Fail(StatusCode::IoError, "Écriture impossible", file.string() + ": empty PDF");
    return WriteFileAtomically(file, std::string_view(bytes.constData(), bytes.size()));
}

Status WriteReport(const ReportContent& c, const std::filesystem::path& file)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char ch) {
        return static_cast<char>(std::tolower(ch));
    });
    return extension == ".pdf" ? WriteReportPdf(c, file) : WriteReportHtml(c, file);
}

}  // namespace frontlys
