// The cut of a large frame around its donut: the analysis of a 1024 x 1024 frame gives the
// coefficients of a 128 x 128 stamp of the same star; "Recadrer" and the opening with ExtractAuto
// cut both images of a test.
#include <gtest/gtest.h>

#include "analysis/crop_command.h"
#include "analysis/open_commands.h"
#include "analysis/run_analysis.h"
#include "prep/donut.h"
#include "simulation/fits_writer.h"
#include "simulation/star_simulator.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

// A noiseless star (the stamp and the large frame then hold the same donut pixel for pixel),
// written as a pair with the options of its analysis.
AnalysisOptions WriteStar(
    const std::filesystem::path& dir, int size, double dx, double dy, double companion = 0)
{
    SimulationParams p;
    p.obstruction = 0.25;
    p.defocusMm = 4;
    p.size = size;
    p.offsetXPx = dx;
    p.offsetYPx = dy;
    p.companionFlux = companion;
    p.companionXPx = p.companionYPx = companion > 0 ? 150 : 0;
    p.zernikeRmsNm[4] = 30;
    p.zernikeRmsNm[10] = 40;
    p.backgroundAdu = 300;
    auto simulated = SimulatePair(p);
    EXPECT_TRUE(simulated.ok()) << simulated.status().reason;
    const SimulatedPair pair = simulated.take();
    std::filesystem::create_directories(dir);
    AnalysisOptions o;
    o.intra = dir / "intra.fits";
    o.extra = dir / "extra.fits";
    FitsImageHeader h;
    h.focalLengthM = p.focalMm / 1000;
    h.diameterMm = p.diameterMm;
    h.pixelSizeUm = p.pixelUm;
    EXPECT_TRUE(WriteFitsImage(o.intra, pair.intra.adu, h, FitsSampleFormat::Float32).ok());
    EXPECT_TRUE(WriteFitsImage(o.extra, pair.extra.adu, h, FitsSampleFormat::Float32).ok());
    o.defocusMm = p.defocusMm;
    o.derivedImages = false;
    o.analytic = false;
    return o;
}

TEST(Crop, ALargeFrameGivesTheCoefficientsOfItsStamp)
{
    TempDir dir;
    const auto stamp = RunAnalysis(WriteStar(dir.path() / "stamp", 128, 0, 0));
    const auto large = RunAnalysis(WriteStar(dir.path() / "large", 1024, 300, -200));
    ASSERT_TRUE(stamp.ok() && large.ok()) << large.status().reason;
    EXPECT_EQ(large.value().session->ImageIntra->Width, 128);
    for (std::size_t k = 4; k < 22; ++k)
        EXPECT_NEAR(stamp.value().zernikeRmsNm[k], large.value().zernikeRmsNm[k], 0.2) << "Z" << k + 1;
}

// The compensated analysis keeps only a window around the donut of a frame of many megapixels.
TEST(Crop, TheAnalyticAnalysisOfAHugeFrameGivesTheCoefficientsOfItsStamp)
{
    TempDir dir;
    AnalysisOptions small = WriteStar(dir.path() / "stamp", 256, 0, 0);
    AnalysisOptions huge = WriteStar(dir.path() / "huge", 2100, 700, -500);
    small.analytic = huge.analytic = true;
    small.refineRounds = huge.refineRounds = 0;
    const auto stamp = RunAnalysis(small);
    const auto large = RunAnalysis(huge);
    ASSERT_TRUE(stamp.ok() && large.ok()) << large.status().reason;
    for (std::size_t k = 4; k < 22; ++k)
        EXPECT_NEAR(stamp.value().zernikeRmsNm[k], large.value().zernikeRmsNm[k], 0.2) << "Z" << k + 1;
}

TEST(Crop, RecadrerCentresBothDonutsAndRefusesImagesWithoutAStar)
{
    TempDir dir;
    const AnalysisOptions o = WriteStar(dir.path(), 512, -150, 120);
    TestSession session = NewSession();
    ASSERT_FALSE(OpenIntra(session, o.intra).failed() || OpenExtra(session, o.extra).failed());
    ASSERT_FALSE(CropImages(session).failed());
    for (const ImageSlot* image : {&session.ImageIntra, &session.ImageExtra}) {
        const DonutLocation found =
            LocateDonut((*image)->Planes.Plane(0), (*image)->Width, (*image)->Height).take();
        EXPECT_EQ((*image)->Width, 128);
        EXPECT_NEAR(found.main.cx, 64, 1.5);
        EXPECT_NEAR(found.main.cy, 64, 1.5);
    }
    for (double& v : session.ImageIntra->Planes.Plane(0)) v = 300;
    EXPECT_TRUE(CropImages(session).failed());
}

TEST(Crop, OpeningALargePairWithExtractAutoCutsAndChecksItBeforeExtracting)
{
    TempDir dir;
    const AnalysisOptions o = WriteStar(dir.path(), 512, 0, 0, 0.3);
    TestSession session = NewSession();
    ASSERT_FALSE(OpenBoth(session, o.intra, o.extra).failed());
    EXPECT_EQ(session.ImageIntra->Width, 128);
    EXPECT_GT(session.ImageExtra->MaskCount, 0);  // extracted after the cut
    ASSERT_EQ(session.Warnings.size(), 2u);       // the second star, on each image
    EXPECT_EQ(session.Warnings[0].code, "several_donuts");
}

}  // namespace
}  // namespace frontlys
