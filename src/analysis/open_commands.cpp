#include "analysis/open_commands.h"

#include "analysis/analysis_commands.h"
#include "analysis/data_checks.h"
#include "analysis/prep_commands.h"
#include "core/thread_pool.h"
#include "files/fits_crop_load.h"
#include "files/fits_reader.h"
#include "prep/binning.h"
#include "prep/pupil_alignment.h"

namespace frontlys {

namespace {

// The frame summed in n x n blocks after its cleaning at the camera's own pixels (a hot pixel is
// found best alone); measured again at the new scale, with what the cleaning found, the digest of
// the frame as given and the saturation judged on the camera's own pixels.
Status BinOpened(OpenedFrame& frame, int n, double formatMax)
{
    if (frame.Width / n < 16 || frame.Height / n < 16)
        return Status::Fail(StatusCode::OutOfRange,
                            "Paramètre invalide",
                            "--software-binning " + std::to_string(n) + " leaves fewer than 16 pixels of a " +
                                std::to_string(frame.Width) + " x " + std::to_string(frame.Height) +
                                " frame");
    BinnedFrame binned = SumBlocks(frame.Pixels, frame.Width, frame.Height, n);
    FrameFacts facts = MeasureFrame(binned.pixels, binned.width, binned.height, formatMax * n * n);
    facts.digest = frame.Facts.digest;
    facts.digestTurned = frame.Facts.digestTurned;
    facts.saturated = frame.Facts.saturated;
    facts.cleaning = std::move(frame.Facts.cleaning);
    facts.cleaning.sky.slopeX *= n;  // per binned pixel, as the radius it is compared with
    facts.cleaning.sky.slopeY *= n;
    frame.Facts = std::move(facts);
    frame.Pixels = std::move(binned.pixels);
    frame.Width = binned.width;
    frame.Height = binned.height;
    frame.Binning = n;
    return Status::Ok();
}

}  // namespace

Result<FileForTest> ReadForTest(const std::filesystem::path& file, int softwareBinning)
{
    auto read = ReadFitsFrame(file);
    if (!read.ok()) {
        Status s = read.status();
        s.reason = file.string() + ": " + s.reason;
        return s;
    }
    FitsFrame& f = read.value();
    FileForTest out;
    out.frame.Facts = CleanAndMeasureFrame(f.Pixels, f.Width, f.Height, f.FormatMax);
    out.frame.Pixels = std::move(f.Pixels);
    out.frame.Width = f.Width;
    out.frame.Height = f.Height;
    out.header = std::move(f.Header);
    if (softwareBinning > 1) {
        if (Status s = BinOpened(out.frame, softwareBinning, f.FormatMax); !s.ok()) {
            s.reason = file.string() + ": " + s.reason;
            return s;
        }
    }
    return out;
}

std::array<Result<FileForTest>, 2> ReadPairForTest(const std::filesystem::path& intra,
                                                   const std::filesystem::path& extra,
                                                   int softwareBinning)
{
    std::array<std::optional<Result<FileForTest>>, 2> read;
    const std::array<const std::filesystem::path*, 2> files{&intra, &extra};
    ParallelFor(2, [&](int i) {
        read[static_cast<std::size_t>(i)] = ReadForTest(*files[static_cast<std::size_t>(i)], softwareBinning);
    });
    return {std::move(*read[0]), std::move(*read[1])};
}

CommandOutcome InstallOpened(TestSession& session,
                             ImageKind kind,
                             ImageSlot record,
                             FileForTest read,
                             const std::filesystem::path& file)
{
    const bool intra = kind == ImageKind::Intra;
    record->Kind = static_cast<std::uint8_t>(kind);
    if (!intra) Rotate180(record.get());
    (intra ? session.ImageIntra : session.ImageExtra) = std::move(record);
    (intra ? session.FrameIntra : session.FrameExtra) = std::move(read.frame);
    (intra ? session.HeaderIntra : session.HeaderExtra) = std::move(read.header);
    (intra ? session.FileIntra : session.FileExtra) = file.string();
    if (intra) {
        session.Params.Focal = session.HeaderIntra.FocalLength * 1'000'000;
        session.Params.ApertureRadius = session.HeaderIntra.Diameter * 500'000;
    }
    session.OpenWindow(kind);
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.shown.push_back(kind);
    outcome.opened.push_back(kind);
    outcome.refreshInfos = true;
    return outcome;
}

namespace {

CommandOutcome Open(TestSession& session, const std::filesystem::path& file, ImageKind kind)
{
    // Read into a scratch record first, so that nothing of the session changes on refusal.
    auto read = ReadForTest(file);
    if (!read.ok())
        return Refused(read.status().code, kImageNotFoundMessage, read.status().reason, MessageStyle::Window);
    const OpenedFrame& f = read.value().frame;
    ImageSlot record = PaddedRecord(f.Pixels, f.Width, f.Height);
    return InstallOpened(session, kind, std::move(record), read.take(), file);
}

bool Unreadable(const CommandOutcome& outcome)
{
    return outcome.failed() && outcome.message && outcome.message->text == kImageNotFoundMessage;
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

CommandOutcome OpenPair(TestSession& session,
                        const std::filesystem::path& intra,
                        const std::filesystem::path& extra,
                        CropMode crop,
                        const ProgressFn& progress,
                        int softwareBinning)
{
    CommandOutcome outcome = OpenPairChecked(session, intra, extra, crop, progress, softwareBinning);
    if (!Unreadable(outcome)) return outcome;
    if (progress) progress("Lecture de l'image intrafocale");
    outcome = OpenIntra(session, intra);
    if (progress) progress("Lecture de l'image extrafocale");
    outcome.Merge(OpenExtra(session, extra));
    return outcome;
}

CommandOutcome PreparePair(TestSession& session, const ProgressFn& progress)
{
    CommandOutcome outcome;
    if (!session.Prefs.ExtractAuto) return outcome;
    if (!session.HasWindow(ImageKind::Intra) || !session.HasWindow(ImageKind::Extra)) return outcome;
    if (progress) progress("Extraction des pupilles");
    outcome.Merge(ExtractPupils(session));
    if (progress) progress("Co-centrage des pupilles");
    outcome.Merge(CoCentrePupils(session));
    if (progress) progress("Calcul du signal");
    outcome.Merge(ComputeSignalCommand(session));
    return outcome;
}

CommandOutcome OpenBoth(TestSession& session,
                        const std::optional<std::filesystem::path>& intra,
                        const std::optional<std::filesystem::path>& extra,
                        CropMode crop,
                        const ProgressFn& progress)
{
    CommandOutcome outcome;
    const bool none = !session.HasWindow(ImageKind::Intra) && !session.HasWindow(ImageKind::Extra);
    if (none && intra && extra) {
        outcome = OpenPair(session, *intra, *extra, crop, progress);
    } else {
        if (!session.HasWindow(ImageKind::Intra) && intra) {
            if (progress) progress("Lecture de l'image intrafocale");
            outcome.Merge(OpenIntra(session, *intra));
        }
        if (!session.HasWindow(ImageKind::Extra) && extra) {
            if (progress) progress("Lecture de l'image extrafocale");
            outcome.Merge(OpenExtra(session, *extra));
        }
    }
    outcome.Merge(PreparePair(session, progress));
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
    session.FrameIntra = {};
    session.FrameExtra = {};
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
