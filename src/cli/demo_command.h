#pragma once
// frontlys-cli demo: a built-in simulated test, analysed as `analyse` does, with the true and the
// recovered coefficients side by side.

#include <filesystem>
#include <ostream>

#include "analysis/run_analysis.h"
#include "simulation/demo_setup.h"

namespace frontlys::cli {

// The table of true and recovered RMS values (terms 1 .. npoly of the report), then PTV, RMS, Strehl.
void PrintComparison(const SimulationParams& truth, const AnalysisReport& report, std::ostream& out);

// Simulates into folder, analyses, prints; 0 when done, 2 on a refusal (reason on err).
int RunDemo(const std::filesystem::path& folder, std::ostream& out, std::ostream& err);

}  // namespace frontlys::cli
