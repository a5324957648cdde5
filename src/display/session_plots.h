#pragma once
// The pictures of a session at the telescope: the RMS, astigmatism, coma and spherical of each pair
// over the session, and the collimation angle it implies. Shared by the session window and the
// command-line tool's watch, which fill the texts in their own language.

#include <string>
#include <vector>

#include <QImage>

namespace frontlys {

struct SessionPoint {
    double x = 0;  // minutes since the session began, or the pair's number
    double rmsNm = 0, astigmatismNm = 0, comaNm = 0, sphericalNm = 0;
    double angleArcmin = 0;  // NaN: no angle for this pair (no measurable coma, no field coma)
};

struct SessionPlotTexts {
    std::string trendTitle, collimationTitle;
    std::string xLabel;  // "time (min)" or "pair", as the points' x
    std::string astigmatism, spherical, angleAxis, angle;
};

QImage SessionTrendPicture(const std::vector<SessionPoint>& points,
                           const SessionPlotTexts& texts,
                           int width = 640,
                           int height = 420);
QImage CollimationTrendPicture(const std::vector<SessionPoint>& points,
                               const SessionPlotTexts& texts,
                               int width = 640,
                               int height = 420);

}  // namespace frontlys
