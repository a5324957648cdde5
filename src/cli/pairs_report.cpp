#include "cli/pairs_report.h"

#include <cmath>

#include "cli/language.h"
#include "cli/watch_outputs.h"
#include "core/numbers.h"
#include "display/line_plot.h"
#include "engine/zernike.h"

namespace frontlys::cli {
namespace {

std::string Fixed(double v, int decimals) { return std::isfinite(v) ? FormatFixed(v, decimals) : "-"; }

// The mean of each term from 4 on (piston and tilts say nothing of the optics) with its error bar.
QImage MeanPicture(const PairAverage& a)
{
    PlotCurve mean = MakeCurve(Tr("moyenne ± erreur de la moyenne", "mean ± error of the mean"),
                               {},
                               {},
                               QColor(200, 40, 30),
                               false,
                               true);
    for (std::size_t k = 4; k <= a.meanRmsNm.size(); ++k) {
        mean.x.push_back(double(k));
        mean.y.push_back(a.meanRmsNm[k - 1]);
        mean.error.push_back(k - 1 < a.meanSigmaRmsNm.size() ? a.meanSigmaRmsNm[k - 1] : std::nan(""));
    }
    PlotCurve zero = MakeCurve({}, {3.5, a.meanRmsNm.size() + 0.5}, {0, 0}, Qt::gray, true);
    PlotSpec spec;
    spec.title = Tr("Coefficients moyens sur ", "Mean coefficients over ") + std::to_string(a.kept) +
                 Tr(" paires", " pairs");
    spec.xLabel = Tr("terme de Zernike", "Zernike term");
    spec.yLabel = "nm RMS";
    spec.curves = {zero, mean};
    spec.xMin = 3.5, spec.xMax = a.meanRmsNm.size() + 0.5;
    spec.width = 640, spec.height = 330;
    return DrawLinePlot(spec);
}

void AddConditions(ReportContent& c, const std::vector<ReportedPair>& pairs, const PairAverage& a)
{
    int analysed = 0;
    std::string names;
    for (const ReportedPair& p : pairs) {
        analysed += p.report != nullptr;
        names += (names.empty() ? "" : "; ") + p.name;
    }
    c.conditions.emplace_back(Tr("Paires", "Pairs"),
                              std::to_string(pairs.size()) + Tr(" données, ", " given, ") +
                                  std::to_string(analysed) + Tr(" analysées, ", " analysed, ") +
                                  std::to_string(a.kept) + Tr(" gardées", " kept"));
    c.conditions.emplace_back(Tr("Fichiers", "Files"), names);
    for (const ReportedPair& p : pairs) {
        if (!p.report) continue;
        const AnalysisReport& r = *p.report;
        c.conditions.emplace_back(Tr("Diamètre, focale", "Diameter, focal length"),
                                  FormatGeneral(r.diameterMm) + " mm, " + FormatGeneral(r.focalMm) +
                                      " mm (F/" + FormatFixed(r.focalMm / r.diameterMm, 1) + ")");
        c.conditions.emplace_back(Tr("Longueur d'onde", "Wavelength"), FormatGeneral(r.lambdaNm) + " nm");
        c.conditions.emplace_back("Correction",
                                  r.correction + ", " + std::to_string(r.npoly) + Tr(" termes", " terms"));
        return;  // the optics of the first pair analysed: the set's checks warn when the others differ
    }
}

}  // namespace

ReportContent PairsReport(const std::vector<ReportedPair>& pairs,
                          const PairAverage& a,
                          const std::vector<std::string>& warnings,
                          const ReportOptions& options)
{
    ReportContent c = ReportInRunLanguage();
    c.title =
        Tr("Rapport de test : ", "Test report: ") + std::to_string(pairs.size()) + Tr(" paires", " pairs");
    AddConditions(c, pairs, a);
    c.pictures.push_back({"mean.png", Tr("coefficients moyens", "mean coefficients"), MeanPicture(a)});
    c.pictureWidth = 460, c.picturesPerRow = 1;
    for (std::size_t k = 1; k <= a.meanRmsNm.size(); ++k) c.termNames.emplace_back(ZernikeName(int(k)));
    c.rmsNm = a.meanRmsNm;
    c.errorNm = a.meanSigmaRmsNm;
    const AnalysisReport* first = nullptr;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const ReportedPair& p = pairs[i];
        if (!p.report) continue;
        if (!first) first = p.report;
        const bool bars = !p.report->zernikeSigmaNm.empty();
        c.results.emplace_back(Tr("Paire ", "Pair ") + std::to_string(i + 1),
                               "RMS " + Fixed(p.report->rmsNm, 1) +
                                   (bars ? " ± " + Fixed(p.report->rmsSigmaNm, 1) : "") + " nm, Strehl " +
                                   Fixed(p.report->strehl, 3) +
                                   (a.rejected[i] ? Tr(" (écartée)", " (set aside)") : ""));
    }
    if (first && a.meanRmsNm.size() >= 8) {
        DesignOptics d = options.design;
        d.diameterMm = first->diameterMm, d.focalMm = first->focalMm, d.obstruction = first->obstruction;
        c.collimation =
            CollimationText(CollimationFromComa(a.meanRmsNm[6], a.meanRmsNm[7], d), d.design, false) +
            Tr(" (coma moyenne)", " (mean coma)");
    }
    c.warnings = warnings;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (!pairs[i].report)
            c.warnings.push_back(Tr("Paire ", "Pair ") + std::to_string(i + 1) +
                                 Tr(" refusée : ", " refused: ") + pairs[i].refusal);
        else if (a.rejected[i])
            c.warnings.push_back(Tr("Paire ", "Pair ") + std::to_string(i + 1) +
                                 Tr(" écartée (loin de la médiane des termes 5 à 22)",
                                    " set aside (far from the median of terms 5 to 22)"));
    }
    return c;
}

}  // namespace frontlys::cli
