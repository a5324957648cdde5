#include "analysis/results.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/numbers.h"

namespace frontlys {
namespace {

class ResultsTest : public ::testing::Test {
protected:
    ScopedDecimalSeparator point{'.'};
};

TEST_F(ResultsTest, WaveTextsOfTheWorkedExamples)
{
    EXPECT_EQ(WavesText(158.2, 632.8), "Lambda/4.0");
    EXPECT_EQ(WavesText(31.6, 632.8), "Lambda/20.0");
    EXPECT_EQ(WavesText(1265.6, 632.8), "2.0 lambda");
    EXPECT_EQ(WavesText(632.8, 632.8), "1.0 lambda");  // r = 1 is not above 1
    EXPECT_EQ(FormatFloat("0.000", StrehlRatio(31.6, 632.8)), "0.906");
    EXPECT_DOUBLE_EQ(StrehlRatio(0, 555), 1.0);
}

TEST_F(ResultsTest, WaveTextsUseTheSeparatorInForce)
{
    ScopedDecimalSeparator comma{','};
    EXPECT_EQ(WavesText(158.2, 632.8), "Lambda/4,0");
}

TEST_F(ResultsTest, DegenerateValuesGiveNoWaveText)
{
    EXPECT_EQ(WavesText(0, 632.8), "");
    EXPECT_EQ(WavesText(1e-301, 632.8), "");
    EXPECT_EQ(WavesText(100, 0), "");
    EXPECT_EQ(WavesText(std::nan(""), 632.8), "");
}

TEST_F(ResultsTest, ShowResultsCountsOnlyThePupil)
{
    auto w = NewImage(4, 4);
    w->Planes.Fill(1e6);  // outside the pupil: must not count
    // Four pupil pixels: -50, -50, 50, 50 -> PTV 100, RMS 50.
    const double values[4] = {-50, -50, 50, 50};
    for (int i = 0; i < 4; ++i) {
        w->At(1 + i / 2, 1 + i % 2) = values[i];
        w->MaskAt(1 + i / 2, 1 + i % 2) = 1;
    }
    const WaveError e = ShowResults(w.get(), 1000);
    ASSERT_TRUE(e.valid);
    EXPECT_DOUBLE_EQ(e.ptvNm, 100);
    EXPECT_DOUBLE_EQ(e.rmsNm, 50);
    EXPECT_EQ(e.ptvText, "100.0 nm");
    EXPECT_EQ(e.rmsText, "50.0 nm");
    EXPECT_EQ(e.ptvWaves, "Lambda/10.0");
    EXPECT_EQ(e.rmsWaves, "Lambda/20.0");
    EXPECT_EQ(e.strehlText, FormatFloat("0.000", std::exp(-std::pow(2 * M_PI * 50 / 1000, 2))));
    EXPECT_EQ(w->MaskCount, 4);
}

TEST_F(ResultsTest, ShowResultsOfAFlatOrMissingWavefront)
{
    EXPECT_FALSE(ShowResults(nullptr, 555).valid);
    EXPECT_EQ(ShowResults(nullptr, 555).ptvText, "");
    auto flat = NewImage(2, 2);
    flat->Mask.Fill(1);
    const WaveError e = ShowResults(flat.get(), 555);
    EXPECT_EQ(e.ptvText, "0.0 nm");
    EXPECT_EQ(e.ptvWaves, "");
    EXPECT_EQ(e.rmsWaves, "");
    EXPECT_EQ(e.strehlText, "1.000");
}

TEST_F(ResultsTest, AlertGoesByMagnitudeFromTwentyNanometresAndSparesTheLowOrders)
{
    EXPECT_EQ(CoefficientValueLine(5, 12.34), "Z5 = 12.34");
    EXPECT_EQ(CoefficientValueLine(5, 25.0), "Z5 = 25.00  (!)");
    EXPECT_EQ(CoefficientValueLine(7, 20.0), "Z7 = 20.00  (!)");
    EXPECT_EQ(CoefficientValueLine(7, 19.99), "Z7 = 19.99");
    EXPECT_EQ(CoefficientValueLine(8, -30.0), "Z8 = -30.00  (!)");
    EXPECT_EQ(CoefficientValueLine(7, -245.0), "Z7 = -245.00  (!)");
    EXPECT_EQ(CoefficientValueLine(6, -19.99), "Z6 = -19.99");
    for (int term = 1; term <= 4; ++term) {
        EXPECT_EQ(CoefficientValueLine(term, 40.0).find("(!)"), std::string::npos) << term;
        EXPECT_EQ(CoefficientValueLine(term, -40.0).find("(!)"), std::string::npos) << term;
    }
    EXPECT_EQ(CoefficientValueLine(7, 11.844, 0.123), "Z7 = 11.84 ± 0.12");
    EXPECT_EQ(CoefficientValueLine(7, 31.844, 0.123), "Z7 = 31.84 ± 0.12  (!)");
    EXPECT_EQ(CoefficientValueLine(7, 11.844, 0), "Z7 = 11.84");
}

TEST_F(ResultsTest, CoefficientListHasOneItemPerTermThenHigherOrders)
{
    const auto basis = ZernikeBasis::ForCount(22);
    ZernikeCoefficients rms{};
    rms[4] = 12.34;  // Z5
    rms[10] = 25;    // Z11
    rms[2] = 40;     // Z3: a tilt, never alerted
    rms[6] = -30;    // Z7: alerted by its magnitude
    const auto coefs = RmsToCoef(basis, rms);
    ZernikeSelection selection = AllTermsSelected();
    selection[5] = 0;
    const auto list = ShowCoefficientList(basis, coefs, selection, true);
    ASSERT_EQ(list.items.size(), 23u);
    ASSERT_EQ(list.values.size(), 23u);
    EXPECT_EQ(list.items.back().name, "Ordres sup.");
    EXPECT_TRUE(list.items.back().checked);
    EXPECT_EQ(list.values.back(), "[nanomètre RMS]");
    EXPECT_EQ(list.values[4], "Z5 = 12.34");
    EXPECT_EQ(list.values[10], "Z11 = 25.00  (!)");
    EXPECT_EQ(list.values[2], "Z3 = 40.00");
    EXPECT_EQ(list.values[6], "Z7 = -30.00  (!)");
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(list.items[i].enabled) << i;
        EXPECT_FALSE(list.items[i].checked) << i;
    }
    EXPECT_TRUE(list.items[4].checked);
    EXPECT_FALSE(list.items[5].checked);
    EXPECT_EQ(list.items[10].name, std::string(ZernikeName(11)));
    EXPECT_FALSE(ShowCoefficientList(basis, coefs, selection, false).items.back().checked);
    EXPECT_EQ(ShowCoefficientList(ZernikeBasis::ForCount(0), coefs, selection, true).items.size(), 1u);
}

// A 128 x 128 disc of radius 60 holding astigmatism (30 nm RMS), coma (40 nm RMS) and a ripple that
// no term of the basis describes.
struct RawFront {
    ImageSlot raw;
    ZernikeCoefficients coefs{};
    ZernikeBasis basis = ZernikeBasis::ForCount(22);
};

RawFront MakeRawFront()
{
    RawFront f;
    f.raw = NewImage(128, 128);
    f.raw->CentreX = f.raw->CentreY = 64.5;
    f.raw->Radius = 60;
    f.raw->Kind = 3;
    SetPupilAxes(f.raw.get());
    ZernikeCoefficients rms{};
    rms[4] = 30;  // astigmatism
    rms[6] = 40;  // coma
    f.coefs = RmsToCoef(f.basis, rms);
    SynthesiseWavefront(*f.raw, f.basis, f.coefs, AllTermsSelected());
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 128; ++c)
            if (f.raw->InMask(r, c)) f.raw->At(r, c) += 5 * std::sin(40 * f.raw->XAxis[c]);
    return f;
}

