#pragma once
// The test in the main window as the one-page report (display/test_report.h), in the windows'
// language: its conditions, the pictures of its open image windows with the MTF and the encircled
// energy, the coefficients with their error bars when the analysis gave them, the wave-front error,
// the collimation (of a Newtonian: the window does not know the design) and the warnings.

#include "display/test_report.h"

namespace frontlys::ui {

class WindowHost;

// Empty coefficients when the test has no wavefront.
ReportContent WindowReport(WindowHost& host);

}  // namespace frontlys::ui
