#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <stop_token>
#include <string>
#include <utility>

#include "analysis/analysis_commands.h"
#include "analysis/open_commands.h"
#include "analysis/prep_commands.h"
#include "support/donut_pair.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

using testing::DonutSpec;

bool Contains(const std::vector<ImageKind>& kinds, ImageKind kind)
{
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

std::vector<double> PixelsOf(const TImageRec& image)
{
    return {image.Planes.data(), image.Planes.data() + image.Planes.size()};
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        files = testing::WriteDonutPair(dir.path(), donut, 128);
        session.Prefs.CorrectionAnalytique = 0;  // these cases pin the numeric correction
    }

    // Both images open and prepared, the parameters of the donut pair entered.
    void OpenAndEnterParams()
    {
        ASSERT_FALSE(OpenBoth(session, files.intra, files.extra).failed());
        session.Params.Defocus = 5'000'000;
        session.ParamsSaisis = true;
    }

    TempDir dir;
    DonutSpec donut;
    testing::DonutFiles files;
    TestSession session = NewSession();
};

TEST_F(CommandsTest, OpeningTheIntraImageTakesFocalLengthAndDiameterFromItsHeader)
{
    session.Params = {1, 2, 3};
    const CommandOutcome outcome = OpenIntra(session, files.intra);
    ASSERT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.failed());
    ASSERT_TRUE(session.ImageIntra);
    EXPECT_EQ(session.ImageIntra->Width, 128);
    EXPECT_EQ(session.ImageIntra->Kind, 0);
    EXPECT_DOUBLE_EQ(session.Params.Focal, 1000 * 1e6);
    EXPECT_DOUBLE_EQ(session.Params.ApertureRadius, 200 * 5e5);
    EXPECT_DOUBLE_EQ(session.Params.Defocus, 3);
    EXPECT_TRUE(session.HasWindow(ImageKind::Intra));
    EXPECT_EQ(outcome.shown, std::vector<ImageKind>{ImageKind::Intra});

    const TTestParams before = session.Params;
    ASSERT_FALSE(OpenExtra(session, files.extra).failed());
    EXPECT_EQ(session.Params, before);
    EXPECT_EQ(session.ImageExtra->Kind, 1);
}

TEST_F(CommandsTest, AFileThatCannotBeReadKeepsTheImageAndTheParameters)
{
    ASSERT_FALSE(OpenIntra(session, files.intra).failed());
    const TImageRec* loaded = session.ImageIntra.get();
    const auto pixels = PixelsOf(*loaded);
    const TTestParams params = session.Params;
    const auto garbage = dir.path() / "garbage.fits";
    std::ofstream(garbage) << "this is no FITS file";

    for (const auto& bad : {garbage, dir.path() / "missing.fits"}) {
        const CommandOutcome outcome = OpenIntra(session, bad);
        EXPECT_TRUE(outcome.failed());
        ASSERT_TRUE(outcome.message);
        EXPECT_EQ(outcome.message->text, "L'image est introuvable");
        EXPECT_EQ(outcome.message->style, MessageStyle::Window);
        EXPECT_FALSE(outcome.status.reason.empty());
        EXPECT_EQ(session.ImageIntra.get(), loaded);
        EXPECT_EQ(PixelsOf(*session.ImageIntra), pixels);
        EXPECT_EQ(session.Params, params);
        EXPECT_EQ(session.FileIntra, files.intra.string());
    }
    // At the very start a failed open leaves the slot empty and opens no window.
    TestSession fresh = NewSession();
    EXPECT_TRUE(OpenExtra(fresh, garbage).failed());
    EXPECT_FALSE(fresh.ImageExtra);
    EXPECT_FALSE(fresh.HasWindow(ImageKind::Extra));
}

TEST_F(CommandsTest, TheExtraFocalImageIsTurnedByHalfATurn)
{
    std::vector<double> v(16 * 8, -32768.0 + 10);
    // A 3 x 3 spot centred on row 2, column 3 (0-based) of the file: a lone bright pixel would be
    // repaired at opening as a hot pixel.
    for (int r = 1; r <= 3; ++r)
        for (int c = 2; c <= 4; ++c) v[r * 16 + c] = -32768.0 + 5000;
    const auto file = dir.path() / "spot.fits";
    testing::FitsBuilder::Image(16, 16, 8).Real("BZERO", 32768).Pixels(v).WriteTo(file);
    ASSERT_FALSE(OpenExtra(session, file).failed());
    const TImageRec& e = *session.ImageExtra;
    ASSERT_EQ(e.Width, 128);
    EXPECT_EQ(e.At(127 - 2, 127 - 3), 5000);
    EXPECT_EQ(e.At(2, 3), 10);
}

