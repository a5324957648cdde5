// Not a timing: the accuracy of the compensated analysis as a test runs it (analysis, refinement,
// scale check) when the defocus it is given is 5 % short, 5 % long, or left to it, on the accuracy
// suite's simulated pairs. Prints one line per case and the mean and worst RMS error over terms
// 5..22 of each setting, and whether a run more than 2 nm wrong warned.
#include <algorithm>
#include <cstdio>

#include "../tests/accuracy/compensated_suite.h"

int main()
{
    using namespace frontlys;
    const double factors[3] = {0.95, 1.05, 0};
    const char* names[3] = {"short 5 %", "long 5 %", "measured"};
    for (int f = 0; f < 3; ++f) {
        double sum = 0, worst = 0;
        int count = 0, silentMisses = 0;
        for (const Bound& b : CompensatedSuite()) {
            const PipelineCaseOutcome o = RunPipelineCase(b.c, factors[f]);
            if (!o.measure.ok) {
                std::printf(
                    "%-10s %-22s failed: %s\n", names[f], b.c.name.c_str(), o.measure.failure.c_str());
                continue;
            }
            const bool mismatch = o.scale && o.scale->mismatched;
            const bool warned = mismatch || o.caustic;
            std::printf("%-10s %-22s %6.2f nm, defocus %+6.2f %%, scale %+6.2f %% %s%s\n",
                        names[f],
                        b.c.name.c_str(),
                        o.measure.rmsErrorNm,
                        100 * o.measure.defocusError,
                        o.scale ? 100 * o.scale->mismatch : 0.0,
                        mismatch ? "geometry_mismatch " : "",
                        o.caustic ? "caustic" : "");
            std::fflush(stdout);
            sum += o.measure.rmsErrorNm;
            worst = std::max(worst, o.measure.rmsErrorNm);
            if (o.measure.rmsErrorNm > 2 && !warned) ++silentMisses;
            ++count;
        }
        std::printf("%-10s mean %.2f worst %.2f nm over %d cases; %d over 2 nm without a warning\n",
                    names[f],
                    count ? sum / count : 0,
                    worst,
                    count,
                    silentMisses);
    }
}
