#include "analysis/analysis_commands.h"

#include <cmath>

#include "analysis/analysis_warnings.h"
#include "analysis/compensated_command.h"
#include "analysis/results.h"
#include "core/numbers.h"
#include "engine/correction_loop.h"
#include "engine/curvature_signal.h"
#include "engine/reconstruct.h"
#include "engine/zernike_fit.h"
#include "prep/pupil.h"

namespace frontlys {
namespace {

CommandOutcome Shown(std::vector<ImageKind> kinds)
{
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.shown = std::move(kinds);
    outcome.refreshInfos = true;
    return outcome;
}

ImageSlot CopyOf(const TImageRec& image) { return std::make_unique<TImageRec>(image); }

// The images the wavefront command computes, kept apart until every step has succeeded.
struct WavefrontWork {
    ImageSlot brut, front, residu;
    ImageSlot intra, extra, signal;  // corrected copies (correction loop only)
};

Status Reconstruct(TestSession& s, WavefrontWork& w, const ProgressFn& progress, std::stop_token stop)
{
    const TestGeometry geometry = GeometryOf(s.Params);
    const int nIter = s.Prefs.NIter;
    if (progress) progress("Reconstruction du front d'onde");
    if (nIter <= 1) {
        auto summary = ReconstructWavefront(geometry, *s.ImageSignal, *w.brut);
        if (!summary.ok()) return summary.status();
        if (!summary.value().solved)
            return Status::Fail(
                StatusCode::NumericalFailure, kEnterParamsMessage, "no solution for this defocus");
        return Status::Ok();
    }
    w.intra = CopyOf(*s.ImageIntra);
    w.extra = CopyOf(*s.ImageExtra);
    w.signal = CopyOf(*s.ImageSignal);
    // The loop works on these copies directly; the session keeps its images until the commit.
    auto loop = CorrectionLoopInPlace(
        geometry, *w.intra, *w.extra, *w.residu, *w.brut, *w.signal, nIter, std::move(stop));
    if (!loop.ok()) return loop.status();
    MeasureObstruction(*w.residu);
    if (s.Prefs.AjustAuto) (void)FitZernike(*w.residu, s.Basis, MasqueAjustement, s.CoefResidu);
    return Status::Ok();
}

void DeriveDisplayedFront(TestSession& s, WavefrontWork& w)
{
    w.brut->Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    if (s.Prefs.AjustAuto) (void)FitZernike(*w.brut, s.Basis, MasqueAjustement, s.CoefFront);
    w.brut->RadiusNm = s.Params.ApertureRadius;
    CopyImage(w.brut.get(), w.front.get());
    AddZernikeTerms(*w.front, s.Basis, s.CoefFront, MasqueFront, -1);
    const TImageRec& signal = w.signal ? *w.signal : *s.ImageSignal;
    CopyMask(signal, *w.front);
    CopyMask(signal, *w.residu);
    MeanStdInMask(*w.front);
    w.residu->Kind = static_cast<std::uint8_t>(ImageKind::Residual);
}

CommandOutcome CommitWavefront(TestSession& s, WavefrontWork& w)
{
    CommandOutcome outcome = Shown({ImageKind::Wavefront});
    for (ImageKind kind : {ImageKind::Wavefront, ImageKind::Residual})
        if (s.HasWindow(kind)) outcome.released.push_back(kind);
    s.CloseWindow(ImageKind::Residual);
    s.MasqueFrontAffiche = MasqueFront;
    s.OrdresSup = true;
    s.ImageFrontBrut = std::move(w.brut);
    s.ImageFront = std::move(w.front);
    s.ImageResidu = std::move(w.residu);
    s.SigmaFront = ZernikeCoefficients{};  // the numeric chain gives no error bars
    s.OpenWindow(ImageKind::Wavefront);
    if (s.Prefs.NIter > 1) {
        s.ImageIntra = std::move(w.intra);
        s.ImageExtra = std::move(w.extra);
        s.ImageSignal = std::move(w.signal);
        s.OpenWindow(ImageKind::Residual);
        outcome.shown.push_back(ImageKind::Residual);
    }
    // The correction loop changed the pupil images: their windows are redrawn.
    for (ImageKind kind : {ImageKind::Intra, ImageKind::Extra})
        if (s.HasWindow(kind)) outcome.shown.push_back(kind);
    return outcome;
}

}  // namespace

CommandOutcome ComputeSignalCommand(TestSession& session)
{
    if (!session.ImageIntra || !session.ImageExtra) return {};
    ImageSlot signal = NewImage(session.ImageIntra->Width, session.ImageIntra->Height);
    if (Status s = ComputeSignal(*session.ImageIntra, *session.ImageExtra, *signal); !s.ok())
        return Refused(s.code, kSizesDifferMessage, s.reason, MessageStyle::Box);
    signal->Kind = static_cast<std::uint8_t>(ImageKind::Signal);
    session.ImageSignal = std::move(signal);
    session.OpenWindow(ImageKind::Signal);
    return Shown({ImageKind::Signal});
}

CommandOutcome ComputeWavefront(TestSession& session, const ProgressFn& progress, std::stop_token stop)
{
    if (session.Prefs.CorrectionAnalytique) return ComputeCompensatedWavefront(session, progress, stop);
    if (!session.ImageSignal || !session.ParamsSaisis)
        return Refused(StatusCode::MissingInput,
                       kEnterParamsMessage,
                       "no signal or no test parameters",
                       MessageStyle::Box);
    if (Status s = CheckTestParams(session.Params); !s.ok())
        return Refused(s.code, s.message, s.reason, MessageStyle::Box);
    const int w = session.ImageSignal->Width, h = session.ImageSignal->Height;
    WavefrontWork work{NewImage(w, h), NewImage(w, h), NewImage(w, h), {}, {}, {}};
    ClearImage(*work.brut);
    if (Status s = Reconstruct(session, work, progress, stop); !s.ok()) {
        CommandOutcome refused = Refused(s.code, s.message, s.reason, MessageStyle::Box);
        return refused;
    }
    if (stop.stop_requested()) return Refused(StatusCode::Cancelled, {}, kCancelledReason, MessageStyle::Box);
    if (progress) progress("Ajustement des polynômes de Zernike");
    DeriveDisplayedFront(session, work);
    CommandOutcome outcome = CommitWavefront(session, work);
    std::vector<Note> warnings;
    if (session.ImageFrontBrut)
        if (auto w = NumericObstructionWarning(session.ImageFrontBrut->Obstruction)) warnings.push_back(*w);
    SetAnalysisWarnings(session, std::move(warnings));
    return outcome;
}

CommandOutcome FitWavefront(TestSession& session)
{
    if (!session.ImageFront) return {};
    (void)FitZernike(*session.ImageFront, session.Basis, MasqueAjustement, session.CoefFront);
    session.SigmaFront = ZernikeCoefficients{};
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.refreshInfos = true;
    return outcome;
}

CommandOutcome SimulateWavefront(TestSession& session, const ProgressFn& progress)
{
    const SimParams& sim = session.Sim;
    const int n = sim.SimTaille;
    if (n <= 0 || sim.SimRayon <= 0 || n > kMaxSimulatedSide) return {};
    ImageSlot front = NewImage(n, n);
    front->CentreX = front->CentreY = RoundHalfEven(n / 2.0);
    front->Radius = sim.SimRayon;
    front->Obstruction = sim.SimObstruction;
    SetPupilAxes(front.get());
    front->Kind = static_cast<std::uint8_t>(ImageKind::Wavefront);
    if (progress) progress("Synthèse du front d'onde");
    SynthesiseWavefront(*front, session.Basis, sim.SimCoef, sim.SimMasque);
    if (progress) progress("Statistiques du front d'onde");
    MeanStdInMask(*front);
    session.ImageFrontBrut = CopyOf(*front);
    session.ImageFront = std::move(front);
    session.OpenWindow(ImageKind::Wavefront);
    return Shown({ImageKind::Wavefront});
}

CommandOutcome RebuildDisplayedFront(TestSession& session)
{
    if (!session.ImageFrontBrut || !session.ImageFront) return {};
    RebuildDisplayedFront(session.ImageFrontBrut.get(),
                          session.ImageFront.get(),
                          session.Basis,
                          session.CoefFront,
                          session.MasqueFrontAffiche,
                          session.OrdresSup);
    return Shown({ImageKind::Wavefront});
}

}  // namespace frontlys