TEST_F(CommandsTest, OpenBothPreparesThePupilsAndComputesTheSignal)
{
    const CommandOutcome outcome = OpenBoth(session, files.intra, files.extra);
    ASSERT_FALSE(outcome.failed());
    EXPECT_TRUE(Contains(outcome.shown, ImageKind::Signal));
    ASSERT_TRUE(session.ImageSignal);
    for (const TImageRec* pupil : {session.ImageIntra.get(), session.ImageExtra.get()}) {
        EXPECT_NEAR(pupil->CentreX, 64, 0.2);
        EXPECT_NEAR(pupil->CentreY, 64, 0.2);
        EXPECT_NEAR(pupil->Radius, donut.radiusPx, 0.5);
    }
    EXPECT_EQ(session.ImageSignal->Kind, 2);
}

// The opening names its steps as they start, in the order they run.
TEST_F(CommandsTest, OpeningReportsItsStepsInOrder)
{
    std::vector<std::string> steps;
    const ProgressFn progress = [&](std::string_view step) { steps.emplace_back(step); };
    ASSERT_FALSE(OpenBoth(session, files.intra, files.extra, CropMode::Auto, progress).failed());
    EXPECT_EQ(steps,
              (std::vector<std::string>{"Lecture et nettoyage des images",
                                        "Vérification de la paire",
                                        "Extraction des pupilles",
                                        "Co-centrage des pupilles",
                                        "Calcul du signal"}));
}

TEST_F(CommandsTest, OpenBothWithBothWindowsOpenReadsNothingButPreparesAgain)
{
    ASSERT_FALSE(OpenBoth(session, files.intra, files.extra).failed());
    const TImageRec* intra = session.ImageIntra.get();
    const TImageRec* signal = session.ImageSignal.get();
    const CommandOutcome again = OpenBoth(session, dir.path() / "other.fits", dir.path() / "other.fits");
    EXPECT_FALSE(again.failed());  // the other file was never asked for
    EXPECT_EQ(session.ImageIntra.get(), intra);
    EXPECT_EQ(session.FileIntra, files.intra.string());
    EXPECT_NE(session.ImageSignal.get(), signal);  // a new signal record

    session.Prefs.ExtractAuto = 0;
    const CommandOutcome manual = OpenBoth(session, std::nullopt, std::nullopt);
    EXPECT_FALSE(manual.ran);
}

TEST_F(CommandsTest, OpenBothWithoutExtractAutoStopsAfterOpening)
{
    session.Prefs.ExtractAuto = 0;
    ASSERT_FALSE(OpenBoth(session, files.intra, std::nullopt).failed());
    EXPECT_TRUE(session.ImageIntra);
    EXPECT_FALSE(session.ImageExtra);
    EXPECT_FALSE(session.ImageSignal);
    EXPECT_EQ(session.ImageIntra->MaskCount, 0);
}

TEST_F(CommandsTest, PreparationCommandsNeedTheirImages)
{
    EXPECT_FALSE(ExtractPupils(session).ran);
    EXPECT_FALSE(CoCentrePupils(session).ran);
    EXPECT_FALSE(ResizePupils(session).ran);
    EXPECT_FALSE(CorrectImages(session).ran);
    EXPECT_FALSE(ComputeSignalCommand(session).ran);
    ASSERT_FALSE(OpenIntra(session, files.intra).failed());
    // One image: extraction works on it alone, the pair commands do nothing.
    const CommandOutcome extracted = ExtractPupils(session);
    EXPECT_EQ(extracted.shown, std::vector<ImageKind>{ImageKind::Intra});
    EXPECT_NEAR(session.ImageIntra->Radius, donut.radiusPx, 0.5);
    EXPECT_FALSE(CoCentrePupils(session).ran);
    EXPECT_FALSE(ComputeSignalCommand(session).ran);
}

