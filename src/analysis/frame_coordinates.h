#pragma once
// Between the records of the image slots (padded or cut, the extra-focal one turned by 180 degrees,
// perhaps binned) and the frames of the files, and the pupil extraction that does not depend on
// which record the frame was given.

#include <array>

#include "analysis/commands.h"
#include "analysis/test_session.h"

namespace frontlys {

// A 1-based position of the record of `kind` (Intra or Extra) as a 1-based position of its file's
// own frame, before any turn, cut, padding or binning.
std::array<double, 2> FramePosition(const TestSession& session, ImageKind kind, double x, double y);

// Extracts both pupils as ExtractPupils does, with the threshold's reference levels taken from the
// square a cut of the frame would keep around its donut: the blocks of the threshold search
// otherwise grow with the record, so a padded camera frame set its threshold on blocks larger than
// the donut and gave a larger radius than the same star cut.
CommandOutcome ExtractPupilsOnDonutSquare(TestSession& session);

}  // namespace frontlys
