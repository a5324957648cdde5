#include "cli/demo_command.h"

#include <cmath>
#include <iomanip>
#include <iostream>
#include <numbers>
#include <sstream>

#include "cli/commands.h"
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

void ReportRefusal(const Status& s, std::ostream& err)
{
    err << s.message << "\n";
    if (!s.reason.empty()) err << "  (" << s.reason << ")\n";
}

}  // namespace

void PrintComparison(const SimulationParams& truth, const AnalysisReport& report, std::ostream& out)
{
    out << " k  " << std::left << std::setw(22) << "term" << std::right << Padded("true", 9)
        << Padded("found", 9) << Padded("diff", 9) << "   (nm RMS)\n";
    double sq = 0;
    int counted = 0;
    for (int k = 1; k <= static_cast<int>(report.zernikeRmsNm.size()); ++k) {
        const double t = truth.zernikeRmsNm[k - 1];
        const double f = report.zernikeRmsNm[k - 1];
        out << std::setw(2) << k << "  " << std::left << std::setw(22) << ZernikeName(k) << std::right
            << Padded(Fixed(t, 2), 9) << Padded(Fixed(f, 2), 9) << Padded(Fixed(f - t, 2), 9)
            << (k <= 4 ? "   (not an aberration)" : "") << "\n";
        if (k >= 5) {
            sq += (f - t) * (f - t);
            ++counted;
        }
    }
    if (counted > 0)
        out << "RMS of the differences, terms 5 to " << report.zernikeRmsNm.size() << ": "
            << Fixed(std::sqrt(sq / counted), 2) << " nm\n";
    auto waves = [](const std::string& text) { return text.empty() ? std::string() : " (" + text + ")"; };
    out << "PTV " << report.ptvText << waves(report.ptvWaves) << ", RMS " << report.rmsText
        << waves(report.rmsWaves) << ", Strehl " << report.strehlText << " at " << Fixed(report.lambdaNm, 0)
        << " nm\n";
}

int RunDemo(const std::filesystem::path& folder, std::ostream& out, std::ostream& err)
{
    const SimulationParams params = DemoParams();
    out << "Simulated test: " << params.diameterMm << " mm f/" << params.focalMm / params.diameterMm
        << " Newtonian, obstruction " << params.obstruction * 100 << " %, defocus " << params.defocusMm
        << " mm, band " << params.bandMinNm << "-" << params.bandMaxNm << " nm, seeing "
        << params.seeingArcsec << " arcsec, " << params.photons << " photo-electrons per image\n";
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
    out << "Analysis: pupil radii " << Fixed(r.radiusIntraPx, 2) << " and " << Fixed(r.radiusExtraPx, 2)
        << " px (geometric " << Fixed(DonutRadiusPx(params), 2) << "), defocus "
        << (r.defocusComputed ? "computed " : "") << Fixed(r.defocusMm, 3) << " mm (true "
        << Fixed(params.defocusMm, 3) << "), NIter " << r.niter << "\n\n";
    PrintComparison(params, r, out);
    return 0;
}

void AddDemoCommand(CLI::App& app, int* exitCode)
{
    auto folder =
        std::make_shared<std::string>((std::filesystem::temp_directory_path() / "frontlys-demo").string());
    auto* cmd = app.add_subcommand("demo", "Simulate a built-in test, analyse it, compare with the truth");
    cmd->add_option("--out", *folder, "Folder for the simulated files")->capture_default_str();
    cmd->footer(kSignConventionText);
    cmd->callback([folder, exitCode] { *exitCode = RunDemo(*folder, std::cout, std::cerr); });
}

}  // namespace frontlys::cli