TEST_F(CommandsTest, SignalOfImagesOfDifferentSizesIsRefused)
{
    ASSERT_FALSE(OpenIntra(session, files.intra).failed());
    DonutSpec big = donut;
    big.width = big.height = 200;  // pads to 256
    const auto bigFile = dir.path() / "big.fits";
    testing::WriteDonut(bigFile, big, -1, 100, 100);
    ASSERT_FALSE(OpenExtra(session, bigFile).failed());
    const CommandOutcome outcome = ComputeSignalCommand(session);
    ASSERT_TRUE(outcome.message);
    EXPECT_EQ(outcome.message->text, "Les deux images n'ont pas les mêmes dimensions");
    EXPECT_FALSE(session.ImageSignal);
}

TEST_F(CommandsTest, WavefrontWithoutParametersOnlyWarns)
{
    ASSERT_FALSE(OpenBoth(session, files.intra, files.extra).failed());
    const CommandOutcome outcome = ComputeWavefront(session);
    ASSERT_TRUE(outcome.message);
    EXPECT_EQ(outcome.message->text, "Vous devez saisir les parametres du test.");
    EXPECT_EQ(outcome.message->style, MessageStyle::Box);
    EXPECT_FALSE(session.ImageFront);
    EXPECT_FALSE(session.HasWindow(ImageKind::Wavefront));
}

TEST_F(CommandsTest, OneIterationLeavesThePupilImagesAlone)
{
    OpenAndEnterParams();
    const auto intra = PixelsOf(*session.ImageIntra);
    const auto extra = PixelsOf(*session.ImageExtra);
    const CommandOutcome outcome = ComputeWavefront(session);
    ASSERT_FALSE(outcome.failed()) << outcome.status.reason;
    EXPECT_EQ(PixelsOf(*session.ImageIntra), intra);
    EXPECT_EQ(PixelsOf(*session.ImageExtra), extra);
    ASSERT_TRUE(session.ImageResidu);
    const auto residual = PixelsOf(*session.ImageResidu);
    EXPECT_TRUE(std::all_of(residual.begin(), residual.end(), [](double v) { return v == 0; }));
    EXPECT_FALSE(session.HasWindow(ImageKind::Residual));
    EXPECT_FALSE(Contains(outcome.shown, ImageKind::Residual));
    EXPECT_TRUE(session.HasWindow(ImageKind::Wavefront));
    EXPECT_TRUE(session.OrdresSup);
    EXPECT_EQ(session.MasqueFrontAffiche, MasqueFront);
    EXPECT_DOUBLE_EQ(session.ImageFrontBrut->RadiusNm, session.Params.ApertureRadius);
    EXPECT_EQ(session.ImageFront->Kind, 3);
}

TEST_F(CommandsTest, SeveralIterationsCorrectTheImagesAndShowTheResidual)
{
    OpenAndEnterParams();
    session.Prefs.NIter = 3;
    const auto intra = PixelsOf(*session.ImageIntra);
    const CommandOutcome outcome = ComputeWavefront(session);
    ASSERT_FALSE(outcome.failed()) << outcome.status.reason;
    EXPECT_NE(PixelsOf(*session.ImageIntra), intra);
    EXPECT_TRUE(session.HasWindow(ImageKind::Residual));
    EXPECT_TRUE(Contains(outcome.shown, ImageKind::Residual));
    EXPECT_TRUE(Contains(outcome.shown, ImageKind::Intra));
    EXPECT_EQ(session.ImageResidu->Kind, 6);
    // A second run replaces both windows.
    const CommandOutcome again = ComputeWavefront(session);
    EXPECT_TRUE(Contains(again.released, ImageKind::Wavefront));
    EXPECT_TRUE(Contains(again.released, ImageKind::Residual));
}

TEST_F(CommandsTest, WithoutAjustAutoTheDisplayedFrontUsesThePreviousCoefficients)
{
    OpenAndEnterParams();
    session.Prefs.AjustAuto = 0;
    ASSERT_FALSE(ComputeWavefront(session).failed());
    EXPECT_EQ(session.CoefFront, ZernikeCoefficients{});  // zeros before any fit
    // Zero coefficients remove nothing: the displayed front is the raw one inside the pupil.
    for (int r = 0; r < 128; ++r) {
        for (int c = 0; c < 128; ++c) {
            if (!session.ImageFront->InMask(r, c)) continue;
            ASSERT_DOUBLE_EQ(session.ImageFront->At(r, c), session.ImageFrontBrut->At(r, c));
        }
    }

    ASSERT_FALSE(FitWavefront(session).failed());
    const ZernikeCoefficients fitted = session.CoefFront;
    EXPECT_NE(fitted, ZernikeCoefficients{});
    ASSERT_FALSE(ComputeWavefront(session).failed());
    EXPECT_EQ(session.CoefFront, fitted);
}

