// The whole analysis of the two real 1164 x 880 full-frame pairs (16 Pup, 1.2 m f/18, 14.4 um
// pixels, 20.5 mm of defocus), as `frontlys-cli analyse` runs it without pictures: each method,
// with the frames cut around their donut (the default) and as they are.
//
// BM_KeptAgainstBestMisfit: on the three real pairs (the stamp pair and both full frames), the
// misfit of the answer the analysis keeps against the best that the direct image fit (separate
// distances, the vanes of the analysis) reaches when run to convergence from each answer the
// analysis had: the kept, the refined and the unrefined one. Counters: the judge's misfits of the
// unrefined and refined answers; in the image fit's measure (chi-square per pixel, halo included),
// the unrefined answer's and the fit's start with their nuisances fitted, the kept answer's, the best
// and kept / best; the best fit's distances (mm), the vanes measured (count, angle, width, significance,
// whether by the image fit) and the analysis's own time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "analysis/open_commands.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"
#include "engine/compensated/pipeline.h"

namespace {

const std::filesystem::path kData = std::filesystem::path(FRONTLYS_TEST_DATA) / "auxtel";
const char* const kPairs[2][2] = {{"1579925613-16Pup_intra-0-1.fits", "1579925662-16Pup_extra-0-1.fits"},
                                  {"1579925833-16Pup_intra-0-1.fits", "1579925882-16Pup_extra-0-1.fits"}};

// range(0): pair; range(1): 1 analytic, 0 numeric; range(2): 1 cut, 0 full frame.
void BM_Analyse16Pup(benchmark::State& state)
{
    frontlys::AnalysisOptions o;
    o.intra = kData / kPairs[state.range(0)][0];
    o.extra = kData / kPairs[state.range(0)][1];
    o.diameterMm = 1200;
    o.focalMm = 21600;
    o.pixelUm = 14.4;
    o.defocusMm = 20.5;
    o.derivedImages = false;
    o.analytic = state.range(1) == 1;
    o.crop = state.range(2) == 1;
    for (auto _ : state) {
        auto r = frontlys::RunAnalysis(o);
        if (!r.ok()) {
            state.SkipWithError(r.status().reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(r.value().rmsNm);
    }
}
BENCHMARK(BM_Analyse16Pup)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 0}})
    ->ArgNames({"pair", "analytic", "cut"})
    ->Unit(benchmark::kMillisecond);

const char* const kAllPairs[3][2] = {
    {"I1_intra_20190912_HD21161_z05.fits", "I2_extra_20190912_HD21161_z05.fits"},
    {"1579925613-16Pup_intra-0-1.fits", "1579925662-16Pup_extra-0-1.fits"},
    {"1579925833-16Pup_intra-0-1.fits", "1579925882-16Pup_extra-0-1.fits"}};

// A real pair opened whole (none reaches the size the analysis cuts), the extra-focal frame turned.
struct RealPair {
    frontlys::TestSession session;
    std::vector<double> extraPixels;
    frontlys::RawFrame Intra() const
    {
        const auto& f = session.FrameIntra;
        return {f.Pixels, f.Width, f.Height};
    }
    frontlys::RawFrame Extra() const
    {
        return {extraPixels, session.FrameExtra.Width, session.FrameExtra.Height};
    }
};

std::unique_ptr<RealPair> OpenRealPair(int index)
{
    using namespace frontlys;
    auto pair = std::make_unique<RealPair>();
    if (!OpenPair(pair->session, kData / kAllPairs[index][0], kData / kAllPairs[index][1], CropMode::None)
             .ran)
        return nullptr;
    pair->extraPixels = pair->session.FrameExtra.Pixels;
    std::reverse(pair->extraPixels.begin(), pair->extraPixels.end());
    return pair;
}

