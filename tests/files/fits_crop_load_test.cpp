// A camera frame read at its own size, with the top value its sample format can hold.
#include "files/fits_crop_load.h"

#include <gtest/gtest.h>

#include <cmath>

#include "files/fits_reader.h"
#include "support/fits_builder.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

TEST(FitsCropLoad, UnsignedCameraFrameKeepsItsSizeValuesAndTop)
{
    TempDir dir;
    std::vector<double> stored(15, -32768);  // 5 x 3 around BZERO 32768: 0 .. 65535
    stored[7] = 32767;
    ASSERT_TRUE(testing::FitsBuilder::Image(16, 5, 3)
                    .Real("BZERO", 32768)
                    .Pixels(stored)
                    .WriteTo(dir.path() / "f.fits"));
    const FitsFrame f = ReadFitsFrame(dir.path() / "f.fits").take();
    EXPECT_EQ(f.Width * 10 + f.Height, 53);
    EXPECT_EQ(f.Pixels.size(), 15u);
    EXPECT_EQ(f.Pixels[7], 65535);
    EXPECT_EQ(f.FormatMax, 65535);
}

// A frame read once gives the record the loader makes of the file, value for value: 16-bit and
// float samples, a positive floor spread over the margin, a blank sample skipped by the floor.
TEST(FitsCropLoad, TheFrameReadOnceGivesTheLoadersRecord)
{
    TempDir dir;
    std::vector<double> counts(150 * 90);
    for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = -32768 + 300 + double(i % 997);
    std::vector<double> real(counts.size());
    for (std::size_t i = 0; i < real.size(); ++i) real[i] = 12.5 + 0.37 * double(i % 101);
    real[5] = std::nan("");
    const auto a = dir.path() / "a.fits", b = dir.path() / "b.fits";
    ASSERT_TRUE(testing::FitsBuilder::Image(16, 150, 90).Real("BZERO", 32768).Pixels(counts).WriteTo(a));
    ASSERT_TRUE(testing::FitsBuilder::Image(-32, 150, 90).Pixels(real).WriteTo(b));
    for (const auto& file : {a, b}) {
        const FitsFrame f = ReadFitsFrame(file).take();
        const ImageSlot once = PaddedRecord(f.Pixels, f.Width, f.Height);
        const ImageSlot loaded = ReadFitsImage(file).take().Image;
        ASSERT_EQ(once->Width, 256);
        ASSERT_EQ(loaded->Width, 256);
        const auto x = once->Planes.Plane(0), y = loaded->Planes.Plane(0);
        ASSERT_EQ(x.size(), y.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            ASSERT_TRUE(x[i] == y[i] || (std::isnan(x[i]) && std::isnan(y[i]))) << file << " sample " << i;
        EXPECT_EQ(once->At(200, 200), 12.5 * (file == b) + 300 * (file == a));  // the floor in the margin
    }
}

}  // namespace
}  // namespace frontlys
