#include "engine/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "core/thread_pool.h"

namespace frontlys {
namespace {

using cd = std::complex<double>;
using cld = std::complex<long double>;

// Direct DFT accumulated in long double: the slow reference.
std::vector<cld> DirectDft(const std::vector<cld>& x, int sign)
{
    const int n = static_cast<int>(x.size());
    std::vector<cld> roots(n), out(n);
    for (int k = 0; k < n; ++k) {
        const long double angle = sign * 2.0L * std::numbers::pi_v<long double> * k / n;
        roots[k] = cld(std::cos(angle), std::sin(angle));
    }
    for (int k = 0; k < n; ++k) {
        cld sum = 0;
        for (int m = 0; m < n; ++m) sum += x[m] * roots[(1LL * k * m) % n];
        out[k] = sum;
    }
    return out;
}

// Row-major n x n DFT, rows then columns, each by the direct sum.
std::vector<cld> DirectDft2(const std::vector<cld>& x, int n, int sign)
{
    std::vector<cld> out(x);
    std::vector<cld> line(n);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) line[c] = out[r * n + c];
        line = DirectDft(line, sign);
        for (int c = 0; c < n; ++c) out[r * n + c] = line[c];
    }
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) line[r] = out[r * n + c];
        line = DirectDft(line, sign);
        for (int r = 0; r < n; ++r) out[r * n + c] = line[r];
    }
    return out;
}

std::vector<cd> RandomComplex(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<cd> v(count);
    for (cd& z : v) z = cd(u(rng), u(rng));
    return v;
}

double RelativeL2(const std::vector<cd>& got, const std::vector<cld>& want)
{
    long double err = 0, norm = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        err += std::norm(cld(got[i]) - want[i]);
        norm += std::norm(want[i]);
    }
    return static_cast<double>(std::sqrt(err / std::max(norm, 1e-300L)));
}

std::vector<cld> Widen(const std::vector<cd>& v) { return {v.begin(), v.end()}; }

double Tolerance(int n) { return 1e-15 * std::max(1.0, std::log2(static_cast<double>(n))) * 4; }

// Powers of two and mixes of 2, 3 and 5, odd ones and every radix among them.
const std::vector<int> kSizes1D = {1,   2,   3,   4,   5,   6,   8,   9,   10,   12,   15,  16,  24,
                                   25,  27,  30,  32,  45,  60,  64,  75,  96,   120,  125, 128, 135,
                                   225, 243, 256, 360, 500, 512, 625, 720, 1000, 1024, 1080};
const std::vector<int> kSizes2D = {1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 16, 24, 30, 32, 45, 60, 64, 96, 128};

TEST(FftLowLevel, OneDimensionalMatchesDirectDftBothDirections)
{
    for (int n : kSizes1D) {
        const auto x = RandomComplex(n, 7u + n);
        for (auto dir : {FftDirection::Forward, FftDirection::Inverse}) {
            auto y = x;
            Fft1DInPlace(y.data(), n, dir);
            const auto ref = DirectDft(Widen(x), dir == FftDirection::Forward ? -1 : +1);
            EXPECT_LT(RelativeL2(y, ref), Tolerance(n)) << "n=" << n;
        }
    }
}

TEST(FftLowLevel, TwoDimensionalMatchesDirectDftBothDirections)
{
    for (int n : kSizes2D) {
        const auto x = RandomComplex(n * n, 11u + n);
        for (auto dir : {FftDirection::Forward, FftDirection::Inverse}) {
            auto y = x;
            Fft2DInPlace(y.data(), n, dir);
            const auto ref = DirectDft2(Widen(x), n, dir == FftDirection::Forward ? -1 : +1);
            EXPECT_LT(RelativeL2(y, ref), Tolerance(n * n)) << "n=" << n;
        }
    }
}

