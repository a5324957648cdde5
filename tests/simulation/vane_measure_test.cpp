// Spider vanes measured from simulated pairs whose vanes are known: none where there are none, the
// count, the angle and the width where there are (the width read 3 to 8 % wide on these pairs).
#include "engine/compensated/vane_measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "engine/compensated/image_fit.h"
#include "engine/compensated/pipeline.h"
#include "simulation/star_simulator.h"

namespace frontlys {
namespace {

// A 250 mm f/5 with coma, astigmatism, trefoil and spherical, seeing about 2 pixels, shot noise.
SimulationParams Telescope()
{
    SimulationParams p;
    p.diameterMm = 250;
    p.focalMm = 1250;
    p.pixelUm = 5;
    p.defocusMm = 2;
    p.obstruction = 0.3;
    p.size = 160;
    p.seeingArcsec = 1.5;
    p.zernikeRmsNm[6] = 40;   // coma
    p.zernikeRmsNm[4] = -30;  // astigmatism
    p.zernikeRmsNm[8] = 25;   // trefoil
    p.zernikeRmsNm[10] = 30;  // spherical
    p.photons = 2e7;
    p.poisson = true;
    p.backgroundAdu = 100;
    return p;
}

// Seeing four times wider, nearer the caustic, strong trefoil and coma: shadows of 4 vanes at 30 deg
// (or of `count`) that the ring profiles keep only in part.
SimulationParams BlurredVanes(int count, double widthMm)
{
    SimulationParams p = Telescope();
    p.seeingArcsec = 6;
    p.defocusMm = 1.2;
    p.zernikeRmsNm[8] = 150;
    p.zernikeRmsNm[6] = 150;
    p.vaneCount = count;
    p.vaneWidthMm = widthMm;
    p.vaneAngleDeg = 30;
    return p;
}

std::vector<double> Pixels(const SimulatedFrame& f, bool turn)
{
    const auto plane = f.adu.Plane(0);
    std::vector<double> v(plane.begin(), plane.end());
    if (turn) std::reverse(v.begin(), v.end());  // the program's orientation
    return v;
}

CompensatedOptions OptionsFor(const SimulationParams& p)
{
    CompensatedOptions o;
    o.focalNm = p.focalMm * 1e6;
    o.apertureRadiusNm = 0.5 * p.diameterMm * 1e6;
    o.pixelNm = p.pixelUm * 1e3;
    o.defocusNm = p.defocusMm * 1e6;
    o.obstruction = p.obstruction;
    return o;
}

struct Frames {
    std::vector<double> intra, extra;
    RawFrame Intra(int side) const { return {intra, side, side}; }
    RawFrame Extra(int side) const { return {extra, side, side}; }
};

Frames Simulate(const SimulationParams& p)
{
    auto pair = SimulatePair(p);
    EXPECT_TRUE(pair.ok());
    return {Pixels(pair.value().intra, false), Pixels(pair.value().extra, true)};
}

Result<VaneMeasurement> Measure(const SimulationParams& p)
{
    const Frames f = Simulate(p);
    const RawFrame i = f.Intra(p.size), e = f.Extra(p.size);
    const CompensatedOptions o = OptionsFor(p);
    auto analysed = CompensatedAnalysis(i, e, o);
    EXPECT_TRUE(analysed.ok());
    return MeasureVanes(i, e, analysed.value(), o.pixelNm, p.lambdaNm);
}

TEST(MeasureVanes, FindsNoneWithoutVanesAndTheCountAngleAndWidthWithThem)
{
    const SimulationParams plain = Telescope();
    auto none = Measure(plain);
    ASSERT_TRUE(none.ok()) << none.status().reason;
    EXPECT_EQ(none.value().vanes.count, 0);
    EXPECT_FALSE(none.value().reason.empty());

    for (auto [count, widthMm, angle] :
         {std::tuple{4, 6.0, 30.0}, std::tuple{3, 5.0, 75.0}, std::tuple{4, 3.0, 10.0}}) {
        SimulationParams p = Telescope();
        p.vaneCount = count;
        p.vaneWidthMm = widthMm;
        p.vaneAngleDeg = angle;
        auto m = Measure(p);
        ASSERT_TRUE(m.ok()) << m.status().reason;
        const SpiderVanes& v = m.value().vanes;
        EXPECT_EQ(v.count, count) << m.value().reason;
        EXPECT_NEAR(v.angleDeg, angle, 1.0);
        EXPECT_NEAR(v.width * 0.5 * p.diameterMm, widthMm, 0.12 * widthMm);
    }
}

// Asked for, the analysis measures the vanes first and says what it found.
TEST(MeasureVanes, TheAnalysisMeasuresThemWhenAsked)
{
    SimulationParams p = Telescope();
    p.vaneCount = 4;
    p.vaneWidthMm = 6;
    p.vaneAngleDeg = 30;
    const Frames f = Simulate(p);
    CompensatedOptions o = OptionsFor(p);
    PipelineOptions pipeline;
    pipeline.refineRounds = 0;
    auto plain = AnalysePair(f.Intra(p.size), f.Extra(p.size), o, pipeline);
    ASSERT_TRUE(plain.ok());
    EXPECT_FALSE(plain.value().vanes);
    o.measureVanes = true;
    auto measured = AnalysePair(f.Intra(p.size), f.Extra(p.size), o, pipeline);
    ASSERT_TRUE(measured.ok());
    ASSERT_TRUE(measured.value().vanes);
    EXPECT_EQ(measured.value().vanes->vanes.count, 4);
}

// Seeing four times wider and a stronger trefoil blur the shadows below what the ring profiles accept; the
// direct fit of the images still finds the vanes, and none on the same pair without them.
TEST(FitVanes, FindsBlurredVanesTheRingsMissAndNoneWithout)
{
    for (int count : {4, 0}) {
        const SimulationParams p = BlurredVanes(count, 5);
        const Frames f = Simulate(p);
        const RawFrame i = f.Intra(p.size), e = f.Extra(p.size);
        const CompensatedOptions o = OptionsFor(p);
        auto analysed = CompensatedAnalysis(i, e, o);
        ASSERT_TRUE(analysed.ok());
        const CompensatedResult& a = analysed.value();
        auto rings = MeasureVanes(i, e, a, o.pixelNm, p.lambdaNm);
        ASSERT_TRUE(rings.ok());
        ASSERT_EQ(rings.value().vanes.count, 0) << rings.value().significance;
        const ModelEstimate start{a.coef, a.obstruction, a.defocusNm};
        auto judged = MeasureImageMisfit(i, e, a, o, start, p.lambdaNm);
        ASSERT_TRUE(judged.ok());
        ImageFitOptions fit;
        fit.lambdaNm = p.lambdaNm;
        auto v = FitVanes(i, e, a, o, start, judged.value().noise, fit);
        ASSERT_TRUE(v.ok()) << v.status().reason;
        const SpiderVanes& found = v.value().vanes;
        EXPECT_EQ(found.count, count) << v.value().significance << " " << v.value().reason;
        if (count == 0) {
            EXPECT_FALSE(v.value().reason.empty());
            continue;
        }
        EXPECT_NEAR(found.angleDeg, p.vaneAngleDeg, 1.0) << v.value().significance;
        EXPECT_NEAR(found.width * 0.5 * p.diameterMm, p.vaneWidthMm, 0.12 * p.vaneWidthMm);
    }
}

// A cross whose second bar is much thinner than the first: a cross of one width cannot show it, two bars
// of their own widths do.
TEST(FitVanes, FindsASecondBarThinnerThanTheFirst)
{
    SimulationParams p = BlurredVanes(4, 8);
    p.vaneOtherWidthMm = 2.5;
    p.vaneOtherTurnDeg = -6;
    const Frames f = Simulate(p);
    const RawFrame i = f.Intra(p.size), e = f.Extra(p.size);
    const CompensatedOptions o = OptionsFor(p);
    auto analysed = CompensatedAnalysis(i, e, o);
    ASSERT_TRUE(analysed.ok());
    const CompensatedResult& a = analysed.value();
    const ModelEstimate start{a.coef, a.obstruction, a.defocusNm};
    auto judged = MeasureImageMisfit(i, e, a, o, start, p.lambdaNm);
    ASSERT_TRUE(judged.ok());
    ImageFitOptions fit;
    fit.lambdaNm = p.lambdaNm;
    auto v = FitVanes(i, e, a, o, start, judged.value().noise, fit);
    ASSERT_TRUE(v.ok()) << v.status().reason;
    const SpiderVanes& found = v.value().vanes;
    const double radiusMm = 0.5 * p.diameterMm;
    ASSERT_EQ(found.count, 4) << v.value().significance << " " << v.value().reason;
    EXPECT_NEAR(found.angleDeg, p.vaneAngleDeg, 1.0);
    EXPECT_NEAR(found.width * radiusMm, p.vaneWidthMm, 0.12 * p.vaneWidthMm);
    EXPECT_NEAR(found.otherWidth * radiusMm, p.vaneOtherWidthMm, 0.25 * p.vaneOtherWidthMm);
    EXPECT_NEAR(found.otherTurnDeg, p.vaneOtherTurnDeg, 2.0);
}

// Vanes the direct fit finds are used as given ones would be: the judge's misfits are those of the
// analysis handed the same vanes, and so is the kept answer, or the direct fit run with them.
TEST(FitVanes, TheKeptAnswerAndTheJudgeUseTheVanesFound)
{
    const SimulationParams p = BlurredVanes(4, 5);
    const Frames f = Simulate(p);
    const RawFrame i = f.Intra(p.size), e = f.Extra(p.size);
    CompensatedOptions o = OptionsFor(p);
    o.measureVanes = true;
    PipelineOptions pipeline;
    pipeline.lambdaNm = p.lambdaNm;
    auto measured = AnalysePair(i, e, o, pipeline);
    ASSERT_TRUE(measured.ok()) << measured.status().reason;
    const PipelineOutcome& m = measured.value();
    ASSERT_TRUE(m.vanes);
    ASSERT_EQ(m.vanes->method, "image_fit");
    ASSERT_EQ(m.vanes->vanes.count, 4);
    o.measureVanes = false;
    o.vanes = m.vanes->vanes;
    auto given = AnalysePair(i, e, o, pipeline);
    ASSERT_TRUE(given.ok());
    const PipelineOutcome& g = given.value();
    ASSERT_TRUE(m.misfitRefined && g.misfitRefined);
    EXPECT_DOUBLE_EQ(m.misfitRefined->chi2PerPixel, g.misfitRefined->chi2PerPixel);
    EXPECT_DOUBLE_EQ(m.misfitUnrefined->chi2PerPixel, g.misfitUnrefined->chi2PerPixel);
    // Kept, the direct fit is the one run with the vanes found.
    if (m.keptImageFit) {
        ASSERT_TRUE(m.imageFit);
        EXPECT_EQ(m.imageFit->vanes, m.vanes->vanes);
        for (int k = 5; k <= 22; ++k)
            EXPECT_DOUBLE_EQ(m.result.coef[k - 1], m.imageFit->estimate.coef[k - 1]);
        return;
    }
    for (int k = 5; k <= 22; ++k) EXPECT_DOUBLE_EQ(m.result.coef[k - 1], g.result.coef[k - 1]) << k;
}

}  // namespace
}  // namespace frontlys
