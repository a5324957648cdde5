#include "cli/analyse_command.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/test_session.h"
#include "cli/analyse_pairs.h"
#include "cli/commands.h"
#include "cli/language.h"
#include "cli/output_set.h"
#include "cli/pictures.h"
#include "cli/result_json.h"
#include "cli/threads_option.h"
#include "cli/transfer_pictures.h"
#include "core/atomic_write.h"
#include "core/numbers.h"
#include "files/result_files.h"

namespace frontlys::cli {
namespace {

using Json = nlohmann::ordered_json;

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// Every file an analysis can leave in its folder: a new run removes the ones it does not write.
const std::vector<std::string> kResultNames = {"coefficients.txt",
                                               "coefficients.csv",
                                               "results.json",
                                               "wavefront.opd",
                                               "intra.png",
                                               "extra.png",
                                               "signal.png",
                                               "wavefront.png",
                                               "residual.png",
                                               "psf.png",
                                               "interferogram.png",
                                               "ronchigram.png",
                                               "mtf.png",
                                               "encircled_energy.png",
                                               "report.html",
                                               "report.pdf"};

std::string PictureTitle(const std::string& what,
                         const AnalysisReport& r,
                         const std::filesystem::path& source)
{
    return source.filename().string() + " : " + what + "\nD " + FormatGeneral(r.diameterMm) + " mm, F " +
           FormatGeneral(r.focalMm) + " mm, " + Tr("défoc. ", "defocus ") + FormatFixed(r.defocusMm, 3) +
           " mm, obstr. " + FormatFixed(r.obstruction, 2) + ", NIter " + std::to_string(r.niter) + ", " +
           FormatGeneral(r.lambdaNm) + " nm";
}

Status WritePictures(const AnalysisReport& r, const AnalysisOptions& o, const OutputSet& set)
{
    TestSession& s = *r.session;
    // The residual the window shows: the zonal part of an analytic run, the last pass of a numeric
    // loop of several passes (a single pass leaves none).
    TImageRec* residual = r.compensated || s.Prefs.NIter > 1 ? s.ImageResidu.get() : nullptr;
    struct Picture {
        TImageRec* image;
        const char* name;
        const char* fr;
        const char* en;
        bool log;
    };
    const Picture pictures[] = {
        {s.ImageIntra.get(), "intra.png", "image intra-focale", "intra-focal image", false},
        {s.ImageExtra.get(),
         "extra.png",
         "image extra-focale (tournée de 180°)",
         "extra-focal image (turned 180°)",
         false},
        {s.ImageSignal.get(), "signal.png", "signal", "signal", false},
        {s.ImageFront.get(), "wavefront.png", "front d'onde (nm)", "wavefront (nm)", false},
        {residual, "residual.png", "front résiduel (nm)", "residual wavefront (nm)", false},
        {s.ImagePSF.get(), "psf.png", "PSF, échelle log", "PSF, log scale", true},
        {s.ImageInterfero.get(), "interferogram.png", "interférogramme", "interferogram", false},
        {s.ImageRonchi.get(), "ronchigram.png", "Ronchigramme", "Ronchigram", false},
    };
    for (const Picture& p : pictures) {
        if (!p.image) continue;
        const PictureStyle style{PictureTitle(Tr(p.fr, p.en), r, o.intra), p.log};
        if (Status st = WritePicture(*p.image, s.Prefs, style, set.Staged(p.name)); !st.ok()) return st;
    }
    return WriteTransferPictures(r, o.intra.filename().string(), set);
}

std::string Centre(const std::array<double, 2>& c)
{
    return "(" + FormatFloat("0.0", c[0]) + ", " + FormatFloat("0.0", c[1]) + ")";
}

int Refuse(const Status& s)
{
    PrintRefusal(std::cerr, "analyse", s);
    return 2;
}

// The final place of every file the staged set holds, results.json included.
std::vector<std::filesystem::path> FilesOf(const OutputSet& set)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const std::string& name : kResultNames)
        if (name == "results.json" || std::filesystem::exists(set.Staged(name), ec))
            files.push_back(set.Final(name));
    return files;
}

}  // namespace

