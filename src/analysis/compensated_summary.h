#pragma once
// What a compensated analysis reports beside its coefficients, for the JSON and the text summary.

#include <array>

#include "engine/compensated/analysis.h"

namespace frontlys {

struct CompensatedSummary {
    std::array<double, 2> backgroundAdu{};  // intra, extra
    int passes = 0;
    CompensatedStop stop = CompensatedStop::PassLimit;
    double minJacobian = 1;
    double blurPx = 0;            // the model's blur (0 without the refinement)
    double refineResidualNm = 0;  // self-consistency of the refined answer
    int refineRounds = 0;
    double obstruction = 0;
    double defocusNm = 0;
    double radiusPx = 0;
};

}  // namespace frontlys