TEST(FftLowLevel, LanesAreIndependentTransforms)
{
    for (const auto& [n, lanes] : {std::pair{16, 3}, std::pair{15, 3}, std::pair{40, 2}, std::pair{9, 5}}) {
        auto data = RandomComplex(n * lanes, 5);
        auto expected = data;
        FftPlan(n).TransformLanes(data.data(), lanes, FftDirection::Forward);
        for (int l = 0; l < lanes; ++l) {
            std::vector<cd> one(n);
            for (int e = 0; e < n; ++e) one[e] = expected[e * lanes + l];
            Fft1DInPlace(one.data(), n, FftDirection::Forward);
            for (int e = 0; e < n; ++e) EXPECT_NEAR(std::abs(one[e] - data[e * lanes + l]), 0.0, 1e-13) << n;
        }
    }
}

// Stages with four or more lanes may take four at a time (AVX-512): each lane keeps the bits it has
// when it goes two at a time. 6 lanes leave a pair after the four; the sizes cover every radix.
TEST(FftLowLevel, FourLanesAtATimeGiveTheBitsOfTwo)
{
    for (int n : {40, 120, 128, 135, 360, 400, 810}) {
        const int lanes = 6;
        const auto input = RandomComplex(n * lanes, 37u + n);
        for (FftDirection direction : {FftDirection::Forward, FftDirection::Inverse}) {
            auto all = input;
            FftPlan(n).TransformLanes(all.data(), lanes, direction);
            for (int l = 0; l < lanes; l += 2) {
                std::vector<cd> two(static_cast<std::size_t>(n) * 2);
                for (int e = 0; e < n; ++e) {
                    two[2 * e] = input[e * lanes + l];
                    two[2 * e + 1] = input[e * lanes + l + 1];
                }
                FftPlan(n).TransformLanes(two.data(), 2, direction);
                for (int e = 0; e < n; ++e) {
                    EXPECT_EQ(two[2 * e], all[e * lanes + l]) << n << " lane " << l << " element " << e;
                    EXPECT_EQ(two[2 * e + 1], all[e * lanes + l + 1]) << n << " lane " << l + 1;
                }
            }
        }
    }
}

// Long columns go in strips of 4 columns, or of 32 where the row stride is a multiple of 4 KiB
// (1280 complex values); 37 columns leave a part strip either way, and the 38th stays as it was.
TEST(FftLowLevel, LongColumnsMatchOneDimensionalTransforms)
{
    for (const auto& [n, stride] : {std::pair{1280, 1280}, std::pair{1200, 1210}}) {
        const int columns = 37;
        auto data = RandomComplex(n * stride, 17u + n);
        const auto original = data;
        FftPlan(n).TransformColumns(data.data(), columns, stride, FftDirection::Inverse);
        for (int c = 0; c <= columns; ++c) {
            std::vector<cd> one(n);
            for (int e = 0; e < n; ++e) one[e] = original[e * stride + c];
            if (c < columns) Fft1DInPlace(one.data(), n, FftDirection::Inverse);
            double worst = 0;
            for (int e = 0; e < n; ++e) worst = std::max(worst, std::abs(one[e] - data[e * stride + c]));
            EXPECT_LT(worst, 1e-11) << n << " column " << c;
        }
    }
}

TEST(FftLowLevel, LargeMixedSizesRoundTrip)
{
    for (int n : {360, 1000, 1080}) {
        const auto x = RandomComplex(n * n, 13u + n);
        auto y = x;
        const FftPlan plan(n);
        plan.Transform2D(y.data(), FftDirection::Forward);
        plan.Transform2D(y.data(), FftDirection::Inverse);
        double worst = 0;
        for (std::size_t i = 0; i < x.size(); ++i)
            worst = std::max(worst, std::abs(y[i] / double(n * n) - x[i]));
        EXPECT_LT(worst, 1e-14) << n;
    }
}

TEST(FftSizes, FastSizeIsTheSmallestProductOfTwoThreeAndFive)
{
    EXPECT_EQ(FastFftSize(0), 1);
    EXPECT_EQ(FastFftSize(1), 1);
    EXPECT_FALSE(IsFastFftSize(0));
    EXPECT_FALSE(IsFastFftSize(7));
    EXPECT_TRUE(IsFastFftSize(2160));
    int expected = 1;
    for (int n = 1; n <= 5000; ++n) {
        if (expected < n) {
            expected = n;
            while (!IsFastFftSize(expected)) ++expected;
        }
        ASSERT_EQ(FastFftSize(n), expected) << n;
    }
    EXPECT_EQ(FastFftSize(2089), 2160);
    EXPECT_EQ(FastFftSize(kMaxFastFftSize), kMaxFastFftSize);
    EXPECT_EQ(FastFftSize(kMaxFastFftSize + 1), 0);
}

