#include "display/transfer_plot.h"

namespace frontlys {
namespace {

const QColor kMeasured(200, 40, 30);
const QColor kLimit(40, 70, 160);

}  // namespace

std::vector<PlotCurve> MeasuredBesideLimit(const std::vector<double>& x,
                                           double scale,
                                           const std::vector<double>& measuredY,
                                           const std::vector<double>& limitY,
                                           const std::string& measuredName,
                                           const std::string& limitName)
{
    PlotCurve measured = MakeCurve(measuredName, {}, measuredY, kMeasured);
    PlotCurve limit = MakeCurve(limitName, {}, limitY, kLimit, true);
    for (double v : x) measured.x.push_back(v * scale);
    limit.x = measured.x;
    return {limit, measured};
}

}  // namespace frontlys