// The telescope of the real pairs, with its known obstruction.
frontlys::CompensatedOptions RealPairOptions()
{
    frontlys::CompensatedOptions o;
    o.focalNm = 21600e6;
    o.apertureRadiusNm = 600e6;
    o.pixelNm = 14400;
    o.defocusNm = 20.5e6;
    o.obstruction = 0.3525;
    return o;
}

// range(0): pair; range(1): 1 vanes measured, 0 none, 2 given.
void BM_KeptAgainstBestMisfit(benchmark::State& state)
{
    using namespace frontlys;
    const auto pair = OpenRealPair(int(state.range(0)));
    if (!pair) {
        state.SkipWithError("the pair did not open");
        return;
    }
    const RawFrame intra = pair->Intra(), extra = pair->Extra();
    CompensatedOptions o = RealPairOptions();
    o.measureVanes = state.range(1) == 1;
    // 2: four vanes 12 mm wide at 21.25 degrees, where the stamp pair's image fit finds its lowest misfit
    // among a few given vanes (BM_GivenVanesMisfit).
    if (state.range(1) == 2) o.vanes = {4, 0.02, 21.25};
    PipelineOptions p;
    for (auto _ : state) {
        const auto began = std::chrono::steady_clock::now();
        auto analysed = AnalysePair(intra, extra, o, p);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
        if (!analysed.ok() || !analysed.value().misfitRefined) {
            state.SkipWithError("no judged analysis");
            return;
        }
        const PipelineOutcome& out = analysed.value();
        state.counters["analysis_s"] = took.count();
        CompensatedOptions used = o;
        if (out.vanes) used.vanes = out.vanes->vanes;
        const bool fitted = out.imageFit.has_value();
        const double kept = !fitted
                                ? std::min(out.misfitRefined->chi2PerPixel, out.misfitUnrefined->chi2PerPixel)
                            : out.keptImageFit ? out.imageFit->misfit
                                               : out.imageFit->misfitStart;
        ImageFitOptions f;
        f.maxIterations = 40;
        double best = kept, unrefinedStart = 0;
        std::array<double, 2> distances{};
        for (const CompensatedResult* start : {&out.result, &out.refined->result, &out.unrefined}) {
            auto fit = FitImages(intra,
                                 extra,
                                 out.unrefined,
                                 used,
                                 {start->coef, start->obstruction, start->defocusNm},
                                 out.misfitRefined->noise,
                                 f);
            // The unrefined answer with only its nuisances fitted: the kept one must not do worse.
            if (fit.ok() && start == &out.unrefined) unrefinedStart = fit.value().misfitStart;
            if (fit.ok() && fit.value().misfit < best) {
                best = fit.value().misfit;
                distances = fit.value().distanceNm;
            }
        }
        state.counters["unrefined"] = out.misfitUnrefined->chi2PerPixel;
        state.counters["refined"] = out.misfitRefined->chi2PerPixel;
        state.counters["fit_start"] = fitted ? out.imageFit->misfitStart : 0;
        state.counters["unrefined_fit_start"] = unrefinedStart;
        state.counters["kept"] = kept;
        state.counters["best"] = best;
        state.counters["kept_over_best"] = kept / best;
        state.counters["intra_mm"] = distances[0] / 1e6;
        state.counters["extra_mm"] = distances[1] / 1e6;
        state.counters["vanes"] = out.vanes ? out.vanes->vanes.count : 0;
        state.counters["vane_sig"] = out.vanes ? out.vanes->significance : 0;
        state.counters["vane_angle"] = out.vanes ? out.vanes->vanes.angleDeg : 0;
        state.counters["vane_width_mm"] = out.vanes ? out.vanes->vanes.width * o.apertureRadiusNm / 1e6 : 0;
        state.counters["by_image_fit"] = out.vanes && out.vanes->method == "image_fit" ? 1 : 0;
    }
}
// The best misfit the image fit reaches from the kept answer of the pair (range(0)) when given four
// vanes at each of a few angles and widths (pupil units): what vanes could gain where none are measured.
void BM_GivenVanesMisfit(benchmark::State& state)
{
    using namespace frontlys;
    const auto pair = OpenRealPair(int(state.range(0)));
    if (!pair) {
        state.SkipWithError("the pair did not open");
        return;
    }
    const RawFrame intra = pair->Intra(), extra = pair->Extra();
    CompensatedOptions o = RealPairOptions();
    for (auto _ : state) {
        auto analysed = AnalysePair(intra, extra, o, PipelineOptions{});
        if (!analysed.ok() || !analysed.value().misfitRefined) {
            state.SkipWithError("no judged analysis");
            return;
        }
        const PipelineOutcome& out = analysed.value();
        ImageFitOptions f;
        f.maxIterations = 40;
        const ModelEstimate start{out.result.coef, out.result.obstruction, out.result.defocusNm};
        for (double angle : {0.0, 21.25, 45.0})
            for (double width : {0.02, 0.04}) {
                CompensatedOptions given = o;
                given.vanes = {4, width, angle};
                auto fit = FitImages(intra, extra, out.unrefined, given, start, out.misfitRefined->noise, f);
                state.counters["a" + std::to_string(int(angle)) + "_w" + std::to_string(int(width * 1000))] =
                    fit.ok() ? fit.value().misfit : 0;
            }
    }
}
BENCHMARK(BM_GivenVanesMisfit)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

