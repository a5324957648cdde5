#include "files/fits_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <tuple>

#include "support/fits_builder.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

using testing::FitsBuilder;

std::vector<double> Ramp(int n, double start = 0, double step = 1)
{
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[i] = start + step * i;
    return v;
}

Result<FitsData> Read(const FitsBuilder& b, TFitsHeader& h)
{
    const std::string bytes = b.Bytes();
    MemorySource source(bytes);
    return ReadFitsFile(source, h);
}

Result<LoadedImage> Load(const FitsBuilder& b)
{
    const std::string bytes = b.Bytes();
    MemorySource source(bytes);
    return ReadFitsImage(source);
}

struct BitpixCase {
    int bitpix;
    int code;
};

class FitsEveryBitpix : public ::testing::TestWithParam<BitpixCase> {};

TEST_P(FitsEveryBitpix, ReadsRowsInFileOrder)
{
    const auto [bitpix, code] = GetParam();
    const std::vector<double> values = {0, 1, 2, 3, 100, 101, 102, 103, 7, 8, 9, 250};
    TFitsHeader h;
    auto r = Read(FitsBuilder::Image(bitpix, 4, 3).Pixels(values), h);
    ASSERT_TRUE(r.ok()) << r.status().reason;
    const FitsData& d = r.value();
    EXPECT_EQ(d.ElementCode, code);
    EXPECT_EQ(d.Columns, 4);
    EXPECT_EQ(d.Rows, 3);
    EXPECT_EQ(d.PlaneCount, 1);
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 4; ++c) {
            const double got = code == kInt16 ? d.Int16Planes(0, row, c) : d.DoublePlanes(0, row, c);
            EXPECT_EQ(got, values[row * 4 + c]) << row << "," << c;
        }
    }
    EXPECT_EQ(code == kInt16, d.DoublePlanes.empty());
    EXPECT_EQ(code == kInt16, !d.Int16Planes.empty());
}

INSTANTIATE_TEST_SUITE_P(All,
                         FitsEveryBitpix,
                         ::testing::Values(BitpixCase{8, kInt16},
                                           BitpixCase{16, kInt16},
                                           BitpixCase{32, kDouble},
                                           BitpixCase{-32, kDouble},
                                           BitpixCase{-64, kDouble}),
                         [](const auto& info) {
                             const int b = info.param.bitpix;
                             return b < 0 ? "minus" + std::to_string(-b) : std::to_string(b);
                         });

TEST(FitsReader, NegativeAndLargeSamples)
{
    TFitsHeader h;
    auto r16 = Read(FitsBuilder::Image(16, 3, 1).Pixels({-32768, 32767, -1}), h);
    ASSERT_TRUE(r16.ok());
    EXPECT_EQ(r16.value().Int16Planes(0, 0, 0), -32768);
    EXPECT_EQ(r16.value().Int16Planes(0, 0, 1), 32767);
    auto r32 = Read(FitsBuilder::Image(32, 2, 1).Pixels({-2000000000, 123456789}), h);
    ASSERT_TRUE(r32.ok());
    EXPECT_EQ(r32.value().DoublePlanes(0, 0, 0), -2000000000.0);
    EXPECT_EQ(r32.value().DoublePlanes(0, 0, 1), 123456789.0);
    auto r64 = Read(FitsBuilder::Image(-64, 1, 1).Real("BZERO", 10).Pixels({0.1}), h);
    ASSERT_TRUE(r64.ok());
    EXPECT_EQ(r64.value().DoublePlanes(0, 0, 0), 0.1);  // doubles are taken as stored
}

TEST(FitsReader, UnsignedCameraDataAboveInt16GoesToDoubles)
{
    TFitsHeader h;
    // Stored s, value s + 32768: 0 .. 65535.
    auto r = Read(FitsBuilder::Image(16, 3, 1).Real("BZERO", 32768).Pixels({-32768, 0, 32767}), h);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().ElementCode, kDouble);
    EXPECT_TRUE(r.value().Int16Planes.empty());
    EXPECT_EQ(r.value().DoublePlanes(0, 0, 0), 0);
    EXPECT_EQ(r.value().DoublePlanes(0, 0, 1), 32768);
    EXPECT_EQ(r.value().DoublePlanes(0, 0, 2), 65535);
    // All values at most 32767: stays 16-bit.
    auto small = Read(FitsBuilder::Image(16, 2, 1).Real("BZERO", 32768).Pixels({-32768, -1}), h);
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(small.value().ElementCode, kInt16);
    EXPECT_EQ(small.value().Int16Planes(0, 0, 1), 32767);
}

