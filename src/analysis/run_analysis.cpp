#include "analysis/run_analysis.h"

#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>

#include "analysis/analysis_commands.h"
#include "analysis/compensated_command.h"
#include "analysis/derived_commands.h"
#include "analysis/frame_coordinates.h"
#include "analysis/open_commands.h"
#include "analysis/prep_commands.h"
#include "analysis/results.h"
#include "analysis/test_session.h"
#include "engine/compensated/uncertainty.h"

namespace frontlys {
namespace {

constexpr const char* kBadOptionMessage = "Paramètre invalide";

Status BadOption(std::string reason)
{
    return Status::Fail(StatusCode::OutOfRange, kBadOptionMessage, std::move(reason));
}
Status MissingParams(std::string reason)
{
    return Status::Fail(StatusCode::MissingInput, std::string(kParamsMissingMessage), std::move(reason));
}

void Progress(const AnalysisOptions& o, std::string_view step)
{
    if (o.progress) o.progress(step);
}

Result<Tpreferences> StartPreferences(const AnalysisOptions& o, std::vector<std::string>& warnings)
{
    Tpreferences prefs = DefaultPreferences();
    if (!o.prefsFile) return prefs;
    std::ifstream in(*o.prefsFile, std::ios::binary);
    if (!in)
        return Status::Fail(StatusCode::NotFound, "Fichier de préférences illisible", o.prefsFile->string());
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> rejected;
    // As at program start: a line that does not convert ends the reading, the keys before it stay.
    if (Status s = ParsePrefsText(text.str(), prefs, &rejected); !s.ok())
        warnings.push_back("prefs: " + s.reason);
    for (const auto& key : rejected) warnings.push_back("prefs: " + key + " rejected, default kept");
    return prefs;
}

Status ApplyOverrides(const AnalysisOptions& o, Tpreferences& prefs)
{
    if (o.niter) {
        if (*o.niter < 1 || *o.niter > 20) return BadOption("--niter must be 1 to 20");
        prefs.NIter = static_cast<std::uint8_t>(*o.niter);
    }
    if (o.npoly) {
        if (*o.npoly < 0 || *o.npoly > kZernikeTerms) return BadOption("--npoly must be 0 to 28");
        prefs.NPolyZern = static_cast<std::uint8_t>(*o.npoly);
    }
    if (o.lambdaNm) {
        if (!std::isfinite(*o.lambdaNm) || *o.lambdaNm <= 0) return BadOption("--lambda must be positive");
        prefs.LambdaRef = *o.lambdaNm;
    }
    if (o.analytic) prefs.CorrectionAnalytique = *o.analytic ? 1 : 0;
    if (o.trustDefocus) prefs.DefocusImpose = *o.trustDefocus ? 1 : 0;
    if (o.stopNm) {
        if (!std::isfinite(*o.stopNm) || *o.stopNm <= 0) return BadOption("--stop must be positive");
        prefs.ArretRMSFront = *o.stopNm;
    }
    if (o.maxPasses) {
        if (*o.maxPasses < 1 || *o.maxPasses > 100) return BadOption("--max-passes must be 1 to 100");
        prefs.NPassesMax = static_cast<std::uint8_t>(*o.maxPasses);
    }
    if (o.refineRounds < 0 || o.refineRounds > 20) return BadOption("--refine must be 0 to 20");
    if (o.bootstrap < 0 || o.bootstrap > 10000) return BadOption("--bootstrap must be 0 to 10000");
    if (o.obstruction && !CheckObstruction(*o.obstruction).ok())
        return BadOption("--obstruction must be 0 to 0.95");
    if (o.softwareBinning < 1) return BadOption("--software-binning must be at least 1");
    if (o.binning && *o.binning < 1) return BadOption("--binning must be at least 1");
    return Status::Ok();
}

Status Step(const CommandOutcome& outcome, std::string_view what)
{
    if (!outcome.failed()) return Status::Ok();
    Status s = outcome.status;
    s.reason = std::string(what) + ": " + s.reason;
    return s;
}

// A pupil worth analysing: some pixels above the threshold, and not the whole frame.
Status CheckPupil(const TImageRec& image, std::string_view which)
{
    const long pixels = static_cast<long>(image.Width) * image.Height;
    if (image.MaskCount > 0 && image.MaskCount < pixels && image.Radius >= 2) return Status::Ok();
    return Status::Fail(StatusCode::NumericalFailure,
                        kNoThresholdMessage,
                        "no pupil found in the " + std::string(which) + "-focal image (" +
                            std::to_string(image.MaskCount) + " of " + std::to_string(pixels) +
                            " pixels above the threshold)");
}

bool Positive(double v) { return std::isfinite(v) && v > 0; }

// The test-parameter dialog as the user fills it, from the options and the intra header.
Status EnterParams(const AnalysisOptions& o, TestSession& s, AnalysisReport& r)
{
    r.focalMm = o.focalMm.value_or(s.HeaderIntra.FocalLength);
    r.diameterMm = o.diameterMm.value_or(s.HeaderIntra.Diameter);
    r.pixelUm = o.pixelUm.value_or(s.HeaderIntra.PixelSizeX);
    r.binning = o.binning.value_or(s.HeaderIntra.BinX > 0 ? s.HeaderIntra.BinX : 1);
    r.softwareBinning = o.softwareBinning;
    if (!Positive(r.focalMm)) return MissingParams("no focal length (header or --focal)");
    if (!Positive(r.diameterMm)) return MissingParams("no diameter (header or --diameter)");
    s.Params.Focal = r.focalMm * 1'000'000;
    s.Params.ApertureRadius = r.diameterMm * 500'000;
    s.Params.VaneCount = o.vanes;
    s.Params.VaneWidth = o.vaneWidthMm * 1'000'000;
    s.Params.VaneAngle = o.vaneAngleDeg;
    r.vanes = o.vanes;
    r.vaneWidthMm = o.vaneWidthMm;
    r.vaneAngleDeg = o.vaneAngleDeg;
    const TImageRec& intra = *s.ImageIntra;
    const TImageRec& extra = *s.ImageExtra;
    if (o.defocusMm) {
        s.Params.Defocus = *o.defocusMm * 1'000'000;
    } else {
        if (!Positive(r.pixelUm)) return MissingParams("no pixel size for the defocus (header or --pixel)");
        const double binnedNm = double(r.softwareBinning) * r.binning * r.pixelUm * 1000;
        const auto k = DefocusPerPixel(binnedNm, s.Params.Focal, s.Params.ApertureRadius);
        if (k) s.Params.Defocus = (intra.Radius + extra.Radius) * *k / 2;
        r.defocusComputed = true;
    }
    if (Status st = CheckTestParams(s.Params); !st.ok()) return st;
    r.defocusMm = s.Params.Defocus / 1'000'000;
    const double pixelUm = Positive(r.pixelUm) ? r.pixelUm : 0;
    s.ImageIntra->RadiusNm = RadiusNm(r.softwareBinning, r.binning, intra.Radius, pixelUm);
    s.ImageExtra->RadiusNm = RadiusNm(r.softwareBinning, r.binning, extra.Radius, pixelUm);
    s.ParamsSaisis = true;
    return Status::Ok();
}

Status OpenAndPrepare(const AnalysisOptions& o, TestSession& s, AnalysisReport& r)
{
    Progress(o, "Ouverture des images");
    const CropMode crop = o.crop ? CropMode::Auto : CropMode::None;
    if (Status st = Step(OpenPair(s, o.intra, o.extra, crop, {}, o.softwareBinning), "opening"); !st.ok())
        return st;
    if (s.ImageIntra->Width != s.ImageExtra->Width || s.ImageIntra->Height != s.ImageExtra->Height)
        return Status::Fail(StatusCode::BadFormat,
                            kSizesDifferMessage,
                            std::to_string(s.ImageIntra->Width) + " and " +
                                std::to_string(s.ImageExtra->Width) + " pixels after padding");
    Progress(o, "Extraction des pupilles");
    (void)ExtractPupils(s);
    if (Status st = CheckPupil(*s.ImageIntra, "intra"); !st.ok()) return st;
    if (Status st = CheckPupil(*s.ImageExtra, "extra"); !st.ok()) return st;
    r.centreIntra = FramePosition(s, ImageKind::Intra, s.ImageIntra->CentreX, s.ImageIntra->CentreY);
    r.centreExtra = FramePosition(s, ImageKind::Extra, s.ImageExtra->CentreX, s.ImageExtra->CentreY);
    (void)CoCentrePupils(s);
    if (o.resize) (void)ResizePupils(s);
    if (Status st = CheckPupil(*s.ImageIntra, "intra"); !st.ok()) return st;
    if (Status st = CheckPupil(*s.ImageExtra, "extra"); !st.ok()) return st;
    r.radiusIntraPx = s.ImageIntra->Radius;
    r.radiusExtraPx = s.ImageExtra->Radius;
    Progress(o, "Signal");
    return Step(ComputeSignalCommand(s), "signal");
}

// The compensated analysis of the same two files; the defocus is measured unless given.
Status AnalyseCompensated(const AnalysisOptions& o, TestSession& s, AnalysisReport& r)
{
    CompensatedRequest request;
    if (o.defocusMm) request.defocusNm = s.Params.Defocus;
    request.obstruction = o.obstruction;
    request.refineRounds = o.refineRounds;
    request.bootstrapSamples = o.bootstrap;
    request.trustDefocus = s.Prefs.DefocusImpose != 0;
    auto run = RunCompensatedWavefront(s, request, o.progress);
    if (!run.ok()) {
        Status st = run.status();
        st.reason = "wavefront: " + st.reason;
        return st;
    }
    r.correction = "analytic";
    r.compensated = run.value();
    r.defocusMm = s.Params.Defocus / 1'000'000;
    return Status::Ok();
}

Status Analyse(const AnalysisOptions& o, TestSession& s, AnalysisReport& r)
{
    if (s.Prefs.CorrectionAnalytique) {
        if (Status st = AnalyseCompensated(o, s, r); !st.ok()) return st;
    } else {
        if (Status st = Step(ComputeWavefront(s, o.progress), "wavefront"); !st.ok()) return st;
        if (!s.Prefs.AjustAuto) (void)FitWavefront(s);
    }
    if (!o.derivedImages) return Status::Ok();
    Progress(o, "PSF");
    PsfOptions psf;
    psf.sizeIndex = PsfSizeIndexFor(s.Prefs.FactMultDiff);
    if (Status st = Step(ComputePsfCommand(s, psf), "PSF"); !st.ok()) return st;
    Progress(o, "Interférogramme et Ronchigramme");
    if (Status st = Step(ComputeInterferogram(s, FringeOptions{}), "interferogram"); !st.ok()) return st;
    return Step(ComputeRonchigram(s, FringeOptions{}), "Ronchigram");
}

// The radii's check once the aberrations are known: a strong spherical aberration makes the two
// donuts differ in size for real, which is no unequal defocus.
void RecheckRadii(TestSession& s)
{
    const TTestParams& p = s.Params;
    if (DefocusUnequal(
            s.FrameIntra.Facts, s.FrameExtra.Facts, s.CoefFront, p.Focal, p.ApertureRadius, p.Defocus))
        return;
    std::erase_if(s.Warnings, [](const Note& n) { return n.code == "unequal_radius"; });
}

void Summarise(TestSession& s, AnalysisReport& r)
{
    r.niter = s.Prefs.NIter;
    r.npoly = s.Prefs.NPolyZern;
    r.lambdaNm = s.Prefs.LambdaRef;
    r.obstruction = s.ImageFrontBrut->Obstruction;
    const WaveError e = ShowResults(s.ImageFront.get(), s.Prefs.LambdaRef);
    r.ptvNm = e.ptvNm;
    r.rmsNm = e.rmsNm;
    r.strehl = e.strehl;
    r.ptvText = e.ptvText;
    r.ptvWaves = e.ptvWaves;
    r.rmsText = e.rmsText;
    r.rmsWaves = e.rmsWaves;
    r.strehlText = e.strehlText;
    std::copy(s.CoefFront.begin(), s.CoefFront.end(), r.zernikeNm.begin());
    const ZernikeCoefficients rms = CoefToRms(s.Basis, s.CoefFront);
    const bool bars = r.compensated && !r.compensated->sigmaRmsNm.empty();
    const CoefficientList list = ShowCoefficientList(
        s.Basis, s.CoefFront, s.MasqueFrontAffiche, s.OrdresSup, bars ? &s.SigmaFront : nullptr);
    if (bars) {
        const CompensatedSummary& c = *r.compensated;
        r.rmsSigmaNm = RmsSigmaNm(c.covariance, c.terms, s.CoefFront, s.MasqueFrontAffiche);
        r.strehlSigma = StrehlSigma(r.rmsNm, r.rmsSigmaNm, s.Prefs.LambdaRef);
    }
    for (int k = 1; k <= s.Basis.Count(); ++k) {
        if (bars) r.zernikeSigmaNm.push_back(s.SigmaFront[k - 1]);
        r.zernikeRmsNm.push_back(rms[k - 1]);
        r.termNames.emplace_back(ZernikeName(k));
        r.coefficientLines.push_back(list.values[k - 1]);
    }
}

}  // namespace

Result<AnalysisReport> RunAnalysis(const AnalysisOptions& options)
{
    const auto start = std::chrono::steady_clock::now();
    AnalysisReport report;
    auto prefs = StartPreferences(options, report.warnings);
    if (!prefs.ok()) return prefs.status();
    if (Status s = ApplyOverrides(options, prefs.value()); !s.ok()) return s;
    report.session = std::make_shared<TestSession>(NewSession(prefs.value()));
    TestSession& session = *report.session;
    if (Status s = OpenAndPrepare(options, session, report); !s.ok()) return s;
    if (Status s = EnterParams(options, session, report); !s.ok()) return s;
    if (Status s = Analyse(options, session, report); !s.ok()) return s;
    RecheckRadii(session);
    Summarise(session, report);
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

}  // namespace frontlys
