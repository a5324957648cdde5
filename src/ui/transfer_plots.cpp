#include "ui/transfer_plots.h"

#include <QCoreApplication>

#include "core/numbers.h"
#include "display/transfer_plot.h"

namespace frontlys::ui {
namespace {

std::string T(const char* text) { return QCoreApplication::translate("TransferPlots", text).toStdString(); }

// Micrometres at the focus per lambda / D; 0 without the optics.
double MicronsPerLambdaOverD(const TestSession& s)
{
    const TTestParams& p = s.Params;
    if (!(p.Focal > 0) || !(p.ApertureRadius > 0)) return 0;
    return s.Prefs.LambdaRef * 1e-3 * p.Focal / (2 * p.ApertureRadius);
}

std::vector<PlotCurve> Curves(const std::vector<double>& x,
                              double scale,
                              const std::vector<double>& measured,
                              const std::vector<double>& limit)
{
    return MeasuredBesideLimit(x,
                               scale,
                               measured,
                               limit,
                               T(QT_TRANSLATE_NOOP("TransferPlots", "mesurée")),
                               T(QT_TRANSLATE_NOOP("TransferPlots", "limite de diffraction (même pupille)")));
}

}  // namespace

Result<OpticalTransfer> TransferOf(const TestSession& session)
{
    if (!session.ImageFront)
        return Status::Fail(StatusCode::MissingInput, "Calcul de la FTM impossible.", "no wavefront");
    return ComputeOpticalTransfer(*session.ImageFront, session.Prefs.LambdaRef, 8);
}

QImage MtfPlot(const OpticalTransfer& t, const TestSession& s, QSize size)
{
    const double micron = MicronsPerLambdaOverD(s);
    const double cutoff = micron > 0 ? 1e3 / micron : 1;  // D / (lambda F) cycles per mm
    PlotSpec spec;
    spec.title = T(QT_TRANSLATE_NOOP("TransferPlots", "FTM radiale, Strehl ")) + FormatFixed(t.strehl, 3);
    spec.xLabel = micron > 0
                      ? T(QT_TRANSLATE_NOOP("TransferPlots", "fréquence au foyer (cycles/mm), coupure ")) +
                            FormatFixed(cutoff, 0)
                      : T(QT_TRANSLATE_NOOP("TransferPlots", "fréquence / coupure"));
    spec.yLabel = T(QT_TRANSLATE_NOOP("TransferPlots", "FTM"));
    spec.curves = Curves(t.frequency, cutoff, t.mtf, t.mtfDiffraction);
    spec.xMin = 0, spec.xMax = cutoff, spec.yMin = 0, spec.yMax = 1;
    spec.width = size.width(), spec.height = size.height();
    return DrawLinePlot(spec);
}

QImage EncircledEnergyPlot(const OpticalTransfer& t, const TestSession& s, QSize size)
{
    const double micron = MicronsPerLambdaOverD(s);
    const double scale = micron > 0 ? micron : 1;
    const double r80 = RadiusForEnergy(t.radius, t.encircled, 0.8);
    PlotSpec spec;
    spec.title = T(QT_TRANSLATE_NOOP("TransferPlots", "Énergie encerclée, 80 % dans ")) +
                 FormatFixed(r80 * scale, 1) + (micron > 0 ? " um" : " lambda/D");
    spec.xLabel = micron > 0 ? T(QT_TRANSLATE_NOOP("TransferPlots", "rayon au foyer (um)"))
                             : T(QT_TRANSLATE_NOOP("TransferPlots", "rayon (lambda/D)"));
    spec.yLabel = T(QT_TRANSLATE_NOOP("TransferPlots", "énergie encerclée"));
    spec.curves = Curves(t.radius, scale, t.encircled, t.encircledDiffraction);
    spec.yMin = 0, spec.yMax = 1;
    spec.width = size.width(), spec.height = size.height();
    spec.legendBelow = true;
    return DrawLinePlot(spec);
}

}  // namespace frontlys::ui