// The judge's ranking of the open pupil's kept answer against the one kept with the vanes measured,
// on the pair range(0): each answer judged with its own run's weights (as each analysis reports it),
// then both with one run's weights; beside them the image fit's misfit of each with its nuisances
// fitted (one set of weights). range(1): 1 the obstruction given, 0 measured. Counters:
// j_<answer>_<weights>, fit_<answer> (open, vanes).
void BM_JudgeAcrossVanes(benchmark::State& state)
{
    using namespace frontlys;
    const auto pair = OpenRealPair(int(state.range(0)));
    if (!pair) {
        state.SkipWithError("the pair did not open");
        return;
    }
    const RawFrame intra = pair->Intra(), extra = pair->Extra();
    for (auto _ : state) {
        std::array<PipelineOutcome, 2> runs;
        std::array<CompensatedOptions, 2> used;
        for (int v = 0; v < 2; ++v) {
            used[v] = RealPairOptions();
            if (state.range(1) == 0) used[v].obstruction.reset();
            used[v].measureVanes = v == 1;
            auto analysed = AnalysePair(intra, extra, used[v], PipelineOptions{});
            if (!analysed.ok() || !analysed.value().misfitRefined) {
                state.SkipWithError("no judged analysis");
                return;
            }
            runs[v] = analysed.take();
            if (runs[v].vanes) used[v].vanes = runs[v].vanes->vanes;
            used[v].measureVanes = false;
        }
        const char* names[2] = {"open", "vanes"};
        for (int a = 0; a < 2; ++a) {
            const CompensatedResult& r = runs[a].result;
            const ModelEstimate answer{r.coef, r.obstruction, r.defocusNm};
            for (int w = 0; w < 2; ++w) {
                auto judged = MeasureImageMisfit(intra,
                                                 extra,
                                                 runs[a].unrefined,
                                                 used[a],
                                                 answer,
                                                 555,
                                                 nullptr,
                                                 &runs[w].misfitRefined->noise);
                state.counters[std::string("j_") + names[a] + "_" + names[w]] =
                    judged.ok() ? judged.value().chi2PerPixel : 0;
            }
            ImageFitOptions f;
            auto fit =
                FitImages(intra, extra, runs[a].unrefined, used[a], answer, runs[0].misfitRefined->noise, f);
            state.counters[std::string("fit_") + names[a]] = fit.ok() ? fit.value().misfitStart : 0;
        }
    }
}
BENCHMARK(BM_JudgeAcrossVanes)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"pair", "obstruction"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

BENCHMARK(BM_KeptAgainstBestMisfit)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}})
    ->ArgNames({"pair", "vanes"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
