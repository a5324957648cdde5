#pragma once
// The images derived from the displayed wavefront: the PSF with its aberration-free reference, the
// interferogram and the Ronchigram. The options are those of the information window's "Options"
// page, passed in by the driver.

#include <string>

#include "analysis/commands.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"

namespace frontlys {

struct PsfOptions {
    int sizeIndex = 1;              // "x1", "x2", "x4", "x8": FactMultDiff = 2^sizeIndex (-1: none chosen)
    std::string defocusText = "0";  // PSF defocus, nm RMS, read with NumberOrZero
    bool theoretical = false;       // window shows "Théorique" instead of "Réelle"
    bool logScale = true;           // "Log" instead of "Linéaire"
};

struct FringeOptions {
    int fringes = 8;      // fringes of the interferogram, lines of the Ronchi grating (4 .. 24)
    double angleDeg = 0;  // -360 .. 360
};

// Amplitude of the interferogram's tilt plane, nm: fringes x lambdaRef / 2 (edge to centre).
double InterferogramTiltNm(int fringes, double lambdaRefNm);

// The size index the information window starts with for a FactMultDiff (2, 4, 8; anything else x1).
int PsfSizeIndexFor(int factMultDiff);

// "PSF" (a displayed wavefront needed): sets FactMultDiff, adds the PSF defocus to the displayed
// wavefront, computes both PSFs, and removes the defocus again. `progress` (here and below) receives
// the name of each step as it starts.
CommandOutcome ComputePsfCommand(TestSession& session,
                                 const PsfOptions& options,
                                 const ProgressFn& progress = {});
// "Interférogramme" (a displayed wavefront needed): fringes of a tilt of fringes x LambdaRef / 2 nm
// along the angle. The record is made anew when the wavefront's width changed.
CommandOutcome ComputeInterferogram(TestSession& session,
                                    const FringeOptions& options,
                                    const ProgressFn& progress = {});
// "Ronchigramme" (a displayed wavefront and the test parameters needed): a grating of `fringes`
// lines traced at a defocus of fringes x 0.2 mm, whatever the test's own defocus.
CommandOutcome ComputeRonchigram(TestSession& session,
                                 const FringeOptions& options,
                                 const ProgressFn& progress = {});

}  // namespace frontlys
