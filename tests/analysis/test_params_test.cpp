#include "analysis/test_params.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/numbers.h"

namespace frontlys {
namespace {

ImageSlot PupilImage(double radiusPx)
{
    ImageSlot image = NewImage(8, 8);
    image->Radius = radiusPx;
    return image;
}

ParamsEntry Entry200mm()
{
    ParamsEntry e;
    e.DiameterMm = 200;
    e.FocalMm = 2000;
    e.PixelSizeUm = "9";
    e.DefocusMm = "7.560";
    return e;
}

TEST(ComputeDefocus, MeanRadiusTimesFocalRatio)
{
    ScopedDecimalSeparator sep('.');
    auto intra = PupilImage(40), extra = PupilImage(44);
    // k = 9000 nm / tan u_max with sin u_max = 0.05: 179 775 nm per pixel of radius (paraxial
    // F / R = 20: 180 000).
    EXPECT_NEAR(*DefocusPerPixel(9000, 2e9, 1e8), 179774.86, 0.01);
    auto result = ComputeDefocus({}, Entry200mm(), intra.get(), extra.get());
    ASSERT_TRUE(result.ok());
    EXPECT_DOUBLE_EQ(result.value().Focal, 2e9);
    EXPECT_DOUBLE_EQ(result.value().ApertureRadius, 1e8);
    EXPECT_NEAR(result.value().Defocus, 42 * 179774.86, 1);
    EXPECT_EQ(DefocusText(result.value()), "7.551");
    ScopedDecimalSeparator comma(',');
    EXPECT_EQ(DefocusText(result.value()), "7,551");
}

TEST(ComputeDefocus, StoresInstrumentButKeepsDefocusWithoutBothImagesOrDiameter)
{
    const TTestParams before{1, 2, 3.5e6};
    auto intra = PupilImage(40);
    auto result = ComputeDefocus(before, Entry200mm(), intra.get(), nullptr);
    ASSERT_TRUE(result.ok());
    EXPECT_DOUBLE_EQ(result.value().Focal, 2e9);
    EXPECT_DOUBLE_EQ(result.value().ApertureRadius, 1e8);
    EXPECT_DOUBLE_EQ(result.value().Defocus, 3.5e6);

    ParamsEntry noDiameter = Entry200mm();
    noDiameter.DiameterMm = 0;
    auto extra = PupilImage(44);
    result = ComputeDefocus(before, noDiameter, intra.get(), extra.get());
    ASSERT_TRUE(result.ok());
    EXPECT_DOUBLE_EQ(result.value().Defocus, 3.5e6);  // no factor: unchanged rather than infinite
    EXPECT_FALSE(DefocusPerPixel(9000, 2e9, 0).has_value());
}

TEST(ComputeDefocus, PixelSizeMustBeANumberAndBinningsAreNotBytes)
{
    auto intra = PupilImage(40), extra = PupilImage(44);
    ParamsEntry e = Entry200mm();
    e.PixelSizeUm = "9 um";
    auto refused = ComputeDefocus({}, e, intra.get(), extra.get());
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.status().code, StatusCode::BadFormat);
    EXPECT_EQ(refused.status().message, "'9 um' n'est pas une valeur numérique correcte.");

    e.PixelSizeUm = "4,5";  // either separator
    e.SoftwareBinning = 256;
    e.AcquisitionBinning = 2;
    auto result = ComputeDefocus({}, e, intra.get(), extra.get());
    ASSERT_TRUE(result.ok());
    EXPECT_NEAR(result.value().Defocus, 42 * 179774.86 * 256, 256);
}

TEST(AcceptParams, AllThreeValuesRequired)
{
    auto accepted = AcceptParams(Entry200mm());
    ASSERT_TRUE(accepted.ok());
    EXPECT_EQ(accepted.value(), (TTestParams{2e9, 1e8, 7.56e6}));

    ParamsEntry e = Entry200mm();
    e.DefocusMm = "0";
    auto refused = AcceptParams(e);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.status().code, StatusCode::MissingInput);
    EXPECT_EQ(refused.status().message, "Tous les paramètres n'ont pas été saisis.");

