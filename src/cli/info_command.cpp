#include "cli/commands.h"

namespace frontlys::cli {

void AddInfoCommand(CLI::App& app, int* exitCode)
{
    auto* cmd = app.add_subcommand("info", "Header fields and statistics of FITS files");
    cmd->callback([exitCode] { *exitCode = 0; });
}

}  // namespace frontlys::cli
