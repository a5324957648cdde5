#pragma once
// frontlys-cli analyse --pair INTRA EXTRA ... or --pairs LIST.txt: the same analysis on several
// pairs of one star taken in a row, each pair's result, and for each term the mean, the standard
// deviation and the standard error over the pairs kept (see analysis/pair_average.h).

#include <filesystem>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "analysis/run_analysis.h"
#include "cli/analyse_command.h"
#include "core/status.h"

namespace CLI {
class App;
}

namespace frontlys::cli {

using FilePair = std::pair<std::filesystem::path, std::filesystem::path>;

// A list file: one pair a line, "INTRA EXTRA" separated by blanks (or a tab, when the names hold
// blanks); empty lines and lines starting with '#' are skipped; relative names are taken from the
// list's folder. Refused for an unreadable file or a line without exactly two names.
Result<std::vector<FilePair>> ReadPairList(const std::filesystem::path& list);

struct PairsRequest {
    AnalysisOptions analysis;  // intra and extra unused
    std::vector<FilePair> pairs;
    std::optional<std::filesystem::path> outDir;  // receives pairs.csv and pairs.json
    bool json = false;
    std::optional<ReportOptions> report;  // report.html and report.pdf into outDir too
};

// A several-pair run that averaged the pairs it could analyse but refused at least one.
inline constexpr int kSomePairsRefused = 4;

// 0 when every pair was analysed; kSomePairsRefused when some were refused (each reported and left
// out of the average); 2 when none was. The set is checked: a pair given twice (pair_twice) and pairs
// of different setups (mixed_setups) are warned.
int RunAnalysePairs(const PairsRequest& request, std::ostream& out, std::ostream& err);

// The analyse command's options for several pairs and for the cut of large frames.
struct PairOptions {
    std::vector<std::pair<std::string, std::string>> pairs;  // --pair INTRA EXTRA, repeatable
    std::string list;                                        // --pairs LIST.txt
    std::string crop = "auto";                               // --crop auto|none
};
void AddPairOptions(CLI::App& command, PairOptions& options);

// Applies --crop, then runs the several-pair analysis when pairs were given and returns its exit
// status; nullopt when the request is for the single pair INTRA EXTRA. Gives 2 when neither is given.
std::optional<int> RunPairOptions(const PairOptions& options, AnalyseRequest& request);

}  // namespace frontlys::cli
