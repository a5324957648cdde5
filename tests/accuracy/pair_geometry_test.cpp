// The geometry the analysis reports and works at: software binning sums pixels (the answer stays
// the unbinned one), centres in each file's own pixels whatever the cut, a cap on the passes of
// each round; and the pair checks that need the whole pair: the same star on
// both sides, the radii against the spherical aberration that explains them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/data_checks.h"
#include "analysis/run_analysis.h"
#include "analysis/test_session.h"
#include "simulation/camera_noise.h"
#include "simulation/fits_writer.h"
#include "simulation/star_simulator.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

// 200 mm f/6, 9 um pixels, 4 mm of defocus (a 37 px donut) with camera noise.
SimulationParams NoisyPair()
{
    SimulationParams p;
    p.obstruction = 0.25;
    p.defocusMm = 4;
    p.zernikeRmsNm[6] = 15;
    p.zernikeRmsNm[10] = 40;
    p.seeingArcsec = 1.5;
    p.photons = 2e7;
    p.poisson = true;
    p.readNoiseE = 8;
    p.backgroundAdu = 500;
    return p;
}

AnalysisOptions Write(const std::filesystem::path& dir,
                      const SimulatedPair& intra,
                      const SimulatedPair& extra,
                      const SimulationParams& p)
{
    std::filesystem::create_directories(dir);
    AnalysisOptions o;
    o.intra = dir / "intra.fits";
    o.extra = dir / "extra.fits";
    FitsImageHeader h;
    h.focalLengthM = p.focalMm / 1000;
    h.diameterMm = p.diameterMm;
    h.pixelSizeUm = p.pixelUm;
    EXPECT_TRUE(WriteFitsImage(o.intra, intra.intra.adu, h, FitsSampleFormat::Float32).ok());
    EXPECT_TRUE(WriteFitsImage(o.extra, extra.extra.adu, h, FitsSampleFormat::Float32).ok());
    o.derivedImages = false;
    return o;
}

AnalysisOptions Write(const std::filesystem::path& dir, const SimulationParams& p)
{
    const SimulatedPair pair = SimulatePair(p).take();
    return Write(dir, pair, pair, p);
}

std::vector<std::string> Codes(const AnalysisReport& r)
{
    std::vector<std::string> codes;
    for (const Note& n : r.session->Warnings) codes.push_back(n.code);
    return codes;
}

