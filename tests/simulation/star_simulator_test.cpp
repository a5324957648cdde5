// The simulated pair as a whole: reproducible from its seed, noise of the right size, and options
// refused with a message naming them.
#include "simulation/star_simulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>

#include "core/thread_pool.h"
#include "simulation/camera_noise.h"
#include "simulation/simulation_options.h"

namespace frontlys {
namespace {

SimulationParams Small()
{
    SimulationParams p;
    p.diameterMm = 100;
    p.focalMm = 800;
    p.defocusMm = 2;
    p.size = 48;
    p.obstruction = 0.3;
    p.zernikeRmsNm[10] = 50;  // spherical
    p.zernikeRmsNm[4] = 20;   // astigmatism
    return p;
}

double Sum(const Planes3D<double>& f)
{
    const auto p = f.Plane(0);
    return std::accumulate(p.begin(), p.end(), 0.0);
}

TEST(StarSimulator, SameSeedSameFramesOtherSeedOtherNoise)
{
    auto p = Small();
    p.poisson = true;
    p.photons = 2e5;
    p.readNoiseE = 5;
    const auto a = SimulatePair(p);
    const auto b = SimulatePair(p);
    ASSERT_TRUE(a.ok()) << a.status().reason;
    EXPECT_EQ(a.value().intra.adu, b.value().intra.adu);
    EXPECT_EQ(a.value().extra.adu, b.value().extra.adu);
    EXPECT_NE(a.value().intra.adu, a.value().extra.adu);
    p.seed = 2;
    EXPECT_NE(SimulatePair(p).value().intra.adu, a.value().intra.adu);
}

// The wavelengths of a band, or the two planes of a single wavelength, are computed side by side:
// the same bits whatever the number of threads.
TEST(StarSimulator, FluxDoesNotDependOnTheThreadCount)
{
    auto band = Small();
    band.bandMinNm = 500;
    band.bandMaxNm = 620;
    band.bandSamples = 5;
    const Aperture aperture = ZernikeAperture(band);
    const auto grid = ChooseFineGrid(band, aperture.maxSlopeNm);
    ASSERT_TRUE(grid.ok());
    SetThreadCount(1);
    const auto one = SimulateFlux(band, aperture, FocalSide::Extra, grid.value());
    const auto pairOne = SimulatePair(Small());
    for (int threads : {2, 3}) {
        SetThreadCount(threads);
        EXPECT_EQ(SimulateFlux(band, aperture, FocalSide::Extra, grid.value()), one) << threads;
        const auto pair = SimulatePair(Small());
        EXPECT_EQ(pair.value().intra.adu, pairOne.value().intra.adu) << threads;
        EXPECT_EQ(pair.value().extra.adu, pairOne.value().extra.adu) << threads;
    }
    SetThreadCount(0);
    EXPECT_GT(Sum(one), 0.0);
}

TEST(StarSimulator, NoiselessFrameHoldsThePhotonsPlusTheBackground)
{
    auto p = Small();
    p.photons = 1e6;
    p.backgroundAdu = 100;
    p.gainEPerAdu = 2;
    p.size = 96;  // holds the whole fine field, diffraction fringes included
    const auto pair = SimulatePair(p);
    ASSERT_TRUE(pair.ok());
    ASSERT_LE(pair.value().grid.n, 96 * pair.value().grid.oversample);
    const double pixels = 96.0 * 96.0;
    EXPECT_NEAR(Sum(pair.value().intra.adu), 1e6 / 2 + 100 * pixels, 1.0);
    EXPECT_NEAR(Sum(pair.value().extra.adu), 1e6 / 2 + 100 * pixels, 1.0);
    EXPECT_EQ(pair.value().intra.saturated, 0);
}

TEST(StarSimulator, OddFrameAndDonutAtTheEdgeLoseOnlyTheLightOutside)
{
    auto p = Small();
    p.size = 37;
    p.offsetXPx = 18.5;  // the centre on the top right corner of the frame
    p.offsetYPx = -18.5;
    const auto pair = SimulatePair(p);
    ASSERT_TRUE(pair.ok()) << pair.status().reason;
    EXPECT_EQ(pair.value().intra.adu.cols(), 37);
    const double share = Sum(pair.value().intra.adu) / p.photons;
    EXPECT_GT(share, 0.15);
    EXPECT_LT(share, 0.35);  // a quarter of the donut, centred on the frame's corner
}

// Second moment of a frame's light about its centroid, pixels^2.
double Spread(const Planes3D<double>& f)
{
    double s = 0, sx = 0, sy = 0, sr = 0;
    for (int r = 0; r < f.rows(); ++r)
        for (int c = 0; c < f.cols(); ++c) {
            const double v = f.Row(0, r)[c];
            s += v;
            sx += v * c;
            sy += v * r;
            sr += v * (double(c) * c + double(r) * r);
        }
    return sr / s - (sx * sx + sy * sy) / (s * s);
}

// An unequal focuser travel: each image at its own distance, its donut's size in proportion. Spider
// vanes take their share of the light.
TEST(StarSimulator, UnequalDistancesAndSpiderVanes)
{
    auto p = Small();
    p.size = 64;
    p.zernikeRmsNm = {};
    const auto even = SimulatePair(p);
    p.defocusAsymmetryMm = 0.1;  // 1.9 and 2.1 mm
    const auto uneven = SimulatePair(p);
    ASSERT_TRUE(even.ok() && uneven.ok());
    const double intra = Spread(uneven.value().intra.adu) / Spread(even.value().intra.adu);
    const double extra = Spread(uneven.value().extra.adu) / Spread(even.value().extra.adu);
    EXPECT_NEAR(std::sqrt(intra), 1.9 / 2, 0.01);
    EXPECT_NEAR(std::sqrt(extra), 2.1 / 2, 0.01);

    // Vanes along the axes, 2 pixels wide on the 14-pixel donut: their shadows along x and y.
    p.defocusAsymmetryMm = 0;
    p.vaneCount = 4;
    p.vaneWidthMm = 7;
    const auto vaned = SimulatePair(p);
    ASSERT_TRUE(vaned.ok());
    const auto& f = vaned.value().intra.adu;
    const auto at = [&](int dx, int dy) { return f.Row(0, 32 + dy)[32 + dx] + f.Row(0, 31 + dy)[31 + dx]; };
    EXPECT_LT(at(9, 0) + at(0, 9) + at(-9, 0) + at(0, -9),
              0.5 * (at(6, 6) + at(-6, 6) + at(6, -6) + at(-6, -6)));
    p.defocusAsymmetryMm = 1;
    EXPECT_FALSE(ValidateSimulationParams(p).ok());
}

TEST(StarSimulator, CoefficientsAreTheRmsTimesTheNorms)
{
    const auto pair = SimulatePair(Small());
    ASSERT_TRUE(pair.ok());
    EXPECT_NEAR(pair.value().coefficientsNm[10], 50 * std::sqrt(5.0), 1e-9);
    EXPECT_NEAR(pair.value().coefficientsNm[4], 20 * std::sqrt(6.0), 1e-9);
    EXPECT_EQ(pair.value().coefficientsNm[0], 0);
}

TEST(CameraNoise, ShotAndReadNoiseHaveTheirVariance)
{
    SimulationParams p;
    p.photons = 400.0 * 10000;  // 400 e- in each of 10000 pixels
    p.poisson = true;
    p.readNoiseE = 10;
    Planes3D<double> flux(1, 100, 100);
    flux.Fill(1e-4);
    std::mt19937_64 rng(7);
    const auto frame = ExposeFrame(flux, p, rng);
    const auto v = frame.adu.Plane(0);
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    double var = 0;
    for (double x : v) var += (x - mean) * (x - mean);
    var /= v.size() - 1;
    EXPECT_NEAR(mean, 400, 1.0);
    EXPECT_NEAR(var, 400 + 100, 25);  // Poisson 400 plus read 10^2; 10000 samples: 5 % scatter
}

TEST(CameraNoise, ConverterSaturates)
{
    SimulationParams p;
    p.photons = 1e6;
    Planes3D<double> flux(1, 1, 2);
    flux(0, 0, 0) = 0.9;
    std::mt19937_64 rng(1);
    const auto frame = ExposeFrame(flux, p, rng);
    EXPECT_EQ(frame.adu(0, 0, 0), kSaturationAdu);
    EXPECT_EQ(frame.saturated, 1);
}

TEST(SimulationOptions, CompoundOptionsParseAndRefuse)
{
    auto z = ParseZernikeList("11=40, 5=-15.5,7=10");
    ASSERT_TRUE(z.ok());
    EXPECT_EQ(z.value()[10], 40);
    EXPECT_EQ(z.value()[4], -15.5);
    EXPECT_EQ(z.value()[6], 10);
    EXPECT_EQ(z.value()[0], 0);
    for (const char* bad : {"29=3", "0=1", "5", "5=x", "5.5=2", "5=1,,"}) {
        auto r = ParseZernikeList(bad);
        ASSERT_FALSE(r.ok()) << bad;
        EXPECT_EQ(r.status().message, "Paramètre de simulation incorrect : --zernike");
    }
    EXPECT_EQ(ParseBand("500:600").value(), (std::pair<double, double>{500, 600}));
    EXPECT_FALSE(ParseBand("600:500").ok());
    EXPECT_FALSE(ParseBand("500").ok());
    EXPECT_EQ(ParseOffset("-3.5,12").value(), (std::pair<double, double>{-3.5, 12}));
    EXPECT_FALSE(ParseOffset("3;4").ok());
}

TEST(SimulationParams, RefusalsNameTheOption)
{
    struct Case {
        void (*spoil)(SimulationParams&);
        const char* option;
    };
    const Case cases[] = {
        {[](SimulationParams& p) { p.diameterMm = 0; }, "--diameter"},
        {[](SimulationParams& p) { p.focalMm = -1; }, "--focal"},
        {[](SimulationParams& p) { p.obstruction = 0.95; }, "--obstruction"},
        {[](SimulationParams& p) { p.defocusMm = 0; }, "--defocus"},
        {[](SimulationParams& p) { p.defocusMm = 700; }, "--defocus"},
        {[](SimulationParams& p) { p.pixelUm = NAN; }, "--pixel"},
        {[](SimulationParams& p) { p.binning = 0; }, "--binning"},
        {[](SimulationParams& p) { p.size = 8; }, "--size"},
        {[](SimulationParams& p) { p.lambdaNm = 0; }, "--lambda"},
        {[](SimulationParams& p) { p.seeingArcsec = -1; }, "--seeing"},
        {[](SimulationParams& p) { p.photons = 0; }, "--photons"},
        {[](SimulationParams& p) { p.readNoiseE = -2; }, "--read-noise"},
        {[](SimulationParams& p) { p.backgroundAdu = 70000; }, "--background"},
    };
    for (const auto& c : cases) {
        SimulationParams p;
        c.spoil(p);
        const Status s = ValidateSimulationParams(p);
        EXPECT_EQ(s.message, std::string("Paramètre de simulation incorrect : ") + c.option);
        EXPECT_FALSE(SimulatePair(p).ok());
    }
    EXPECT_TRUE(ValidateSimulationParams(SimulationParams{}).ok());
}

}  // namespace
}  // namespace frontlys
