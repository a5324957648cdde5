#pragma once
// The wavefront map of a compensated analysis: the synthesis of its coefficients over the pupil, plus
// the zonal part the terms cannot hold (a zone, a turned edge), solved from the last compensated
// difference of the two images with the Poisson solver and cleared of its own fitted terms.

#include "core/image_rec.h"
#include "core/status.h"
#include "engine/compensated/analysis.h"

namespace frontlys {

struct CompensatedMap {
    ImageSlot wavefront;  // synthesis + zonal part, the annulus in mask 1
    ImageSlot zonal;      // the zonal part alone
};

// Records of side `side` (a power of two, at least 2 * (radius + 2)), the pupil centred with the
// analysis radius in pixels. `focalNm` and `apertureRadiusNm` give the transport coefficients with
// the result's defocus.
Result<CompensatedMap> MakeCompensatedMap(const CompensatedResult& result,
                                          const ZernikeBasis& basis,
                                          int side,
                                          double focalNm,
                                          double apertureRadiusNm);

}  // namespace frontlys
