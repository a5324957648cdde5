#pragma once
// Each sub-command of frontlys-cli registers itself on the application; the callback it installs
// stores its exit status in *exitCode (0 done, 2 refused input).

#include <CLI/CLI.hpp>

namespace frontlys::cli {

void AddInfoCommand(CLI::App& app, int* exitCode);
void AddSimulateCommand(CLI::App& app, int* exitCode);
void AddDemoCommand(CLI::App& app, int* exitCode);
void AddAnalyseCommand(CLI::App& app, int* exitCode);

}  // namespace frontlys::cli
