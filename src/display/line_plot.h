#pragma once
// A plain line plot on a QImage: curves over linear axes with round ticks, a title, axis labels and
// a legend. The MTF, the encircled energy and the trends of a session are drawn with it. Text needs
// a QGuiApplication (the offscreen platform will do).

#include <string>
#include <vector>

#include <QColor>
#include <QImage>

namespace frontlys {

struct PlotCurve {
    std::string name;  // in the legend; empty: not listed
    std::vector<double> x, y;
    QColor colour = Qt::black;
    bool dashed = false;
    bool markers = false;       // a dot at each point (sparse data such as one value per pair)
    std::vector<double> error;  // +- bar at each point when the same size as y
};

inline PlotCurve MakeCurve(std::string name,
                           std::vector<double> x,
                           std::vector<double> y,
                           QColor colour,
                           bool dashed = false,
                           bool markers = false)
{
    PlotCurve c;
    c.name = std::move(name), c.x = std::move(x), c.y = std::move(y), c.colour = colour;
    c.dashed = dashed, c.markers = markers;
    return c;
}

struct PlotSpec {
    std::string title;
    std::string xLabel, yLabel;
    std::vector<PlotCurve> curves;
    // Ranges; when lo >= hi the range is taken from the data (y from 0 when every value is positive).
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    int width = 640, height = 420;
    bool legendBelow = false;  // legend in the lower right corner instead of the upper one
};

// A null image when the size is not positive or memory runs out.
QImage DrawLinePlot(const PlotSpec& spec);

// The step between ticks, 1, 2 or 5 times a power of ten, for about `ticks` intervals over span.
double TickStep(double span, int ticks);

}  // namespace frontlys
