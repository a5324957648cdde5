#include "simulation/simulation_files.h"

#include <system_error>
#include <vector>

#include "engine/zernike.h"
#include "files/result_files.h"

namespace frontlys {

int TruthTermCount(const SimulationParams& params)
{
    int last = 22;
    for (int k = 1; k <= kSimTerms; ++k) {
        if (params.zernikeRmsNm[k - 1] != 0) last = std::max(last, k);
    }
    return last;
}

SimulationFiles SimulationFileNames(const std::filesystem::path& folder)
{
    return {folder / "intra.fits", folder / "extra.fits", folder / "truth.txt"};
}

FitsImageHeader SimulatedHeader(const SimulationParams& params, const std::string& dateObs, int exposureS)
{
    FitsImageHeader h;
    h.focalLengthM = params.focalMm / 1000;
    h.diameterMm = params.diameterMm;
    h.pixelSizeUm = params.pixelUm;
    h.binning = params.binning;
    h.dateObs = dateObs;
    h.exposureS = exposureS;
    h.telescope = "Simulation";
    h.instrument = "frontlys-cli simulate";
    h.comments = {"Simulated star image, defocus " + FitsNumberValue(params.defocusMm) + " mm",
                  "Aberrations in truth.txt (nm RMS)"};
    return h;
}

Status WriteSimulationFiles(const std::filesystem::path& folder,
                            const SimulationParams& params,
                            const SimulatedPair& pair,
                            const SimulationStamp& stamp)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return Status::Fail(
            StatusCode::IoError, "Impossible de créer le dossier " + folder.string(), ec.message());
    }
    const auto names = SimulationFileNames(folder);
    const auto intraHeader = SimulatedHeader(params, stamp.intraDateObs, stamp.exposureS);
    if (auto s = WriteFitsImage(names.intra, pair.intra.adu, intraHeader, stamp.format); !s.ok()) return s;
    const auto extraHeader = SimulatedHeader(params, stamp.extraDateObs, stamp.exposureS);
    if (auto s = WriteFitsImage(names.extra, pair.extra.adu, extraHeader, stamp.format); !s.ok()) return s;
    const int count = TruthTermCount(params);
    // From the coefficients actually simulated, so a piston given by the user reads 0 as in the images.
    const auto simulatedRms = CoefToRms(ZernikeBasis::ForCount(kZernikeTerms), pair.coefficientsNm);
    std::vector<std::string> termNames;
    std::vector<double> rms;
    for (int k = 1; k <= count; ++k) {
        termNames.emplace_back(ZernikeName(k));
        rms.push_back(simulatedRms[k - 1]);
    }
    return WriteCoefficientFile(names.truth, termNames, rms);
}

}  // namespace frontlys
