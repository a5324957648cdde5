#include "cli/test_report.h"

#include <CLI/CLI.hpp>
#include <cmath>

#include "analysis/test_session.h"
#include "cli/language.h"
#include "cli/pictures.h"
#include "cli/result_json.h"
#include "cli/transfer_pictures.h"
#include "cli/watch_outputs.h"
#include "core/numbers.h"

namespace frontlys::cli {
namespace {

const QSize kPlotSize(440, 330);  // smaller than the files' plots: the text stays readable on the page

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

ReportContent ReportInRunLanguage()
{
    EnsureGuiApplication();
    ReportContent c;
    c.language = CurrentLanguage() == Lang::Fr ? "fr" : "en";
    c.coefficientsHeading = Tr("Coefficients de Zernike (nm RMS)", "Zernike coefficients (nm RMS)");
    c.warningsHeading = Tr("Avertissements", "Warnings");
    return c;
}

ReportContent ReportOf(const AnalysisReport& r, const AnalysisOptions& o, const ReportOptions& ro)
{
    ReportContent c = ReportInRunLanguage();
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

}  // namespace frontlys::cli
