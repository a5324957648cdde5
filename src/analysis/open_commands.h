#pragma once
// "&Fichier" commands that open the images of a test or start a new one. The driver chooses the
// files (and handles a cancelled dialog by not calling); a file that cannot be read leaves the
// slot, its header, its window and the test parameters exactly as they were.

#include <filesystem>
#include <optional>

#include "analysis/commands.h"
#include "analysis/test_session.h"

namespace frontlys {

// Reads the intra-focal image (Kind 0) and takes the focal length (mm x 1 000 000) and the
// aperture radius (diameter in mm x 500 000) of the test from its header.
CommandOutcome OpenIntra(TestSession& session, const std::filesystem::path& file);
// Reads the extra-focal image (Kind 1) and turns it by 180 degrees; the test parameters stay.
CommandOutcome OpenExtra(TestSession& session, const std::filesystem::path& file);
// Puts an image the caller has read into the test as opening it does: the extra-focal image turned
// by 180 degrees, the file name kept, the intra header's focal length and diameter taken.
CommandOutcome InstallOpened(TestSession& session,
                             ImageKind kind,
                             ImageSlot image,
                             TFitsHeader header,
                             const std::filesystem::path& file);
// "&Ouvrir les images": opens each image whose window does not exist yet (a missing file choice is
// a cancelled dialog), then, with ExtractAuto and both windows open, extracts, co-centres and
// computes the signal.
CommandOutcome OpenBoth(TestSession& session,
                        const std::optional<std::filesystem::path>& intra,
                        const std::optional<std::filesystem::path>& extra);
// "Nouveau test": releases every image and window, zeroes the test parameters and clears
// ParamsSaisis and the intra header's pixel size and binning. Coefficients, preferences and the
// simulation parameters stay.
CommandOutcome NewTest(TestSession& session);

}  // namespace frontlys
