#pragma once
// --threads N: the threads of the shared pool, 0 for one per core (the default). Given on the tool
// or on a command; without it, the Threads key of the --prefs file of an analysis applies.

#include <filesystem>

namespace CLI {
class App;
}

namespace frontlys::cli {

void AddThreadsOption(CLI::App& app);
// When no --threads was given: the Threads key of a prefs.txt, if the file reads (its faults are
// reported by the analysis itself).
void ApplyPrefsThreads(const std::filesystem::path& prefsFile);

}  // namespace frontlys::cli