// The centred spectrum of a width x height input, computed directly: element (N/2 + v, N/2 + u)
// holds frequency (u, v), divided by N^2.
TEST(FftCentred, EveryInputSizeFrom2To64MatchesDirectDft)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int size = 2; size <= 64; ++size) {
        const int width = size, height = std::max(1, size - 3);
        std::vector<double> re(width * height), im(width * height);
        for (auto& v : re) v = u(rng);
        for (auto& v : im) v = u(rng);
        const auto spectrum = Fft2Complex(re, im, width, height);
        const int n = FftSize(width, height);
        ASSERT_EQ(spectrum.rows(), n);
        std::vector<cld> padded(n * n);
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) padded[r * n + c] = cld(re[r * width + c], im[r * width + c]);
        const auto ref = DirectDft2(padded, n, -1);
        std::vector<cd> got(n * n);
        std::vector<cld> want(n * n);
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                const int v = r - n / 2, f = c - n / 2;
                got[r * n + c] = cd(spectrum(0, r, c), spectrum(1, r, c));
                want[r * n + c] = ref[((v + n) % n) * n + (f + n) % n] / static_cast<long double>(n * n);
            }
        }
        EXPECT_LT(RelativeL2(got, want), Tolerance(n * n)) << "size " << width << "x" << height;
    }
}

TEST(FftCentred, SixtyByFortyIsPaddedToSixtyFour)
{
    std::vector<double> input(60 * 40, 0.0);
    input[0] = 1.0;  // a delta at the top-left corner: flat spectrum 1/N^2 everywhere
    const auto spectrum = Fft2Real(input, 60, 40);
    ASSERT_EQ(spectrum.rows(), 64);
    ASSERT_EQ(spectrum.cols(), 64);
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) {
            EXPECT_NEAR(spectrum(0, r, c), 1.0 / 4096, 1e-18);
            EXPECT_NEAR(spectrum(1, r, c), 0.0, 1e-18);
        }
    }
    std::vector<double> ramp(60 * 40);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<double>(i % 97);
    const auto back = Fft2Inverse(Fft2Real(ramp, 60, 40));
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) {
            const double expected = (r < 40 && c < 60) ? ramp[r * 60 + c] : 0.0;
            EXPECT_NEAR(back(0, r, c), expected, 1e-11) << r << "," << c;
        }
    }
}

TEST(FftCentred, ConstantGoesToTheCentreElement)
{
    const int n = 16;
    std::vector<double> input(n * n, 2.5);
    const auto spectrum = Fft2Real(input, n, n);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double expected = (r == n / 2 && c == n / 2) ? 2.5 : 0.0;
            EXPECT_NEAR(spectrum(0, r, c), expected, 1e-15);
            EXPECT_NEAR(spectrum(1, r, c), 0.0, 1e-15);
        }
    }
    const auto power = PowerSpectrum(spectrum);
    EXPECT_NEAR(power(0, n / 2, n / 2), 6.25, 1e-14);
}

