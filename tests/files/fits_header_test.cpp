#include "files/fits_header.h"

#include <gtest/gtest.h>

#include <set>

#include "support/fits_builder.h"

namespace frontlys {
namespace {

using testing::FitsBuilder;

Result<std::int64_t> Parse(const FitsBuilder& b, TFitsHeader& h)
{
    const std::string bytes = b.Bytes();
    MemorySource source(bytes);
    return ReadFitsHeader(source, h);
}

TFitsHeader ParseOk(const FitsBuilder& b)
{
    TFitsHeader h;
    auto r = Parse(b, h);
    EXPECT_TRUE(r.ok()) << r.status().reason;
    return h;
}

FitsBuilder Base() { return FitsBuilder::Image(16, 10, 10); }

TEST(FitsKeywordTable, HasDistinctKeywordsInValidGroups)
{
    std::set<std::string_view> names;
    for (const FitsKeyword& k : FitsKeywordTable()) {
        names.insert(k.key);
        EXPECT_LT(k.group, kFitsGroups) << k.key;
    }
    EXPECT_EQ(names.size(), 72u);
}

TEST(FitsHeader, MandatoryCardsAndHeaderLength)
{
    TFitsHeader h;
    auto r = Parse(Base(), h);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 2880);
    EXPECT_EQ(h.Bitpix, 16);
    EXPECT_EQ(h.Naxis, 2);
    EXPECT_EQ(h.Naxis1, 10);
    EXPECT_EQ(h.Naxis2, 10);
    EXPECT_EQ(h.BinX, 1);
    EXPECT_EQ(h.BScale, 1);
}

TEST(FitsHeader, HeaderSpanningTwoBlocks)
{
    FitsBuilder b = Base();
    for (int i = 0; i < 40; ++i) b.Comment("filler");
    TFitsHeader h;
    auto r = Parse(b.Text("OBSERVER", "Late"), h);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 5760);
    EXPECT_EQ(h.Observer, "Late    ");  // padded to 8 inside the quotes
}

TEST(FitsHeader, Refusals)
{
    TFitsHeader h;
    EXPECT_FALSE(Parse(FitsBuilder().Int("BITPIX", 16), h).ok());  // first card not SIMPLE
    EXPECT_FALSE(Parse(Base().NoEnd(), h).ok());                   // no END
    EXPECT_FALSE(Parse(FitsBuilder(), h).ok());                    // empty
    auto bad = Parse(Base().Text("OBSERVER", "Kept").Key("NAXIS1", "12.5").Text("TELESCOP", "Lost"), h);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.status().message, "L'image est introuvable");
    EXPECT_NE(bad.status().reason.find("NAXIS1"), std::string::npos);
    EXPECT_EQ(h.Observer, "Kept    ");  // cards before the failing one stay applied
    EXPECT_EQ(h.Telescope, "");
    EXPECT_FALSE(Parse(Base().Key("FOCLEN", "abc"), h).ok());
    EXPECT_FALSE(Parse(Base().Int("NAXIS3", 300), h).ok());  // does not fit the field
}

TEST(FitsHeader, ShortLastBlockIsNotParsed)
{
    std::string bytes = Base().Bytes();
    bytes.resize(2879);
    MemorySource source(bytes);
    TFitsHeader h;
    EXPECT_FALSE(ReadFitsHeader(source, h).ok());
}

TEST(FitsHeader, LowerLevelWinsInEitherOrder)
{
    auto a = ParseOk(Base().Real("XPIXELSZ", 9).Real("CDELTM1", 0.0074));
    auto b = ParseOk(Base().Real("CDELTM1", 0.0074).Real("XPIXELSZ", 9));
    EXPECT_DOUBLE_EQ(a.PixelSizeX, 7.4);
    EXPECT_DOUBLE_EQ(b.PixelSizeX, 7.4);
    // Same level: the last card wins.
    EXPECT_EQ(ParseOk(Base().Int("BINX", 2).Int("BINX", 3)).BinX, 3);
    EXPECT_EQ(ParseOk(Base().Int("MIPS-BIX", 4).Int("BINX", 2)).BinX, 2);
    EXPECT_EQ(ParseOk(Base().Int("BINX", 2).Int("MIPS-BIX", 4)).BinX, 2);
}

TEST(FitsHeader, FocuserPositionFromAnyOfItsKeywords)
{
    EXPECT_TRUE(ParseOk(Base()).SetBy[kFocuserGroup].empty());
    EXPECT_DOUBLE_EQ(ParseOk(Base().Int("FOCUS", 900)).FocuserPosition, 900);
    const TFitsHeader h = ParseOk(Base().Int("FOCPOS", 1200).Int("FOCUSPOS", 1500).Int("FOCUS", 900));
    EXPECT_DOUBLE_EQ(h.FocuserPosition, 1500);
    EXPECT_EQ(h.SetBy[kFocuserGroup], "FOCUSPOS");
}

TEST(FitsHeader, FocalLengthSources)
{
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("FOCLEN", 1.2)).FocalLength, 1200);
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("AMDX1", 0.2)).FocalLength, 206.27 / 0.2);
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("AMDX1", 0)).FocalLength, 0);
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("CDELT1", 0.001)).FocalLength, 1);
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("CDELT1", 0.001).Real("FOCLEN", 0.8)).FocalLength, 800);
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("FOCLEN", 0.8).Real("CDELT1", 0.001)).FocalLength, 800);
    EXPECT_DOUBLE_EQ(ParseOk(Base().Real("FOCLEN", 0.8).Real("FOCAL", 5000)).FocalLength, 800);
}

