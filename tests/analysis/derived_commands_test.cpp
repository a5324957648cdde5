#include "analysis/derived_commands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/analysis_commands.h"
#include "engine/ronchigram.h"

namespace frontlys {
namespace {

std::vector<double> PixelsOf(const TImageRec& image)
{
    return {image.Planes.data(), image.Planes.data() + image.Planes.size()};
}

double PeakOf(const TImageRec& image)
{
    const auto v = PixelsOf(image);
    return *std::max_element(v.begin(), v.end());
}

// A simulated 128 x 128 wavefront of radius 50 with 40 nm RMS of astigmatism, and the test
// parameters of a 200 mm f/5 mirror defocused by 5 mm.
class DerivedCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.Sim.SimTaille = 128;
        session.Sim.SimRayon = 50;
        ZernikeCoefficients rms{};
        rms[4] = 40;
        session.Sim.SimCoef = RmsToCoef(session.Basis, rms);
        ASSERT_TRUE(SimulateWavefront(session).ran);
        session.Params = {1'000'000'000, 100'000'000, 5'000'000};
        session.ParamsSaisis = true;
    }
    TestSession session = NewSession();
};

TEST_F(DerivedCommandsTest, NothingWithoutAWavefront)
{
    TestSession empty = NewSession();
    EXPECT_FALSE(ComputePsfCommand(empty, {}).ran);
    EXPECT_FALSE(ComputeInterferogram(empty, {}).ran);
    empty.ParamsSaisis = true;
    EXPECT_FALSE(ComputeRonchigram(empty, {}).ran);
    session.ParamsSaisis = false;
    EXPECT_FALSE(ComputeRonchigram(session, {}).ran);
}

TEST_F(DerivedCommandsTest, PsfDefocusIsAddedForThePsfAndRemovedAfterwards)
{
    const auto before = PixelsOf(*session.ImageFront);
    PsfOptions options;
    options.defocusText = "0";
    ASSERT_TRUE(ComputePsfCommand(session, options).ran);
    ASSERT_TRUE(session.ImagePSF && session.ImagePSFTheorique);
    const double focusedPeak = PeakOf(*session.ImagePSF);
    EXPECT_EQ(PixelsOf(*session.ImageFront), before);

    options.defocusText = "80,5";  // either separator
    options.sizeIndex = 2;
    const CommandOutcome outcome = ComputePsfCommand(session, options);
    EXPECT_EQ(outcome.shown, std::vector<ImageKind>{ImageKind::Psf});
    EXPECT_EQ(session.Prefs.FactMultDiff, 4);
    const auto after = PixelsOf(*session.ImageFront);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) ASSERT_NEAR(after[i], before[i], 1e-9);
    // The defocus took part: the peak falls against the aberration-free one.
    EXPECT_LT(PeakOf(*session.ImagePSF) / PeakOf(*session.ImagePSFTheorique),
              0.9 * focusedPeak / PeakOf(*session.ImagePSFTheorique));
}

TEST_F(DerivedCommandsTest, PsfSizeIndexFollowsThePreference)
{
    EXPECT_EQ(PsfSizeIndexFor(1), 0);
    EXPECT_EQ(PsfSizeIndexFor(2), 1);
    EXPECT_EQ(PsfSizeIndexFor(4), 2);
    EXPECT_EQ(PsfSizeIndexFor(8), 3);
    EXPECT_EQ(PsfSizeIndexFor(3), 0);
    PsfOptions none;
    none.sizeIndex = -1;  // no item selected counts as "x1"
    ASSERT_TRUE(ComputePsfCommand(session, none).ran);
    EXPECT_EQ(session.Prefs.FactMultDiff, 1);
}

TEST_F(DerivedCommandsTest, EightFringesAt555NanometresUseATiltOf2220)
{
    EXPECT_DOUBLE_EQ(InterferogramTiltNm(8, 555), 2220);
    // A flat wavefront shows straight fringes: along a row the intensity repeats every
    // diameter / fringes pixels.
    session.Sim.SimCoef = {};
    ASSERT_TRUE(SimulateWavefront(session).ran);
    ASSERT_TRUE(ComputeInterferogram(session, FringeOptions{8, 0}).ran);
    const TImageRec& i = *session.ImageInterfero;
    EXPECT_EQ(i.Kind, 5);
    int crossings = 0;
    const int row = 63;
    for (int c = 15; c < 113; ++c)
        if (i.InMask(row, c) && i.InMask(row, c + 1) && (i.At(row, c) - 0.5) * (i.At(row, c + 1) - 0.5) < 0)
            ++crossings;
    EXPECT_EQ(crossings, 16);  // two crossings per fringe
    // Along a column nothing changes at angle 0.
    EXPECT_NEAR(i.At(40, 64), i.At(80, 64), 1e-9);
}

TEST_F(DerivedCommandsTest, InterferogramFollowsTheWavefrontSize)
{
    ASSERT_TRUE(ComputeInterferogram(session, {}).ran);
    session.Sim.SimTaille = 64;
    session.Sim.SimRayon = 25;
    ASSERT_TRUE(SimulateWavefront(session).ran);
    const CommandOutcome outcome = ComputeInterferogram(session, {});
    EXPECT_EQ(session.ImageInterfero->Width, 64);
    EXPECT_EQ(outcome.released, std::vector<ImageKind>{ImageKind::Interferogram});
}

TEST_F(DerivedCommandsTest, RonchigramIgnoresTheTestDefocus)
{
    ASSERT_TRUE(ComputeRonchigram(session, FringeOptions{8, 0}).ran);
    EXPECT_EQ(session.ImageRonchi->Kind, 7);
    const auto first = PixelsOf(*session.ImageRonchi);
    session.Params.Defocus = 9'000'000;
    ASSERT_TRUE(ComputeRonchigram(session, FringeOptions{8, 0}).ran);
    EXPECT_EQ(PixelsOf(*session.ImageRonchi), first);
    ASSERT_TRUE(ComputeRonchigram(session, FringeOptions{12, 0}).ran);
    EXPECT_NE(PixelsOf(*session.ImageRonchi), first);
    EXPECT_DOUBLE_EQ(RonchiGratingDistance(8), 1'600'000);
}

}  // namespace
}  // namespace frontlys
