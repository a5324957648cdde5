#include "analysis/open_commands.h"

#include "analysis/analysis_commands.h"
#include "analysis/crop_command.h"
#include "analysis/prep_commands.h"
#include "files/fits_reader.h"
#include "prep/pupil_alignment.h"

namespace frontlys {

CommandOutcome InstallOpened(TestSession& session,
                             ImageKind kind,
                             ImageSlot image,
                             TFitsHeader header,
                             const std::filesystem::path& file)
{
    const bool intra = kind == ImageKind::Intra;
    image->Kind = static_cast<std::uint8_t>(kind);
    if (!intra) Rotate180(image.get());
    (intra ? session.ImageIntra : session.ImageExtra) = std::move(image);
    (intra ? session.HeaderIntra : session.HeaderExtra) = std::move(header);
    (intra ? session.FileIntra : session.FileExtra) = file.string();
    if (intra) {
        session.Params.Focal = session.HeaderIntra.FocalLength * 1'000'000;
        session.Params.ApertureRadius = session.HeaderIntra.Diameter * 500'000;
    }
    session.OpenWindow(kind);
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.shown.push_back(kind);
    outcome.refreshInfos = true;
    return outcome;
}

namespace {

CommandOutcome Open(TestSession& session, const std::filesystem::path& file, ImageKind kind)
{
    // Load into a scratch slot first, so that nothing of the session changes on refusal.
    ImageSlot loaded;
    TFitsHeader loadedHeader;
    if (Status s = LoadFitsImage(file, loaded, loadedHeader); !s.ok())
        return Refused(s.code, kImageNotFoundMessage, s.reason, MessageStyle::Window);
    return InstallOpened(session, kind, std::move(loaded), std::move(loadedHeader), file);
}

}  // namespace

CommandOutcome OpenIntra(TestSession& session, const std::filesystem::path& file)
{
    return Open(session, file, ImageKind::Intra);
}

CommandOutcome OpenExtra(TestSession& session, const std::filesystem::path& file)
{
    return Open(session, file, ImageKind::Extra);
}

CommandOutcome OpenBoth(TestSession& session,
                        const std::optional<std::filesystem::path>& intra,
                        const std::optional<std::filesystem::path>& extra)
{
    CommandOutcome outcome;
    const bool none = !session.HasWindow(ImageKind::Intra) && !session.HasWindow(ImageKind::Extra);
    if (session.Prefs.ExtractAuto && none && intra && extra) {
        // Both frames at once: checked, and cut when far larger than their star, before extracting.
        outcome = OpenPairChecked(session, *intra, *extra, CropMode::Auto);
        if (outcome.failed()) return outcome;
    }
    if (!session.HasWindow(ImageKind::Intra) && intra) outcome.Merge(OpenIntra(session, *intra));
    if (!session.HasWindow(ImageKind::Extra) && extra) outcome.Merge(OpenExtra(session, *extra));
    const bool both = session.HasWindow(ImageKind::Intra) && session.HasWindow(ImageKind::Extra);
    if (session.Prefs.ExtractAuto && both) {
        outcome.Merge(ExtractPupils(session));
        outcome.Merge(CoCentrePupils(session));
        outcome.Merge(ComputeSignalCommand(session));
    }
    return outcome;
}

CommandOutcome NewTest(TestSession& session)
{
    CommandOutcome outcome;
    outcome.ran = true;
    // The order in which the windows are released.
    for (ImageKind kind : {ImageKind::Intra,
                           ImageKind::Extra,
                           ImageKind::Signal,
                           ImageKind::Residual,
                           ImageKind::Wavefront,
                           ImageKind::Interferogram,
                           ImageKind::Ronchigram,
                           ImageKind::Psf}) {
        if (session.HasWindow(kind)) outcome.released.push_back(kind);
        session.CloseWindow(kind);
    }
    for (ImageSlot* slot : {&session.ImageIntra,
                            &session.ImageExtra,
                            &session.ImageSignal,
                            &session.ImageFrontBrut,
                            &session.ImageResidu,
                            &session.ImageFront,
                            &session.ImageInterfero,
                            &session.ImageRonchi,
                            &session.ImagePSFTheorique,
                            &session.ImagePSF})
        FreeImage(*slot);
    session.Params = {};
    session.ParamsSaisis = false;
    session.HeaderIntra.PixelSizeX = session.HeaderIntra.PixelSizeY = 0;
    session.HeaderIntra.BinX = session.HeaderIntra.BinY = 0;
    session.FileIntra.clear();
    session.FileExtra.clear();
    session.Warnings.clear();
    return outcome;
}

}  // namespace frontlys
