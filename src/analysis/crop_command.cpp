#include "analysis/crop_command.h"

#include <algorithm>

#include "analysis/data_checks.h"
#include "analysis/open_commands.h"
#include "files/fits_reader.h"
#include "prep/crop.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

// The record the analysis works on: the cut square, or the frame as the loader pads it.
ImageSlot RecordOf(OpenedFrame& f, int side)
{
    if (side <= 0) return PaddedRecord(f.Pixels, f.Width, f.Height);
    const DonutLocation& d = *f.Facts.donut;
    const CropWindow window = WindowAround(d.main.cx, d.main.cy, side);
    f.RecordLeft = window.left;
    f.RecordTop = window.top;
    return CutSquare(f.Pixels, f.Width, f.Height, window, d.background);
}

// A file the loader refuses, or a binning its frame cannot take (its own message, not retried).
CommandOutcome Unreadable(const Status& s)
{
    const bool binning = s.code == StatusCode::OutOfRange;
    return Refused(s.code, binning ? s.message : kImageNotFoundMessage, s.reason, MessageStyle::Window);
}

}  // namespace

bool ThresholdAsCut(const OpenedFrame& frame)
{
    if (!frame.Facts.donut) return false;
    return std::max(frame.Width, frame.Height) >= kCutFrameRadii * frame.Facts.donut->main.radius;
}

CommandOutcome OpenPairChecked(TestSession& session,
                               const std::filesystem::path& intraFile,
                               const std::filesystem::path& extraFile,
                               CropMode crop,
                               const ProgressFn& progress,
                               int softwareBinning)
{
    if (progress) progress("Lecture et nettoyage des images");
    auto [intra, extra] = ReadPairForTest(intraFile, extraFile, softwareBinning);
    if (!intra.ok()) return Unreadable(intra.status());
    if (!extra.ok()) return Unreadable(extra.status());
    if (progress) progress("Vérification de la paire");
    OpenedFrame &a = intra.value().frame, &b = extra.value().frame;
    MatchStars(a.Pixels, a.Facts, b.Pixels, b.Facts);
    PairCheck check =
        CheckPair(a.Facts, intra.value().header, b.Facts, extra.value().header, session.Prefs.NPolyZern);
    if (!check.refusal.ok())
        return Refused(check.refusal.code, check.refusal.message, check.refusal.reason, MessageStyle::Box);
    // One side for both, and a cut only for a frame much larger than its donut (a camera frame, not
    // a stamp): cutting a stamp changes the pupil threshold's reference level for no gain (on
    // a 300-pixel real stamp the radii fell from 39 to 23 pixels).
    int side = 0;
    const double radius = std::max(a.Facts.donut->main.radius, b.Facts.donut->main.radius);
    const int frame = std::min(std::max(a.Width, a.Height), std::max(b.Width, b.Height));
    if (crop == CropMode::Auto && frame >= kCutFrameRadii * radius) {
        side = std::max(CropSide(a.Facts.donut->main.radius), CropSide(b.Facts.donut->main.radius));
        const int padded = std::min(PaddedSide(a.Width, a.Height), PaddedSide(b.Width, b.Height));
        if (side >= padded) side = 0;
    }
    if (progress && side > 0) progress("Découpe autour des donuts");
    ImageSlot recordA = RecordOf(a, side), recordB = RecordOf(b, side);
    CommandOutcome outcome =
        InstallOpened(session, ImageKind::Intra, std::move(recordA), intra.take(), intraFile);
    outcome.Merge(InstallOpened(session, ImageKind::Extra, std::move(recordB), extra.take(), extraFile));
    session.Warnings = std::move(check.notes);
    return outcome;
}

CommandOutcome CropImages(TestSession& session, const ProgressFn& progress)
{
    if (!session.ImageIntra || !session.ImageExtra) return {};
    if (progress) progress("Recherche des donuts");
    std::array<DonutLocation, 2> found;
    std::array<TImageRec*, 2> images{session.ImageIntra.get(), session.ImageExtra.get()};
    int side = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        const TImageRec& im = *images[i];
        auto loc = LocateDonut(im.Planes.Plane(im.CurrentPlane - 1), im.Width, im.Height);
        if (!loc.ok())
            return Refused(loc.status().code, kNoStarMessage, loc.status().reason, MessageStyle::Box);
        found[i] = loc.take();
        side = std::max(side, CropSide(found[i].main.radius));
    }
    side = std::min({side, images[0]->Width, images[0]->Height, images[1]->Width, images[1]->Height});
    if (progress) progress("Découpe autour des donuts");
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.refreshInfos = true;
    for (std::size_t i = 0; i < 2; ++i) {
        const TImageRec& im = *images[i];
        const DonutLocation& d = found[i];
        const CropWindow window = WindowAround(d.main.cx, d.main.cy, side);
        // The new record's origin in the frame; the extra record is turned, so its window is too.
        OpenedFrame& frame = i == 0 ? session.FrameIntra : session.FrameExtra;
        frame.RecordLeft += i == 0 ? window.left : im.Width - side - window.left;
        frame.RecordTop += i == 0 ? window.top : im.Height - side - window.top;
        ImageSlot cut =
            CutSquare(im.Planes.Plane(im.CurrentPlane - 1), im.Width, im.Height, window, d.background);
        cut->Kind = im.Kind;
        (i == 0 ? session.ImageIntra : session.ImageExtra) = std::move(cut);
        outcome.shown.push_back(i == 0 ? ImageKind::Intra : ImageKind::Extra);
    }
    return outcome;
}

}  // namespace frontlys
