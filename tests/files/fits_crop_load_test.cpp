// A camera frame read at its own size, with the top value its sample format can hold.
#include <gtest/gtest.h>

#include <cmath>

#include "files/fits_crop_load.h"
#include "support/fits_builder.h"
#include "support/temp_dir.h"

namespace frontlys {
namespace {

TEST(FitsCropLoad, UnsignedCameraFrameKeepsItsSizeValuesAndTop)
{
    TempDir dir;
    const auto path = dir.path() / "frame.fits";
    // 5 x 3, stored -32768 .. 32767 around BZERO 32768: values 0 .. 65535 as a camera writes them.
    std::vector<double> stored(15, -32768);
    stored[7] = 32767;
    ASSERT_TRUE(testing::FitsBuilder::Image(16, 5, 3).Real("BZERO", 32768).Pixels(stored).WriteTo(path));
    auto frame = ReadFitsFrame(path);
    ASSERT_TRUE(frame.ok()) << frame.status().reason;
    EXPECT_EQ(frame.value().Width, 5);
    EXPECT_EQ(frame.value().Height, 3);
    ASSERT_EQ(frame.value().Pixels.size(), 15u);
    EXPECT_EQ(frame.value().Pixels[0], 0);
    EXPECT_EQ(frame.value().Pixels[7], 65535);
    EXPECT_EQ(frame.value().FormatMax, 65535);
    EXPECT_FALSE(ReadFitsFrame(dir.path() / "missing.fits").ok());
    ASSERT_TRUE(testing::FitsBuilder::Image(-32, 2, 2).Pixels({1, 2, 3, 4}).WriteTo(path));
    EXPECT_TRUE(std::isinf(ReadFitsFrame(path).value().FormatMax));
}

}  // namespace
}  // namespace frontlys