TEST_F(CommandsTest, ARefusedReconstructionKeepsThePreviousWavefront)
{
    OpenAndEnterParams();
    ASSERT_FALSE(ComputeWavefront(session).failed());
    const TImageRec* front = session.ImageFront.get();
    const ZernikeCoefficients coefs = session.CoefFront;
    session.Params.Defocus = session.Params.Focal;  // no solution for l = F
    const CommandOutcome outcome = ComputeWavefront(session);
    EXPECT_TRUE(outcome.failed());
    EXPECT_EQ(session.ImageFront.get(), front);
    EXPECT_EQ(session.CoefFront, coefs);
}

// A stop asked while the wavefront runs (here by the step it reports, as the window's cancel would)
// ends it at its next step, refused as cancelled, the previous wavefront and images kept; both
// corrections, the refinement of the analytic one included.
TEST_F(CommandsTest, AStopAskedDuringTheWavefrontEndsItAndKeepsThePreviousOne)
{
    OpenAndEnterParams();
    session.Prefs.NIter = 3;
    ASSERT_FALSE(ComputeWavefront(session).failed());
    for (const auto& [analytic, at] :
         {std::pair{0, "Reconstruction du front d'onde"}, std::pair{1, "Affinage par modèle direct"}}) {
        session.Prefs.CorrectionAnalytique = analytic;
        const TImageRec* front = session.ImageFront.get();
        const TImageRec* intra = session.ImageIntra.get();
        const ZernikeCoefficients coefs = session.CoefFront;
        std::stop_source stop;
        std::vector<std::string> steps;
        const ProgressFn progress = [&](std::string_view step) {
            steps.emplace_back(step);
            if (step == at) stop.request_stop();
        };
        const CommandOutcome outcome = ComputeWavefront(session, progress, stop.get_token());
        EXPECT_EQ(outcome.status.code, StatusCode::Cancelled) << analytic;
        EXPECT_EQ(steps.back(), at) << analytic;  // no later step ran
        EXPECT_EQ(session.ImageFront.get(), front);
        EXPECT_EQ(session.ImageIntra.get(), intra);
        EXPECT_EQ(session.CoefFront, coefs);
    }
}

// The numeric correction of a negative defocus would give the wavefront turned over: refused, as
// by the other correction, with the previous wavefront kept.
TEST_F(CommandsTest, ANegativeDefocusIsRefusedNotTurnedOver)
{
    OpenAndEnterParams();
    ASSERT_FALSE(ComputeWavefront(session).failed());
    const TImageRec* front = session.ImageFront.get();
    session.Params.Defocus = -5'000'000;
    const CommandOutcome outcome = ComputeWavefront(session);
    ASSERT_TRUE(outcome.failed());
    ASSERT_TRUE(outcome.message);
    EXPECT_EQ(outcome.message->text, kDefocusNegativeMessage);
    EXPECT_EQ(session.ImageFront.get(), front);
    session.Prefs.CorrectionAnalytique = 1;
    EXPECT_TRUE(ComputeWavefront(session).failed());
    EXPECT_EQ(session.ImageFront.get(), front);
}

// Each file is read once, at opening: the analytic correction works on the frames the session
// holds, and a new test lets them go.
TEST_F(CommandsTest, TheFramesReadAtOpeningServeTheAnalyticCorrection)
{
    OpenAndEnterParams();
    EXPECT_EQ(session.FrameIntra.Width, donut.width);
    EXPECT_EQ(session.FrameExtra.Pixels.size(), std::size_t(donut.width) * donut.height);
    EXPECT_TRUE(session.FrameIntra.Facts.donut);
    std::filesystem::remove(files.intra);
    std::filesystem::remove(files.extra);
    session.Prefs.CorrectionAnalytique = 1;
    const CommandOutcome outcome = ComputeWavefront(session);
    EXPECT_FALSE(outcome.failed()) << outcome.status.reason;
    (void)NewTest(session);
    EXPECT_TRUE(session.FrameIntra.Pixels.empty());
    EXPECT_TRUE(session.FrameExtra.Pixels.empty());
}

