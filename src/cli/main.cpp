#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>

#include <QString>
#include <QtGlobal>

#include "cli/commands.h"
#include "cli/language.h"
#include "cli/output_set.h"
#include "cli/plan_command.h"
#include "cli/threads_option.h"
#include "cli/watch_command.h"
#include "core/numbers.h"

namespace {

// Qt's own notices (such as the runtime-directory one of the offscreen platform) are no concern of
// the user: only its critical and fatal messages reach stderr.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "frontlys-cli: %s\n", message.toLocal8Bit().constData());
}

// --lang and --quiet act on every line, those of the option parsing included: read them first.
void ReadGlobalOptions(int argc, char** argv)
{
    frontlys::cli::SetLanguage(frontlys::cli::LanguageFromEnvironment());
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        std::string_view value;
        if (a == "--lang" && i + 1 < argc) value = argv[i + 1];
        if (a.starts_with("--lang=")) value = a.substr(7);
        if (value == "fr") frontlys::cli::SetLanguage(frontlys::cli::Lang::Fr);
        if (value == "en") frontlys::cli::SetLanguage(frontlys::cli::Lang::En);
        if (a == "--quiet" || a == "-q") frontlys::cli::SetQuiet(true);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Output meant for other programs: always a point, whatever the user's locale.
    frontlys::SetDecimalSeparator('.');
    qInstallMessageHandler(QuietQtMessages);
    ReadGlobalOptions(argc, argv);
    frontlys::cli::InstallSignalHandlers();
    int exitCode = 0;
    try {
        CLI::App app{"frontlys-cli: curvature wavefront sensing from two defocused star images"};
        app.require_subcommand(1);
        app.fallthrough();  // --lang and --quiet may come after the command too
        std::string lang;
        bool quiet = false;
        app.add_option("--lang", lang, "Language of every message: fr or en (default: from the locale)")
            ->check(CLI::IsMember({"fr", "en"}));
        app.add_flag("-q,--quiet", quiet, "No progress or information lines; errors and warnings only");
        frontlys::cli::AddThreadsOption(app);
        frontlys::cli::AddInfoCommand(app, &exitCode);
        frontlys::cli::AddSimulateCommand(app, &exitCode);
        frontlys::cli::AddDemoCommand(app, &exitCode);
        frontlys::cli::AddAnalyseCommand(app, &exitCode);
        frontlys::cli::AddPlanCommand(app, &exitCode);
        frontlys::cli::AddWatchCommand(app, &exitCode);
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
