#pragma once
// "&Fichier" commands that open the images of a test or start a new one: the only way a test's
// images come in, for the main window, the command-line tool and the tests alike. The driver chooses
// the files (and handles a cancelled dialog by not calling); a file that cannot be read leaves the
// slot, its header, its window and the test parameters exactly as they were.
//
// Each file is read once: the session keeps the frame as read with what the checks measured on it
// (OpenedFrame), and the record of the image slot is made from that frame.

#include <array>
#include <filesystem>
#include <optional>

#include "analysis/commands.h"
#include "analysis/crop_command.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"

namespace frontlys {

// A file read for a test: its frame, measured, and its header.
struct FileForTest {
    OpenedFrame frame;
    TFitsHeader header;
};

// Reads plane 1 of the file and measures it; softwareBinning > 1 sums the pixels in blocks of that
// side (prep/binning.h) once the frame is cleaned. Refused as the loader refuses, or for a binning
// that leaves too small a frame, the file named in the reason.
Result<FileForTest> ReadForTest(const std::filesystem::path& file, int softwareBinning = 1);
// Both files of a pair, each read and measured on its own thread of the shared pool: the same
// results as two ReadForTest calls.
std::array<Result<FileForTest>, 2> ReadPairForTest(const std::filesystem::path& intra,
                                                   const std::filesystem::path& extra,
                                                   int softwareBinning = 1);

// Reads the intra-focal image (Kind 0) and takes the focal length (mm x 1 000 000) and the
// aperture radius (diameter in mm x 500 000) of the test from its header.
CommandOutcome OpenIntra(TestSession& session, const std::filesystem::path& file);
// Reads the extra-focal image (Kind 1) and turns it by 180 degrees; the test parameters stay.
CommandOutcome OpenExtra(TestSession& session, const std::filesystem::path& file);
// Puts a file the caller has read into the test as opening it does: the record (made from the
// frame) in its slot, the extra-focal record turned by 180 degrees, the frame, header and file name
// kept, the intra header's focal length and diameter taken.
CommandOutcome InstallOpened(TestSession& session,
                             ImageKind kind,
                             ImageSlot record,
                             FileForTest read,
                             const std::filesystem::path& file);
// Both images at once: read, checked (session.Warnings receives the findings) and cut by `crop`
// (crop_command.h). A pair that cannot be measured (no star, the same frame twice) opens nothing;
// when a file cannot be read, each is opened on its own, which keeps the readable one. `progress`
// (here and below) receives the name of each step as it starts. softwareBinning: as ReadForTest (the
// command-line tool's option; the window's dialog only states it).
CommandOutcome OpenPair(TestSession& session,
                        const std::filesystem::path& intra,
                        const std::filesystem::path& extra,
                        CropMode crop,
                        const ProgressFn& progress = {},
                        int softwareBinning = 1);
// What opening ends with: with ExtractAuto and both windows open, extracts, co-centres and computes
// the signal. Nothing otherwise.
CommandOutcome PreparePair(TestSession& session, const ProgressFn& progress = {});
// "&Ouvrir les images": opens each image whose window does not exist yet (a missing file choice is
// a cancelled dialog; both files with no window open go through OpenPair), then PreparePair.
CommandOutcome OpenBoth(TestSession& session,
                        const std::optional<std::filesystem::path>& intra,
                        const std::optional<std::filesystem::path>& extra,
                        CropMode crop = CropMode::Auto,
                        const ProgressFn& progress = {});
// "Nouveau test": releases every image, frame and window, zeroes the test parameters and clears
// ParamsSaisis and the intra header's pixel size and binning. Coefficients, preferences and the
// simulation parameters stay.
CommandOutcome NewTest(TestSession& session);

}  // namespace frontlys