namespace {

Status WriteSet(const AnalysisReport& report,
                const AnalysisOptions& options,
                const OutputSet& set,
                const ReportOptions* reportOptions)
{
    TestSession& s = *report.session;
    {
        // The two writers leave "," behind them; the pictures and stdout keep the caller's separator.
        ScopedDecimalSeparator keep(DecimalSeparator());
        // Line 1 names the file where it ends up, not where it is staged.
        const std::string text =
            CoefficientFileText(std::filesystem::absolute(set.Final("coefficients.txt")).string(),
                                report.termNames,
                                report.zernikeRmsNm);
        if (Status st = WriteFileAtomically(set.Staged("coefficients.txt"), text); !st.ok()) return st;
        if (Status st = WriteOpdFile(set.Staged("wavefront.opd"), s.ImageFront.get()); !st.ok()) return st;
    }
    if (Status st = WriteCoefficientCsv(set.Staged("coefficients.csv"), CoefficientRows(report)); !st.ok())
        return st;
    if (Status st = WritePictures(report, options, set); !st.ok()) return st;
    if (reportOptions) {
        const ReportContent content = ReportOf(report, options, *reportOptions);
        if (Status st = WriteReportHtml(content, set.Staged("report.html")); !st.ok()) return st;
        if (Status st = WriteReportPdf(content, set.Staged("report.pdf")); !st.ok()) return st;
    }
    return WriteFileAtomically(set.Staged("results.json"), JsonText(report, options, FilesOf(set)));
}

}  // namespace

Status WriteAnalysisOutputs(const AnalysisReport& report,
                            const AnalysisOptions& options,
                            const std::filesystem::path& dir,
                            std::vector<std::filesystem::path>* written,
                            const ReportOptions* reportOptions)
{
    OutputSet set(dir, kResultNames);
    if (Status st = set.Begin(); !st.ok()) return st;
    if (Status st = WriteSet(report, options, set, reportOptions); !st.ok()) return set.AsFinal(st);
    if (Status st = set.Commit(); !st.ok()) return st;
    if (written) *written = set.Written();
    return Status::Ok();
}

namespace {

bool Bootstrapped(const AnalysisReport& r) { return r.compensated && r.compensated->bootstrapSamples > 0; }

// " ± 0.3 nm" after a value that has error bars.
std::string Bar(const AnalysisReport& r, double sigma, const char* format, const char* unit)
{
    if (r.zernikeSigmaNm.empty()) return {};
    return " ± " + FormatFloat(format, sigma) + unit;
}

// What the wavefront correction did: the loop of NIter passes, or the compensated analysis.
std::string CorrectionLine(const AnalysisReport& r)
{
    if (!r.compensated) return Tr("Correction : numérique\n", "Correction: numeric\n");
    const CompensatedSummary& c = *r.compensated;
    return std::string(Tr("Correction : analytique, ", "Correction: analytic, ")) + std::to_string(c.passes) +
           " passes (" + StopCode(c.stop) + "), " + Tr("fond ", "background ") +
           FormatFixed(c.backgroundAdu[0], 1) + " / " + FormatFixed(c.backgroundAdu[1], 1) + " ADU, " +
           Tr("jacobien minimal ", "smallest Jacobian ") + FormatFixed(c.minJacobian, 2) + "\n";
}

}  // namespace

