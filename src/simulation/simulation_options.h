#pragma once
// The text forms of the simulator's compound options. Numbers use "." as their decimal point here,
// since "," separates the items.
//   zernike list  "K=NM,K=NM,..."  term K (1 to 28, in the engine's order) at NM nanometres RMS
//   band          "NM1:NM2"        wavelengths from NM1 to NM2, NM1 < NM2
//   offset        "DX,DY"          pixels from the frame centre, DX along the columns, DY down the rows

#include <string_view>
#include <utility>

#include "core/status.h"
#include "simulation/simulation_params.h"

namespace frontlys {

Result<ZernikeTerms> ParseZernikeList(std::string_view text);
Result<std::pair<double, double>> ParseBand(std::string_view text);
Result<std::pair<double, double>> ParseOffset(std::string_view text);

}  // namespace frontlys
