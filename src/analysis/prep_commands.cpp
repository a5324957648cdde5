#include "analysis/prep_commands.h"

#include "analysis/crop_command.h"
#include "analysis/window_readout.h"
#include "engine/transport.h"
#include "prep/pupil.h"
#include "prep/pupil_alignment.h"
#include "prep/threshold.h"

namespace frontlys {
namespace {

CommandOutcome RedrawPupils(bool refreshInfos)
{
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.shown = {ImageKind::Intra, ImageKind::Extra};
    outcome.refreshInfos = refreshInfos;
    return outcome;
}

}  // namespace

CommandOutcome ExtractPupils(TestSession& session)
{
    CommandOutcome outcome;
    const std::pair<ImageKind, TImageRec*> pupils[] = {{ImageKind::Intra, session.ImageIntra.get()},
                                                       {ImageKind::Extra, session.ImageExtra.get()}};
    for (auto [kind, image] : pupils) {
        if (!session.HasWindow(kind) || !image) continue;
        const OpenedFrame& frame = kind == ImageKind::Intra ? session.FrameIntra : session.FrameExtra;
        ExtractPupil(*image, session.Prefs, ThresholdAsCut(frame));
        outcome.ran = true;
        outcome.shown.push_back(kind);
        outcome.outlined.push_back(kind);
        outcome.refreshInfos = true;
    }
    return outcome;
}

CommandOutcome CoCentrePupils(TestSession& session)
{
    TImageRec* intra = session.ImageIntra.get();
    TImageRec* extra = session.ImageExtra.get();
    if (!intra || !extra) return {};
    ApplyThreshold(intra);
    ApplyThreshold(extra);
    CoCentre(intra, extra);
    ClampBelow(*intra, intra->MinValue);
    ClampBelow(*extra, extra->MinValue);
    return RedrawPupils(true);
}

CommandOutcome ResizePupils(TestSession& session)
{
    if (!session.HasWindow(ImageKind::Intra) || !session.HasWindow(ImageKind::Extra)) return {};
    if (!session.ImageIntra || !session.ImageExtra) return {};
    MatchPupilSizes(session.ImageIntra.get(), session.ImageExtra.get());
    return RedrawPupils(false);
}

CommandOutcome CorrectImages(TestSession& session)
{
    const bool windows = session.HasWindow(ImageKind::Intra) && session.HasWindow(ImageKind::Extra) &&
                         session.HasWindow(ImageKind::Wavefront);
    if (!windows || !session.ParamsSaisis) return {};
    if (!session.ImageIntra || !session.ImageExtra || !session.ImageFront) return {};
    const Status s = TransportImages(
        GeometryOf(session.Params), *session.ImageIntra, *session.ImageExtra, *session.ImageFront);
    if (!s.ok()) {
        CommandOutcome refused;
        refused.ran = true;
        refused.status = s;
        return refused;
    }
    return RedrawPupils(false);
}

}  // namespace frontlys