TEST(FitsReader, FractionalScalingKeepsDoubles)
{
    TFitsHeader h;
    auto r = Read(FitsBuilder::Image(16, 3, 1).Real("BSCALE", 0.5).Real("BZERO", 0.25).Pixels({1, 2, 3}), h);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().ElementCode, kDouble);
    EXPECT_EQ(r.value().DoublePlanes(0, 0, 0), 0.75);
    EXPECT_EQ(r.value().DoublePlanes(0, 0, 2), 1.75);
    auto r8 = Read(FitsBuilder::Image(8, 2, 1).Real("BSCALE", 2).Real("BZERO", -10).Pixels({0, 255}), h);
    ASSERT_TRUE(r8.ok());
    EXPECT_EQ(r8.value().ElementCode, kInt16);
    EXPECT_EQ(r8.value().Int16Planes(0, 0, 1), 500);
    auto f = Read(FitsBuilder::Image(-32, 1, 1).Real("BSCALE", 2).Real("BZERO", 1).Pixels({1.5}), h);
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.value().DoublePlanes(0, 0, 0), 4);
}

TEST(FitsReader, ColourFileHasThreePlanesAndCopiesCuts)
{
    TFitsHeader h;
    auto r = Read(FitsBuilder::Image(16, 2, 1, 3).Real("MIPS-HI", 99).Pixels({1, 2, 3, 4, 5, 6}), h);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().ElementCode, kInt16Colour);
    EXPECT_EQ(r.value().PlaneCount, 3);
    EXPECT_EQ(r.value().Int16Planes(2, 0, 1), 6);
    EXPECT_EQ(h.HighCut, (std::array<double, 3>{99, 99, 99}));
    auto single = Read(FitsBuilder::Image(-32, 2, 1, 1).Pixels({1, 2}), h);
    ASSERT_TRUE(single.ok());
    EXPECT_EQ(single.value().ElementCode, kDouble);
}

TEST(FitsReader, RefusesBadFilesWithTheMessage)
{
    const std::vector<std::pair<const char*, FitsBuilder>> cases = {
        {"not simple", FitsBuilder().Int("BITPIX", 16).Int("NAXIS", 2)},
        {"bitpix 12", FitsBuilder::Image(12, 4, 4)},
        {"naxis 1", FitsBuilder().Logical("SIMPLE", true).Int("BITPIX", 16).Int("NAXIS", 1).Int("NAXIS1", 4)},
        {"no naxis2",
         FitsBuilder().Logical("SIMPLE", true).Int("BITPIX", 16).Int("NAXIS", 2).Int("NAXIS1", 4)},
        {"zero axis", FitsBuilder::Image(16, 0, 4)},
        {"negative axis", FitsBuilder::Image(16, 4, -3)},
        {"absurd axis", FitsBuilder::Image(8, 40000, 1).RawData(std::string(40000, 'x'))},
        {"no plane", FitsBuilder::Image(16, 2, 2, 0).Int("NAXIS", 3)},
        {"truncated", FitsBuilder::Image(16, 100, 100).Pixels(Ramp(100 * 100)).TruncateData(19999)},
        {"no data", FitsBuilder::Image(-64, 2, 2)},
        {"garbage", FitsBuilder().Card(std::string(80, '\xff')).Card("\x01\x02 = ")},
    };
    for (const auto& [name, builder] : cases) {
        TFitsHeader h;
        auto r = Read(builder, h);
        ASSERT_FALSE(r.ok()) << name;
        EXPECT_EQ(r.status().message, "L'image est introuvable") << name;
        EXPECT_FALSE(r.status().reason.empty()) << name;
    }
}

TEST(FitsReader, TruncationAtTheLastByteIsCaughtAndExactSizeIsAccepted)
{
    TFitsHeader h;
    auto exact = FitsBuilder::Image(16, 10, 10).Pixels(Ramp(100)).NoDataPadding();
    EXPECT_TRUE(Read(exact, h).ok());
    EXPECT_FALSE(Read(exact.TruncateData(199), h).ok());
}

TEST(FitsLoad, PaddedSides)
{
    EXPECT_EQ(PaddedSide(100, 60), 128);
    EXPECT_EQ(PaddedSide(129, 50), 256);
    EXPECT_EQ(PaddedSide(1024, 1024), 1024);
    EXPECT_EQ(PaddedSide(3, 1025), 2048);
    EXPECT_EQ(PaddedSide(32768, 1), 32768);
}

