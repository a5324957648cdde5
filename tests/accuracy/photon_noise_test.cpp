// The photon noise the error bars rest on, read off wave-optics pairs whose camera is known: bright
// donuts ring with diffraction far above their photon noise, which must not pass for noise. Fringes
// at the pixel scale still leak into the ring test, so the bound is a factor, not a percentage
// (measured 1.7 to 3.52 over these seeds: a known overestimate that makes the bars conservative).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/compensated/analysis.h"
#include "simulation/star_simulator.h"

namespace frontlys {
namespace {

// A 100 mm f/9 refractor with spherical aberration, a 17-pixel donut of 2e6 photo-electrons at a
// gain of 1 e/ADU: the variance per ADU of signal is 1.
SimulationParams BrightRefractor(std::uint64_t seed)
{
    SimulationParams p;
    p.diameterMm = 100;
    p.focalMm = 900;
    p.defocusMm = 2.5;
    p.size = 128;
    p.zernikeRmsNm[10] = 30;
    p.zernikeRmsNm[4] = 10;
    p.poisson = true;
    p.photons = 2e6;
    p.readNoiseE = 5;
    p.backgroundAdu = 100;
    p.seed = seed;
    return p;
}

TEST(PhotonNoise, BrightRingingDonutsGiveTheCamerasVariance)
{
    for (std::uint64_t seed : {1000u, 1001u, 1002u}) {
        const SimulationParams p = BrightRefractor(seed);
        auto pair = SimulatePair(p);
        ASSERT_TRUE(pair.ok());
        const auto& a = pair.value().intra.adu.Plane(0);
        const auto& b = pair.value().extra.adu.Plane(0);
        std::vector<double> intra(a.begin(), a.end()), extra(b.begin(), b.end());
        std::reverse(extra.begin(), extra.end());
        CompensatedOptions o;
        o.focalNm = p.focalMm * 1e6;
        o.apertureRadiusNm = p.diameterMm * 5e5;
        o.pixelNm = BinnedPixelNm(p);
        o.noiseCovariance = true;
        const auto r = CompensatedAnalysis({intra, p.size, p.size}, {extra, p.size, p.size}, o);
        ASSERT_TRUE(r.ok()) << r.status().reason;
        for (const FrameSetup& f : r.value().frames) {
            EXPECT_GT(f.photonVariance, 0.6) << "seed " << seed;
            EXPECT_LT(f.photonVariance, 4) << "seed " << seed;
        }
    }
}

}  // namespace
}  // namespace frontlys
