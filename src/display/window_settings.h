#pragma once
// The display settings an image window takes for each kind of image, so that a picture drawn
// without windows (the command-line tool) looks like the window would show it:
//   intra-focal, extra-focal, signal   palette PltSignal
//   wavefront, residual wavefront      palette PltFront
//   PSF                                palette PltPSF, mask not shown, log scale as chosen
//   interferogram                      palette PltInterfero
//   Ronchigram                         palette 0 always
// The mask is shown for every kind but the PSF; for the two star images only once their pupil has
// been extracted (before that their mask is empty and would hide the whole picture).

#include <cstdint>

#include <QImage>
#include <QSize>

#include "core/image_rec.h"
#include "core/status.h"
#include "display/render.h"

namespace frontlys {

// The four palette preferences (Tpreferences fields of the same names, defaults as there).
struct WindowPalettes {
    std::uint8_t PltSignal = 0;
    std::uint8_t PltFront = 1;
    std::uint8_t PltPSF = 4;
    std::uint8_t PltInterfero = 5;
};

struct KindRenderOptions {
    bool PupilExtracted = true;    // intra-focal and extra-focal: show the mask
    bool LogDisplay = false;       // PSF only: the information window's "Log" choice
    bool ScaleVisible = false;     // "Echelle visible"
    double LambdaInterfero = 555;  // nm, Tpreferences.LambdaInterfero
};

// Palette of the window of an image kind (a Kind outside 0..7 gets palette 0).
std::uint8_t PaletteForKind(std::uint8_t kind, const WindowPalettes& palettes);
DisplaySettings WindowSettingsForKind(std::uint8_t kind,
                                      const WindowPalettes& palettes,
                                      const KindRenderOptions& options);

// Renders image (by its Kind) into a new picture of the given size. Fails with a message when the
// record is empty, the size is not positive, or memory is lacking. MinValue and MaxValue of the record
// are updated as RenderImage does.
Result<QImage> RenderForKind(TImageRec& image,
                             QSize size,
                             const WindowPalettes& palettes,
                             const KindRenderOptions& options);

}  // namespace frontlys
