#include "cli/analyse_command.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include <QGuiApplication>

#include "analysis/test_session.h"
#include "cli/commands.h"
#include "core/numbers.h"
#include "display/bitmap_files.h"
#include "display/window_settings.h"
#include "files/result_files.h"

namespace frontlys::cli {
namespace {

using Json = nlohmann::ordered_json;

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

void PrintProgress(std::string_view step)
{
    std::fprintf(stderr, "frontlys-cli: %.*s...\n", static_cast<int>(step.size()), step.data());
}

// Rendering draws text, which needs a QGuiApplication; without a display the offscreen platform serves.
void EnsureGuiApplication()
{
    if (QGuiApplication::instance()) return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "frontlys-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

Status WritePicture(TImageRec* image, const Tpreferences& prefs, bool log, const std::filesystem::path& file)
{
    if (!image) return Status::Ok();
    const WindowPalettes palettes{prefs.PltSignal, prefs.PltFront, prefs.PltPSF, prefs.PltInterfero};
    KindRenderOptions options;
    options.LogDisplay = log;
    options.ScaleVisible = true;
    options.LambdaInterfero = prefs.LambdaInterfero;
    auto picture = RenderForKind(*image, QSize(image->Width, image->Height), palettes, options);
    if (!picture.ok()) return picture.status();
    return SavePng(picture.value(), file);
}

Status WritePictures(TestSession& s, const std::filesystem::path& dir)
{
    EnsureGuiApplication();
    struct Picture {
        TImageRec* image;
        const char* name;
        bool log;
    };
    const Picture pictures[] = {
        {s.ImageIntra.get(), "intra.png", false},
        {s.ImageExtra.get(), "extra.png", false},
        {s.ImageSignal.get(), "signal.png", false},
        {s.ImageFront.get(), "wavefront.png", false},
        {s.Prefs.NIter > 1 ? s.ImageResidu.get() : nullptr, "residual.png", false},
        {s.ImagePSF.get(), "psf.png", true},
        {s.ImageInterfero.get(), "interferogram.png", false},
        {s.ImageRonchi.get(), "ronchigram.png", false},
    };
    for (const Picture& p : pictures)
        if (Status st = WritePicture(p.image, s.Prefs, p.log, dir / p.name); !st.ok()) return st;
    return Status::Ok();
}

std::string Centre(const std::array<double, 2>& c)
{
    return "(" + FormatFloat("0.0", c[0]) + ", " + FormatFloat("0.0", c[1]) + ")";
}

int Refuse(const Status& s)
{
    std::fprintf(stderr, "frontlys-cli analyse: %s", s.message.c_str());
    if (!s.reason.empty()) std::fprintf(stderr, " (%s)", s.reason.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

}  // namespace

Status WriteAnalysisOutputs(const AnalysisReport& report, const std::filesystem::path& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return Status::Fail(
            StatusCode::IoError, "Dossier de sortie impossible à créer", dir.string() + ": " + ec.message());
    TestSession& s = *report.session;
    // The two writers leave "," behind them; the pictures and stdout keep the caller's separator.
    const char separator = DecimalSeparator();
    ScopedDecimalSeparator keep(separator);
    const auto coefficients = std::filesystem::absolute(dir / "coefficients.txt");
    if (Status st = WriteCoefficientFile(coefficients, report.termNames, report.zernikeRmsNm); !st.ok())
        return st;
    if (Status st = WriteOpdFile(dir / "wavefront.opd", s.ImageFront.get()); !st.ok()) return st;
    SetDecimalSeparator(separator);
    return WritePictures(s, dir);
}

std::string SummaryText(const AnalysisReport& r)
{
    std::ostringstream o;
    o << "Diamètre : " << FormatGeneral(r.diameterMm) << " mm\n"
      << "Distance focale : " << FormatGeneral(r.focalMm) << " mm\n"
      << "Taille pixels CCD : " << FormatGeneral(r.pixelUm) << " um, binning " << r.binning << " x "
      << r.softwareBinning << " (acquisition x logiciel)\n"
      << "Défocalisation : " << FormatFloat("0.000", r.defocusMm) << " mm"
      << (r.defocusComputed ? " (calculée depuis les rayons)" : "") << "\n"
      << "NIter : " << r.niter << ", NPolyZern : " << r.npoly << ", LambdaRef : " << FormatGeneral(r.lambdaNm)
      << " nm\n"
      << "Pupille intra : rayon " << FormatFloat("0.00", r.radiusIntraPx) << " pix, centre "
      << Centre(r.centreIntra) << "\n"
      << "Pupille extra : rayon " << FormatFloat("0.00", r.radiusExtraPx) << " pix, centre "
      << Centre(r.centreExtra) << "\n"
      << "Obstruction : " << FormatFloat("0.00", r.obstruction) << "\n"
      << "PTV : " << r.ptvText << "  " << r.ptvWaves << "\n"
      << "RMS : " << r.rmsText << "  " << r.rmsWaves << "\n"
      << "Rapport de Strehl : " << r.strehlText << "\n"
      << "Coefficients de Zernike (nm RMS) :\n";
    for (std::size_t i = 0; i < r.coefficientLines.size(); ++i) {
        std::string name = r.termNames[i];
        name.resize(std::max<std::size_t>(name.size(), 22), ' ');
        o << "  " << name << r.coefficientLines[i] << "\n";
    }
    return o.str();
}

std::string JsonText(const AnalysisReport& r)
{
    Json rms = Json::array(), coefs = Json::array();
    for (double v : r.zernikeRmsNm) rms.push_back(Number(v));
    for (double v : r.zernikeNm) coefs.push_back(Number(v));
    const Json j{
        {"zernike_rms_nm", rms},
        {"zernike_nm", coefs},
        {"ptv_nm", Number(r.ptvNm)},
        {"rms_nm", Number(r.rmsNm)},
        {"strehl", Number(r.strehl)},
        {"defocus_mm", Number(r.defocusMm)},
        {"radius_intra_px", Number(r.radiusIntraPx)},
        {"radius_extra_px", Number(r.radiusExtraPx)},
        {"centre_intra", {Number(r.centreIntra[0]), Number(r.centreIntra[1])}},
        {"centre_extra", {Number(r.centreExtra[0]), Number(r.centreExtra[1])}},
        {"obstruction", Number(r.obstruction)},
        {"seconds", Number(r.seconds)},
    };
    return j.dump(2) + "\n";
}

int RunAnalyse(const AnalyseRequest& request)
{
    AnalysisOptions options = request.analysis;
    options.progress = PrintProgress;
    auto result = RunAnalysis(options);
    if (!result.ok()) return Refuse(result.status());
    const AnalysisReport& report = result.value();
    for (const auto& w : report.warnings) std::fprintf(stderr, "frontlys-cli: %s\n", w.c_str());
    if (request.outDir) {
        PrintProgress("Écriture des résultats");
        if (Status s = WriteAnalysisOutputs(report, *request.outDir); !s.ok()) return Refuse(s);
    }
    std::cout << (request.json ? JsonText(report) : SummaryText(report)) << std::flush;
    return 0;
}

namespace {

// "auto" or a number of millimetres (either decimal separator).
std::string CheckDefocus(const std::string& text)
{
    if (text == "auto" || ParseNumber(text)) return {};
    return "--defocus takes a number of millimetres or auto";
}

}  // namespace

void AddAnalyseCommand(CLI::App& app, int* exitCode)
{
    auto request = std::make_shared<AnalyseRequest>();
    auto defocus = std::make_shared<std::string>("auto");
    auto intra = std::make_shared<std::string>();
    auto extra = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand("analyse", "Analyse an intra-focal and an extra-focal star image");
    AnalysisOptions& o = request->analysis;
    cmd->add_option("INTRA", *intra, "Intra-focal FITS image")->required();
    cmd->add_option("EXTRA", *extra, "Extra-focal FITS image")->required();
    cmd->add_option("--diameter", o.diameterMm, "Aperture diameter, mm (overrides the header)");
    cmd->add_option("--focal", o.focalMm, "Focal length, mm (overrides the header)");
    cmd->add_option("--pixel", o.pixelUm, "Pixel size, micrometres (default: the intra header)");
    cmd->add_option("--binning", o.binning, "Acquisition binning (default: the intra header)");
    cmd->add_option("--software-binning", o.softwareBinning, "Software binning (default 1)");
    cmd->add_option("--defocus", *defocus, "Defocus distance, mm, or auto (from the two pupil radii)")
        ->check(CheckDefocus);
    cmd->add_option("--niter", o.niter, "Reconstruction passes, 1 to 20 (default: preference NIter)");
    cmd->add_option("--npoly", o.npoly, "Zernike terms fitted, 0 to 28 (default: preference NPolyZern)");
    cmd->add_option("--lambda", o.lambdaNm, "Reference wavelength, nm (default: preference LambdaRef)");
    cmd->add_flag("--resize", o.resize, "Bring both pupils to the same radius after co-centring");
    cmd->add_option("--prefs", o.prefsFile, "A prefs.txt to start from (default: the built-in defaults)");
    cmd->add_option("--out", request->outDir, "Folder for the result files and pictures");
    cmd->add_flag("--json", request->json, "One JSON object on stdout instead of the summary");
    cmd->callback([request, defocus, intra, extra, exitCode] {
        request->analysis.intra = *intra;
        request->analysis.extra = *extra;
        if (*defocus != "auto") request->analysis.defocusMm = ParseNumber(*defocus);
        *exitCode = RunAnalyse(*request);
    });
}

}  // namespace frontlys::cli
