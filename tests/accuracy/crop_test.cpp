// The cut of a large frame around its donut: the analysis of a 1024 x 1024 frame gives the
// coefficients of a 128 x 128 stamp of the same star; "Recadrer" cuts both images of a test.
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

// Noiseless, so that the stamp and the large frame hold the same donut pixel for pixel.
SimulationParams Star(int size, double dx, double dy)
{
    SimulationParams p;
    p.diameterMm = 200;
    p.focalMm = 1200;
    p.obstruction = 0.25;
    p.defocusMm = 4;
    p.size = size;
    p.offsetXPx = dx;
    p.offsetYPx = dy;
    p.zernikeRmsNm[4] = 30;
    p.zernikeRmsNm[10] = 40;
    p.photons = 2e7;
    p.backgroundAdu = 300;
    return p;
}

AnalysisOptions WriteAndDescribe(const std::filesystem::path& dir, const SimulationParams& p)
{
    auto pair = SimulatePair(p);
    EXPECT_TRUE(pair.ok());
    FitsImageHeader h;
    h.focalLengthM = p.focalMm / 1000;
    h.diameterMm = p.diameterMm;
    h.pixelSizeUm = p.pixelUm;
    std::filesystem::create_directories(dir);
    AnalysisOptions o;
    o.intra = dir / "intra.fits";
    o.extra = dir / "extra.fits";
    EXPECT_TRUE(WriteFitsImage(o.intra, pair.value().intra.adu, h, FitsSampleFormat::Float32).ok());
    EXPECT_TRUE(WriteFitsImage(o.extra, pair.value().extra.adu, h, FitsSampleFormat::Float32).ok());
    o.defocusMm = p.defocusMm;
    o.derivedImages = false;
    o.analytic = false;
    return o;
}

TEST(Crop, ALargeFrameGivesTheCoefficientsOfItsStamp)
{
    TempDir dir;
    const auto stamp = RunAnalysis(WriteAndDescribe(dir.path() / "stamp", Star(128, 0, 0)));
    const auto large = RunAnalysis(WriteAndDescribe(dir.path() / "large", Star(1024, 300, -200)));
    ASSERT_TRUE(stamp.ok() && large.ok()) << large.status().reason;
    EXPECT_EQ(large.value().session->ImageIntra->Width, 128);
    const auto& a = stamp.value().zernikeRmsNm;
    const auto& b = large.value().zernikeRmsNm;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 4; k < a.size(); ++k) EXPECT_NEAR(a[k], b[k], 0.2) << "Z" << k + 1;
}

TEST(Crop, RecadrerCutsBothImagesAndRefusesImagesWithoutAStar)
{
    TempDir dir;
    const AnalysisOptions o = WriteAndDescribe(dir.path(), Star(512, -150, 120));
    TestSession session = NewSession();
    ASSERT_FALSE(OpenIntra(session, o.intra).failed());
    ASSERT_FALSE(OpenExtra(session, o.extra).failed());
    const CommandOutcome cut = CropImages(session);
    ASSERT_FALSE(cut.failed()) << cut.status.reason;
    for (const ImageSlot* image : {&session.ImageIntra, &session.ImageExtra}) {
        EXPECT_EQ((*image)->Width, 128);
        // The donut sits in the middle of the cut.
        const auto found = LocateDonut((*image)->Planes.Plane(0), 128, 128);
        ASSERT_TRUE(found.ok());
        EXPECT_NEAR(found.value().main.cx, 64, 1.5);
        EXPECT_NEAR(found.value().main.cy, 64, 1.5);
    }
    EXPECT_EQ(session.ImageExtra->Kind, static_cast<std::uint8_t>(ImageKind::Extra));
    // Blank images: refused, the images as they were.
    for (double& v : session.ImageIntra->Planes.Plane(0)) v = 300;
    const CommandOutcome refused = CropImages(session);
    EXPECT_TRUE(refused.failed());
    EXPECT_EQ(session.ImageIntra->Width, 128);
}

TEST(Crop, OpeningALargePairWithExtractAutoCutsAndChecksItBeforeExtracting)
{
    TempDir dir;
    SimulationParams p = Star(512, 0, 0);
    p.companionFlux = 0.3;
    p.companionXPx = 160;
    p.companionYPx = 150;
    const AnalysisOptions o = WriteAndDescribe(dir.path(), p);
    TestSession session = NewSession();
    const CommandOutcome opened = OpenBoth(session, o.intra, o.extra);
    ASSERT_FALSE(opened.failed()) << opened.status.reason;
    EXPECT_EQ(session.ImageIntra->Width, 128);
    EXPECT_GT(session.ImageExtra->MaskCount, 0);  // extracted after the cut
    ASSERT_EQ(session.Warnings.size(), 2u);        // the second star, on each image
    EXPECT_EQ(session.Warnings[0].code, "several_donuts");
}

}  // namespace
}  // namespace frontlys
