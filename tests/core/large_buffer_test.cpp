#include "core/large_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace frontlys {
namespace {

// A buffer with room keeps its contents; a short one is replaced by a fresh one with the room asked
// for, large enough to be advised (8 MiB) or not, and stays usable as any vector.
TEST(LargeBuffer, ReservesRoomAndKeepsABufferThatHasIt)
{
    std::vector<double> v(100, 1.5);
    v.reserve(200);
    const double* before = v.data();
    ReserveLarge(v, 150);
    EXPECT_EQ(v.data(), before);
    EXPECT_EQ(v.size(), 100u);
    for (std::size_t count : {std::size_t{1000}, std::size_t{1} << 20}) {
        ReserveLarge(v, count);
        EXPECT_GE(v.capacity(), count);
        v.assign(count, 2.0);
        EXPECT_EQ(v[count - 1], 2.0);
    }
    AdviseLargePages(nullptr, 1 << 24);  // nothing to advise: no effect, no failure
}

}  // namespace
}  // namespace frontlys