TEST(FftCentred, OneByOneIsTransformedAtTwo)
{
    const std::vector<std::int16_t> one{8};
    const auto spectrum = Fft2Real(one, 1, 1);
    ASSERT_EQ(spectrum.rows(), 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_DOUBLE_EQ(spectrum(0, r, c), 2.0);
    const auto back = Fft2Inverse(spectrum);
    EXPECT_DOUBLE_EQ(back(0, 0, 0), 8.0);
    EXPECT_DOUBLE_EQ(back(0, 1, 1), 0.0);
}

TEST(FftCentred, InverseRefusesMalformedSpectra)
{
    EXPECT_TRUE(Fft2Inverse(Planes3D<double>(2, 6, 6)).empty());
    EXPECT_TRUE(Fft2Inverse(Planes3D<double>(1, 8, 8)).empty());
    EXPECT_TRUE(Fft2Inverse(Planes3D<double>(2, 8, 4)).empty());
}

TEST(FftHelpers, QuadrantSwapAndRotations)
{
    Planes3D<std::int16_t> a(2, 4, 4);
    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) a(p, r, c) = static_cast<std::int16_t>(100 * p + 10 * r + c);
    auto swapped = a;
    QuadrantSwap(swapped);
    EXPECT_EQ(swapped(0, 0, 0), 22);
    EXPECT_EQ(swapped(1, 3, 1), 100 + 13);
    QuadrantSwap(swapped);
    EXPECT_EQ(swapped, a);

    Planes3D<double> m(1, 2, 3);  // [[0 1 2] [3 4 5]]
    for (int i = 0; i < 6; ++i) m.data()[i] = i;
    const auto left = RotateLeft(m);  // counter-clockwise: [[2 5] [1 4] [0 3]]
    ASSERT_EQ(left.rows(), 3);
    EXPECT_EQ(left(0, 0, 0), 2);
    EXPECT_EQ(left(0, 0, 1), 5);
    EXPECT_EQ(left(0, 2, 0), 0);
    EXPECT_EQ(RotateRight(left), m);
}

TEST(FftReal, HalfSpectrumMatchesComplexTransformAndInverts)
{
    for (int n : {2, 3, 4, 5, 6, 8, 9, 12, 15, 16, 30, 32, 45, 64, 96}) {
        std::mt19937 rng(n);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        std::vector<double> input(n * n);
        for (auto& v : input) v = u(rng);
        std::vector<cd> full(input.begin(), input.end());
        Fft2DInPlace(full.data(), n, FftDirection::Forward);
        RealFft2Plan plan(n);
        std::vector<cd> half(n * plan.halfWidth());
        plan.Forward(input.data(), half.data());
        for (int r = 0; r < n; ++r)
            for (int k = 0; k < plan.halfWidth(); ++k)
                EXPECT_LT(std::abs(half[r * plan.halfWidth() + k] - full[r * n + k]), 1e-12) << n;
        std::vector<double> back(n * n);
        plan.Inverse(half.data(), back.data());
        for (int i = 0; i < n * n; ++i) EXPECT_NEAR(back[i] / (n * n), input[i], 1e-14) << n;
        // The filter is the same product of spectra, strip by strip.
        std::vector<double> filter(half.size()), filtered(n * n), expected(n * n);
        for (auto& v : filter) v = u(rng);
        plan.Forward(input.data(), half.data());
        for (std::size_t i = 0; i < half.size(); ++i) half[i] *= filter[i];
        plan.Inverse(half.data(), expected.data());
        plan.Filter(input.data(), filter.data(), filtered.data());
        for (int i = 0; i < n * n; ++i) EXPECT_NEAR(filtered[i], expected[i], 1e-12 * n * n) << n;
    }
}

// Sampled filtering gives Filter's values at the samples, for a filter of a real kernel (even in
// the column frequency) and any start, step and count that fit, odd counts (a lone last row) too.
TEST(FftReal, SampledFilterGivesTheFilteredSamples)
{
    for (int n : {9, 30, 64, 96}) {
        std::mt19937 rng(n);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        RealFft2Plan plan(n);
        const int hw = plan.halfWidth();
        std::vector<double> input(n * n), filter(static_cast<std::size_t>(n) * hw), gu(hw), gv(n);
        for (auto& v : input) v = u(rng);
        for (auto& v : gu) v = u(rng);
        for (int v = 0; v <= n / 2; ++v) gv[v] = gv[(n - v) % n] = u(rng);
        for (int v = 0; v < n; ++v)
            for (int k = 0; k < hw; ++k) filter[v * hw + k] = gv[v] * gu[k];
        std::vector<double> filtered(n * n);
        plan.Filter(input.data(), filter.data(), filtered.data());
        for (int step : {1, 2, 3, 5}) {
            const int start = (n / 2) % step, count = (n - start + step - 1) / step;
            std::vector<double> sampled(static_cast<std::size_t>(count) * count);
            plan.FilterSampled(input.data(), filter.data(), start, step, count, sampled.data());
            for (int j = 0; j < count; ++j)
                for (int i = 0; i < count; ++i)
                    EXPECT_NEAR(sampled[j * count + i],
                                filtered[(start + j * step) * n + start + i * step],
                                1e-12 * n * n)
                        << n << " " << step;
        }
    }
}

