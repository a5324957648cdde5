#pragma once
// Warnings that an analysis raises about its own answer (the checks on the data come before it, in
// data_checks): each with a stable code, in session.Warnings beside the checks, so the JSON, the
// summary and the information window carry them as they carry the checks.

#include <optional>
#include <vector>

#include "analysis/test_session.h"

namespace frontlys {

// What decides the caustic advice: the smallest Jacobian the loop kept and, when the user gave a
// defocus, how it compares with the image scale.
struct CausticFacts {
    double minJacobian = 0;
    double defocusNm = 0;  // of the answer kept
    bool scaleChecked = false;
    bool scaleMismatched = false;
    bool keptGivenDefocus = false;
    double measuredDefocusNm = 0;
};

// "caustic": the loop stopped before its rays crossed. When the answer rests on a defocus that the
// image size contradicts, the advice is to check that value; otherwise the images are too close to
// focus for this aberration, and the advice is a longer defocus, with how much.
Note CausticWarning(const CausticFacts& facts);

// "geometry_mismatch": the image scale disagrees with the given defocus.
Note GeometryMismatchWarning(
    double givenDefocusNm, double measuredDefocusNm, double givenRhoPx, double measuredRhoPx, bool keptGiven);

// "numeric_obstruction": the numeric correction under an obstruction of 0.3 or more. None below.
std::optional<Note> NumericObstructionWarning(double obstruction);

// Replaces the warnings a previous analysis raised (the codes above) by `fresh`; the data checks stay.
void SetAnalysisWarnings(TestSession& session, std::vector<Note> fresh);

}  // namespace frontlys
