#include <cstdio>
#include <exception>

#include "cli/commands.h"
#include "cli/plan_command.h"
#include "core/numbers.h"

int main(int argc, char** argv)
{
    // Output meant for other programs: always a point, whatever the user's locale.
    frontlys::SetDecimalSeparator('.');
    int exitCode = 0;
    try {
        CLI::App app{"frontlys-cli: curvature wavefront sensing from two defocused star images"};
        app.require_subcommand(1);
        frontlys::cli::AddInfoCommand(app, &exitCode);
        frontlys::cli::AddSimulateCommand(app, &exitCode);
        frontlys::cli::AddDemoCommand(app, &exitCode);
        frontlys::cli::AddAnalyseCommand(app, &exitCode);
        frontlys::cli::AddPlanCommand(app, &exitCode);
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError& e) {
            const int rc = app.exit(e);
            return rc == 0 ? 0 : 2;
        }
        return exitCode;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "frontlys-cli: unexpected failure: %s\n", e.what());
        return 3;
    } catch (...) {
        std::fprintf(stderr, "frontlys-cli: unexpected failure\n");
        return 3;
    }
}
