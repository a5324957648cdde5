// A night of frames through the live session: 500 small simulated pairs land one after the other in
// a folder, each is paired, checked and analysed in the background. Reports the resident memory
// after 100 and after 500 pairs and at its peak (it must stay flat: a pair keeps only its numbers),
// the analysis time per pair, and the time from a pair's second file found whole to its result
// recorded, the analysis aside. Run: live_session_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/live_session.h"
#include "simulation/simulation_files.h"
#include "simulation/star_simulator.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPairs = 500;

// Resident set now and at its peak, MB, from /proc/self/status.
double StatusMb(const char* key)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::string(key).size())) / 1024;
    return 0;
}

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void BM_LiveSession500Pairs(benchmark::State& state)
{
    frontlys::SimulationParams params;
    params.diameterMm = 200, params.focalMm = 1200, params.obstruction = 0.25;
    params.pixelUm = 9, params.defocusMm = 3, params.size = 80;
    params.zernikeRmsNm[10] = 30, params.zernikeRmsNm[6] = 10;
    params.photons = 1e7, params.poisson = true;
    const fs::path folder = fs::temp_directory_path() / ("frontlys-bench-" + std::to_string(::getpid()));
    for (auto _ : state) {
        fs::remove_all(folder);
        fs::create_directories(folder / "sim");
        auto pair = frontlys::SimulatePair(params);
        if (!pair.ok()) return state.SkipWithError(pair.status().reason.c_str());
        const frontlys::SimulationStamp stamp{
            "2026-12-08T21:00:00", "2026-12-08T21:01:00", 10, frontlys::FitsSampleFormat::UInt16};
        if (!frontlys::WriteSimulationFiles(folder / "sim", params, pair.value(), stamp).ok())
            return state.SkipWithError("files");
        const std::string intra = ReadAll(folder / "sim/intra.fits"),
                          extra = ReadAll(folder / "sim/extra.fits");
        frontlys::LiveOptions options;
        options.analysis.analytic = false;
        frontlys::LiveSession session(folder, options);
        double rss100 = 0;
        for (int k = 0; k < kPairs; ++k) {
            char name[40];
            std::snprintf(name, sizeof name, "n%04d_intra.fits", k);
            std::ofstream(folder / name, std::ios::binary) << intra;
            std::snprintf(name, sizeof name, "n%04d_extra.fits", k);
            std::ofstream(folder / name, std::ios::binary) << extra;
            (void)session.Poll();
            (void)session.Poll();  // unchanged over two looks: whole
            session.WaitIdle();    // one pair at a time, as at the telescope
            if (k == 99) rss100 = StatusMb("VmRSS:");
        }
        const auto pairs = session.Pairs();
        double analysis = 0, overhead = 0, worst = 0, spherical = 0;
        for (const auto& p : pairs) {
            analysis += p.analysisSeconds;
            if (p.zernikeRmsNm.size() >= 11) spherical += p.zernikeRmsNm[10] / pairs.size();
            const double o = p.shownAt - p.readyAt - p.analysisSeconds;
            overhead += o, worst = std::max(worst, o);
        }
        state.counters["pairs"] = double(pairs.size());
        state.counters["analysed"] =
            double(std::count_if(pairs.begin(), pairs.end(), [](auto& p) { return p.analysed; }));
        state.counters["rss_after_100_MB"] = rss100;
        state.counters["rss_after_500_MB"] = StatusMb("VmRSS:");
        state.counters["peak_rss_MB"] = StatusMb("VmHWM:");
        state.counters["analysis_s_per_pair"] = analysis / pairs.size();
        state.counters["overhead_ms_mean"] = 1e3 * overhead / pairs.size();
        state.counters["overhead_ms_worst"] = 1e3 * worst;
        state.counters["mean_Z11_nm"] = spherical;  // 30 simulated: the pairs were truly analysed
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_LiveSession500Pairs)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