std::string SummaryText(const AnalysisReport& r)
{
    std::ostringstream o;
    o << Tr("Diamètre : ", "Diameter: ") << FormatGeneral(r.diameterMm) << " mm\n"
      << Tr("Distance focale : ", "Focal length: ") << FormatGeneral(r.focalMm) << " mm\n"
      << Tr("Taille pixels CCD : ", "Pixel size: ") << FormatGeneral(r.pixelUm) << " um, binning "
      << r.binning << " x " << r.softwareBinning
      << Tr(" (acquisition x logiciel)\n", " (acquisition x software)\n")
      << Tr("Défocalisation : ", "Defocus: ") << FormatFloat("0.000", r.defocusMm) << " mm"
      << (r.defocusComputed ? Tr(" (calculée depuis les rayons)", " (computed from the pupil radii)") : "")
      << "\n"
      << Tr("NIter : ", "NIter: ") << r.niter << Tr(", NPolyZern : ", ", NPolyZern: ") << r.npoly
      << Tr(", LambdaRef : ", ", LambdaRef: ") << FormatGeneral(r.lambdaNm) << " nm\n"
      << Tr("Pupille intra : rayon ", "Intra pupil: radius ") << FormatFloat("0.00", r.radiusIntraPx)
      << " pix, centre " << Centre(r.centreIntra) << "\n"
      << Tr("Pupille extra : rayon ", "Extra pupil: radius ") << FormatFloat("0.00", r.radiusExtraPx)
      << " pix, centre " << Centre(r.centreExtra) << "\n"
      << Tr("Obstruction : ", "Obstruction: ") << FormatFloat("0.00", r.obstruction) << "\n"
      << CorrectionLine(r) << Tr("PTV : ", "PTV: ") << r.ptvText << "  " << r.ptvWaves << "\n"
      << Tr("RMS : ", "RMS: ") << r.rmsText << Bar(r, r.rmsSigmaNm, "0.0", " nm") << "  " << r.rmsWaves
      << "\n"
      << Tr("Rapport de Strehl : ", "Strehl ratio: ") << r.strehlText << Bar(r, r.strehlSigma, "0.000", "")
      << "\n"
      << Tr("Coefficients de Zernike (nm RMS", "Zernike coefficients (nm RMS")
      << (r.zernikeSigmaNm.empty() ? "" : Tr(", ± 1 sigma du bruit", ", ± 1 sigma of the noise"))
      << (Bootstrapped(r) ? Tr(" ; bootstrap", "; bootstrap") : "") << ")" << Tr(" :\n", ":\n");
    for (std::size_t i = 0; i < r.coefficientLines.size(); ++i) {
        std::string name = r.termNames[i];
        name.resize(std::max<std::size_t>(name.size(), 22), ' ');
        std::string line = r.coefficientLines[i];
        if (Bootstrapped(r) && i < r.compensated->bootstrapSigmaRmsNm.size() && i >= 1)
            line += "  (bootstrap ± " + FormatFixed(r.compensated->bootstrapSigmaRmsNm[i], 2) + ")";
        o << "  " << name << line << "\n";
    }
    if (Bootstrapped(r))
        o << Tr("Bootstrap paramétrique : ", "Parametric bootstrap: ") << r.compensated->bootstrapSamples
          << Tr(" copies bruitées analysées", " noisy copies analysed")
          << (r.compensated->bootstrapFailed > 0
                  ? ", " + std::to_string(r.compensated->bootstrapFailed) + Tr(" refusées", " refused")
                  : std::string())
          << "\n";
    // What the analysis did and the checks on the data, as the information window's results page.
    const auto list = [&o](const char* title, const std::vector<Note>& notes) {
        if (notes.empty()) return;
        o << title;
        for (const Note& n : notes) o << "  " << (CurrentLanguage() == Lang::Fr ? n.fr : n.en) << "\n";
    };
    list(Tr("Notes :\n", "Notes:\n"), r.session->Notes);
    list(Tr("Avertissements :\n", "Warnings:\n"), r.session->Warnings);
    return o.str();
}

