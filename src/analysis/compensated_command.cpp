#include "analysis/compensated_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "analysis/analysis_warnings.h"
#include "analysis/coefficient_uncertainty.h"
#include "analysis/data_checks.h"
#include "engine/compensated/analysis.h"
#include "engine/compensated/map.h"
#include "engine/compensated/pipeline.h"
#include "engine/compensated/uncertainty.h"
#include "prep/crop.h"

namespace frontlys {
namespace {

constexpr double kWholeFramePixels = 4e6;

struct Frame {
    std::vector<double> pixels;
    int width = 0, height = 0;
    RawFrame raw() const { return {pixels, width, height}; }
};

// A camera frame of many megapixels holds far more sky than the analysis reads (the donut, its
// background annulus out to about 2 r + 26 and the refinement's window): it keeps a window of
// 4.5 r + 80 pixels around the donut located at opening, at the same scale, so a 6000 x 4000 frame
// costs what a stamp does. Smaller frames are used whole.
std::optional<DonutLocation> DonutToCutAround(const OpenedFrame& f)
{
    if (double(f.Width) * f.Height <= kWholeFramePixels) return std::nullopt;
    if (f.Facts.donut) return f.Facts.donut;
    // A donut too faint to count as a star still places the window; the analysis decides on it.
    auto located = LocateDonutInFrame(f.Pixels, f.Width, f.Height);
    if (!located.ok()) return std::nullopt;  // the analysis refuses the frame itself, with its own reason
    return located.take();
}

// The frame as opening read it, cut as above; the extra-focal one turned by 180 degrees, as its
// record is.
Frame FrameOf(const OpenedFrame& opened, bool turn)
{
    const std::optional<DonutLocation> d = DonutToCutAround(opened);
    const int side = d ? static_cast<int>(std::ceil(4.5 * d->main.radius + 80)) : 0;
    Frame f;
    if (d && side < std::min(opened.Width, opened.Height)) {
        const ImageSlot cut = CutSquare(opened.Pixels,
                                        opened.Width,
                                        opened.Height,
                                        WindowAround(d->main.cx, d->main.cy, side),
                                        d->background);
        const auto plane = cut->Planes.Plane(0);
        f = {{plane.begin(), plane.end()}, side, side};
    } else {
        f = {opened.Pixels, opened.Width, opened.Height};
    }
    if (turn) std::reverse(f.pixels.begin(), f.pixels.end());
    return f;
}

// The pixel size times the binnings the user entered, as stored with the pupil radii; the intra
// header's otherwise.
// The pixel size times the binnings the user entered, as stored with the pupil radii; the intra
// header's otherwise.
double PixelNm(const TestSession& s)
{
    const TImageRec* intra = s.ImageIntra.get();
    if (intra && intra->Radius > 0 && intra->RadiusNm > 0) return intra->RadiusNm / intra->Radius;
    const int bin = s.HeaderIntra.BinX > 0 ? s.HeaderIntra.BinX : 1;
    return s.HeaderIntra.PixelSizeX * 1000 * bin;
}

// The analysis options for the session's geometry and preferences.
CompensatedOptions OptionsFor(const TestSession& s,
                              const TTestParams& params,
                              double pixelNm,
                              const CompensatedRequest& request)
{
    CompensatedOptions o;
    o.focalNm = params.Focal;
    o.apertureRadiusNm = params.ApertureRadius;
    o.pixelNm = pixelNm;
    o.defocusNm = request.defocusNm;
    o.obstruction = request.obstruction;
    if (!o.obstruction && params.Obstruction > 0) o.obstruction = params.Obstruction;
    o.vanes = VanesOf(params);
    o.measureVanes = params.VaneCount == kVanesMeasured;
    o.terms = s.Basis.Count();
    o.stopNm = s.Prefs.ArretRMSFront;
    o.maxPasses = std::max<int>(1, s.Prefs.NPassesMax);
    o.noiseCovariance = true;
    return o;
}

// The analysis of the frames the session read at opening, with the given options.
Result<PipelineOutcome> RunPipeline(const TestSession& s,
                                    const CompensatedOptions& o,
                                    const CompensatedRequest& request)
{
    const Frame intra = FrameOf(s.FrameIntra, false);
    const Frame extra = FrameOf(s.FrameExtra, true);
    PipelineOptions pipeline;
    pipeline.refineRounds = request.refineRounds;
    pipeline.lambdaNm = s.Prefs.LambdaRef;
    pipeline.trustDefocus = request.trustDefocus;
    pipeline.stop = request.stop;
    return AnalysePair(intra.raw(), extra.raw(), o, pipeline);
}

// Fixed decimals with a point, whatever the process's locale: the notes are data as well as text.
std::string Fixed(double value, int decimals)
{
    char text[400];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    return std::string(text, end);
}

void WriteNotes(TestSession& s, const CompensatedSummary& c)
{
    s.Notes.clear();
    const std::string passes = std::to_string(c.passes);
    const std::string jac = Fixed(c.minJacobian, 2);
    s.Notes.push_back({"method",
                       "Correction analytique : " + passes + " passes, arrêt : " +
                           (c.stop == CompensatedStop::Converged   ? std::string("convergence")
                            : c.stop == CompensatedStop::PassLimit ? std::string("nombre maximal de passes")
                                                                   : std::string("caustique")) +
                           ", jacobien minimal " + jac + ".",
                       "Analytic correction: " + passes + " passes, stop: " + StopCode(c.stop) +
                           ", smallest Jacobian " + jac + "."});
    if (c.stop != CompensatedStop::Caustic && c.minJacobian < 0.3) {
        s.Notes.push_back(
            {"near-caustic",
             "Jacobien minimal proche de 0.2 : le résultat est approché ; une défocalisation plus "
             "grande le rendrait sûr.",
             "Smallest Jacobian near 0.2: the result is approximate; more defocus would make it safe."});
    }
    if (c.refineResidualNm) {
        const std::string blur = Fixed(c.blurPx, 2);
        // A settled refinement leaves thousandths: "0.00" would read as no refinement at all.
        const std::string res = *c.refineResidualNm < 0.005 ? "< 0.01" : Fixed(*c.refineResidualNm, 2);
        const std::string coarseFr = c.refineCoarse ? " (grille de rendu réduite)" : "";
        const std::string coarseEn = c.refineCoarse ? " (coarser render grid)" : "";
        s.Notes.push_back({"refinement",
                           "Affinage par modèle direct : " + std::to_string(c.refineRounds) + " tours" +
                               coarseFr + ", flou du modèle " + blur + " px, écart résiduel " + res +
                               " nm RMS.",
                           "Forward-model refinement: " + std::to_string(c.refineRounds) + " rounds" +
                               coarseEn + ", model blur " + blur + " px, residual " + res + " nm RMS."});
        if (c.refineUnsettled)
            s.Notes.push_back(
                {"refine_unsettled",
                 "L'affinage a oscillé sans converger : la réponse sans affinage est gardée.",
                 "The refinement oscillated without converging: the unrefined answer is kept."});
    } else if (!c.refineSkipped.empty()) {
        s.Notes.push_back(
            {"refinement",
             "Affinage par modèle direct impossible : " + c.refineSkipped + ". Le résultat n'est pas affiné.",
             "Forward-model refinement not run: " + c.refineSkipped + ". The result is unrefined."});
    }
    if (c.misfitUnrefined && c.misfitRefined) {
        const std::string before = Fixed(*c.misfitUnrefined, 3), after = Fixed(*c.misfitRefined, 3);
        const bool refined = c.kept == "refined";
        s.Notes.push_back({"misfit",
                           "Écart aux images (chi² par pixel) : " + before + " sans affinage, " + after +
                               " affiné ; réponse gardée : " + (refined ? "affinée." : "sans affinage."),
                           "Misfit to the images (chi-square per pixel): " + before + " unrefined, " + after +
                               " refined; answer kept: " + (refined ? "refined." : "unrefined.")});
    }
    if (const auto& f = c.imageFit) {
        if (!f->failure.empty()) {
            s.Notes.push_back({"image_fit",
                               "Ajustement direct des images impossible : " + f->failure + ".",
                               "Direct fit of the images not possible: " + f->failure + "."});
        } else {
            const std::string before = Fixed(f->misfitStart, 3), after = Fixed(f->misfit, 3);
            const std::string li = Fixed(f->distanceNm[0] / 1e6, 3), le = Fixed(f->distanceNm[1] / 1e6, 3);
            s.Notes.push_back(
                {"image_fit",
                 "Ajustement direct des images (" + f->reason + ") : écart " + before + " -> " + after +
                     " (chi² par pixel), distances au foyer " + li + " / " + le + " mm ; " +
                     (f->kept ? "sa réponse est gardée." : "la réponse précédente est gardée."),
                 "Direct fit of the images (" + f->reason + "): misfit " + before + " -> " + after +
                     " (chi-square per pixel), distances from focus " + li + " / " + le + " mm; " +
                     (f->kept ? "its answer is kept." : "the previous answer is kept.")});
        }
    }
    if (const auto& v = c.vanesMeasured) {
        if (v->count > 0) {
            const std::string count = std::to_string(v->count), width = Fixed(v->widthMm, 2),
                              angle = Fixed(v->angleDeg, 1), sig = Fixed(v->significance, 1);
            const bool fit = v->method == "image_fit";
            std::string barFr, barEn;  // a second bar of its own width and direction
            if (v->otherWidthMm > 0) {
                const std::string w = Fixed(v->otherWidthMm, 2), t = Fixed(v->otherTurnDeg, 1);
                barFr = ", la seconde barre de " + w + " mm, tournée de " + t + "° par rapport à l'équerre";
                barEn = ", the second bar " + w + " mm wide, turned " + t + " deg from square";
            }
            s.Notes.push_back({"vanes",
                               "Araignée mesurée sur les images : " + count + " branches de " + width +
                                   " mm, la première à " + angle + "°" + barFr + " (" +
                                   (fit ? "ajustement des images, baisse de l'écart " + sig + " fois le seuil"
                                        : "la plus faible à " + sig + " fois le bruit") +
                                   ") ; le modèle en tient compte.",
                               "Spider measured on the images: " + count + " vanes " + width +
                                   " mm wide, the first at " + angle + " deg" + barEn + " (" +
                                   (fit ? "image fit, misfit drop " + sig + " times the threshold"
                                        : "the weakest at " + sig + " times the noise") +
                                   "); the model includes them."});
        } else {
            s.Notes.push_back(
                {"vanes",
                 "Aucune branche d'araignée mesurée sur les images (" + v->reason +
                     ") : le modèle n'en a pas.",
                 "No spider vane measured on the images (" + v->reason + "): the model has none."});
        }
    }
    s.Notes.push_back({"geometry",
                       "Obstruction mesurée " + Fixed(c.obstruction, 3) + ", défocalisation " +
                           Fixed(c.defocusNm / 1e6, 3) + " mm, fond " + Fixed(c.backgroundAdu[0], 1) + " / " +
                           Fixed(c.backgroundAdu[1], 1) + " ADU.",
                       "Measured obstruction " + Fixed(c.obstruction, 3) + ", defocus " +
                           Fixed(c.defocusNm / 1e6, 3) + " mm, background " + Fixed(c.backgroundAdu[0], 1) +
                           " / " + Fixed(c.backgroundAdu[1], 1) + " ADU."});
    s.Notes.push_back({"tilts",
                       "Les tilts ne sont pas mesurés : les centres des images sont pris au centroïde.",
                       "Tilts are not measured: the image centres are taken at the light centroid."});
}

// Noisy pairs rendered from the answer with the data's noise, analysed as the data was.
void RunBootstrap(CompensatedSummary& summary,
                  const CompensatedOptions& o,
                  const CompensatedResult& result,
                  const CompensatedRequest& request,
                  double lambdaNm)
{
    BootstrapRequest b;
    b.options = o;
    b.refineRounds = summary.refineRounds > 0 ? request.refineRounds : 0;
    b.lambdaNm = lambdaNm;
    b.answer = {result.coef, result.obstruction, result.defocusNm};
    b.blurPx = summary.blurPx;
    b.frames = result.frames;
    b.samples = request.bootstrapSamples;
    auto boot = ParametricBootstrap(b);
    if (!boot.ok()) return;
    summary.bootstrapSamples = boot.value().samples;
    summary.bootstrapFailed = boot.value().failed;
    summary.bootstrapSigmaRmsNm = boot.value().sigmaRmsNm;
}

int MapSide(const TestSession& s, double rho)
{
    int side = s.ImageIntra ? s.ImageIntra->Width : 128;
    side = std::max(side, 128);
    while (side < 2 * (rho + 2)) side *= 2;
    return side;
}

}  // namespace

Result<CompensatedSummary> RunCompensatedWavefront(TestSession& s,
                                                   const CompensatedRequest& request,
                                                   const ProgressFn& progress)
{
    if (!s.ParamsSaisis || s.FrameIntra.Pixels.empty() || s.FrameExtra.Pixels.empty())
        return Status::Fail(StatusCode::MissingInput, kEnterParamsMessage, "no test parameters or no images");
    if (Status valid = CheckTestParams(s.Params); !valid.ok()) return valid;
    if (progress) progress("Reconstruction du front d'onde");
    if (progress && request.refineRounds > 0) progress("Affinage par modèle direct");
    const CompensatedOptions o = OptionsFor(s, s.Params, PixelNm(s), request);
    auto analysed = RunPipeline(s, o, request);
    if (!analysed.ok()) return analysed.status();
    const PipelineOutcome& outcome = analysed.value();
    const CompensatedResult& result = outcome.result;

    CompensatedSummary summary;
    if (outcome.refined) {
        summary.blurPx = outcome.refined->blurPx;
        summary.refineResidualNm = outcome.refined->residualNm;
        summary.refineRounds = outcome.refined->rounds;
        summary.refineCoarse = outcome.refined->coarseGrid;
        summary.refineUnsettled = !outcome.refined->settled;
    } else if (request.refineRounds > 0) {
        summary.refineSkipped = outcome.refineFailure;
    }
    if (outcome.misfitUnrefined && outcome.misfitRefined) {
        summary.misfitUnrefined = outcome.misfitUnrefined->chi2PerPixel;
        summary.misfitRefined = outcome.misfitRefined->chi2PerPixel;
    }
    summary.kept = outcome.refined && outcome.keptRefined ? "refined" : "unrefined";
    if (!outcome.imageFitReason.empty()) {
        CompensatedSummary::ImageFit f;
        f.reason = outcome.imageFitReason;
        f.failure = outcome.imageFitFailure;
        if (const auto& fit = outcome.imageFit) {
            f.misfitStart = fit->misfitStart;
            f.misfit = fit->misfit;
            f.distanceNm = fit->distanceNm;
            const ZernikeBasis basis = ZernikeBasis::ForCount(o.terms);
            for (int k = 1; k <= o.terms; ++k) f.startRmsNm.push_back(fit->startCoef[k - 1] / basis.Norm(k));
            f.kept = outcome.keptImageFit;
        }
        if (f.kept) summary.kept = "image_fit";
        summary.imageFit = f;
    }
    if (outcome.vanes) {
        const SpiderVanes& v = outcome.vanes->vanes;
        summary.vanesMeasured = CompensatedSummary::VanesMeasured{v.count,
                                                                  v.width * o.apertureRadiusNm / 1e6,
                                                                  v.angleDeg,
                                                                  outcome.vanes->significance,
                                                                  outcome.vanes->reason,
                                                                  outcome.vanes->method};
        if (v.otherWidth > 0 && (v.otherWidth != v.width || v.otherTurnDeg != 0)) {
            summary.vanesMeasured->otherWidthMm = v.otherWidth * o.apertureRadiusNm / 1e6;
            summary.vanesMeasured->otherTurnDeg = v.otherTurnDeg;
        }
    } else if (o.measureVanes) {
        summary.vanesMeasured = CompensatedSummary::VanesMeasured{};
        summary.vanesMeasured->reason = outcome.vanesFailure;
    }
    std::vector<Note> warnings;
    if (const auto& k = outcome.scale) {
        summary.scale = ScaleSummary{k->givenDefocusNm,
                                     k->measuredDefocusNm,
                                     k->givenRhoPx,
                                     k->measuredRhoPx,
                                     k->mismatch,
                                     k->tolerance,
                                     k->mismatched,
                                     k->usedMeasured};
        if (k->mismatched)
            warnings.push_back(GeometryMismatchWarning(
                k->givenDefocusNm, k->measuredDefocusNm, k->givenRhoPx, k->measuredRhoPx, !k->usedMeasured));
    }
    if (result.stop == CompensatedStop::Caustic) {
        CausticFacts facts;
        facts.minJacobian = result.minJacobian;
        facts.defocusNm = result.defocusNm;
        if (const auto& k = outcome.scale) {
            facts.scaleChecked = true;
            facts.scaleMismatched = k->mismatched;
            facts.keptGivenDefocus = !k->usedMeasured;
            facts.measuredDefocusNm = k->measuredDefocusNm;
        }
        warnings.insert(warnings.begin(), CausticWarning(facts));
    }
    std::vector<double> covariance = result.covariance, remaining;
    if (outcome.refinedBars) {
        covariance = outcome.refinedBars->covariance;
        remaining = outcome.refinedBars->remainingRmsNm;
    }
    // The error the model leaves, from the judge's misfits of the kept answer and the other.
    if (!covariance.empty()) {
        // The judge's pixels (the direct fit weighs the same disc).
        const int judged = outcome.misfitRefined     ? outcome.misfitRefined->pixels
                           : outcome.misfitUnrefined ? outcome.misfitUnrefined->pixels
                                                     : 0;
        if (outcome.keptImageFit && outcome.imageFit) {
            const ImageFitOutcome& f = *outcome.imageFit;
            covariance = AddRemaining(
                covariance,
                ModelErrorRmsNm(result.coef, f.startCoef, f.misfit, f.misfitStart, judged, o.terms),
                o.terms);
        } else if (outcome.refined && outcome.misfitRefined && outcome.misfitUnrefined) {
            const bool refined = outcome.keptRefined;
            const ImageMisfit& kept = refined ? *outcome.misfitRefined : *outcome.misfitUnrefined;
            const ImageMisfit& other = refined ? *outcome.misfitUnrefined : *outcome.misfitRefined;
            const ZernikeCoefficients& otherCoef =
                refined ? outcome.unrefined.coef : outcome.refined->result.coef;
            covariance = AddRemaining(
                covariance,
                ModelErrorRmsNm(
                    result.coef, otherCoef, kept.chi2PerPixel, other.chi2PerPixel, kept.pixels, o.terms),
                o.terms);
        }
    }
    FillUncertainty(summary, result, covariance, remaining, o.terms);
    if (request.stop.stop_requested()) return Status::Fail(StatusCode::Cancelled, {}, kCancelledReason);
    if (request.bootstrapSamples > 0) {
        if (progress) progress("Bootstrap paramétrique");
        RunBootstrap(summary, o, result, request, s.Prefs.LambdaRef);
    }
    summary.backgroundAdu = {result.frames[0].background, result.frames[1].background};
    summary.passes = result.passes;
    summary.stop = result.stop;
    summary.minJacobian = result.minJacobian;
    summary.obstruction = result.obstruction;
    summary.defocusNm = result.defocusNm;
    {
        // The defocus term read as the two images' own distances from focus.
        const ModelEstimate sides =
            DistancesForDefocusTerm(o, {result.coef, result.obstruction, result.defocusNm});
        summary.defocusIntraNm = SideDefocusNm(sides, false);
        summary.defocusExtraNm = SideDefocusNm(sides, true);
    }
    summary.radiusPx = result.rhoPx;

    if (progress) progress("Ajustement des polynômes de Zernike");
    auto map = MakeCompensatedMap(
        result, s.Basis, MapSide(s, result.rhoPx), s.Params.Focal, s.Params.ApertureRadius);
    if (!map.ok()) return map.status();
    ImageSlot front = std::make_unique<TImageRec>(*map.value().wavefront);
    front->RadiusNm = s.Params.ApertureRadius;
    AddZernikeTerms(*front, s.Basis, result.coef, MasqueFront, -1);
    MeanStdInMask(*front);

    s.CoefFront = result.coef;
    s.SigmaFront = ZernikeCoefficients{};
    std::copy(summary.sigmaRmsNm.begin(), summary.sigmaRmsNm.end(), s.SigmaFront.begin());
    s.CoefResidu = ZernikeCoefficients{};
    s.ImageFrontBrut = std::move(map.value().wavefront);
    s.ImageFrontBrut->RadiusNm = s.Params.ApertureRadius;
    s.ImageFront = std::move(front);
    s.ImageResidu = std::move(map.value().zonal);
    s.MasqueFrontAffiche = MasqueFront;
    s.OrdresSup = true;
    if (!request.defocusNm || (outcome.scale && outcome.scale->usedMeasured))
        s.Params.Defocus = result.defocusNm;
    WriteNotes(s, summary);
    SetAnalysisWarnings(s, std::move(warnings));
    MarkLowerBound(s, summary);
    return summary;
}

Result<double> MeasureCompensatedDefocus(const TestSession& s, const TTestParams& params, double pixelNm)
{
    if (s.FrameIntra.Pixels.empty() || s.FrameExtra.Pixels.empty())
        return Status::Fail(StatusCode::MissingInput, kEnterParamsMessage, "no images");
    const CompensatedRequest request;
    auto run = RunPipeline(s, OptionsFor(s, params, pixelNm, request), request);
    if (!run.ok()) return run.status();
    return run.value().result.defocusNm;
}

CommandOutcome ComputeCompensatedWavefront(TestSession& s, const ProgressFn& progress, std::stop_token stop)
{
    CompensatedRequest request;
    request.stop = std::move(stop);
    if (!s.Params.DefocusMesure) request.defocusNm = s.Params.Defocus;
    request.trustDefocus = s.Prefs.DefocusImpose != 0;
    auto run = RunCompensatedWavefront(s, request, progress);
    if (!run.ok())
        return Refused(run.status().code, run.status().message, run.status().reason, MessageStyle::Box);
    CommandOutcome outcome;
    outcome.ran = true;
    outcome.refreshInfos = true;
    for (ImageKind kind : {ImageKind::Wavefront, ImageKind::Residual})
        if (s.HasWindow(kind)) outcome.released.push_back(kind);
    s.OpenWindow(ImageKind::Wavefront);
    s.OpenWindow(ImageKind::Residual);
    outcome.shown = {ImageKind::Wavefront, ImageKind::Residual};
    return outcome;
}

}  // namespace frontlys