    e = Entry200mm();
    e.FocalMm = 0;
    EXPECT_EQ(AcceptParams(e).status().message, "Tous les paramètres n'ont pas été saisis.");
    e = Entry200mm();
    e.DiameterMm = 0;
    EXPECT_FALSE(AcceptParams(e).ok());

    e = Entry200mm();
    e.DefocusMm = "";
    EXPECT_EQ(AcceptParams(e).status().code, StatusCode::BadFormat);
    e.DefocusMm = " 7,56 ";
    EXPECT_DOUBLE_EQ(AcceptParams(e).value().Defocus, 7.56e6);
}

// One set of rules wherever the parameters come from: a negative defocus would turn the wavefront
// over, a defocus beyond the focus too, and no analysis takes an obstruction of 95 % or more.
TEST(AcceptParams, NegativeOrTooLongDefocusAndLargeObstructionBreakTheRules)
{
    ParamsEntry e = Entry200mm();
    e.DefocusMm = "-7.56";
    auto negative = AcceptParams(e);
    ASSERT_FALSE(negative.ok());
    EXPECT_EQ(negative.status().code, StatusCode::OutOfRange);
    EXPECT_EQ(negative.status().message, kDefocusNegativeMessage);
    e.DefocusMm = "2000";
    EXPECT_EQ(AcceptParams(e).status().message, kDefocusTooLongMessage);

    e = Entry200mm();
    e.ObstructionPercent = "96";
    EXPECT_EQ(AcceptParams(e).status().message, kObstructionMessage);
    e.ObstructionPercent = "94,9";
    EXPECT_DOUBLE_EQ(AcceptParams(e).value().Obstruction, 0.949);
    e.ObstructionPercent = " ";
    EXPECT_EQ(AcceptParams(e).value().Obstruction, 0);
    e.ObstructionPercent = "a lot";
    EXPECT_EQ(AcceptParams(e).status().code, StatusCode::BadFormat);

    EXPECT_FALSE(CheckTestParams({2e9, 1e8, -7.56e6}).ok());
    EXPECT_FALSE(CheckTestParams({2e9, -1e8, 7.56e6}).ok());
    EXPECT_FALSE(CheckTestParams({2e9, 1e8, 7.56e6, 0.95}).ok());
    EXPECT_TRUE(CheckTestParams({2e9, 1e8, 7.56e6, 0.5}).ok());
}

// Spider vanes are optional: empty boxes mean none; typed, they are stored in nm and degrees,
// shown again as typed, and held to their limits.
TEST(AcceptParams, SpiderVanesAreOptionalAndChecked)
{
    ParamsEntry e = Entry200mm();
    e.VaneWidthMm = " ";
    EXPECT_EQ(AcceptParams(e).value().VaneCount, 0);
    EXPECT_EQ(VanesOf(AcceptParams(e).value()), SpiderVanes{});
    e.VaneCount = 4;
    e.VaneWidthMm = "2,5";
    e.VaneAngleDeg = "45";
    const TTestParams p = AcceptParams(e).value();
    EXPECT_EQ(p.VaneCount, 4);
    EXPECT_DOUBLE_EQ(p.VaneWidth, 2.5e6);
    EXPECT_DOUBLE_EQ(p.VaneAngle, 45);
    EXPECT_EQ(VanesOf(p), (SpiderVanes{4, 0.025, 45}));
    const ParamsEntry shown = EntryFromParams(p, 9, 1);
    EXPECT_EQ(shown.VaneCount, 4);
    EXPECT_EQ(ParseNumber(shown.VaneWidthMm), 2.5);
    EXPECT_EQ(ParseNumber(shown.VaneAngleDeg), 45);
    e.VaneWidthMm = "wide";
    EXPECT_EQ(AcceptParams(e).status().code, StatusCode::BadFormat);
    e.VaneWidthMm = "100";  // the aperture radius
    EXPECT_EQ(AcceptParams(e).status().message, kVanesMessage);
    e.VaneWidthMm = "2";
    e.VaneCount = 17;
    EXPECT_EQ(AcceptParams(e).status().message, kVanesMessage);
    // Vanes to measure on the images: accepted, none given to the model, kept when shown again.
    e.VaneCount = kVanesMeasured;
    const TTestParams measured = AcceptParams(e).value();
    EXPECT_EQ(measured.VaneCount, kVanesMeasured);
    EXPECT_EQ(VanesOf(measured), SpiderVanes{});
    EXPECT_EQ(EntryFromParams(measured, 9, 1).VaneCount, kVanesMeasured);
    e.VaneCount = -2;
    EXPECT_EQ(AcceptParams(e).status().message, kVanesMessage);
}