std::string JsonText(const AnalysisReport& r)
{
    Json rms = Json::array(), coefs = Json::array();
    for (double v : r.zernikeRmsNm) rms.push_back(Number(v));
    for (double v : r.zernikeNm) coefs.push_back(Number(v));
    // The bars, when the analysis gives them; null otherwise (the numeric correction).
    const bool bars = !r.zernikeSigmaNm.empty();
    Json sigma = bars ? Json::array() : Json(nullptr);
    for (double v : r.zernikeSigmaNm) sigma.push_back(Number(v));
    Json j{
        {"zernike_rms_nm", rms},
        {"zernike_nm", coefs},
        {"zernike_sigma_nm", sigma},
        {"ptv_nm", Number(r.ptvNm)},
        {"rms_nm", Number(r.rmsNm)},
        {"rms_sigma_nm", bars ? Number(r.rmsSigmaNm) : Json(nullptr)},
        {"strehl", Number(r.strehl)},
        {"strehl_sigma", bars ? Number(r.strehlSigma) : Json(nullptr)},
        {"defocus_mm", Number(r.defocusMm)},
        {"defocus_intra_mm", r.compensated ? Number(r.compensated->defocusIntraNm / 1e6) : Json()},
        {"defocus_extra_mm", r.compensated ? Number(r.compensated->defocusExtraNm / 1e6) : Json()},
        {"radius_intra_px", Number(r.radiusIntraPx)},
        {"radius_extra_px", Number(r.radiusExtraPx)},
        {"centre_intra", {Number(r.centreIntra[0]), Number(r.centreIntra[1])}},
        {"centre_extra", {Number(r.centreExtra[0]), Number(r.centreExtra[1])}},
        {"obstruction", Number(r.obstruction)},
        {"seconds", Number(r.seconds)},
    };
    j["correction"] = r.correction;
    if (const auto& c = r.compensated) {
        j["background_adu"] = {Number(c->backgroundAdu[0]), Number(c->backgroundAdu[1])};
        j["passes"] = c->passes;
        j["stop"] = StopCode(c->stop);
        j["min_jacobian"] = Number(c->minJacobian);
        j["blur_px"] = Number(c->blurPx);
        j["refine_residual_nm"] = c->refineResidualNm ? Number(*c->refineResidualNm) : Json();
        j["refine_rounds"] = c->refineRounds;
        if (!c->refineSkipped.empty()) j["refine_skipped"] = c->refineSkipped;
        j["refine_coarse_grid"] = c->refineCoarse;
        j["refine_unsettled"] = c->refineUnsettled;
        j["misfit_unrefined"] = c->misfitUnrefined ? Number(*c->misfitUnrefined) : Json();
        j["misfit_refined"] = c->misfitRefined ? Number(*c->misfitRefined) : Json();
        j["kept"] = c->kept;
        if (const auto& f = c->imageFit) {
            Json fit = {{"ran", f->failure.empty()}, {"why", f->reason}};
            if (f->failure.empty()) {
                fit["misfit_start"] = Number(f->misfitStart);
                fit["misfit"] = Number(f->misfit);
                fit["intra_distance_mm"] = Number(f->distanceNm[0] / 1e6);
                fit["extra_distance_mm"] = Number(f->distanceNm[1] / 1e6);
                fit["kept"] = f->kept;
                Json start = Json::array();
                for (double v : f->startRmsNm) start.push_back(Number(v));
                fit["start_zernike_rms_nm"] = start;
            } else {
                fit["failure"] = f->failure;
            }
            j["image_fit"] = fit;
        } else {
            j["image_fit"] = {{"ran", false}};
        }
        if (const auto& v = c->vanesMeasured) {
            // Asked for with --vanes auto: what the images showed (count 0: none, with why).
            j["vanes_measured"] = {{"count", v->count},
                                   {"width_mm", v->count > 0 ? Number(v->widthMm) : Json()},
                                   {"angle_deg", v->count > 0 ? Number(v->angleDeg) : Json()},
                                   {"significance", Number(v->significance)},
                                   {"method", v->method}};
            if (v->count == 0) j["vanes_measured"]["reason"] = v->reason;
            if (v->count > 0 && v->otherWidthMm > 0)
                j["vanes_measured"]["second_bar"] = {{"width_mm", Number(v->otherWidthMm)},
                                                     {"turn_deg", Number(v->otherTurnDeg)}};
        }
        if (const auto& k = c->scale)
            j["scale"] = {{"given_defocus_mm", Number(k->givenDefocusNm / 1e6)},
                          {"measured_defocus_mm", Number(k->measuredDefocusNm / 1e6)},
                          {"given_radius_px", Number(k->givenRhoPx)},
                          {"measured_radius_px", Number(k->measuredRhoPx)},
                          {"mismatch_percent", Number(100 * k->mismatch)},
                          {"tolerance_percent", Number(100 * k->tolerance)},
                          {"used", k->usedMeasured ? "measured" : "given"}};
        j["tilts_measured"] = false;  // the light centroids fix the centres
        if (!c->sigmaRmsNm.empty()) {
            Json reasons = Json::array();
            for (const auto& why : c->lowerBoundReasons) reasons.push_back(why);
            j["sigma_lower_bound"] = !c->lowerBoundReasons.empty();
            j["sigma_lower_bound_reasons"] = reasons;
            j["noise_model"] = {
                {"sky_sigma_adu", {Number(c->skyNoiseAdu[0]), Number(c->skyNoiseAdu[1])}},
                {"photon_variance_per_adu", {Number(c->photonVariance[0]), Number(c->photonVariance[1])}}};
        }
        if (c->bootstrapSamples > 0) {
            Json spread = Json::array();
            for (double v : c->bootstrapSigmaRmsNm) spread.push_back(Number(v));
            j["bootstrap"] = {{"samples", c->bootstrapSamples},
                              {"refused", c->bootstrapFailed},
                              {"zernike_sigma_nm", spread}};
        }
    }
    return j.dump(2) + "\n";
}

