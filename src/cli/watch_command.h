#pragma once
// frontlys-cli watch FOLDER: the live session. Frames landing in FOLDER are paired, analysed in the
// background, shown one line per pair with the running mean, and the trend files are kept up to date
// in the output folder (see analysis/live_session.h and cli/watch_outputs.h).

#include <filesystem>
#include <iosfwd>
#include <optional>

#include "analysis/live_session.h"

namespace CLI {
class App;
}

namespace frontlys::cli {

struct WatchRequest {
    std::filesystem::path folder;
    std::optional<std::filesystem::path> outDir;  // default: FOLDER/frontlys-session
    double intervalS = 0.4;
    bool once = false;    // take what is there (two looks, one interval apart), analyse it, stop
    bool report = false;  // report.html and report.pdf of the session beside the trend files
    LiveOptions live;
};

// 0 when the session ran (even with every pair set aside), 2 for a refused request.
int RunWatch(const WatchRequest& request, std::ostream& out, std::ostream& err);

void AddWatchCommand(CLI::App& app, int* exitCode);

}  // namespace frontlys::cli