TEST(FitsHeader, CameraKeywordsServeWhenTheProgramsOwnAreAbsent)
{
    const auto camera = [] {
        return Base().Real("FOCALLEN", 1200).Real("APTDIA", 200).Real("XPIXSZ", 7.4).Real("YPIXSZ", 7.4);
    };
    auto h = ParseOk(camera().Int("XBINNING", 2).Int("YBINNING", 2).Real("EXPTIME", 2.6));
    EXPECT_DOUBLE_EQ(h.FocalLength, 1200);
    EXPECT_DOUBLE_EQ(h.Diameter, 200);
    EXPECT_DOUBLE_EQ(h.PixelSizeX, 3.7);  // XPIXSZ is binned: the unbinned pixel is kept
    EXPECT_DOUBLE_EQ(h.PixelSizeY, 3.7);
    EXPECT_EQ(h.BinX, 2);
    EXPECT_EQ(h.Exposure, 3);
    EXPECT_EQ(h.SetBy[kFocalGroup], "FOCALLEN");
    EXPECT_EQ(h.SetBy[kPixelXGroup], "XPIXSZ");
    EXPECT_DOUBLE_EQ(ParseOk(camera()).PixelSizeX, 7.4);  // no XBINNING: as written
    // The program's own keywords win in either order.
    auto own = ParseOk(camera().Real("FOCLEN", 0.8).Real("DIAMETER", 150).Real("XPIXELSZ", 9));
    EXPECT_DOUBLE_EQ(own.FocalLength, 800);
    EXPECT_DOUBLE_EQ(own.Diameter, 150);
    EXPECT_DOUBLE_EQ(own.PixelSizeX, 9);
    EXPECT_EQ(own.SetBy[kDiameterGroup], "DIAMETER");
}

TEST(FitsHeader, ScalingIsReal)
{
    auto h = ParseOk(Base().Real("BSCALE", 0.5).Real("BZERO", 32768.0));
    EXPECT_EQ(h.BScale, 0.5);
    EXPECT_EQ(h.BZero, 32768);
}

TEST(FitsHeader, StringValues)
{
    auto h = ParseOk(Base()
                         .Text("OBSERVER", "O'Hara / club")
                         .Key("TELESCOP", "'Newton 200  '  / the scope")
                         .Key("INSTRUME", "Cam 1 / with comment")
                         .Key("FILTERS", "junk 'L' after")
                         .Key("DATE-OBS", "'2024-05-01T22:10:05'"));
    EXPECT_EQ(h.Observer, "O'Hara / club");
    EXPECT_EQ(h.Telescope, "Newton 200  ");  // blanks inside the quotes are kept
    EXPECT_EQ(h.Instrument, "Cam 1");
    EXPECT_EQ(h.Filters, "L");
    EXPECT_EQ(h.DateObs, "2024-05-01T22:10:05");
}

TEST(FitsHeader, CommentsAndCommentaryCards)
{
    auto h = ParseOk(Base()
                         .Comment(" one")
                         .Card("        blank keyword   ")
                         .Comment("ignored", "HISTORY")
                         .Comment("three")
                         .Comment("four")
                         .Comment("five"));
    EXPECT_EQ(h.Comments[0], " one");
    EXPECT_EQ(h.Comments[1], "blank keyword");
    EXPECT_EQ(h.Comments[2], "three");
    EXPECT_EQ(h.Comments[3], "four");
}

TEST(FitsHeader, OtherFields)
{
    auto h = ParseOk(Base()
                         .Real("EXPOSURE", 2.5)
                         .Real("CRVAL1", 150)
                         .Real("CRVAL2", -12.5)
                         .Logical("MIRRORX", true)
                         .Logical("MIRORY", true)
                         .Real("DATAMAX", 900)
                         .Real("MIPS-LO", 3)
                         .Real("DIAMETER", 203.2)
                         .Real("XPIXELSZ", 4.5)
                         .Int("SUBSAMP", 2)
                         .Text("OBSERVAT", "Home")
                         .Int("X1", 5)
                         .Int("datamin", 7));
    EXPECT_EQ(h.Exposure, 2);  // halves to even
    EXPECT_DOUBLE_EQ(h.RightAscension, 10);
    EXPECT_DOUBLE_EQ(h.Declination, -12.5);
    EXPECT_TRUE(h.MirrorX);
    EXPECT_TRUE(h.MirrorY);
    EXPECT_EQ(h.HighCut, (std::array<double, 3>{900, 900, 900}));
    EXPECT_EQ(h.LowCut[0], 3);  // lower-case "datamin" is not recognised
    EXPECT_DOUBLE_EQ(h.Diameter, 203.2);
    EXPECT_DOUBLE_EQ(h.PixelSizeX, 9);
    EXPECT_DOUBLE_EQ(h.PixelSizeY, 9);
    EXPECT_EQ(h.Observatory, "Home    ");
    EXPECT_EQ(h.WindowX1, 5);
}

TEST(FitsHeader, NumbersWithCommaAndBlankValues)
{
    auto h = ParseOk(Base().Key("DIAMETER", "  203,5").Key("TEMP", "      / nothing"));
    EXPECT_DOUBLE_EQ(h.Diameter, 203.5);
    EXPECT_EQ(h.Temperature, 0);
}

TEST(FitsHeader, EveryFieldIsResetBeforeEachParse)
{
    TFitsHeader h;
    ASSERT_TRUE(
        Parse(Base().Real("DIAMETER", 200).Real("EXPOSURE", 30).Real("SEEING", 2).Real("BZERO", 5), h).ok());
    ASSERT_TRUE(Parse(Base(), h).ok());
    EXPECT_EQ(h.Diameter, 0);
    EXPECT_EQ(h.Exposure, 0);
    EXPECT_EQ(h.Seeing, 0);
    EXPECT_EQ(h.BZero, 0);
}

}  // namespace
}  // namespace frontlys
