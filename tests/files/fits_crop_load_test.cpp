// A camera frame read at its own size, with the top value its sample format can hold.
#include <gtest/gtest.h>

#include "files/fits_crop_load.h"
#include "support/fits_builder.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

TEST(FitsCropLoad, UnsignedCameraFrameKeepsItsSizeValuesAndTop)
{
    TempDir dir;
    std::vector<double> stored(15, -32768);  // 5 x 3 around BZERO 32768: 0 .. 65535
    stored[7] = 32767;
    ASSERT_TRUE(testing::FitsBuilder::Image(16, 5, 3).Real("BZERO", 32768).Pixels(stored).WriteTo(dir.path() / "f.fits"));
    const FitsFrame f = ReadFitsFrame(dir.path() / "f.fits").take();
    EXPECT_EQ(f.Width * 10 + f.Height, 53);
    EXPECT_EQ(f.Pixels.size(), 15u);
    EXPECT_EQ(f.Pixels[7], 65535);
    EXPECT_EQ(f.FormatMax, 65535);
}

}  // namespace
}  // namespace frontlys