TEST(FitsLoad, RecordSidesOfWorkedExamples)
{
    for (auto [w, h, side] :
         {std::tuple{129, 50, 256}, std::tuple{1024, 1024, 1024}, std::tuple{50, 129, 256}}) {
        auto r = Load(FitsBuilder::Image(16, w, h).Pixels(Ramp(w * h, 1, 0)));
        ASSERT_TRUE(r.ok()) << r.status().reason;
        EXPECT_EQ(r.value().Image->Width, side);
        EXPECT_EQ(r.value().Image->Height, side);
    }
}

TEST(FitsLoad, CopiesIntoTopLeftAndFillsMarginWithPositiveMinimum)
{
    auto r = Load(FitsBuilder::Image(16, 100, 60).Pixels(Ramp(6000, 10)));
    ASSERT_TRUE(r.ok()) << r.status().reason;
    const TImageRec& im = *r.value().Image;
    EXPECT_EQ(im.Width, 128);
    EXPECT_EQ(im.Height, 128);
    EXPECT_EQ(im.PlaneCount, 1);
    EXPECT_EQ(im.At(0, 0), 10);
    EXPECT_EQ(im.At(0, 99), 109);
    EXPECT_EQ(im.At(59, 99), 6009);
    EXPECT_EQ(im.At(0, 100), 10);
    EXPECT_EQ(im.At(127, 127), 10);
    EXPECT_EQ(r.value().Header.Naxis1, 100);
}

TEST(FitsLoad, NegativeMinimumKeepsZeroMarginAndColourUsesPlaneOne)
{
    auto neg = Load(FitsBuilder::Image(-32, 2, 1).Pixels({-5, 3}));
    ASSERT_TRUE(neg.ok());
    EXPECT_EQ(neg.value().Image->At(0, 0), -5);
    EXPECT_EQ(neg.value().Image->At(5, 5), 0);
    auto colour = Load(FitsBuilder::Image(8, 1, 1, 3).Pixels({7, 8, 9}));
    ASSERT_TRUE(colour.ok());
    EXPECT_EQ(colour.value().Image->At(0, 0), 7);
    EXPECT_EQ(colour.value().Image->At(1, 1), 7);
}

TEST(FitsLoad, BlankNanSamplesDoNotDecideTheMargin)
{
    auto r = Load(FitsBuilder::Image(-32, 3, 1).Pixels({std::nan(""), 4, 6}));
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(std::isnan(r.value().Image->At(0, 0)));
    EXPECT_EQ(r.value().Image->At(3, 3), 4);
}

TEST(FitsLoad, UnsignedDataKeepTrueValues)
{
    auto r = Load(FitsBuilder::Image(16, 2, 1).Real("BZERO", 32768).Pixels({32767, -32768}));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().Image->At(0, 0), 65535);
    EXPECT_EQ(r.value().Image->At(0, 1), 0);
}

TEST(FitsLoad, FailureLeavesSlotAndHeaderUntouched)
{
    TempDir dir;
    const auto good = dir.path() / "good.fits";
    const auto bad = dir.path() / "bad.fits";
    ASSERT_TRUE(FitsBuilder::Image(16, 4, 4).Text("OBSERVER", "Ann").Pixels(Ramp(16, 1)).WriteTo(good));
    ASSERT_TRUE(
        FitsBuilder::Image(16, 4, 4).Text("OBSERVER", "Bob").Pixels(Ramp(15)).NoDataPadding().WriteTo(bad));
    ImageSlot slot;
    TFitsHeader header;
    ASSERT_TRUE(LoadFitsImage(good, slot, header).ok());
    const TImageRec* before = slot.get();
    ASSERT_NE(before, nullptr);
    const Status s = LoadFitsImage(bad, slot, header);
    EXPECT_EQ(s.message, "L'image est introuvable");
    EXPECT_EQ(slot.get(), before);
    EXPECT_EQ(slot->At(0, 0), 1);
    EXPECT_EQ(header.Observer, "Ann     ");
    const Status missing = LoadFitsImage(dir.path() / "none.fits", slot, header);
    EXPECT_EQ(missing.message, "L'image est introuvable");
    EXPECT_EQ(LoadFitsImage(dir.path(), slot, header).message, "L'image est introuvable");  // a folder
    EXPECT_EQ(slot.get(), before);
}

}  // namespace
}  // namespace frontlys
