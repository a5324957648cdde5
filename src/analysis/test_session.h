#pragma once
// The state of the current test, owned by whoever drives the commands (the main window or the
// command-line tool): the image slots, the two coefficient sets of the last fits, the term selection
// of the displayed wavefront, the test parameters and the two FITS headers, the preferences, the
// Zernike basis in use and the simulation parameters.
//
// Windows are not part of the model, but some commands depend on which image windows exist ("open
// both" skips an image already shown, "Redimensionner" needs both pupil windows). The session
// therefore records which kinds have a window: a command that shows an image opens its kind here and
// the driver creates the window; "Nouveau test" closes them all.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/data_checks.h"
#include "analysis/note.h"
#include "analysis/test_params.h"
#include "core/image_rec.h"
#include "engine/test_geometry.h"
#include "engine/zernike.h"
#include "files/fits_header.h"
#include "files/prefs.h"

namespace frontlys {

// The fixed term selections of the commands (index k - 1 for term k), used with AddZernikeTerms.
inline constexpr ZernikeSelection MakeSelection(std::uint8_t all, int index, std::uint8_t value)
{
    ZernikeSelection s{};
    for (auto& b : s) b = all;
    if (index >= 0) s[static_cast<std::size_t>(index)] = value;
    return s;
}
inline constexpr ZernikeSelection MasqueAjustement = MakeSelection(1, -1, 0);     // fit every term
inline constexpr ZernikeSelection MasqueAjoutDefocus = MakeSelection(0, 3, 1);    // add the PSF defocus
inline constexpr ZernikeSelection MasqueRetraitDefocus = MakeSelection(1, 3, 0);  // remove it (sign -1)
// Removes piston, the two tilts and defocus from the displayed wavefront (sign -1).
inline constexpr ZernikeSelection MasqueFront = [] {
    ZernikeSelection s = MakeSelection(1, -1, 0);
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = 0;
    return s;
}();

// What the simulation dialog stores; "Simuler le front d'onde" reads it. Survives "Nouveau test".
struct SimParams {
    std::int32_t SimTaille = 0;       // side N of the simulated images, pixels
    std::int32_t SimIndexTaille = 0;  // item of N in the size list (0 = "64")
    std::int32_t SimRayon = 0;        // pupil radius R, pixels
    double SimObstruction = 0;        // central obstruction, fraction of the radius (0 .. 0.99)
    double SimNiveauMin = 0;          // grey levels of simulated pupil images (stored only)
    double SimNiveauMax = 0;
    ZernikeCoefficients SimCoef{};                  // nm; piston always 0 after the dialog
    ZernikeSelection SimMasque = MasqueAjustement;  // all terms take part at start
};

inline constexpr int kImageKinds = 8;

// A frame as opening read it, kept for the whole test: plane 1 of the file at its own size (row-major,
// 0-based, the extra-focal one not turned) and what the checks measured on it. The records of the
// image slots are made from it; the compensated analysis works on it.
struct OpenedFrame {
    std::vector<double> Pixels;
    int Width = 0, Height = 0;
    FrameFacts Facts;
    int Binning = 1;                    // pixels of the file summed into one of Pixels, each way
    int RecordLeft = 0, RecordTop = 0;  // where the slot's record starts in Pixels (0 when padded)
};

struct TestSession {
    ImageSlot ImageIntra;         // Kind 0
    ImageSlot ImageExtra;         // Kind 1, turned by 180 degrees on opening
    ImageSlot ImageSignal;        // Kind 2
    ImageSlot ImageFrontBrut;     // Kind 3, as reconstructed
    ImageSlot ImageFront;         // Kind 3, displayed: ImageFrontBrut less piston, tilts and defocus
    ImageSlot ImageResidu;        // Kind 6
    ImageSlot ImageInterfero;     // Kind 5
    ImageSlot ImageRonchi;        // Kind 7
    ImageSlot ImagePSF;           // Kind 4, "Réelle"
    ImageSlot ImagePSFTheorique;  // Kind 4, "Théorique"

    ZernikeCoefficients CoefFront{};   // nm, fitted to the wavefront
    ZernikeCoefficients CoefResidu{};  // nm, fitted to the residual
    ZernikeCoefficients SigmaFront{};  // nm RMS, 1-sigma of CoefFront from the pair's noise; 0: unknown
    ZernikeSelection MasqueFrontAffiche{};
    bool OrdresSup = false;  // the coefficient list's "Ordres sup." item
    bool ParamsSaisis = false;

    TTestParams Params;
    TFitsHeader HeaderIntra;
    TFitsHeader HeaderExtra;
    std::string FileIntra;  // path chosen for each image, for the window captions
    std::string FileExtra;
    OpenedFrame FrameIntra;  // the frames as read, from the opening of each image on
    OpenedFrame FrameExtra;

    Tpreferences Prefs;
    ZernikeBasis Basis = ZernikeBasis::ForCount(22);
    SimParams Sim;
    std::string NomDernierExport;  // last name returned by the export dialog

    std::vector<Note> Notes;     // what the last analysis did
    std::vector<Note> Warnings;  // checks on the data of the last analysis

    std::array<bool, kImageKinds> Windows{};  // which kinds have an image window

    bool HasWindow(ImageKind kind) const { return Windows[static_cast<std::size_t>(kind)]; }
    void OpenWindow(ImageKind kind) { Windows[static_cast<std::size_t>(kind)] = true; }
    void CloseWindow(ImageKind kind) { Windows[static_cast<std::size_t>(kind)] = false; }
};

// A session as at program start: the built-in preferences and the basis of their NPolyZern.
TestSession NewSession();
// Same, with preferences given by the caller.
TestSession NewSession(const Tpreferences& prefs);

// The basis of `count` terms in use from now on (made again only when the count changes): every
// change of the basis goes through here.
void UseBasis(TestSession& session, int count);
// Preferences put in force: stored, and the basis follows their NPolyZern.
void ApplyPreferences(TestSession& session, const Tpreferences& prefs);

// The test parameters as the engine takes them.
TestGeometry GeometryOf(const TTestParams& params);

}  // namespace frontlys