TEST(RadiusNm, BinningsRadiusAndPixelSize)
{
    EXPECT_DOUBLE_EQ(RadiusNm(2, 2, 50, 9), 1800000.0);
    ParamsEntry e = Entry200mm();
    e.SoftwareBinning = 2;
    e.AcquisitionBinning = 2;
    auto intra = PupilImage(50), extra = PupilImage(25);
    StoreRadiiNm(e, intra.get(), extra.get());
    EXPECT_DOUBLE_EQ(intra->RadiusNm, 1800000.0);
    EXPECT_DOUBLE_EQ(extra->RadiusNm, 900000.0);
    e.PixelSizeUm = "n/a";  // counts as 0 here, unlike the distance button
    StoreRadiiNm(e, intra.get(), nullptr);
    EXPECT_DOUBLE_EQ(intra->RadiusNm, 0.0);
    EXPECT_DOUBLE_EQ(extra->RadiusNm, 900000.0);
}

TEST(EntryFromParams, RoundsToWholeMillimetresAndDefaultsTheBinning)
{
    ScopedDecimalSeparator sep('.');
    const ParamsEntry e = EntryFromParams({2'000'400'000, 100'250'000, 7'560'000}, 9, 0);
    EXPECT_EQ(e.FocalMm, 2000);
    EXPECT_EQ(e.DiameterMm, 200);  // 200.5 mm rounds to even
    EXPECT_EQ(e.PixelSizeUm, "9.00");
    EXPECT_EQ(e.AcquisitionBinning, 1);
    EXPECT_EQ(e.SoftwareBinning, 1);
    EXPECT_EQ(e.DefocusMm, "7.560");
    EXPECT_EQ(EntryFromParams({}, 6.8, 3).AcquisitionBinning, 3);
    EXPECT_EQ(RadiusText(43.456), "43.46");
    // The dialog's own texts read back to the same record.
    EXPECT_EQ(AcceptParams(e).value(), (TTestParams{2e9, 1e8, 7.56e6}));
}

TEST(DateObs, SplitAtTheFirstT)
{
    EXPECT_EQ(DatePart("2024-03-09T21:14:05.123"), "2024-03-09");
    EXPECT_EQ(TimePart("2024-03-09T21:14:05.123"), "21:14:05.123");
    EXPECT_EQ(DatePart("21:14:05"), "");
    EXPECT_EQ(TimePart("21:14:05"), "21:14:05");
    EXPECT_EQ(TimePart("aTbTc"), "bTc");
    EXPECT_EQ(DatePart(""), "");
}

TEST(Sexagesimal, HoursAndDegrees)
{
    ScopedDecimalSeparator sep('.');
    EXPECT_EQ(FormatRightAscension(5.5), "5h 30m 0.000s");
    EXPECT_EQ(FormatDeclination(12.5), "12° 30' 0.000\"");
    EXPECT_EQ(FormatRightAscension(18.6156), "18h 36m 56.160s");
    // South of the equator: the sign in front, minutes and seconds of the magnitude.
    EXPECT_EQ(FormatDeclination(-12.5), "-12° 30' 0.000\"");
    EXPECT_EQ(FormatDeclination(-0.25), "-0° 15' 0.000\"");
    // A value a hair under the minute carries instead of showing 60 seconds.
    EXPECT_EQ(FormatRightAscension(5 + 59.0 / 60 + 59.9999 / 3600), "6h 0m 0.000s");
    EXPECT_EQ(FormatDeclination(-1e-12), "0° 0' 0.000\"");
    EXPECT_EQ(FormatDeclination(300.75), "300° 45' 0.000\"");  // no 8-bit wrap
    EXPECT_EQ(FormatDeclination(std::numeric_limits<double>::quiet_NaN()), "");
    ScopedDecimalSeparator comma(',');
    EXPECT_EQ(FormatRightAscension(0.5), "0h 30m 0,000s");
}

}  // namespace
}  // namespace frontlys
