#include "cli/test_report.h"

#include <CLI/CLI.hpp>
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

#include "analysis/test_session.h"
#include "cli/language.h"
#include "cli/pictures.h"
#include "cli/result_json.h"
#include "cli/transfer_pictures.h"
#include "cli/watch_outputs.h"
#include "core/atomic_write.h"
#include "core/numbers.h"

namespace frontlys::cli {
namespace {

constexpr int kPdfDpi = 96;
const QSize kPlotSize(440, 330);  // smaller than the files' plots: the text stays readable on the page

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

void AddPicture(ReportContent& c,
                TImageRec* image,
                const Tpreferences& prefs,
                const char* name,
                const char* fr,
                const char* en,
                bool log)
{
    if (!image) return;
    auto picture = ComposePicture(*image, prefs, {Tr(fr, en), log});
    if (picture.ok()) c.pictures.push_back({name, Tr(fr, en), picture.take()});
}

void AddConditions(ReportContent& c, const AnalysisReport& r, const AnalysisOptions& o)
{
    const TestSession& s = *r.session;
    const auto add = [&c](const char* fr, const char* en, std::string value) {
        c.conditions.emplace_back(Tr(fr, en), std::move(value));
    };
    add("Fichiers", "Files", o.intra.filename().string() + " / " + o.extra.filename().string());
    if (!s.HeaderIntra.DateObs.empty()) add("Date (DATE-OBS)", "Date (DATE-OBS)", s.HeaderIntra.DateObs);
    if (!s.HeaderIntra.Telescope.empty()) add("Instrument", "Telescope", s.HeaderIntra.Telescope);
    add("Diamètre, focale",
        "Diameter, focal length",
        FormatGeneral(r.diameterMm) + " mm, " + FormatGeneral(r.focalMm) + " mm (F/" +
            FormatFixed(r.focalMm / r.diameterMm, 1) + ")");
    add("Pixel, binning",
        "Pixel, binning",
        FormatGeneral(r.pixelUm) + " um, " + std::to_string(r.binning) + " x " +
            std::to_string(r.softwareBinning));
    add("Défocalisation",
        "Defocus",
        FormatFixed(r.defocusMm, 3) + " mm" +
            (r.defocusComputed ? Tr(" (depuis les rayons)", " (from the radii)") : ""));
    add("Longueur d'onde", "Wavelength", FormatGeneral(r.lambdaNm) + " nm");
    add("Obstruction", "Obstruction", FormatFixed(r.obstruction, 2));
    add("Correction",
        "Correction",
        r.correction + ", NIter " + std::to_string(r.niter) + ", " + std::to_string(r.npoly) +
            Tr(" termes", " terms"));
}

}  // namespace

std::optional<ReportOptions> ReportFlags::Requested() const
{
    if (!report) return std::nullopt;
    ReportOptions o;
    o.design.design = DesignNamed(design);
    o.design.magnification = magnification;
    o.design.backFocusMm = backFocusMm;
    o.design.fieldComaFactor = fieldComa.value_or(o.design.design == TelescopeDesign::Refractor ? 0 : 1);
    return o;
}

std::shared_ptr<ReportFlags> AddReportOptions(CLI::App& cmd)
{
    auto flags = std::make_shared<ReportFlags>();
    cmd.add_flag("--report", flags->report, "Also write the one-page report.html and report.pdf into --out");
    cmd.add_option("--design",
                   flags->design,
                   "Design for the collimation: newtonian (default), cassegrain, sct, refractor")
        ->check(CLI::IsMember({"newtonian", "cassegrain", "sct", "refractor"}));
    cmd.add_option(
        "--magnification", flags->magnification, "Secondary magnification F / f1 (cassegrain, sct)");
    cmd.add_option(
        "--back-focus", flags->backFocusMm, "Final focus behind the primary, mm (cassegrain, sct)");
    cmd.add_option("--field-coma",
                   flags->fieldComa,
                   "Field coma over a paraboloid's of the same focal ratio (default 1; refractor 0)");
    return flags;
}

ReportContent ReportOf(const AnalysisReport& r, const AnalysisOptions& o, const ReportOptions& ro)
{
    ReportContent c;
    c.title = Tr("Rapport de test : ", "Test report: ") + o.intra.filename().string();
    if (r.session) {
        TestSession& s = *r.session;
        AddConditions(c, r, o);
        AddPicture(
            c, s.ImageFront.get(), s.Prefs, "wavefront.png", "front d'onde (nm)", "wavefront (nm)", false);
        AddPicture(c, s.ImagePSF.get(), s.Prefs, "psf.png", "PSF, échelle log", "PSF, log scale", true);
        AddPicture(c,
                   s.ImageInterfero.get(),
                   s.Prefs,
                   "interferogram.png",
                   "interférogramme",
                   "interferogram",
                   false);
        if (auto t = TransferOf(r); t.ok()) {
            c.pictures.push_back({"mtf.png",
                                  Tr("FTM", "MTF"),
                                  MtfPicture(t.value(), r, o.intra.filename().string(), kPlotSize)});
            c.pictures.push_back(
                {"encircled_energy.png",
                 Tr("énergie encerclée", "encircled energy"),
                 EncircledEnergyPicture(t.value(), r, o.intra.filename().string(), kPlotSize)});
        }
        AddPicture(
            c, s.ImageIntra.get(), s.Prefs, "intra.png", "image intra-focale", "intra-focal image", false);
    }
    c.termNames = r.termNames;
    c.rmsNm = r.zernikeRmsNm;
    c.results = {{"PTV", r.ptvText + "  " + r.ptvWaves},
                 {"RMS", r.rmsText + "  " + r.rmsWaves},
                 {"Strehl", r.strehlText}};
    DesignOptics d = ro.design;
    d.diameterMm = r.diameterMm, d.focalMm = r.focalMm, d.obstruction = r.obstruction;
    if (r.zernikeRmsNm.size() >= 8)
        c.collimation =
            CollimationText(CollimationFromComa(r.zernikeRmsNm[6], r.zernikeRmsNm[7], d), d.design, false);
    c.warnings = RunWarnings(r);
    return c;
}

std::string ReportHtml(const ReportContent& c, bool embedded)
{
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html lang=\"" << (CurrentLanguage() == Lang::Fr ? "fr" : "en")
      << "\"><head><meta charset=\"utf-8\"><title>" << Escape(c.title) << "</title>\n"
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
    h << "<h2>" << Tr("Coefficients de Zernike (nm RMS)", "Zernike coefficients (nm RMS)")
      << "</h2>\n<table>";
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
        h << "<h2>" << Tr("Avertissements", "Warnings") << "</h2><ul>";
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
    EnsureGuiApplication();
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

}  // namespace frontlys::cli
