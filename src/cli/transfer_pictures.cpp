#include "cli/transfer_pictures.h"

#include <cmath>
#include <numbers>

#include "analysis/test_session.h"
#include "cli/language.h"
#include "cli/pictures.h"
#include "core/numbers.h"
#include "display/bitmap_files.h"
#include "display/line_plot.h"
#include "display/transfer_plot.h"

namespace frontlys::cli {
namespace {

std::vector<PlotCurve> Curves(const std::vector<double>& x,
                              double scale,
                              const std::vector<double>& measuredY,
                              const std::vector<double>& limitY)
{
    return MeasuredBesideLimit(x,
                               scale,
                               measuredY,
                               limitY,
                               Tr("mesurée", "measured"),
                               Tr("limite de diffraction (même pupille)", "diffraction limit (same pupil)"));
}

}  // namespace

Result<OpticalTransfer> TransferOf(const AnalysisReport& report)
{
    if (!report.session || !report.session->ImageFront)
        return Status::Fail(StatusCode::MissingInput, "Calcul de la FTM impossible.", "no wavefront");
    return ComputeOpticalTransfer(*report.session->ImageFront, report.lambdaNm, 8);
}

double MicronsPerLambdaOverD(const AnalysisReport& report)
{
    if (!(report.diameterMm > 0) || !(report.focalMm > 0)) return 0;
    return report.lambdaNm * 1e-3 * report.focalMm / report.diameterMm;
}

QImage MtfPicture(const OpticalTransfer& t, const AnalysisReport& r, const std::string& source, QSize size)
{
    EnsureGuiApplication();
    // Cutoff D / (lambda F) cycles per mm at the focus; without the optics, fractions of it.
    const double micron = MicronsPerLambdaOverD(r);
    const double cutoff = micron > 0 ? 1e3 / micron : 1;
    PlotSpec spec;
    spec.title = source + Tr(" : FTM radiale, Strehl ", " : radial MTF, Strehl ") + FormatFixed(t.strehl, 3);
    spec.xLabel = micron > 0 ? Tr("fréquence au foyer (cycles/mm), coupure ",
                                  "frequency at focus (cycles/mm), cutoff ") +
                                   FormatFixed(cutoff, 0)
                             : Tr("fréquence / coupure", "frequency / cutoff");
    spec.yLabel = Tr("FTM", "MTF");
    spec.curves = Curves(t.frequency, cutoff, t.mtf, t.mtfDiffraction);
    spec.xMin = 0, spec.xMax = cutoff, spec.yMin = 0, spec.yMax = 1;
    spec.width = size.width(), spec.height = size.height();
    return DrawLinePlot(spec);
}

QImage EncircledEnergyPicture(const OpticalTransfer& t,
                              const AnalysisReport& r,
                              const std::string& source,
                              QSize size)
{
    EnsureGuiApplication();
    const double micron = MicronsPerLambdaOverD(r);
    const double scale = micron > 0 ? micron : 1;
    const double r80 = RadiusForEnergy(t.radius, t.encircled, 0.8);
    const double arcsec =
        r.diameterMm > 0 ? r.lambdaNm * 1e-6 / r.diameterMm * 180 / std::numbers::pi * 3600 : 0;
    PlotSpec spec;
    spec.title = source + Tr(" : énergie encerclée, 80 % dans ", " : encircled energy, 80 % within ") +
                 FormatFixed(r80 * scale, 1) + (micron > 0 ? " um" : " lambda/D") +
                 (arcsec > 0 ? " (" + FormatFixed(r80 * arcsec, 2) + "\")" : "");
    spec.xLabel = micron > 0 ? Tr("rayon au foyer (um)", "radius at focus (um)")
                             : Tr("rayon (lambda/D)", "radius (lambda/D)");
    spec.yLabel = Tr("énergie encerclée", "encircled energy");
    spec.curves = Curves(t.radius, scale, t.encircled, t.encircledDiffraction);
    spec.yMin = 0, spec.yMax = 1;
    spec.width = size.width(), spec.height = size.height();
    spec.legendBelow = true;
    return DrawLinePlot(spec);
}

Status WriteTransferPictures(const AnalysisReport& report, const std::string& source, const OutputSet& set)
{
    if (!report.session || !report.session->ImageFront) return Status::Ok();
    auto transfer = TransferOf(report);
    if (!transfer.ok()) return transfer.status();
    if (Status s = SavePng(MtfPicture(transfer.value(), report, source), set.Staged("mtf.png")); !s.ok())
        return s;
    return SavePng(EncircledEnergyPicture(transfer.value(), report, source),
                   set.Staged("encircled_energy.png"));
}

}  // namespace frontlys::cli