// The separable form gives Filter's values at the samples for the product filter, with the steps
// that divide the size (folded spectra) and those that do not, odd counts (a lone last line) too;
// from a complex field, those of its intensity.
TEST(FftReal, SeparableSampledFilterGivesTheFilteredSamples)
{
    for (int n : {9, 30, 60, 96}) {
        std::mt19937 rng(n + 1);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        RealFft2Plan plan(n);
        const int hw = plan.halfWidth();
        std::vector<double> input(n * n), filter(static_cast<std::size_t>(n) * hw), g(n);
        std::vector<cd> field(n * n);
        for (int i = 0; i < n * n; ++i) {
            field[i] = cd(u(rng), u(rng));
            input[i] = std::norm(field[i]);
        }
        for (int v = 0; v <= n / 2; ++v) g[v] = g[(n - v) % n] = u(rng);
        for (int v = 0; v < n; ++v)
            for (int k = 0; k < hw; ++k) filter[v * hw + k] = g[v] * g[k];
        std::vector<double> filtered(n * n);
        plan.Filter(input.data(), filter.data(), filtered.data());
        for (int step : {1, 2, 3, 5, 6}) {
            for (int start : {0, (n / 2) % step, step - 1}) {
                const int count = (n - start + step - 1) / step;
                std::vector<double> sampled(static_cast<std::size_t>(count) * count);
                plan.FilterSampledSeparable(input.data(), g.data(), start, step, count, sampled.data());
                // From a field whose intensity is the input: the same bits.
                std::vector<double> fromField(sampled.size());
                plan.FilterIntensitySampled(field.data(), g.data(), start, step, count, fromField.data());
                EXPECT_EQ(fromField, sampled) << n << " " << step << " " << start;
                for (int j = 0; j < count; ++j)
                    for (int i = 0; i < count; ++i)
                        EXPECT_NEAR(sampled[j * count + i],
                                    filtered[(start + j * step) * n + start + i * step],
                                    1e-12 * n * n)
                            << n << " " << step << " " << start;
            }
        }
    }
}

// A field whose row pass is taken as the intensity is filtered gives the bits of the row pass done
// first, on any thread count: sizes shared among tasks (from 256) or not, odd ones (a lone last row),
// steps that fold the spectrum and those that do not. The field itself is left as it was.
TEST(FftReal, RowPassTakenWhileFilteringGivesTheSameBits)
{
    for (int n : {45, 256, 270}) {
        std::mt19937 rng(n + 3);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        std::vector<double> g(n);
        for (int v = 0; v <= n / 2; ++v) g[v] = g[(n - v) % n] = u(rng);
        const auto field = RandomComplex(n * n, 29u + n);
        auto rowsDone = field;
        FftPlan(n).TransformRows(rowsDone.data(), n, FftDirection::Forward);
        for (int step : {3, 5}) {
            const int start = (n / 2) % step, count = (n - start + step - 1) / step;
            std::vector<double> expected(static_cast<std::size_t>(count) * count);
            RealFft2Plan(n).FilterIntensitySampled(
                rowsDone.data(), g.data(), start, step, count, expected.data());
            for (int threads : {1, 2}) {
                SetThreadCount(threads);
                RealFft2Plan plan(n);
                std::vector<double> fused(expected.size());
                auto input = field;
                for (int call = 0; call < 2; ++call) {  // the second on the buffers the first left
                    plan.TransformRowsFilterIntensitySampled(
                        input.data(), g.data(), start, step, count, fused.data());
                    EXPECT_EQ(fused, expected) << n << " step " << step << " on " << threads << " threads";
                }
                EXPECT_EQ(input, field) << n;
            }
        }
    }
    SetThreadCount(0);
}

