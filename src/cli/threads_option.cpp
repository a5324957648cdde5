#include "cli/threads_option.h"

#include <CLI/CLI.hpp>
#include <fstream>
#include <sstream>

#include "core/thread_pool.h"
#include "files/prefs.h"

namespace frontlys::cli {
namespace {

bool g_threadsGiven = false;

}  // namespace

void AddThreadsOption(CLI::App& app)
{
    app.add_option_function<int>(
           "--threads",
           [](int count) {
               g_threadsGiven = true;
               SetThreadCount(count);
           },
           "Threads of the computations, 0 for one per core (default: preference Threads, 0); the results "
           "do not depend on it")
        ->check(CLI::Range(0, 1024));
}

void ApplyPrefsThreads(const std::filesystem::path& prefsFile)
{
    if (g_threadsGiven) return;
    std::ifstream in(prefsFile, std::ios::binary);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    Tpreferences prefs;
    (void)ParsePrefsText(text.str(), prefs);  // the keys before a fault still apply
    SetThreadCount(prefs.Threads);
}

}  // namespace frontlys::cli
