#pragma once
// frontlys-cli simulate: a simulated intra/extra-focal pair and its truth, written to a folder.

#include <ostream>

#include "simulation/simulation_files.h"
#include "simulation/simulation_params.h"

namespace frontlys::cli {

// The convention of the simulated wavefront, as --help and the help page state it.
extern const char* const kSignConventionText;

// The two DATE-OBS of a pair taken now: the extra-focal one an exposure plus 20 s later.
SimulationStamp StampNow(int exposureS, FitsSampleFormat format);

// Simulates and writes; the summary goes to out, a refusal (French message and reason) to err.
// Gives 0 when the files are written, 2 for refused parameters or a failed write.
int RunSimulate(const SimulationParams& params,
                const std::filesystem::path& folder,
                const SimulationStamp& stamp,
                std::ostream& out,
                std::ostream& err);

}  // namespace frontlys::cli
