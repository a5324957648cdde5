#pragma once
// frontlys-cli info: what the program reads from FITS files, and the loaded record's statistics.

#include <ostream>
#include <string>
#include <vector>

namespace frontlys::cli {

// One block of "key: value" lines per file, or one JSON object per line with json. A refused file
// gets its reason on err and the others are still read. Gives 0 when every file was read, 2 if not.
int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err);

}  // namespace frontlys::cli
