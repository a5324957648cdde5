#pragma once
// The user's settings and their file prefs.txt: "Key=value" lines in a fixed order, then three
// section lines each followed by a text, every line ended by CR LF.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"

namespace frontlys {

struct Tpreferences {
    std::uint8_t PltSignal = 0;  // palettes: 0 .. 5
    std::uint8_t PltFront = 1;
    std::uint8_t PltPSF = 4;
    std::uint8_t PltInterfero = 5;
    std::uint8_t FactMultDiff = 2;  // PSF enlargement: 1, 2, 4 or 8
    std::uint8_t MasqueActif = 1;
    std::uint8_t MemOptim = 0;
    std::uint8_t NIter = 1;          // 1 .. 20
    std::uint8_t ExtractDim = 16;    // 8, 16, 32 or 64
    std::uint8_t ExtractSeuil = 50;  // percent, 0 .. 100
    std::uint8_t ExtractAuto = 1;
    double LambdaRef = 555;        // nm
    double LambdaInterfero = 555;  // nm
    std::uint8_t AjustAuto = 1;
    std::uint8_t NPolyZern = 22;  // 0 .. 28
    // The wavefront analysis: 1 the compensated analysis ("Analytique"), 0 the correction loop of
    // NIter passes ("Numérique"). Its stop value (nm RMS of an update) and cap on passes.
    std::uint8_t CorrectionAnalytique = 1;
    double ArretRMSFront = 0.02;
    std::uint8_t NPassesMax = 42;  // over all the rounds of the analytic correction (3 of 14 at most)
    // The language of the windows: 0 the locale's (French for fr_*, else English), 1 French, 2 English.
    std::uint8_t Langue = 0;
    std::uint8_t Threads = 0;  // threads of the computations, 0 = one per core
    // 1: the analytic correction keeps the typed defocus even when the image size disagrees with it
    // (it still warns); 0: it uses the scale measured on the images.
    std::uint8_t DefocusImpose = 0;
    std::string Aide;         // help home page file
    std::string Images;       // initial folder of the image dialogs
    std::string Preferences;  // folder of prefs.txt

    bool operator==(const Tpreferences&) const = default;
};

inline Tpreferences DefaultPreferences() { return {}; }

// The preferences folder joined with "prefs.txt" (a separator is added when the folder lacks one).
std::filesystem::path PrefsFilePath(const Tpreferences& prefs);

// Applies the lines of a prefs.txt text to prefs. A value that does not convert ends the reading
// (BadFormat, the keys before it stay applied). A value outside what the preferences dialog allows
// (never wrapped to 8 bits) keeps what prefs held; its key is listed in *rejected.
Status ParsePrefsText(std::string_view text,
                      Tpreferences& prefs,
                      std::vector<std::string>* rejected = nullptr);
// Reads PrefsFilePath(prefs); a missing file is NotFound and changes nothing.
Status ReadPrefs(Tpreferences& prefs, std::vector<std::string>* rejected = nullptr);

std::string FormatPrefsText(const Tpreferences& prefs);
// Writes the whole file atomically; the previous file stays intact on failure.
Status WritePrefs(const Tpreferences& prefs);

}  // namespace frontlys
