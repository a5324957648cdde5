#pragma once
// What a compensated analysis reports beside its coefficients, for the JSON and the text summary.

#include <array>
#include <string>
#include <vector>

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

    // Error bars from the noise of the pair (see engine/compensated/uncertainty.h).
    int terms = 0;
    std::vector<double> covariance;   // nm^2 of the peak coefficients, terms x terms; empty: none
    std::vector<double> sigmaRmsNm;   // each term's 1-sigma, nm RMS
    std::array<double, 2> skyNoiseAdu{};     // intra, extra: robust sigma of the frame border
    std::array<double, 2> photonVariance{};  // noise variance per ADU of signal, measured on the donut
    // The bars count the noise only; these say why the true error may be larger (stable codes:
    // "caustic", "geometry_mismatch", "model_misfit").
    std::vector<std::string> lowerBoundReasons;
    int bootstrapSamples = 0;  // --bootstrap: noisy copies analysed, and their spread per term
    int bootstrapFailed = 0;
    std::vector<double> bootstrapSigmaRmsNm;
};

}  // namespace frontlys
