#pragma once
// The demo's second part: three pairs of the same telescope taken in a row under different seeing
// and light, analysed and averaged, the mean with its error set against the truth.

#include <filesystem>
#include <ostream>

namespace frontlys::cli {

// Writes pair1 .. pair3 in folder; 0 done, 2 when a pair could not be simulated or none analysed.
int RunDemoPairs(const std::filesystem::path& folder, std::ostream& out, std::ostream& err);

}  // namespace frontlys::cli