// A field stored by a band of its columns (the others zero) gives the bits of the whole field.
TEST(FftReal, RowPassOfStoredColumnsGivesTheWholeFieldsBits)
{
    for (int n : {48, 270}) {
        const int first = n / 4, width = n / 2 + 1, stride = width + 3;
        const auto band = RandomComplex(n * stride, 31u + n);
        std::vector<cd> whole(static_cast<std::size_t>(n) * n);
        for (int r = 0; r < n; ++r)
            std::copy_n(band.begin() + r * stride, width, whole.begin() + r * n + first);
        std::vector<double> g(n);
        for (int v = 0; v < n; ++v) g[v] = 1.0 / (1 + std::min(v, n - v));
        const int step = 3, start = (n / 2) % step, count = (n - start + step - 1) / step;
        RealFft2Plan plan(n);
        std::vector<double> expected(static_cast<std::size_t>(count) * count), banded(expected.size());
        plan.TransformRowsFilterIntensitySampled(whole.data(), g.data(), start, step, count, expected.data());
        plan.TransformRowsFilterIntensitySampled(
            {band.data(), first, width, stride}, g.data(), start, step, count, banded.data());
        EXPECT_EQ(banded, expected) << n;
    }
}

// Rows go in blocks of several, the blocks shared among the pool's threads: each row gets the bits of
// its own one-dimensional transform on any thread count, a part block at the end included.
TEST(FftLowLevel, RowsInBlocksGiveTheSameBitsAsSingleRowsOnAnyNumberOfThreads)
{
    for (const auto& [n, rows] : {std::pair{256, 255}, std::pair{300, 300}, std::pair{60, 37}}) {
        const auto input = RandomComplex(n * rows, 19u + n);
        auto expected = input;
        for (int r = 0; r < rows; ++r) Fft1DInPlace(expected.data() + r * n, n, FftDirection::Inverse);
        for (int threads : {1, 2, 3}) {
            SetThreadCount(threads);
            auto data = input;
            FftPlan(n).TransformRows(data.data(), rows, FftDirection::Inverse);
            EXPECT_EQ(data, expected) << n << " on " << threads << " threads";
        }
        SetThreadCount(1);
        auto one = RandomComplex(n * n, 23u + n);
        auto two = one;
        FftPlan(n).Transform2D(one.data(), FftDirection::Forward);
        SetThreadCount(2);
        FftPlan(n).Transform2D(two.data(), FftDirection::Forward);
        EXPECT_EQ(one, two) << n;
    }
    SetThreadCount(0);
}

// Large transforms share their rows and strips among the pool's threads: the same bits on any count,
// odd sizes (a lone last row) included.
TEST(FftReal, LargeTransformsGiveTheSameBitsOnAnyNumberOfThreads)
{
    for (int n : {135, 256}) {
        std::mt19937 rng(n);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        std::vector<double> input(n * n), filter(static_cast<std::size_t>(n) * (n / 2 + 1));
        for (auto& v : input) v = u(rng);
        for (auto& v : filter) v = u(rng);
        const auto run = [&](int threads) {
            SetThreadCount(threads);
            RealFft2Plan plan(n);
            std::vector<cd> half(filter.size());
            plan.Forward(input.data(), half.data());
            std::vector<double> out(n * n), filtered(n * n);
            std::vector<cd> spectrum = half;
            plan.Inverse(half.data(), out.data());
            plan.Filter(input.data(), filter.data(), filtered.data());
            std::vector<double> sampled(45 * 45), separable(45 * 45);
            plan.FilterSampled(input.data(), filter.data(), 1, 3, 45, sampled.data());
            plan.FilterSampledSeparable(input.data(), input.data(), 1, 3, 45, separable.data());
            return std::tuple(spectrum, out, filtered, sampled, separable);
        };
        const auto one = run(1);
        EXPECT_EQ(run(3), one) << n;
        EXPECT_EQ(run(2), one) << n;
    }
    SetThreadCount(0);
}

}  // namespace
}  // namespace frontlys
