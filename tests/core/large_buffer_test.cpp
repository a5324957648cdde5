#include "core/large_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A buffer given back serves the next reservation it can hold, the smallest that fits first; one
// too small for it, or a small buffer, does not; the shelf drops its oldest past its bound.
TEST(LargeBuffer, GivenBackBuffersServeLaterReservations)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    std::vector<float> big, small, tiny;
    ReserveLarge(big, 16 * kMiB / sizeof(float));
    ReserveLarge(small, 8 * kMiB / sizeof(float));
    tiny.resize(10);
    const float* bigData = big.data();
    const float* smallData = small.data();
    ReleaseLarge(big);
    ReleaseLarge(small);
    ReleaseLarge(tiny);
    EXPECT_TRUE(big.empty() && small.empty() && tiny.empty());
    std::vector<float> a, b, c;
    ReserveLarge(a, 6 * kMiB / sizeof(float));
    EXPECT_EQ(a.data(), smallData);
    ReserveLarge(b, 20 * kMiB / sizeof(float));  // larger than any: fresh
    EXPECT_NE(b.data(), bigData);
    ReserveLarge(c, 12 * kMiB / sizeof(float));
    EXPECT_EQ(c.data(), bigData);
    // Thirty buffers of 16 MiB at once: the shelf keeps some, not all.
    std::vector<std::vector<float>> held(30);
    std::vector<const float*> given;
    for (auto& v : held) {
        ReserveLarge(v, 16 * kMiB / sizeof(float));
        given.push_back(v.data());
    }
    for (auto& v : held) ReleaseLarge(v);
    int back = 0;
    for (auto& v : held) {
        ReserveLarge(v, 16 * kMiB / sizeof(float));
        back += std::count(given.begin(), given.end(), v.data()) > 0;
    }
    EXPECT_GT(back, 0);
    EXPECT_LT(back, 30);
}

// A buffer that grows without clearing keeps the values it holds and those given, and its storage
// goes to the shelf of its own kind and comes back from it.
TEST(LargeBuffer, ABufferGrowingWithoutClearingKeepsWhatItHolds)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    Buffer<double> b(3, 1.5);
    b.resize(5);
    b[3] = b[4] = 2;
    b.resize(8, 4.0);
    b.push_back(5);
    EXPECT_EQ(std::vector<double>(b.begin(), b.end()),
              (std::vector<double>{1.5, 1.5, 1.5, 2, 2, 4, 4, 4, 5}));
    Buffer<double> large;
    ReserveLarge(large, 6 * kMiB / sizeof(double));
    const double* data = large.data();
    ReleaseLarge(large);
    Buffer<double> again;
    ReserveLarge(again, 5 * kMiB / sizeof(double));
    EXPECT_EQ(again.data(), data);
}

// A fresh buffer grows a little in place (the next round's grid a few per cent larger); one that
// must grow further is given back and serves a later, smaller reservation.
TEST(LargeBuffer, AGrowingBufferKeepsItsStorageOrGivesItBack)
{
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    std::vector<double> v;
    ReserveLarge(v, 9 * kMiB / sizeof(double));
    const double* first = v.data();
    ReserveLarge(v, 10 * kMiB / sizeof(double));
    EXPECT_EQ(v.data(), first);
    ReserveLarge(v, 40 * kMiB / sizeof(double));
    EXPECT_NE(v.data(), first);
    std::vector<double> later;
    ReserveLarge(later, 9 * kMiB / sizeof(double));
    EXPECT_EQ(later.data(), first);
}

}  // namespace
}  // namespace frontlys
