#include "analysis/crop_command.h"

#include <algorithm>

#include "analysis/data_checks.h"
#include "analysis/open_commands.h"
#include "files/fits_crop_load.h"
#include "files/fits_reader.h"
#include "prep/crop.h"
#include "prep/donut.h"

namespace frontlys {
namespace {

struct Checked {
    FitsFrame frame;
    FrameFacts facts;
};

Result<Checked> ReadChecked(const std::filesystem::path& file)
{
    auto frame = ReadFitsFrame(file);
    if (!frame.ok()) return frame.status();
    Checked c{frame.take(), {}};
    c.facts = CleanAndMeasureFrame(c.frame.Pixels, c.frame.Width, c.frame.Height, c.frame.FormatMax);
    return c;
}

// The record the analysis works on: the cut square, or the file as the loader pads it.
Result<ImageSlot> RecordOf(const std::filesystem::path& file, const Checked& c, int side)
{
    if (side > 0) {
        const DonutLocation& d = *c.facts.donut;
        const CropWindow w = WindowAround(d.main.cx, d.main.cy, side);
        return CutSquare(c.frame.Pixels, c.frame.Width, c.frame.Height, w, d.background);
    }
    auto loaded = ReadFitsImage(file);
    if (!loaded.ok()) return loaded.status();
    // The padded record with the cleaned frame in its corner.
    ImageSlot image = std::move(loaded.value().Image);
    for (int y = 0; y < c.frame.Height; ++y)
        std::copy_n(c.frame.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * c.frame.Width, c.frame.Width,
                    image->Planes.Row(0, y));
    return image;
}

CommandOutcome Unreadable(const std::filesystem::path& file, const Status& s)
{
    return Refused(s.code, kImageNotFoundMessage, file.string() + ": " + s.reason, MessageStyle::Window);
}

// A frame this many donut radii wide or more is cut at opening.
constexpr double kCutFrameToRadius = 10;

}  // namespace

CommandOutcome OpenPairChecked(TestSession& session,
                               const std::filesystem::path& intraFile,
                               const std::filesystem::path& extraFile,
                               CropMode crop)
{
    auto intra = ReadChecked(intraFile);
    if (!intra.ok()) return Unreadable(intraFile, intra.status());
    auto extra = ReadChecked(extraFile);
    if (!extra.ok()) return Unreadable(extraFile, extra.status());
    Checked &a = intra.value(), &b = extra.value();
    PairCheck check = CheckPair(a.facts, a.frame.Header, b.facts, b.frame.Header, session.Prefs.NPolyZern);
    if (!check.refusal.ok())
        return Refused(check.refusal.code, check.refusal.message, check.refusal.reason, MessageStyle::Box);
    // One side for both, and a cut only for a frame much larger than its donut (a camera frame, not
    // a stamp): cutting a stamp changes the documented threshold's reference level for no gain (on
    // a 300-pixel real stamp the radii fell from 39 to 23 pixels).
    int side = 0;
    const double radius = std::max(a.facts.donut->main.radius, b.facts.donut->main.radius);
    const int frame = std::min(std::max(a.frame.Width, a.frame.Height), std::max(b.frame.Width, b.frame.Height));
    if (crop == CropMode::Auto && frame >= kCutFrameToRadius * radius) {
        side = std::max(CropSide(a.facts.donut->main.radius), CropSide(b.facts.donut->main.radius));
        const int padded = std::min(PaddedSide(a.frame.Width, a.frame.Height), PaddedSide(b.frame.Width, b.frame.Height));
        if (side >= padded) side = 0;
    }
    auto recordA = RecordOf(intraFile, a, side);
    if (!recordA.ok()) return Unreadable(intraFile, recordA.status());
    auto recordB = RecordOf(extraFile, b, side);
    if (!recordB.ok()) return Unreadable(extraFile, recordB.status());
    CommandOutcome outcome =
        InstallOpened(session, ImageKind::Intra, recordA.take(), std::move(a.frame.Header), intraFile);
    outcome.Merge(InstallOpened(session, ImageKind::Extra, recordB.take(), std::move(b.frame.Header), extraFile));
    session.Warnings = std::move(check.notes);
    return outcome;
}

CommandOutcome CropImages(TestSession& session)
{
    if (!session.ImageIntra || !session.ImageExtra) return {};
    std::array<DonutLocation, 2> found;
    std::array<TImageRec*, 2> images{session.ImageIntra.get(), session.ImageExtra.get()};
    int side = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        const TImageRec& im = *images[i];
        auto loc = LocateDonut(im.Planes.Plane(im.CurrentPlane - 1), im.Width, im.Height);
        if (!loc.ok()) return Refused(loc.status().code, kNoStarMessage, loc.status().reason, MessageStyle::Box);
        found[i] = loc.take();
        side = std::max(side, CropSide(found[i].main.radius));
    }
    side = std::min({side, images[0]->Width, images[0]->Height, images[1]->Width, images[1]->Height});
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.refreshInfos = true;
    for (std::size_t i = 0; i < 2; ++i) {
        const TImageRec& im = *images[i];
        const DonutLocation& d = found[i];
        ImageSlot cut = CutSquare(im.Planes.Plane(im.CurrentPlane - 1), im.Width, im.Height,
                                  WindowAround(d.main.cx, d.main.cy, side), d.background);
        cut->Kind = im.Kind;
        (i == 0 ? session.ImageIntra : session.ImageExtra) = std::move(cut);
        outcome.shown.push_back(i == 0 ? ImageKind::Intra : ImageKind::Extra);
    }
    return outcome;
}

}  // namespace frontlys
