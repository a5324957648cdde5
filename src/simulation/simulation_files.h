#pragma once
// The files of a simulated test in one folder: intra.fits, extra.fits and truth.txt (the simulated
// Zernike terms as a coefficient file, RMS nanometres per term). The folder is created if needed;
// each file is written atomically.

#include <filesystem>
#include <string>

#include "core/status.h"
#include "simulation/fits_writer.h"
#include "simulation/star_simulator.h"

namespace frontlys {

struct SimulationFiles {
    std::filesystem::path intra, extra, truth;
};

struct SimulationStamp {
    std::string intraDateObs;  // "YYYY-MM-DDThh:mm:ss"
    std::string extraDateObs;
    int exposureS = 10;
    FitsSampleFormat format = FitsSampleFormat::UInt16;
};

// The number of terms listed in truth.txt: 22 (the default of the fit), or up to the last
// simulated term when that lies beyond.
int TruthTermCount(const SimulationParams& params);

SimulationFiles SimulationFileNames(const std::filesystem::path& folder);
FitsImageHeader SimulatedHeader(const SimulationParams& params, const std::string& dateObs, int exposureS);

// Writes the three files of the pair; stops at the first failure and returns its reason.
Status WriteSimulationFiles(const std::filesystem::path& folder,
                            const SimulationParams& params,
                            const SimulatedPair& pair,
                            const SimulationStamp& stamp);

}  // namespace frontlys
