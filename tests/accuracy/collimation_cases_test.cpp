// Misaligned telescopes simulated by wave optics with the coma their misalignment implies (the
// third-order field coma of the design): the analysis and the collimation must give the angle back
// within 10 % and its direction, and the donut must be bright on the side the direction names.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/run_analysis.h"
#include "engine/collimation.h"
#include "simulation/simulation_files.h"
#include "simulation/star_simulator.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

constexpr double kArcmin = std::numbers::pi / (180 * 60);

struct MisalignedCase {
    const char* name;
    DesignOptics design;
    double angleArcmin;
    double positionDeg;
    double defocusMm;
    int size;
};

SimulationParams Params(const MisalignedCase& c)
{
    SimulationParams p;
    p.diameterMm = c.design.diameterMm;
    p.focalMm = c.design.focalMm;
    p.obstruction = c.design.obstruction;
    p.pixelUm = 6;
    p.defocusMm = c.defocusMm;
    p.size = c.size;
    p.seeingArcsec = 1;
    p.photons = 2e7;
    p.poisson = true;
    p.seed = 7;
    const auto coma = ComaForFieldAngle(c.angleArcmin * kArcmin, c.positionDeg, c.design);
    p.zernikeRmsNm[6] = coma[0];
    p.zernikeRmsNm[7] = coma[1];
    p.zernikeRmsNm[10] = 25;  // a mirror is never perfect
    p.zernikeRmsNm[4] = 8;
    return p;
}

// Mean of the brightest tenth of the pixels on the side of the donut's light centroid towards
// `positionDeg` (x right, y up as shown), over that of the other side.
double BrightSideRatio(const Planes3D<double>& frame, double positionDeg)
{
    const int h = frame.rows(), w = frame.cols();
    double sum = 0, sx = 0, sy = 0;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) sum += frame(0, r, c), sx += c * frame(0, r, c), sy += r * frame(0, r, c);
    const double cx = sx / sum, cy = sy / sum;
    const double a = positionDeg * std::numbers::pi / 180;
    std::vector<double> towards, away;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const double along = (c - cx) * std::cos(a) - (r - cy) * std::sin(a);  // rows count down
            (along > 0 ? towards : away).push_back(frame(0, r, c));
        }
    const auto top = [](std::vector<double> v) {
        std::sort(v.rbegin(), v.rend());
        const std::size_t n = std::max<std::size_t>(1, v.size() / 10);
        double s = 0;
        for (std::size_t i = 0; i < n; ++i) s += v[i];
        return s / n;
    };
    return top(towards) / top(away);
}

class MisalignedTelescope : public testing::TestWithParam<MisalignedCase> {};

TEST_P(MisalignedTelescope, GivesTheAngleBackWithin10Percent)
{
    const MisalignedCase& c = GetParam();
    const SimulationParams params = Params(c);
    auto pair = SimulatePair(params);
    ASSERT_TRUE(pair.ok()) << pair.status().reason;
    TempDir dir;
    const SimulationStamp stamp{"2026-12-08T21:00:00", "2026-12-08T21:01:00", 10, FitsSampleFormat::UInt16};
    ASSERT_TRUE(WriteSimulationFiles(dir.path(), params, pair.value(), stamp).ok());
    AnalysisOptions options;
    options.intra = SimulationFileNames(dir.path()).intra;
    options.extra = SimulationFileNames(dir.path()).extra;
    options.derivedImages = false;
    auto report = RunAnalysis(options);
    ASSERT_TRUE(report.ok()) << report.status().reason;
    const auto& z = report.value().zernikeRmsNm;
    DesignOptics design = c.design;
    design.obstruction = report.value().obstruction;
    const Collimation found = CollimationFromComa(z[6], z[7], design);
    ASSERT_TRUE(found.valid);
    const double angle = found.fieldAngleRad / kArcmin;
    RecordProperty("found_arcmin", std::to_string(angle));
    EXPECT_NEAR(angle, c.angleArcmin, 0.1 * c.angleArcmin) << "coma " << z[6] << ", " << z[7] << " nm";
    const double turn = std::remainder(found.positionAngleDeg - c.positionDeg, 360.0);
    EXPECT_LT(std::abs(turn), 6) << found.positionAngleDeg;
    // Both donuts as the camera records them are bright on the side of the coma-free axis.
    EXPECT_GT(BrightSideRatio(pair.value().intra.adu, c.positionDeg), 1.02);
    EXPECT_GT(BrightSideRatio(pair.value().extra.adu, c.positionDeg), 1.02);
    std::printf("%s: %.2f' found for %.2f' (%.1f %%), position angle %.1f for %.1f\n",
                c.name,
                angle,
                c.angleArcmin,
                100 * (angle / c.angleArcmin - 1),
                found.positionAngleDeg,
                c.positionDeg);
}

const MisalignedCase kCases[] = {
    {"Newtonian200f6_3arcmin", {TelescopeDesign::Newtonian, 200, 1200, 0.25, 0, 0, 1}, 3, 40, 2, 96},
    {"Newtonian150f5_5arcmin", {TelescopeDesign::Newtonian, 150, 750, 0.3, 0, 0, 1}, 5, 250, 1.5, 96},
    {"Sct203f10_8arcmin", {TelescopeDesign::Sct, 203, 2032, 0.34, 5, 130, 1}, 8, 130, 5, 128},
    {"Sct280f10_5arcmin", {TelescopeDesign::Sct, 280, 2800, 0.34, 5, 150, 1}, 5, 315, 5, 160},
};

INSTANTIATE_TEST_SUITE_P(Collimation, MisalignedTelescope, testing::ValuesIn(kCases), [](const auto& info) {
    return std::string(info.param.name);
});

}  // namespace
}  // namespace frontlys
