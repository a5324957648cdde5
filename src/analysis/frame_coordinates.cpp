#include "analysis/frame_coordinates.h"

#include <algorithm>

#include "analysis/prep_commands.h"
#include "prep/crop.h"
#include "prep/pupil.h"
#include "prep/pupil_alignment.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

const OpenedFrame& FrameOf(const TestSession& s, ImageKind kind)
{
    return kind == ImageKind::Intra ? s.FrameIntra : s.FrameExtra;
}
const TImageRec* RecordOf(const TestSession& s, ImageKind kind)
{
    return (kind == ImageKind::Intra ? s.ImageIntra : s.ImageExtra).get();
}

}  // namespace

std::array<double, 2> FramePosition(const TestSession& session, ImageKind kind, double x, double y)
{
    const OpenedFrame& f = FrameOf(session, kind);
    const TImageRec* record = RecordOf(session, kind);
    double fx = x - 1, fy = y - 1;  // 0-based in the record
    if (kind == ImageKind::Extra && record) {
        fx = record->Width - 1 - fx;
        fy = record->Height - 1 - fy;
    }
    fx += f.RecordLeft;
    fy += f.RecordTop;
    // A binned pixel covers n pixels of the file each way; its centre is their middle.
    const int n = std::max(1, f.Binning);
    return {fx * n + (n - 1) / 2.0 + 1, fy * n + (n - 1) / 2.0 + 1};
}

CommandOutcome ExtractPupilsOnDonutSquare(TestSession& session)
{
    CommandOutcome outcome = ExtractPupils(session);
    const OpenedFrame &a = session.FrameIntra, &b = session.FrameExtra;
    if (!a.Facts.donut || !b.Facts.donut) return outcome;
    const int side = std::max(CropSide(a.Facts.donut->main.radius), CropSide(b.Facts.donut->main.radius));
    for (ImageKind kind : {ImageKind::Intra, ImageKind::Extra}) {
        const OpenedFrame& f = FrameOf(session, kind);
        TImageRec* image = (kind == ImageKind::Intra ? session.ImageIntra : session.ImageExtra).get();
        // A record no larger than the square already sets its own threshold on donut-sized blocks.
        if (!image || !session.HasWindow(kind) || (image->Width <= side && image->Height <= side)) continue;
        const DonutLocation& d = *f.Facts.donut;
        const ImageSlot square =
            CutSquare(f.Pixels, f.Width, f.Height, WindowAround(d.main.cx, d.main.cy, side), d.background);
        AutoThreshold(*square, session.Prefs.ExtractDim, session.Prefs.ExtractSeuil);
        image->Threshold = square->Threshold;
        ApplyThreshold(image);
        FindPupil(image);
        SetPupilAxes(image);
    }
    return outcome;
}

}  // namespace frontlys