bool Has(const std::vector<std::string>& codes, const char* code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TEST(PairGeometry, SoftwareBinningSumsPixelsAndKeepsTheAnswer)
{
    TempDir dir;
    AnalysisOptions o = Write(dir.path(), NoisyPair());
    const auto plain = RunAnalysis(o);
    o.softwareBinning = 2;
    const auto binned = RunAnalysis(o);
    ASSERT_TRUE(plain.ok() && binned.ok()) << binned.status().reason;
    // The clean pair is warned of nothing; binned, its donuts are half as wide.
    EXPECT_EQ(Codes(plain.value()), std::vector<std::string>{});
    EXPECT_TRUE(plain.value().warnings.empty());
    EXPECT_NEAR(binned.value().radiusIntraPx, plain.value().radiusIntraPx / 2, 1.0);
    for (std::size_t k = 4; k < 22; ++k)
        EXPECT_NEAR(binned.value().zernikeRmsNm[k], plain.value().zernikeRmsNm[k], 1.5) << "Z" << k + 1;
}

TEST(PairGeometry, CentresInTheFramesOwnPixelsWhateverTheCut)
{
    TempDir dir;
    SimulationParams p;
    p.obstruction = 0.25;
    p.defocusMm = 4;
    p.size = 1000;
    p.offsetXPx = 300;
    p.offsetYPx = -200;
    p.zernikeRmsNm[10] = 40;
    p.backgroundAdu = 300;
    AnalysisOptions o = Write(dir.path(), p);
    const auto cut = RunAnalysis(o);
    o.crop = false;
    const auto whole = RunAnalysis(o);
    ASSERT_TRUE(cut.ok() && whole.ok()) << whole.status().reason;
    EXPECT_LT(cut.value().session->ImageIntra->Width, 1000);
    // 1-based column and row of the donut's centre, on both files (the extra one is not turned).
    const double x = (p.size + 1) / 2.0 + p.offsetXPx, y = (p.size + 1) / 2.0 + p.offsetYPx;
    for (const AnalysisReport* r : {&cut.value(), &whole.value()})
        for (const auto& centre : {r->centreIntra, r->centreExtra}) {
            EXPECT_NEAR(centre[0], x, 0.3);
            EXPECT_NEAR(centre[1], y, 0.3);
        }
    // Binned, the centre is still in the file's pixels.
    o.softwareBinning = 2;
    const auto binned = RunAnalysis(o);
    ASSERT_TRUE(binned.ok()) << binned.status().reason;
    EXPECT_NEAR(binned.value().centreExtra[0], x, 0.5);
    EXPECT_NEAR(binned.value().centreExtra[1], y, 0.5);
}

TEST(PairGeometry, MaxPassesCapsEachRoundOfThePupilsSize)
{
    TempDir dir;
    AnalysisOptions o = Write(dir.path(), NoisyPair());
    const auto free = RunAnalysis(o);
    ASSERT_TRUE(free.ok() && free.value().compensated) << free.status().reason;
    for (int cap : {1, 3}) {
        o.maxPasses = cap;
        const auto r = RunAnalysis(o);
        ASSERT_TRUE(r.ok() && r.value().compensated) << r.status().reason;
        EXPECT_GE(r.value().compensated->passes, cap);
        EXPECT_LE(r.value().compensated->passes, 3 * cap);  // three rounds at most
        EXPECT_LT(r.value().compensated->passes, free.value().compensated->passes);
    }
}

TEST(PairGeometry, UnequalRadiusIsNotSaidOfWhatSphericalAberrationDoes)
{
    TempDir dir;
    SimulationParams strong = NoisyPair();
    strong.zernikeRmsNm[6] = 0;
    strong.zernikeRmsNm[10] = 150;
    strong.defocusMm = 3;
    const SimulatedPair pair = SimulatePair(strong).take();
    const FrameFacts a = MeasureFrame(pair.intra.adu.Plane(0), strong.size, strong.size, kSaturationAdu);
    const FrameFacts b = MeasureFrame(pair.extra.adu.Plane(0), strong.size, strong.size, kSaturationAdu);
    ASSERT_TRUE(RadiiUnequal(a, b, 0)) << a.donut->main.radius << " " << b.donut->main.radius;
    const auto spherical = RunAnalysis(Write(dir.path() / "spherical", pair, pair, strong));
    ASSERT_TRUE(spherical.ok()) << spherical.status().reason;
    EXPECT_FALSE(Has(Codes(spherical.value()), "unequal_radius"))
        << testing::PrintToString(Codes(spherical.value()));

    SimulationParams nearer = NoisyPair();
    nearer.defocusMm = 3.2;
    const auto unequal = RunAnalysis(
        Write(dir.path() / "unequal", SimulatePair(NoisyPair()).take(), SimulatePair(nearer).take(), nearer));
    ASSERT_TRUE(unequal.ok()) << unequal.status().reason;
    EXPECT_TRUE(Has(Codes(unequal.value()), "unequal_radius"));
}

TEST(PairChecks, TheSameStarOfTwoEqualOnesOnBothSidesAndSaid)
{
    // The companion is the brighter in the intra frame, the fainter in the extra one.
    const auto frames = [](double companion) {
        SimulationParams p = NoisyPair();
        p.companionFlux = companion;
        p.companionXPx = -80;
        p.companionYPx = 80;
        return SimulatePair(p).take();
    };
    const SimulatedPair brighter = frames(1.1), fainter = frames(0.9);
    const auto& a = brighter.intra.adu.Plane(0);
    const auto& b = fainter.extra.adu.Plane(0);
    FrameFacts fa = MeasureFrame(a, 256, 256, kSaturationAdu), fb = MeasureFrame(b, 256, 256, kSaturationAdu);
    ASSERT_GT(std::hypot(fa.donut->main.cx - fb.donut->main.cx, fa.donut->main.cy - fb.donut->main.cy), 50);
    MatchStars(a, fa, b, fb);
    EXPECT_LT(std::hypot(fa.donut->main.cx - fb.donut->main.cx, fa.donut->main.cy - fb.donut->main.cy), 3);
    const PairCheck check = CheckPair(fa, {}, fb, {}, 22);
    EXPECT_TRUE(std::any_of(
        check.notes.begin(), check.notes.end(), [](const Note& n) { return n.code == "several_stars"; }));
}

TEST(PairChecks, FocuserPositionsTellAPairGivenTheWrongWayRound)
{
    const SimulatedPair pair = SimulatePair(NoisyPair()).take();
    const FrameFacts a = MeasureFrame(pair.intra.adu.Plane(0), 256, 256, kSaturationAdu);
    const FrameFacts b = MeasureFrame(pair.extra.adu.Plane(0), 256, 256, kSaturationAdu);
    const auto codes = [&](double intraPosition, double extraPosition) {
        TFitsHeader hi, he;
        hi.FocuserPosition = intraPosition;
        he.FocuserPosition = extraPosition;
        hi.SetBy[kFocuserGroup] = he.SetBy[kFocuserGroup] = "FOCUSPOS";
        std::vector<std::string> out;
        for (const Note& n : CheckPair(a, hi, b, he, 22).notes) out.push_back(n.code);
        return out;
    };
    EXPECT_EQ(codes(1000, 1400), std::vector<std::string>{});
    EXPECT_EQ(codes(1400, 1000), std::vector<std::string>{"swapped_pair"});
    EXPECT_EQ(codes(1000, 1000), std::vector<std::string>{"same_side"});
}

}  // namespace
}  // namespace frontlys