std::string JsonText(const AnalysisReport& r,
                     const AnalysisOptions& options,
                     const std::vector<std::filesystem::path>& files)
{
    Json j = Json::parse(JsonText(r));
    DescribeAnalysis(j, r, options, files);
    // Header texts and file names are bytes: invalid UTF-8 is replaced, never thrown on.
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

// Checked before anything is computed, so a mistake costs no time and changes nothing.
Status CheckRequest(const AnalyseRequest& request)
{
    const AnalysisOptions& o = request.analysis;
    const auto bad = [](std::string reason) {
        return Status::Fail(StatusCode::OutOfRange, "Paramètre invalide", reason);
    };
    const auto positive = [&](const std::optional<double>& v, const char* option) -> Status {
        if (!v || (std::isfinite(*v) && *v > 0)) return Status::Ok();
        return bad(
            std::string(option) +
            (*v < 0 ? Tr(" est négatif", " is negative") : Tr(" doit être positif", " must be positive")) +
            ": " + FormatGeneral(*v));
    };
    for (Status s : {positive(o.diameterMm, "--diameter"),
                     positive(o.focalMm, "--focal"),
                     positive(o.pixelUm, "--pixel"),
                     positive(o.defocusMm, "--defocus")})
        if (!s.ok()) return s;
    if (o.softwareBinning < 1 || o.softwareBinning > 8)
        return bad(Tr("--software-binning va de 1 à 8", "--software-binning must be 1 to 8"));
    if (o.prefsFile) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(*o.prefsFile, ec) || ::access(o.prefsFile->c_str(), R_OK) != 0)
            return Status::Fail(
                StatusCode::NotFound,
                "Fichier de préférences illisible",
                o.prefsFile->string() + Tr(" : pas un fichier lisible", ": not a readable file"));
    }
    if (request.outDir) return CheckOutputFolder(*request.outDir);
    if (request.report) return bad(Tr("--report demande --out", "--report needs --out"));
    return Status::Ok();
}

void ShowProgress(std::string_view step) { Progress(step); }

// Options the chosen correction does not use, said rather than taken silently.
void NoteIdleOptions(const AnalyseRequest& request, AnalysisReport& report)
{
    const AnalysisOptions& o = request.analysis;
    std::vector<std::string> idle;
    if (report.correction == "analytic") {
        if (o.niter) idle.push_back("--niter");
        if (o.resize) idle.push_back("--resize");
        for (const auto& name : idle)
            report.warnings.push_back(name + " has no effect with the analytic correction");
    } else {
        if (request.refineGiven) idle.push_back("--refine");
        if (o.stopNm) idle.push_back("--stop");
        if (o.maxPasses) idle.push_back("--max-passes");
        if (o.obstruction) idle.push_back("--obstruction");
        if (o.vanes != 0) idle.push_back("--vanes");
        for (const auto& name : idle)
            report.warnings.push_back(name + " has no effect with the numeric correction");
    }
}

}  // namespace

int RunAnalyse(const AnalyseRequest& request)
{
    if (Status s = CheckRequest(request); !s.ok()) return Refuse(s);
    AnalysisOptions options = request.analysis;
    options.progress = ShowProgress;
    // The PSF, interferogram and Ronchigram only feed the pictures; the Strehl comes from the RMS.
    options.derivedImages = request.outDir.has_value();
    auto result = RunAnalysis(options);
    if (!result.ok()) return Refuse(result.status());
    AnalysisReport& report = result.value();
    NoteIdleOptions(request, report);
    for (const auto& w : RunWarnings(report))
        std::cerr << "frontlys-cli: " << Tr("attention : ", "warning: ") << w << "\n";
    std::vector<std::filesystem::path> written;
    if (request.outDir) {
        Progress("Écriture des résultats");
        const ReportOptions* reportOptions = request.report ? &*request.report : nullptr;
        if (Status s = WriteAnalysisOutputs(report, options, *request.outDir, &written, reportOptions);
            !s.ok())
            return Refuse(s);
        if (!Quiet() && !request.json)
            std::cerr << "frontlys-cli: " << Tr("résultats écrits dans ", "results written to ")
                      << request.outDir->string() << "\n";
    }
    std::cout << (request.json ? JsonText(report, options, written) : SummaryText(report)) << std::flush;
    return 0;
}

