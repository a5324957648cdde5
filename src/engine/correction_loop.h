#pragma once
// The correction loop: nIter passes of signal, reconstruction and transport of the two images by
// the wavefront of the pass, the wavefronts summed into the total.
//
// After the loop the total is the sum of the passes (with the obstruction and the centre of the
// last pass's residual, so that the fit uses the annular polynomials of the pupil), the residual is
// the wavefront of the last pass, the signal that of the last pass, and the intra and extra images
// are corrected nIter times. All five images must have one square power-of-two size. On refusal
// nothing is changed.

#include <stop_token>
#include <vector>

#include "core/image_rec.h"
#include "core/status.h"
#include "engine/reconstruct.h"
#include "engine/test_geometry.h"

namespace frontlys {

struct CorrectionSummary {
    std::vector<ReconstructionSummary> passes;
    std::vector<double> residualRms;  // RMS about the mean of each pass's wavefront over its mask, nm
};

// RMS about the mean over the pixels of mask 1 (0 for an empty mask).
double RmsInMask(const TImageRec& image);

Result<CorrectionSummary> CorrectionLoop(const TestGeometry& geometry,
                                         TImageRec& intra,
                                         TImageRec& extra,
                                         TImageRec& residual,
                                         TImageRec& total,
                                         TImageRec& signal,
                                         int nIter);

// The same on the caller's images themselves, for a caller that hands over copies of its own: on
// refusal after the checks they hold whatever the failing pass left. A stop request is checked
// before each pass (refused, StatusCode::Cancelled).
Result<CorrectionSummary> CorrectionLoopInPlace(const TestGeometry& geometry,
                                                TImageRec& intra,
                                                TImageRec& extra,
                                                TImageRec& residual,
                                                TImageRec& total,
                                                TImageRec& signal,
                                                int nIter,
                                                std::stop_token stop = {});

}  // namespace frontlys
