#pragma once
// Simulated tests analysed by the whole analysis sequence, with what they must give back.

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/run_analysis.h"
#include "simulation/simulation_files.h"
#include "simulation/simulation_params.h"
#include "simulation/star_simulator.h"
#include "support/temp_dir.h"

namespace frontlys {

struct AccuracyCase {
    std::string name;
    SimulationParams params;
    int niter = 1;
    bool giveDefocus = false;  // type the true defocus instead of computing it from the radii
    double toleranceNm = 0;    // bound on |found - true| for every term 5 to 22
};

struct AccuracyOutcome {
    bool ok = false;
    std::string failure;
    std::array<double, 28> trueRms{};
    std::vector<double> foundRms;  // terms 1 .. npoly
    double maxErrorNm = 0;         // over terms 5 to 22
    double rmsErrorNm = 0;
    double defocusMm = 0;
    double radiusIntraPx = 0, radiusExtraPx = 0;
};

inline constexpr int kFirstCheckedTerm = 5;
inline constexpr int kLastCheckedTerm = 22;

// RunAccuracyCase simulates the case into a temporary folder and runs the analysis on the two files;
// DescribeOutcome gives one line per term with true, found and difference, then the summary.

namespace detail {

inline void Measure(AccuracyOutcome& o)
{
    double sq = 0;
    int n = 0;
    for (int k = kFirstCheckedTerm; k <= kLastCheckedTerm && k <= static_cast<int>(o.foundRms.size()); ++k) {
        const double d = o.foundRms[k - 1] - o.trueRms[k - 1];
        o.maxErrorNm = std::max(o.maxErrorNm, std::abs(d));
        sq += d * d;
        ++n;
    }
    o.rmsErrorNm = n > 0 ? std::sqrt(sq / n) : 0;
}

}  // namespace detail

inline AccuracyOutcome RunAccuracyCase(const AccuracyCase& c)
{
    AccuracyOutcome o;
    o.trueRms = c.params.zernikeRmsNm;
    auto pair = SimulatePair(c.params);
    if (!pair.ok()) {
        o.failure = "simulation: " + pair.status().reason;
        return o;
    }
    TempDir dir;
    const SimulationStamp stamp{"2026-12-08T21:00:00", "2026-12-08T21:01:00", 10, FitsSampleFormat::UInt16};
    if (Status s = WriteSimulationFiles(dir.path(), c.params, pair.value(), stamp); !s.ok()) {
        o.failure = "files: " + s.reason;
        return o;
    }
    AnalysisOptions options;
    options.intra = SimulationFileNames(dir.path()).intra;
    options.extra = SimulationFileNames(dir.path()).extra;
    options.niter = c.niter;
    options.analytic = false;  // these cases measure the numeric correction, on the frames as they are
    options.crop = false;
    options.derivedImages = false;
    if (c.giveDefocus) options.defocusMm = c.params.defocusMm;
    auto report = RunAnalysis(options);
    if (!report.ok()) {
        o.failure = "analysis: " + report.status().message + " (" + report.status().reason + ")";
        return o;
    }
    o.ok = true;
    o.foundRms = report.value().zernikeRmsNm;
    o.defocusMm = report.value().defocusMm;
    o.radiusIntraPx = report.value().radiusIntraPx;
    o.radiusExtraPx = report.value().radiusExtraPx;
    detail::Measure(o);
    return o;
}

inline std::string DescribeOutcome(const AccuracyCase& c, const AccuracyOutcome& o)
{
    std::ostringstream s;
    char line[160];
    std::snprintf(line,
                  sizeof line,
                  "%s: defocus %.3f mm (true %.3f), radii %.2f/%.2f px (geometric %.2f)\n",
                  c.name.c_str(),
                  o.defocusMm,
                  c.params.defocusMm,
                  o.radiusIntraPx,
                  o.radiusExtraPx,
                  DonutRadiusPx(c.params));
    s << line;
    for (int k = kFirstCheckedTerm; k <= kLastCheckedTerm && k <= static_cast<int>(o.foundRms.size()); ++k) {
        const double t = o.trueRms[k - 1], f = o.foundRms[k - 1];
        if (t == 0 && std::abs(f) < 0.5) continue;
        std::snprintf(line, sizeof line, "  Z%-2d true %8.2f found %8.2f diff %7.2f\n", k, t, f, f - t);
        s << line;
    }
    std::snprintf(line,
                  sizeof line,
                  "  terms 5-22: RMS error %.2f nm, largest %.2f nm (tolerance %.1f)\n",
                  o.rmsErrorNm,
                  o.maxErrorNm,
                  c.toleranceNm);
    s << line;
    return s.str();
}

}  // namespace frontlys
