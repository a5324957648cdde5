#pragma once
// Between the records of the image slots (padded or cut, the extra-focal one turned by 180 degrees,
// perhaps binned) and the frames of the files.

#include <array>

#include "analysis/test_session.h"

namespace frontlys {

// A 1-based position of the record of `kind` (Intra or Extra) as a 1-based position of its file's
// own frame, before any turn, cut, padding or binning.
std::array<double, 2> FramePosition(const TestSession& session, ImageKind kind, double x, double y);

}  // namespace frontlys
