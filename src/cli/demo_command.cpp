#include "cli/demo_command.h"

#include <cmath>
#include <iomanip>
#include <iostream>
#include <numbers>
#include <sstream>

#include "cli/analyse_command.h"
#include "cli/commands.h"
#include "cli/demo_pairs.h"
#include "cli/language.h"
#include "cli/simulate_command.h"
#include "core/numbers.h"
#include "engine/zernike.h"
#include "simulation/simulation_files.h"

namespace frontlys::cli {
namespace {

std::string Fixed(double v, int decimals) { return FormatFixed(v, decimals); }

std::string Padded(const std::string& text, int width)
{
    std::ostringstream s;
    s << std::setw(width) << text;
    return s.str();
}

void ReportRefusal(const Status& s, std::ostream& err) { PrintRefusal(err, "demo", s); }

}  // namespace

void PrintComparison(const SimulationParams& truth, const AnalysisReport& report, std::ostream& out)
{
    out << " k  " << std::left << std::setw(22) << Tr("terme", "term") << std::right
        << Padded(Tr("vrai", "true"), 9) << Padded(Tr("trouvé", "found"), 9) << Padded(Tr("écart", "diff"), 9)
        << "   (nm RMS)\n";
    double sq = 0;
    int counted = 0;
    for (int k = 1; k <= static_cast<int>(report.zernikeRmsNm.size()); ++k) {
        const double t = truth.zernikeRmsNm[k - 1];
        const double f = report.zernikeRmsNm[k - 1];
        out << std::setw(2) << k << "  " << std::left << std::setw(22) << ZernikeName(k) << std::right
            << Padded(Fixed(t, 2), 9) << Padded(Fixed(f, 2), 9) << Padded(Fixed(f - t, 2), 9)
            << (k <= 4 ? Tr("   (pas une aberration)", "   (not an aberration)") : "") << "\n";
        if (k >= 5) {
            sq += (f - t) * (f - t);
            ++counted;
        }
    }
    if (counted > 0)
        out << Tr("RMS des écarts, termes 5 à ", "RMS of the differences, terms 5 to ")
            << report.zernikeRmsNm.size() << ": " << Fixed(std::sqrt(sq / counted), 2) << " nm\n";
    auto waves = [](const std::string& text) { return text.empty() ? std::string() : " (" + text + ")"; };
    out << "PTV " << report.ptvText << waves(report.ptvWaves) << ", RMS " << report.rmsText
        << waves(report.rmsWaves) << ", Strehl " << report.strehlText << Tr(" à ", " at ")
        << Fixed(report.lambdaNm, 0) << " nm\n";
}

int RunDemo(const std::filesystem::path& folder, std::ostream& out, std::ostream& err)
{
    const SimulationParams params = DemoParams();
    out << Tr("Test simulé : Newton de ", "Simulated test: ") << params.diameterMm << " mm f/"
        << params.focalMm / params.diameterMm << Tr(", obstruction ", " Newtonian, obstruction ")
        << params.obstruction * 100 << Tr(" %, défocalisation ", " %, defocus ") << params.defocusMm
        << Tr(" mm, bande ", " mm, band ") << params.bandMinNm << "-" << params.bandMaxNm
        << Tr(" nm, seeing ", " nm, seeing ") << params.seeingArcsec << Tr(" seconde d'arc, ", " arcsec, ")
        << params.photons << Tr(" photo-électrons par image\n", " photo-electrons per image\n");
    if (int rc = RunSimulate(params, folder, StampNow(10, FitsSampleFormat::UInt16), out, err); rc != 0)
        return rc;
    AnalysisOptions options;
    options.intra = SimulationFileNames(folder).intra;
    options.extra = SimulationFileNames(folder).extra;
    options.derivedImages = false;
    auto report = RunAnalysis(options);
    if (!report.ok()) {
        ReportRefusal(report.status(), err);
        return 2;
    }
    const auto& r = report.value();
    out << Tr("Analyse : rayons des pupilles ", "Analysis: pupil radii ") << Fixed(r.radiusIntraPx, 2)
        << Tr(" et ", " and ") << Fixed(r.radiusExtraPx, 2) << Tr(" pix (géométrique ", " px (geometric ")
        << Fixed(DonutRadiusPx(params), 2) << Tr("), défocalisation ", "), defocus ")
        << (r.defocusComputed ? Tr("calculée ", "computed ") : "") << Fixed(r.defocusMm, 3)
        << Tr(" mm (vraie ", " mm (true ") << Fixed(params.defocusMm, 3) << "), "
        << (r.compensated ? std::string(Tr("correction analytique, ", "analytic correction, ")) +
                                std::to_string(r.compensated->passes) + " passes"
                          : "NIter " + std::to_string(r.niter))
        << "\n\n";
    PrintComparison(params, r, out);
    Progress("Écriture des résultats");
    std::vector<std::filesystem::path> written;
    if (Status s = WriteAnalysisOutputs(r, options, folder, &written); !s.ok()) {
        ReportRefusal(s, err);
        return 2;
    }
    out << "\n"
        << Tr("Fichiers et images écrits dans ", "Files and pictures written to ") << folder.string() << ":";
    for (const auto& f : written) out << " " << f.filename().string();
    out << "\n";
    return RunDemoPairs(folder / "pairs", out, err);
}

void AddDemoCommand(CLI::App& app, int* exitCode)
{
    auto folder =
        std::make_shared<std::string>((std::filesystem::temp_directory_path() / "frontlys-demo").string());
    auto* cmd = app.add_subcommand("demo", "Simulate a built-in test, analyse it, compare with the truth");
    cmd->add_option("--out", *folder, "Folder for the simulated pair, the results and the pictures")
        ->capture_default_str()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    cmd->footer(kSignConventionText);
    cmd->callback([folder, exitCode] { *exitCode = RunDemo(*folder, std::cout, std::cerr); });
}

}  // namespace frontlys::cli
