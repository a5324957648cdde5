#include "analysis/derived_commands.h"

#include <cmath>
#include <numbers>

#include "core/numbers.h"
#include "engine/interferogram.h"
#include "engine/psf.h"
#include "engine/ronchigram.h"

namespace frontlys {
namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

CommandOutcome ShownOne(ImageKind kind)
{
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.shown = {kind};
    outcome.refreshInfos = true;
    return outcome;
}

CommandOutcome EngineRefusal(const Status& s)
{
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.status = s;
    return outcome;
}

// A derived record follows the wavefront's size: one of another width is released with its window.
void FitToWavefront(TestSession& s, ImageSlot& slot, ImageKind kind, CommandOutcome& outcome)
{
    const TImageRec& front = *s.ImageFront;
    if (slot && slot->Width != front.Width) {
        FreeImage(slot);
        if (s.HasWindow(kind)) outcome.released.push_back(kind);
        s.CloseWindow(kind);
    }
    if (!slot) slot = NewImage(front.Width, front.Height);
}

}  // namespace

double InterferogramTiltNm(int fringes, double lambdaRefNm) { return fringes * lambdaRefNm / 2; }

int PsfSizeIndexFor(int factMultDiff)
{
    switch (factMultDiff) {
        case 2:
            return 1;
        case 4:
            return 2;
        case 8:
            return 3;
        default:
            return 0;
    }
}

CommandOutcome ComputePsfCommand(TestSession& session, const PsfOptions& options, const ProgressFn& progress)
{
    if (!session.ImageFront) return {};
    const int t = options.sizeIndex >= 0 && options.sizeIndex <= 3 ? options.sizeIndex : 0;
    session.Prefs.FactMultDiff = static_cast<std::uint8_t>(1 << t);
    // The typed value is an RMS defocus: peak coefficient = RMS x the term's norm.
    ZernikeCoefficients defocus{};
    defocus[3] = NumberOrZero(options.defocusText) * session.Basis.Norm(4);
    TImageRec& front = *session.ImageFront;
    const bool defocused = defocus[3] != 0;
    if (defocused) {
        if (progress) progress("Défocalisation du front d'onde");
        AddZernikeTerms(front, session.Basis, defocus, MasqueAjoutDefocus, +1);
    }
    if (progress) progress("Calcul de la PSF et de la PSF sans aberration");
    // The aberration-free PSF depends on the pupil alone: the last one is kept, with the pupil, size
    // and factor it was computed for, and reused while they stay (a new defocus, a new wavelength).
    static AberrationFreePsfMemo lastAberrationFree;
    auto psf = ComputePsf(front,
                          session.Prefs.LambdaRef,
                          session.Prefs.FactMultDiff,
                          PsfMethod::Automatic,
                          &lastAberrationFree);
    if (defocused) AddZernikeTerms(front, session.Basis, defocus, MasqueRetraitDefocus, -1);  // restores it
    if (!psf.ok()) return EngineRefusal(psf.status());
    PsfImages images = psf.take();
    session.ImagePSFTheorique = std::move(images.aberrationFree);
    session.ImagePSF = std::move(images.aberrated);
    session.OpenWindow(ImageKind::Psf);
    return ShownOne(ImageKind::Psf);
}

CommandOutcome ComputeInterferogram(TestSession& session,
                                    const FringeOptions& options,
                                    const ProgressFn& progress)
{
    if (!session.ImageFront) return {};
    if (progress) progress("Plan d'inclinaison des franges");
    const TImageRec& front = *session.ImageFront;
    const double g = InterferogramTiltNm(options.fringes, session.Prefs.LambdaRef);
    const double theta = Radians(options.angleDeg);
    CommandOutcome outcome;
    ImageSlot tilt = NewImage(front.Width, front.Height);
    FitToWavefront(session, session.ImageInterfero, ImageKind::Interferogram, outcome);
    TImageRec& interfero = *session.ImageInterfero;
    TakePupilGeometry(front, *tilt);
    TakePupilGeometry(front, interfero);
    CopyMask(front, *tilt);
    TiltPlane(*tilt, 1, g * std::sin(theta), g * std::cos(theta));
    if (progress) progress("Calcul des franges");
    MakeInterferogram(front, *tilt, session.Prefs.LambdaInterfero, interfero);
    CopyMask(front, interfero);
    interfero.Kind = static_cast<std::uint8_t>(ImageKind::Interferogram);
    session.OpenWindow(ImageKind::Interferogram);
    outcome.Merge(ShownOne(ImageKind::Interferogram));
    return outcome;
}

CommandOutcome ComputeRonchigram(TestSession& session,
                                 const FringeOptions& options,
                                 const ProgressFn& progress)
{
    if (!session.ImageFront || !session.ParamsSaisis) return {};
    if (progress) progress("Tracé du réseau");
    const TImageRec& front = *session.ImageFront;
    CommandOutcome outcome;
    FitToWavefront(session, session.ImageRonchi, ImageKind::Ronchigram, outcome);
    TImageRec& ronchi = *session.ImageRonchi;
    TestGeometry geometry = GeometryOf(session.Params);
    geometry.Defocus = RonchiGratingDistance(options.fringes);  // whatever the test's own defocus
    TakePupilGeometry(front, ronchi);
    RonchiGrating(ronchi, options.fringes, Radians(options.angleDeg));
    ronchi.Kind = static_cast<std::uint8_t>(ImageKind::Intra);
    CopyMask(front, ronchi);
    if (progress) progress("Transport du réseau par le front d'onde");
    if (Status s = RonchiTransport(geometry, ronchi, front); !s.ok()) {
        outcome.Merge(EngineRefusal(s));
        return outcome;
    }
    ronchi.Kind = static_cast<std::uint8_t>(ImageKind::Ronchigram);
    session.OpenWindow(ImageKind::Ronchigram);
    outcome.Merge(ShownOne(ImageKind::Ronchigram));
    return outcome;
}

}  // namespace frontlys
