// The compensation loop's images and fold guard, against each grid point taken alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/compensated/internal.h"
#include "engine/curvature_model.h"

namespace frontlys {
namespace {

using namespace compensated;

// A 40-pixel geometric pair over a sky with astigmatism and coma, prepared, and its grid. The coma
// folds the rays most near the grid's first row, where the loop's first task looks.
struct LoopCase {
    LoopCase();
    PreparedFrame intra, extra;
    Workspace work;  // the grid's jets go back where they came from
    const Grid& grid = work.grid;
    TransportCoefficients m;
};

LoopCase::LoopCase()
{
    testing::KnownWavefront w;
    w.coefficients[4] = 40;
    w.coefficients[6] = -25;
    w.coefficients[7] = -60;
    testing::ModelPupil pupil;
    pupil.size = 160;
    pupil.radiusPx = 40;
    pupil.level = 400;
    pupil.blurPx = 0.7;
    const TestGeometry g = testing::ModelGeometry();
    const auto pair = testing::MakeModelPair(w, pupil, g);
    // Over a sky with a little noise, as the donut finder expects of a frame.
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0, 3);
    const auto prepare = [&](const TImageRec& i) {
        std::vector<double> pixels(i.Planes.data(), i.Planes.data() + std::size_t{160} * 160);
        for (double& v : pixels) v += 200 + noise(rng);
        auto prepared = PrepareFrame({pixels, 160, 160});
        EXPECT_TRUE(prepared.ok());
        return prepared.ok() ? prepared.take() : PreparedFrame{};
    };
    intra = prepare(*pair.intra);
    extra = prepare(*pair.extra);
    MakeGrid(40, 0, 22, EdgeSine(g.Focal, g.ApertureRadius), work.grid, false);
    m = TransportFor(g.Focal, g.ApertureRadius, g.Defocus);
}

// The mean and difference images of a pass are, at every point, both frames sampled alone along its
// rays for the wavefront the pass started from, times the Jacobian and the flux scale: the points
// compensated in blocks on two threads land where their own evaluation puts them, to the bit.
TEST(CompensationLoop, ImagesAreEachPointsOwnCompensation)
{
    const LoopCase c;
    ZernikeCoefficients start{};
    start[4] = 20;
    start[7] = -10;
    SetThreadCount(2);
    const LoopOutcome loop = RunLoop(c.grid, c.intra, c.extra, c.m, start, 0, 1);
    SetThreadCount(0);
    const Grid& g = c.grid;
    ASSERT_EQ(loop.s.size(), static_cast<std::size_t>(g.n));
    Derivatives w;
    Synthesize(g, start, w);
    const double meanFlux = 0.5 * (c.intra.setup.flux + c.extra.setup.flux);
    int lit = 0;
    for (int p = 0; p < g.n; ++p) {
        double i[2];
        for (int side = 0; side < 2; ++side) {
            const PreparedFrame& f = side == 0 ? c.intra : c.extra;
            const double a = side == 0 ? c.m.intra : c.m.extra;
            double X = 0, Y = 0;
            RayPoint(g, p, a, w.wx[p], w.wy[p], X, Y);
            const double value = f.spline.Sample(f.setup.cx + X * g.rho, f.setup.cy - Y * g.rho);
            i[side] = value * RayJacobian(g, p, a, w.wxx[p], w.wyy[p], w.wxy[p]) * (meanFlux / f.setup.flux);
        }
        ASSERT_EQ(loop.s[p], 0.5 * (i[0] + i[1])) << p;
        ASSERT_EQ(loop.d[p], i[0] - i[1]) << p;
        lit += loop.s[p] > 0;
    }
    EXPECT_GT(lit, g.n / 2);  // the images hold the donut, not an empty window
}

// The fold guard's figure is the least Jacobian of both mappings over the lit points for the answer
// the loop kept, whatever the number of threads.
TEST(CompensationLoop, MinJacobianIsTheLeastOverTheLitPoints)
{
    const LoopCase c;
    const Grid& g = c.grid;
    for (int threads : {1, 2}) {
        SetThreadCount(threads);
        const LoopOutcome loop = RunLoop(g, c.intra, c.extra, c.m, {}, 0.01, 6);
        SetThreadCount(0);
        Derivatives w;
        Synthesize(g, loop.c, w);
        double least = 1;
        for (int p = 0; p < g.n; ++p) {
            if (!g.lit[p]) continue;
            for (double a : {c.m.intra, c.m.extra})
                least = std::min(least, RayJacobian(g, p, a, w.wxx[p], w.wyy[p], w.wxy[p]));
        }
        EXPECT_EQ(loop.minJacobian, least) << threads;
        EXPECT_GT(loop.passes, 1) << threads;
        EXPECT_LT(least, 1);  // the aberrations bend the rays somewhere
    }
}

}  // namespace
}  // namespace frontlys