namespace {

// "auto" or a number of millimetres (either decimal separator).
std::string CheckDefocus(const std::string& text)
{
    if (text == "auto" || ParseNumber(text)) return {};
    return "--defocus takes a number of millimetres or auto";
}

std::string CheckVanesOption(const std::string& text)
{
    if (text == "auto") return {};
    const std::optional<double> n = ParseNumber(text);
    if (n && *n == std::floor(*n) && *n >= 0 && *n <= kMaxVanes) return {};
    return "--vanes takes a count of 0 to 16 or auto";
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
    cmd->add_option("INTRA", *intra, "Intra-focal FITS image (or --pair / --pairs)");
    cmd->add_option("EXTRA", *extra, "Extra-focal FITS image");
    auto pairOptions = std::make_shared<PairOptions>();
    AddPairOptions(*cmd, *pairOptions);
    cmd->add_option("--diameter", o.diameterMm, "Aperture diameter, mm (overrides the header)");
    cmd->add_option("--focal", o.focalMm, "Focal length, mm (overrides the header)");
    cmd->add_option("--pixel", o.pixelUm, "Pixel size, micrometres (default: the intra header)");
    cmd->add_option("--binning", o.binning, "Acquisition binning (default: the intra header)");
    cmd->add_option("--software-binning",
                    o.softwareBinning,
                    "Pixels summed by the program in each direction before the analysis, 1 to 8 (default 1): "
                    "enters the pixel scale like the camera binning");
    cmd->add_option("--defocus", *defocus, "Defocus distance, mm, or auto (from the two pupil radii)")
        ->check(CheckDefocus);
    cmd->add_option("--niter", o.niter, "Reconstruction passes, 1 to 20 (default: preference NIter, 1)");
    cmd->add_option("--npoly", o.npoly, "Zernike terms fitted, 0 to 28 (default: preference NPolyZern, 22)");
    cmd->add_option("--lambda", o.lambdaNm, "Reference wavelength, nm (default: preference LambdaRef, 555)");
    cmd->add_flag("--resize", o.resize, "Bring both pupils to the same radius after co-centring");
    cmd->add_option_function<std::string>(
           "--correction",
           [request](const std::string& v) { request->analysis.analytic = v == "analytic"; },
           "analytic: the compensated analysis of the raw frames; numeric: the correction loop of --niter "
           "passes "
           "(default: preference, analytic)")
        ->check(CLI::IsMember({"analytic", "numeric"}));
    cmd->add_option(
        "--refine",
        o.refineRounds,
        "Rounds of the forward-model refinement of the analytic correction, 0 to skip it (default 4)");
    cmd->add_option(
        "--stop", o.stopNm, "Stop value of the analytic correction, nm RMS of an update (default 0.02)");
    cmd->add_option("--max-passes",
                    o.maxPasses,
                    "Cap on the passes of the analytic correction, counted over all the rounds that settle "
                    "the pupil's size (default 42)");
    cmd->add_option("--obstruction",
                    o.obstruction,
                    "Known central obstruction, fraction of the radius (default: measured)");
    cmd->add_option_function<std::string>(
           "--vanes",
           [request](const std::string& v) {
               request->analysis.vanes = v == "auto" ? kVanesMeasured : static_cast<int>(*ParseNumber(v));
           },
           "Spider vanes across the pupil, 0 to 16, or auto: measured from the images (default 0: none)")
        ->check(CheckVanesOption);
    cmd->add_option("--vane-width", o.vaneWidthMm, "Full width of each spider vane, mm");
    cmd->add_option("--vane-angle",
                    o.vaneAngleDeg,
                    "Direction of the first vane, degrees from +x towards +y (intra image)");
    cmd->add_option(
        "--bootstrap",
        o.bootstrap,
        "Parametric bootstrap of the analytic correction's error bars: N noisy pairs rendered from "
        "the answer with the data's noise, analysed the same way on every core (default 0: none)");
    cmd->add_flag_function(
        "--trust-defocus",
        [request](std::int64_t) { request->analysis.trustDefocus = true; },
        "Keep the given --defocus even when the image size disagrees with it (it still warns; default: "
        "preference DefocusImpose, 0: the measured scale is used)");
    cmd->add_option("--prefs", o.prefsFile, "A prefs.txt to start from (default: the built-in defaults)");
    AddThreadsOption(*cmd);
    cmd->add_option(
        "--out", request->outDir, "Folder for the result files and pictures, replaced as a whole set");
    cmd->add_flag("--json", request->json, "One JSON object on stdout instead of the summary");
    auto report = AddReportOptions(*cmd);
    cmd->callback([request, defocus, intra, extra, pairOptions, report, exitCode, cmd] {
        request->report = report->Requested();
        request->analysis.intra = *intra;
        request->analysis.extra = *extra;
        request->refineGiven = cmd->count("--refine") > 0;
        if (*defocus != "auto") request->analysis.defocusMm = ParseNumber(*defocus);
        if (request->analysis.prefsFile) ApplyPrefsThreads(*request->analysis.prefsFile);
        if (auto several = RunPairOptions(*pairOptions, *request)) {
            *exitCode = *several;
            return;
        }
        *exitCode = RunAnalyse(*request);
    });
}

}  // namespace frontlys::cli
