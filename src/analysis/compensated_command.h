#pragma once
// "&Front d'onde" with "Correction des images : Analytique": the compensated analysis of the two
// frames as opening read them (the session's FrameIntra and FrameExtra: no extraction, shift or
// padding), then the forward-model refinement, the map with its zonal part, and the notes that say
// what happened.

#include <array>
#include <optional>
#include <stop_token>

#include "analysis/commands.h"
#include "analysis/compensated_summary.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"

namespace frontlys {

struct CompensatedRequest {
    std::optional<double> defocusNm;    // nullopt: measured from the compensated pupil
    std::optional<double> obstruction;  // nullopt: Params.Obstruction when > 0, else measured
    int refineRounds = 4;               // forward-model rounds; 0 skips the refinement
    int bootstrapSamples = 0;           // noisy copies for the parametric bootstrap; 0: none
    bool trustDefocus = false;          // keep the given defocus when the image scale disagrees
    std::stop_token stop;               // asked: refused (StatusCode::Cancelled) at the next step
};

// Needs ParamsSaisis, parameters that pass CheckTestParams and both frames. On success the session
// holds the new wavefront, residual (the zonal part), CoefFront and Notes; on refusal nothing changes.
Result<CompensatedSummary> RunCompensatedWavefront(TestSession& session,
                                                   const CompensatedRequest& request,
                                                   const ProgressFn& progress = {});

// "Calculer" in the test parameters with the analytic correction: the defocus that the analysis
// measures on the two files (the analysis without a defocus, refinement included), so the dialog and
// the analysis give the same value. pixelNm: pixel size times both binnings, as entered.
Result<double> MeasureCompensatedDefocus(const TestSession& session,
                                         const TTestParams& params,
                                         double pixelNm);

// The command form for the main window.
CommandOutcome ComputeCompensatedWavefront(TestSession& session,
                                           const ProgressFn& progress = {},
                                           std::stop_token stop = {});

}  // namespace frontlys
