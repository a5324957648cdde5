#include "engine/compensated/refine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/thread_pool.h"
#include "engine/compensated/misfit.h"
#include "engine/curvature_model.h"

namespace frontlys {
namespace {

std::vector<double> Pixels(const TImageRec& image)
{
    return {image.Planes.data(), image.Planes.data() + static_cast<std::size_t>(image.Width) * image.Height};
}

struct Answer {
    CompensatedResult first;
    RefineOutcome refined;
    ImageMisfit misfit;
};

// The analysis, its refinement and the misfit of the refined answer, on the shared pool.
Answer AnalyseOnPool(const std::vector<double>& intra,
                     const std::vector<double>& extra,
                     int side,
                     const CompensatedOptions& o)
{
    Answer a;
    auto first = CompensatedAnalysis({intra, side, side}, {extra, side, side}, o);
    EXPECT_TRUE(first.ok());
    a.first = first.value();
    RefineOptions ro;
    ro.rounds = 2;
    ModelRenderCache cache;
    auto refined = RefineCompensated({intra, side, side}, {extra, side, side}, o, a.first, ro, &cache);
    EXPECT_TRUE(refined.ok());
    a.refined = refined.value();
    const CompensatedResult& r = a.refined.result;
    auto misfit = MeasureImageMisfit({intra, side, side},
                                     {extra, side, side},
                                     a.first,
                                     o,
                                     {r.coef, r.obstruction, r.defocusNm},
                                     555,
                                     &cache);
    EXPECT_TRUE(misfit.ok());
    a.misfit = misfit.value();
    return a;
}

// The loops run on the pool with their sums in a fixed order: every number, to the last bit, is the
// same whatever the number of threads.
TEST(RefineCompensated, GivesTheSameBitsOnAnyNumberOfThreads)
{
    testing::KnownWavefront w;
    w.coefficients[4] = 30;
    w.coefficients[7] = -20;
    w.coefficients[10] = 40;
    testing::ModelPupil pupil;
    pupil.size = 96;
    pupil.radiusPx = 24;
    pupil.obstruction = 0.3;
    pupil.blurPx = 0.8;
    const auto pair = testing::MakeModelPair(w, pupil, testing::ModelGeometry());
    const TestGeometry g = testing::ModelGeometry();
    CompensatedOptions o;
    o.focalNm = g.Focal;
    o.apertureRadiusNm = g.ApertureRadius;
    o.pixelNm = g.Defocus * g.ApertureRadius / (g.Focal * pupil.radiusPx);
    const std::vector<double> intra = Pixels(*pair.intra), extra = Pixels(*pair.extra);

    SetThreadCount(1);
    const Answer one = AnalyseOnPool(intra, extra, pupil.size, o);
    for (int threads : {2, 3}) {
        SetThreadCount(threads);
        const Answer many = AnalyseOnPool(intra, extra, pupil.size, o);
        EXPECT_EQ(many.first.coef, one.first.coef) << threads;
        EXPECT_EQ(many.first.meanImage, one.first.meanImage) << threads;
        EXPECT_EQ(many.first.obstruction, one.first.obstruction) << threads;
        EXPECT_EQ(many.refined.result.coef, one.refined.result.coef) << threads;
        EXPECT_EQ(many.refined.result.defocusNm, one.refined.result.defocusNm) << threads;
        EXPECT_EQ(many.refined.blurPx, one.refined.blurPx) << threads;
        EXPECT_EQ(many.misfit.chi2PerPixel, one.misfit.chi2PerPixel) << threads;
        EXPECT_EQ(many.misfit.blurPx, one.misfit.blurPx) << threads;
    }
    SetThreadCount(0);
    EXPECT_EQ(one.refined.rounds, 2);
    EXPECT_GT(one.misfit.pixels, 0);
}

// The analysis through a render cache prepares the frames once for the refinement that follows: the
// same bits as preparing them again, and a cache that meets another pair prepares that pair's own,
// even in the same buffers.
TEST(RefineCompensated, CacheReusesOnlyItsOwnPairsFrames)
{
    const TestGeometry g = testing::ModelGeometry();
    testing::ModelPupil pupil;
    pupil.size = 96;
    pupil.radiusPx = 24;
    pupil.obstruction = 0.3;
    pupil.blurPx = 0.8;
    CompensatedOptions o;
    o.focalNm = g.Focal;
    o.apertureRadiusNm = g.ApertureRadius;
    o.pixelNm = g.Defocus * g.ApertureRadius / (g.Focal * pupil.radiusPx);
    RefineOptions ro;
    ro.rounds = 1;
    ModelRenderCache shared;
    std::vector<double> intra(static_cast<std::size_t>(pupil.size) * pupil.size), extra(intra.size());
    for (double coma : {30.0, -45.0}) {
        testing::KnownWavefront w;
        w.coefficients[7] = coma;
        const auto pair = testing::MakeModelPair(w, pupil, g);
        const std::vector<double> intraPixels = Pixels(*pair.intra), extraPixels = Pixels(*pair.extra);
        ASSERT_EQ(intraPixels.size(), intra.size());
        std::copy(intraPixels.begin(), intraPixels.end(), intra.begin());
        std::copy(extraPixels.begin(), extraPixels.end(), extra.begin());
        const RawFrame a{intra, pupil.size, pupil.size}, b{extra, pupil.size, pupil.size};
        auto alone = CompensatedAnalysis(a, b, o);
        auto cached = CompensatedAnalysis(a, b, o, shared);
        ASSERT_TRUE(alone.ok() && cached.ok());
        EXPECT_EQ(cached.value().coef, alone.value().coef) << coma;
        EXPECT_EQ(cached.value().frames[0].cx, alone.value().frames[0].cx) << coma;
        auto refinedAlone = RefineCompensated(a, b, o, alone.value(), ro);
        auto refinedCached = RefineCompensated(a, b, o, cached.value(), ro, &shared);
        ASSERT_TRUE(refinedAlone.ok() && refinedCached.ok());
        EXPECT_EQ(refinedCached.value().result.coef, refinedAlone.value().result.coef) << coma;
        EXPECT_EQ(refinedCached.value().blurPx, refinedAlone.value().blurPx) << coma;
    }
}

// The blur's buffers stay in the cache from one refinement to the next: a cache that refined a
// pair of another size, whose renders and blurs took other padding sizes, refines as a fresh one.
TEST(RefineCompensated, CacheOfAnotherSizeRefinesAsAFreshOne)
{
    const TestGeometry g = testing::ModelGeometry();
    RefineOptions ro;
    ro.rounds = 2;
    ModelRenderCache shared;
    for (int radius : {18, 26, 18}) {
        testing::ModelPupil pupil;
        pupil.radiusPx = radius;
        pupil.size = 4 * radius;
        pupil.obstruction = 0.3;
        pupil.blurPx = radius == 18 ? 0.6 : 1.2;
        testing::KnownWavefront w;
        w.coefficients[7] = 25;
        w.coefficients[10] = -30;
        const auto pair = testing::MakeModelPair(w, pupil, g);
        const std::vector<double> intra = Pixels(*pair.intra), extra = Pixels(*pair.extra);
        const RawFrame a{intra, pupil.size, pupil.size}, b{extra, pupil.size, pupil.size};
        CompensatedOptions o;
        o.focalNm = g.Focal;
        o.apertureRadiusNm = g.ApertureRadius;
        o.pixelNm = g.Defocus * g.ApertureRadius / (g.Focal * radius);
        auto first = CompensatedAnalysis(a, b, o);
        ASSERT_TRUE(first.ok()) << radius;
        auto alone = RefineCompensated(a, b, o, first.value(), ro);
        auto cached = RefineCompensated(a, b, o, first.value(), ro, &shared);
        ASSERT_TRUE(alone.ok() && cached.ok()) << radius;
        EXPECT_EQ(alone.value().rounds, 2) << radius;
        EXPECT_EQ(cached.value().result.coef, alone.value().result.coef) << radius;
        EXPECT_EQ(cached.value().blurPx, alone.value().blurPx) << radius;
        EXPECT_EQ(cached.value().residualNm, alone.value().residualNm) << radius;
    }
}

TEST(KeptRefinementRound, SettlingOscillatingAndRunawayRounds)
{
    // Shrinking rounds: the estimate after the last update.
    EXPECT_EQ(KeptRefinementRound({1.87, 0.54, 0.21, 0.13}), 4u);
    // A small rise within the tolerance still counts as holding.
    EXPECT_EQ(KeptRefinementRound({1.0, 0.3, 0.32, 0.31}), 4u);
    // Oscillating rounds that reached well below the first discrepancy: the most self-consistent.
    EXPECT_EQ(KeptRefinementRound({2.0, 2.6, 0.3, 0.8}), 2u);
    // Oscillating rounds that never halved it (a faint pair seen in the error-bar benchmark, whose
    // round 2 answer was 6 nm off where the unrefined one was 2.7): the unrefined answer.
    EXPECT_EQ(KeptRefinementRound({4.03, 5.09, 3.28, 5.12}), 0u);
}

// Second moment of a rendered frame about its light centroid, pixels^2.
double SpreadPx2(const ModelFrame& f)
{
    double s = 0, sx = 0, sy = 0, sr = 0;
    for (int j = 0; j < f.side; ++j)
        for (int i = 0; i < f.side; ++i) {
            const double v = f.pixels[static_cast<std::size_t>(j) * f.side + i];
            s += v;
            sx += v * i;
            sy += v * j;
            sr += v * (double(i) * i + double(j) * j);
        }
    return sr / s - (sx * sx + sy * sy) / (s * s);
}

// The defocus term and an unequal focuser travel shape the images alike: an estimate rendered with
// its defocus term, and the same estimate with the term moved into the two distances, give donuts
// of the same size on each side; a positive term puts the extra-focal plane farther. The two forms
// convert into each other without loss.
TEST(ModelEstimate, DefocusTermAndUnequalDistancesRenderTheSameDonuts)
{
    CompensatedOptions o;
    o.focalNm = 1000e6;
    o.apertureRadiusNm = 100e6;
    o.pixelNm = 9000;
    ModelEstimate term{{}, 0.3, 2e6};
    term.coef[3] = 40;
    term.coef[10] = -20;
    const ModelEstimate sides = DistancesForDefocusTerm(o, term);
    EXPECT_EQ(sides.coef[3], 0);
    EXPECT_GT(sides.asymmetryNm, 0);
    EXPECT_GT(SideDefocusNm(sides, true), SideDefocusNm(sides, false));
    const ModelEstimate back = DefocusTermForDistances(o, sides);
    EXPECT_NEAR(back.coef[3], 40, 1e-9);
    EXPECT_EQ(back.asymmetryNm, 0);
    for (bool extra : {false, true}) {
        auto a = RenderModelFrame(o, term, 555, extra, 0.5);
        auto b = RenderModelFrame(o, sides, 555, extra, 0.5);
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_NEAR(SpreadPx2(b.value()) / SpreadPx2(a.value()), 1, 2e-4) << extra;
    }
    // The same distances without the term: a donut of another size.
    ModelEstimate symmetric = sides;
    symmetric.asymmetryNm = 0;
    auto c = RenderModelFrame(o, symmetric, 555, true, 0.5);
    auto d = RenderModelFrame(o, sides, 555, true, 0.5);
    EXPECT_LT(SpreadPx2(c.value()) / SpreadPx2(d.value()), 0.99);
}

// A cache kept across renders of different estimates renders each as a fresh one would, to the bit:
// what it keeps from one estimate (buffers, plans, the window's slope) never leaks into the next.
TEST(ModelRenderCache, RendersWhatAFreshCacheRenders)
{
    CompensatedOptions o;
    o.focalNm = 1200e6;
    o.apertureRadiusNm = 100e6;
    o.pixelNm = 9000;
    ModelEstimate calm{{}, 0.25, 3e6};
    calm.coef[10] = 10;
    ModelEstimate steep = calm;
    steep.coef[6] = 900;  // strong coma: a wider window
    ModelRenderCache cache;
    int sides[2] = {0, 0};
    for (const ModelEstimate* e : {&calm, &steep, &calm}) {
        for (bool extra : {false, true}) {
            auto kept = RenderModelFrame(o, *e, 555, extra, 0.7, &cache);
            auto fresh = RenderModelFrame(o, *e, 555, extra, 0.7);
            ASSERT_TRUE(kept.ok() && fresh.ok());
            EXPECT_EQ(kept.value().side, fresh.value().side);
            EXPECT_TRUE(kept.value().pixels == fresh.value().pixels) << extra;
            if (!extra) sides[e == &steep] = fresh.value().side;
        }
    }
    EXPECT_GT(sides[1], sides[0]);  // the two estimates do need different windows
}

}  // namespace
}  // namespace frontlys
