#include "display/session_plots.h"

#include <cmath>

#include "display/line_plot.h"

namespace frontlys {

QImage SessionTrendPicture(const std::vector<SessionPoint>& points,
                           const SessionPlotTexts& texts,
                           int width,
                           int height)
{
    PlotSpec spec;
    spec.title = texts.trendTitle;
    spec.xLabel = texts.xLabel;
    spec.yLabel = "nm RMS";
    spec.width = width;
    spec.height = height;
    PlotCurve rms = MakeCurve("RMS", {}, {}, QColor(20, 20, 20), false, true);
    PlotCurve astig = MakeCurve(texts.astigmatism, {}, {}, QColor(40, 110, 200), false, true);
    PlotCurve coma = MakeCurve("coma", {}, {}, QColor(200, 60, 40), false, true);
    PlotCurve sph = MakeCurve(texts.spherical, {}, {}, QColor(40, 150, 70), false, true);
    for (const SessionPoint& p : points) {
        for (PlotCurve* c : {&rms, &astig, &coma, &sph}) c->x.push_back(p.x);
        rms.y.push_back(p.rmsNm);
        astig.y.push_back(p.astigmatismNm);
        coma.y.push_back(p.comaNm);
        sph.y.push_back(p.sphericalNm);
    }
    spec.curves = {rms, astig, coma, sph};
    return DrawLinePlot(spec);
}

QImage CollimationTrendPicture(const std::vector<SessionPoint>& points,
                               const SessionPlotTexts& texts,
                               int width,
                               int height)
{
    PlotSpec spec;
    spec.title = texts.collimationTitle;
    spec.xLabel = texts.xLabel;
    spec.yLabel = texts.angleAxis;
    spec.width = width;
    spec.height = height;
    PlotCurve angle = MakeCurve(texts.angle, {}, {}, QColor(200, 60, 40), false, true);
    for (const SessionPoint& p : points) {
        if (!std::isfinite(p.angleArcmin)) continue;
        angle.x.push_back(p.x);
        angle.y.push_back(p.angleArcmin);
    }
    spec.curves = {angle};
    return DrawLinePlot(spec);
}

}  // namespace frontlys
