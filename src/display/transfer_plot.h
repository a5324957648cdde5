#pragma once
// The curves of a transfer picture (MTF, encircled energy): the measured one over the diffraction
// limit of the same pupil, as the program and the command-line tool both draw them.

#include <string>
#include <vector>

#include "display/line_plot.h"

namespace frontlys {

// Both on the abscissa x scaled by `scale`; the names in the caller's language. The limit comes
// first, dashed, so the measured curve is drawn over it.
std::vector<PlotCurve> MeasuredBesideLimit(const std::vector<double>& x,
                                           double scale,
                                           const std::vector<double>& measuredY,
                                           const std::vector<double>& limitY,
                                           const std::string& measuredName,
                                           const std::string& limitName);

}  // namespace frontlys
