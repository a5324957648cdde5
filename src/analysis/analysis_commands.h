#pragma once
// "&Calcul" commands: the curvature signal, the wavefront with its fit, the refit of the displayed
// wavefront, the wavefront simulated from typed coefficients, and the rebuild of the displayed
// wavefront from the coefficient list's selection.
//
// The long command reports progress through an optional callback and stops, refused with
// StatusCode::Cancelled, at its next step once `stop` is asked. A command refused by the engine or
// stopped leaves every slot of the session as it was.

#include <stop_token>

#include "analysis/commands.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"

namespace frontlys {

// "&Signal" (both images needed): a new signal record of the intra image's size.
CommandOutcome ComputeSignalCommand(TestSession& session);
// "&Front d'onde": with CorrectionAnalytique, the compensated analysis (compensated_command.h);
// otherwise the numeric correction below. Refused with kEnterParamsMessage without a signal or without
// ParamsSaisis. NIter = 1 reconstructs once; more runs the correction loop, which corrects the intra, extra
// and signal images in place. With AjustAuto the raw wavefront is fitted into CoefFront (otherwise CoefFront
// keeps its values); the displayed wavefront is the raw one less the terms 1 to 4.
CommandOutcome ComputeWavefront(TestSession& session,
                                const ProgressFn& progress = {},
                                std::stop_token stop = {});
// "&Ajuster le front d'onde" (a displayed wavefront needed): fits it into CoefFront.
CommandOutcome FitWavefront(TestSession& session);
// "Simuler le front d'onde": an N x N wavefront of radius R from SimCoef and SimMasque. Nothing while
// the simulation size or radius is 0. `progress` receives the name of each step as it starts.
CommandOutcome SimulateWavefront(TestSession& session, const ProgressFn& progress = {});
// The displayed wavefront rebuilt from ImageFrontBrut, CoefFront, MasqueFrontAffiche and OrdresSup.
CommandOutcome RebuildDisplayedFront(TestSession& session);

// The largest simulated side accepted (the dialog offers up to 1024).
inline constexpr int kMaxSimulatedSide = 4096;

}  // namespace frontlys