double RmsOf(TImageRec& image)
{
    MeanStdInMask(image);
    return image.StdDev;
}

TEST_F(ResultsTest, RebuildWithHigherOrdersRemovesOnlyTheDeselectedTerms)
{
    RawFront f = MakeRawFront();
    auto shown = NewImage(128, 128);
    ZernikeSelection keep = AllTermsSelected();
    keep[6] = 0;  // drop the coma
    RebuildDisplayedFront(f.raw.get(), shown.get(), f.basis, f.coefs, keep, true);
    // What is left is the astigmatism and the ripple (3.5 nm RMS): sqrt(30^2 + 3.5^2).
    EXPECT_NEAR(RmsOf(*shown), std::hypot(30.0, 5 / std::sqrt(2.0)), 0.6);
    MeanStdInMask(*f.raw);
    EXPECT_EQ(shown->MaskCount, f.raw->MaskCount);
}

TEST_F(ResultsTest, RebuildWithoutHigherOrdersKeepsOnlyTheSelectedTerms)
{
    RawFront f = MakeRawFront();
    auto shown = NewImage(128, 128);
    ZernikeSelection only{};
    only[4] = 1;  // astigmatism alone
    RebuildDisplayedFront(f.raw.get(), shown.get(), f.basis, f.coefs, only, false);
    EXPECT_NEAR(RmsOf(*shown), 30.0, 0.3);
    // Ticking the higher orders again brings the ripple and every selected term back.
    RebuildDisplayedFront(f.raw.get(), shown.get(), f.basis, f.coefs, AllTermsSelected(), true);
    for (int r = 0; r < 128; ++r) {
        for (int c = 0; c < 128; ++c) ASSERT_DOUBLE_EQ(shown->At(r, c), f.raw->At(r, c));
    }
}

TEST_F(ResultsTest, RebuildNeedsBothImagesOfTheSameSize)
{
    RawFront f = MakeRawFront();
    auto small = NewImage(64, 64);
    small->At(0, 0) = 7;
    RebuildDisplayedFront(f.raw.get(), small.get(), f.basis, f.coefs, AllTermsSelected(), true);
    EXPECT_EQ(small->At(0, 0), 7);
    RebuildDisplayedFront(nullptr, small.get(), f.basis, f.coefs, AllTermsSelected(), true);
    RebuildDisplayedFront(f.raw.get(), nullptr, f.basis, f.coefs, AllTermsSelected(), true);
    EXPECT_EQ(small->At(0, 0), 7);
}

}  // namespace
}  // namespace frontlys