TEST_F(CommandsTest, NewTestKeepsCoefficientsPreferencesAndSimulation)
{
    OpenAndEnterParams();
    ASSERT_FALSE(ComputeWavefront(session).failed());
    const ZernikeCoefficients coefs = session.CoefFront;
    session.Prefs.NIter = 4;
    session.Sim.SimTaille = 64;
    session.HeaderIntra.PixelSizeX = 9;
    const CommandOutcome outcome = NewTest(session);
    EXPECT_EQ(outcome.released.front(), ImageKind::Intra);
    EXPECT_TRUE(Contains(outcome.released, ImageKind::Wavefront));
    for (const ImageSlot* slot : {&session.ImageIntra,
                                  &session.ImageExtra,
                                  &session.ImageSignal,
                                  &session.ImageFront,
                                  &session.ImageFrontBrut,
                                  &session.ImageResidu})
        EXPECT_FALSE(*slot);
    EXPECT_EQ(session.Windows, (std::array<bool, kImageKinds>{}));
    EXPECT_EQ(session.Params, TTestParams{});
    EXPECT_FALSE(session.ParamsSaisis);
    EXPECT_EQ(session.HeaderIntra.PixelSizeX, 0);
    EXPECT_EQ(session.CoefFront, coefs);
    EXPECT_EQ(session.Prefs.NIter, 4);
    EXPECT_EQ(session.Sim.SimTaille, 64);
    // The wavefront asks for the parameters again; the correction has no wavefront window.
    EXPECT_FALSE(CorrectImages(session).ran);
    EXPECT_TRUE(ComputeWavefront(session).message);
}

TEST_F(CommandsTest, CorrectionNeedsTheWavefrontWindowAndTheParameters)
{
    OpenAndEnterParams();
    EXPECT_FALSE(CorrectImages(session).ran);
    ASSERT_FALSE(ComputeWavefront(session).failed());
    session.ParamsSaisis = false;
    EXPECT_FALSE(CorrectImages(session).ran);
    session.ParamsSaisis = true;
    const auto intra = PixelsOf(*session.ImageIntra);
    const CommandOutcome outcome = CorrectImages(session);
    ASSERT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.failed()) << outcome.status.reason;
    EXPECT_NE(PixelsOf(*session.ImageIntra), intra);
}

TEST(SimulateTest, NothingBeforeTheSimulationParametersAreSet)
{
    TestSession s = NewSession();
    EXPECT_FALSE(SimulateWavefront(s).ran);
    s.Sim.SimTaille = 64;
    EXPECT_FALSE(SimulateWavefront(s).ran);  // radius still 0
    EXPECT_FALSE(s.ImageFront);
}

TEST(SimulateTest, ASimulatedDefocusHasItsRmsAndFeedsTheRebuild)
{
    TestSession s = NewSession();
    s.Sim.SimTaille = 128;
    s.Sim.SimRayon = 50;
    ZernikeCoefficients rms{};
    rms[3] = 100;  // defocus, nm RMS
    rms[4] = 30;   // astigmatism
    s.Sim.SimCoef = RmsToCoef(s.Basis, rms);
    const CommandOutcome outcome = SimulateWavefront(s);
    ASSERT_TRUE(outcome.ran);
    ASSERT_TRUE(s.ImageFront && s.ImageFrontBrut);
    EXPECT_EQ(s.ImageFront->CentreX, 64);
    MeanStdInMask(*s.ImageFront);
    EXPECT_NEAR(s.ImageFront->StdDev, std::hypot(100.0, 30.0), 1.5);
    // Rebuilding with only the astigmatism selected and no higher orders leaves 30 nm RMS.
    s.CoefFront = s.Sim.SimCoef;
    s.MasqueFrontAffiche = {};
    s.MasqueFrontAffiche[4] = 1;
    s.OrdresSup = false;
    ASSERT_TRUE(RebuildDisplayedFront(s).ran);
    MeanStdInMask(*s.ImageFront);
    EXPECT_NEAR(s.ImageFront->StdDev, 30.0, 0.5);
}

}  // namespace
}  // namespace frontlys
