#pragma once
// "Recadrer", and the opening of a pair with the checks on its data and the cut of frames far
// larger than their star.
//
// A cut is a power-of-two square (at least 128, at least 2.6 r + 16) centred on the located donut,
// both images of a test getting the same side. It keeps the header, the pixel scale and the extra
// image's turn; the pupil geometry is measured again by the next extraction.

#include <filesystem>

#include "analysis/commands.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"

namespace frontlys {

// "Recadrer": cuts both images around their donuts. Needs both images; refused, with the session
// unchanged, when either shows no star.
CommandOutcome CropImages(TestSession& session, const ProgressFn& progress = {});

// Whether the pupil threshold of this frame's record takes the cells of a cut record: a frame large
// enough to be cut at opening, so that cutting or not gives the same pupil.
bool ThresholdAsCut(const OpenedFrame& frame);

enum class CropMode {
    None,  // the images are loaded as the files are, padded to a power of two
    Auto,  // a frame whose cut square is smaller than its padded record is cut while loading
};

// Reads both frames, checks them (session.Warnings receives the findings), then puts them into the
// session as "&Ouvrir les images" does. Refused, with the session unchanged, for an unreadable
// file, no star in a frame or the same frame twice.
CommandOutcome OpenPairChecked(TestSession& session,
                               const std::filesystem::path& intra,
                               const std::filesystem::path& extra,
                               CropMode crop,
                               const ProgressFn& progress = {},
                               int softwareBinning = 1);

}  // namespace frontlys
