#pragma once
// "&Images" commands: prepare the two pupil images in place (threshold and measure, co-centre,
// bring to one size, correct by the wavefront). None creates or releases an image.

#include "analysis/commands.h"
#include "analysis/test_session.h"

namespace frontlys {

// "Extraire les plages": on each pupil image whose window exists, intra first, the threshold from
// ExtractDim and ExtractSeuil, the mask, the pupil centre and radius and the pupil axes.
CommandOutcome ExtractPupils(TestSession& session);
// "Cocentrer les plages" (both images needed): masks from the thresholds they hold, both pupils
// onto the frame middle, each image raised to its minimum.
CommandOutcome CoCentrePupils(TestSession& session);
// "Redimensionner" (both pupil windows needed).
CommandOutcome ResizePupils(TestSession& session);
// "Corriger les images" (both pupil windows, the wavefront window and the parameters needed):
// transports both images along the rays of the displayed wavefront.
CommandOutcome CorrectImages(TestSession& session);

}  // namespace frontlys
