#include "ui/window_report.h"

#include <cmath>

#include <QCoreApplication>
#include <QFileInfo>

#include "analysis/results.h"
#include "core/numbers.h"
#include "engine/collimation.h"
#include "engine/zernike.h"
#include "ui/form_image.h"
#include "ui/language.h"
#include "ui/transfer_plots.h"
#include "ui/window_host.h"

namespace frontlys::ui {
namespace {

QString T(const char* text) { return QCoreApplication::translate("WindowReport", text); }
std::string S(const QString& text) { return text.toStdString(); }

void AddConditions(ReportContent& c, const TestSession& s)
{
    const auto add = [&c](const char* label, const std::string& value) {
        c.conditions.emplace_back(S(T(label)), value);
    };
    const auto name = [](const std::string& path) {
        return S(QFileInfo(QString::fromStdString(path)).fileName());
    };
    add(QT_TRANSLATE_NOOP("WindowReport", "Fichiers"), name(s.FileIntra) + " / " + name(s.FileExtra));
    if (!s.HeaderIntra.DateObs.empty())
        add(QT_TRANSLATE_NOOP("WindowReport", "Date (DATE-OBS)"), s.HeaderIntra.DateObs);
    if (!s.HeaderIntra.Telescope.empty())
        add(QT_TRANSLATE_NOOP("WindowReport", "Instrument"), s.HeaderIntra.Telescope);
    const double diameter = 2 * s.Params.ApertureRadius * 1e-6, focal = s.Params.Focal * 1e-6;
    if (diameter > 0 && focal > 0)
        add(QT_TRANSLATE_NOOP("WindowReport", "Diamètre, focale"),
            FormatGeneral(diameter) + " mm, " + FormatGeneral(focal) + " mm (F/" +
                FormatFixed(focal / diameter, 1) + ")");
    add(QT_TRANSLATE_NOOP("WindowReport", "Défocalisation"), FormatFixed(s.Params.Defocus * 1e-6, 3) + " mm");
    add(QT_TRANSLATE_NOOP("WindowReport", "Longueur d'onde"), FormatGeneral(s.Prefs.LambdaRef) + " nm");
    if (s.ImageFrontBrut)
        add(QT_TRANSLATE_NOOP("WindowReport", "Obstruction"), FormatFixed(s.ImageFrontBrut->Obstruction, 2));
    add(QT_TRANSLATE_NOOP("WindowReport", "Termes"), std::to_string(s.Basis.Count()));
}

// The open windows' pictures as shown, then the MTF and the encircled energy.
void AddPictures(ReportContent& c, WindowHost& host)
{
    struct Shown {
        ImageKind kind;
        const char* name;
        const char* caption;
    };
    static const Shown shown[] = {
        {ImageKind::Wavefront, "wavefront.png", QT_TRANSLATE_NOOP("WindowReport", "front d'onde (nm)")},
        {ImageKind::Psf, "psf.png", QT_TRANSLATE_NOOP("WindowReport", "PSF")},
        {ImageKind::Interferogram, "interferogram.png", QT_TRANSLATE_NOOP("WindowReport", "interférogramme")},
        {ImageKind::Intra, "intra.png", QT_TRANSLATE_NOOP("WindowReport", "image intra-focale")},
    };
    for (const Shown& s : shown)
        if (const TFormImage* f = host.form(s.kind); f && !f->picture().isNull())
            c.pictures.push_back({s.name, S(T(s.caption)), f->picture()});
    const TestSession& session = host.session();
    if (auto t = TransferOf(session); t.ok()) {
        const QSize size(440, 330);
        c.pictures.push_back(
            {"mtf.png", S(T(QT_TRANSLATE_NOOP("WindowReport", "FTM"))), MtfPlot(t.value(), session, size)});
        c.pictures.push_back({"encircled_energy.png",
                              S(T(QT_TRANSLATE_NOOP("WindowReport", "énergie encerclée"))),
                              EncircledEnergyPlot(t.value(), session, size)});
    }
}

std::string CollimationText(const ZernikeCoefficients& rms, const TestSession& s)
{
    DesignOptics d;
    d.diameterMm = 2 * s.Params.ApertureRadius * 1e-6, d.focalMm = s.Params.Focal * 1e-6;
    d.obstruction = s.ImageFrontBrut ? s.ImageFrontBrut->Obstruction : 0;
    const Collimation c = CollimationFromComa(rms[6], rms[7], d);
    if (!c.valid) return "-";
    QString angle = std::isfinite(c.fieldAngleRad) ? QStringLiteral("%1' (%2 um)")
                                                         .arg(c.fieldAngleRad / kArcmin, 0, 'f', 2)
                                                         .arg(c.offsetUm, 0, 'f', 0)
                                                   : QStringLiteral("W131 %1 nm").arg(c.w131Nm, 0, 'f', 0);
    return S(T(QT_TRANSLATE_NOOP("WindowReport", "%1 vers %2° (côté brillant), newtonien supposé"))
                 .arg(angle)
                 .arg(c.positionAngleDeg, 0, 'f', 0));
}

}  // namespace

ReportContent WindowReport(WindowHost& host)
{
    TestSession& s = host.session();
    ReportContent c;
    c.language = CurrentLanguage() == UiLanguage::French ? "fr" : "en";
    c.coefficientsHeading = S(T(QT_TRANSLATE_NOOP("WindowReport", "Coefficients de Zernike (nm RMS)")));
    c.warningsHeading = S(T(QT_TRANSLATE_NOOP("WindowReport", "Avertissements")));
    c.title = S(T(QT_TRANSLATE_NOOP("WindowReport", "Rapport de test : ")) +
                QFileInfo(QString::fromStdString(s.FileIntra)).fileName());
    AddConditions(c, s);
    AddPictures(c, host);
    for (const Note& warning : s.Warnings) c.warnings.push_back(S(NoteText(warning)));
    if (!s.ImageFront) return c;
    const WaveError e = ShowResults(s.ImageFront.get(), s.Prefs.LambdaRef);
    c.results = {{"PTV", e.ptvText + "  " + e.ptvWaves},
                 {"RMS", e.rmsText + "  " + e.rmsWaves},
                 {"Strehl", e.strehlText}};
    const ZernikeCoefficients rms = CoefToRms(s.Basis, s.CoefFront);
    bool bars = false;
    for (int k = 1; k <= s.Basis.Count(); ++k) {
        c.termNames.emplace_back(ZernikeName(k));
        c.rmsNm.push_back(rms[k - 1]);
        c.errorNm.push_back(s.SigmaFront[k - 1] > 0 ? s.SigmaFront[k - 1] : std::nan(""));
        bars = bars || s.SigmaFront[k - 1] > 0;
    }
    if (!bars) c.errorNm.clear();
    if (s.Basis.Count() >= 8) c.collimation = CollimationText(rms, s);
    return c;
}

}  // namespace frontlys::ui
