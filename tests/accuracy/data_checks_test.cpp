// The checks on the data, each on frames made by the simulator: a faultless pair passes clean, and
// each fault gives its own warning code, or the refusal where nothing can be measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "analysis/data_checks.h"
#include "simulation/camera_noise.h"
#include "simulation/star_simulator.h"

namespace frontlys {
namespace {

// 200 mm f/6, 9 um pixels, 4 mm of defocus: a donut of 37 px radius on a 256 frame.
SimulationParams Base()
{
    SimulationParams p;
    p.diameterMm = 200;
    p.focalMm = 1200;
    p.obstruction = 0.25;
    p.defocusMm = 4;
    p.size = 256;
    p.zernikeRmsNm[10] = 40;
    p.seeingArcsec = 1.5;
    p.photons = 2e7;
    p.poisson = true;
    p.readNoiseE = 8;
    p.backgroundAdu = 500;
    return p;
}

struct Frames {
    FrameFacts intra, extra;
    TFitsHeader headerIntra, headerExtra;
};

FrameFacts Measure(const Planes3D<double>& adu)
{
    return MeasureFrame(adu.Plane(0), adu.cols(), adu.rows(), kSaturationAdu);
}

Frames Simulate(const SimulationParams& p, const std::function<void(SimulatedPair&)>& alter = {})
{
    auto pair = SimulatePair(p);
    EXPECT_TRUE(pair.ok()) << pair.status().reason;
    SimulatedPair s = pair.take();
    if (alter) alter(s);
    return {Measure(s.intra.adu), Measure(s.extra.adu), {}, {}};
}

std::vector<std::string> Codes(const Frames& f, int npoly = 22)
{
    const PairCheck c = CheckPair(f.intra, f.headerIntra, f.extra, f.headerExtra, npoly);
    EXPECT_TRUE(c.refusal.ok()) << c.refusal.reason;
    std::vector<std::string> codes;
    for (const Note& n : c.notes) {
        EXPECT_FALSE(n.fr.empty() || n.en.empty()) << n.code;
        codes.push_back(n.code);
    }
    return codes;
}

bool Has(const std::vector<std::string>& codes, const std::string& code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TEST(DataChecks, AFaultlessPairGivesNoWarning)
{
    EXPECT_EQ(Codes(Simulate(Base())), std::vector<std::string>{});
}

struct Fault {
    const char* code;
    std::function<void(SimulationParams&)> setup;
};

class DataCheckFault : public ::testing::TestWithParam<Fault> {};

TEST_P(DataCheckFault, IsWarnedByItsCode)
{
    SimulationParams p = Base();
    GetParam().setup(p);
    const auto codes = Codes(Simulate(p));
    EXPECT_TRUE(Has(codes, GetParam().code)) << testing::PrintToString(codes);
}

INSTANTIATE_TEST_SUITE_P(
    Simulated,
    DataCheckFault,
    ::testing::Values(Fault{"several_donuts",
                            [](SimulationParams& p) {
                                p.companionFlux = 0.4;
                                p.companionXPx = -80;
                                p.companionYPx = 80;
                            }},
                      Fault{"cut_by_edge", [](SimulationParams& p) { p.offsetXPx = 100; }},
                      Fault{"small_margin", [](SimulationParams& p) { p.offsetYPx = -82; }},
                      Fault{"saturated", [](SimulationParams& p) { p.photons = 2e9; }},
                      Fault{"saturated", [](SimulationParams& p) { p.clipAdu = 2000; }},  // a flat top
                      Fault{"small_radius", [](SimulationParams& p) { p.defocusMm = 1.3; }},
                      Fault{"low_snr", [](SimulationParams& p) { p.photons = 5e4; }}),
    [](const auto& info) { return std::string(info.param.code) + std::to_string(info.index); });

TEST(DataChecks, PairFaultsAreWarned)
{
    // Clouds on the extra-focal exposure: a third of its light lost.
    auto codes = Codes(Simulate(Base(), [](SimulatedPair& s) {
        for (double& v : s.extra.adu.Plane(0)) v = 500 + (v - 500) * 0.65;
    }));
    EXPECT_TRUE(Has(codes, "unequal_flux"));
    Frames f = Simulate(Base());
    f.headerIntra.Exposure = 10;
    f.headerExtra.Exposure = 20;
    EXPECT_EQ(Codes(f), std::vector<std::string>{"headers_differ"});
    // A radius 20 % smaller on one side: unequal defocus.
    SimulationParams shorter = Base();
    shorter.defocusMm = 3.2;
    auto other = SimulatePair(shorter);
    ASSERT_TRUE(other.ok());
    f.extra = Measure(other.value().extra.adu);
    EXPECT_TRUE(Has(Codes(f), "unequal_radius"));
}

TEST(DataChecks, NoStarAndTheSameFrameTwiceAreRefused)
{
    // Today's failure: pure sky noise analysed as a perfect mirror.
    Planes3D<double> sky(1, 256, 256);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(500, 10);
    for (double& v : sky.Plane(0)) v = noise(rng);
    const Frames good = Simulate(Base());
    PairCheck c = CheckPair(Measure(sky), {}, good.extra, {}, 22);
    EXPECT_EQ(c.refusal.message, kNoStarMessage);
    c = CheckPair(good.intra, {}, good.intra, {}, 22);
    EXPECT_EQ(c.refusal.message, kSameImageMessage);
}

}  // namespace
}  // namespace frontlys
