#include "engine/correction_loop.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/thread_pool.h"
#include "engine/curvature_model.h"
#include "engine/curvature_signal.h"

namespace frontlys {
namespace {

struct LoopImages {
    ImageSlot intra, extra, residual, total, signal;
};

LoopImages ModelLoopImages(double obstruction)
{
    testing::KnownWavefront w;
    w.coefficients[4] = 25;   // astigmatism
    w.coefficients[6] = -20;  // coma
    w.coefficients[10] = 15;  // spherical
    testing::ModelPupil pupil;
    pupil.size = 64;
    pupil.radiusPx = 24;
    pupil.supersample = 3;
    pupil.obstruction = obstruction;
    auto pair = testing::MakeModelPair(w, pupil, testing::ModelGeometry());
    LoopImages images{
        std::move(pair.intra), std::move(pair.extra), NewImage(64, 64), NewImage(64, 64), NewImage(64, 64)};
    EXPECT_TRUE(ComputeSignal(*images.intra, *images.extra, *images.signal).ok());
    return images;
}

TEST(CorrectionLoop, ThreePassesConvergeOnAConsistentPair)
{
    LoopImages im = ModelLoopImages(0);
    auto result = CorrectionLoop(
        testing::ModelGeometry(), *im.intra, *im.extra, *im.residual, *im.total, *im.signal, 3);
    ASSERT_TRUE(result.ok()) << result.status().reason;
    const auto& rms = result.value().residualRms;
    ASSERT_EQ(rms.size(), 3u);
    EXPECT_LT(rms[1], rms[0]);
    EXPECT_LT(rms[2], rms[1]);
    EXPECT_LT(rms[2], 0.5 * rms[0]);
    EXPECT_EQ(im.total->Kind, static_cast<std::uint8_t>(ImageKind::Wavefront));
}

TEST(CorrectionLoop, OnePassLeavesTheImagesAndTotalEqualsResidual)
{
    LoopImages im = ModelLoopImages(0);
    const TImageRec intra0 = *im.intra;
    // One pass corrects the images once; the total is that pass's wavefront.
    auto one = CorrectionLoop(
        testing::ModelGeometry(), *im.intra, *im.extra, *im.residual, *im.total, *im.signal, 1);
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(im.total->Planes, im.residual->Planes);
    EXPECT_NE(im.intra->Planes, intra0.Planes);
}

// The summed wavefront keeps the obstruction, so that after several passes an annular pupil is still
// fitted with annular polynomials.
TEST(CorrectionLoop, TotalTakesTheObstructionOfTheLastPass)
{
    LoopImages im = ModelLoopImages(0.3);
    auto result = CorrectionLoop(
        testing::ModelGeometry(), *im.intra, *im.extra, *im.residual, *im.total, *im.signal, 2);
    ASSERT_TRUE(result.ok());
    EXPECT_GT(im.residual->Obstruction, 0.2);
    EXPECT_DOUBLE_EQ(im.total->Obstruction, im.residual->Obstruction);
    EXPECT_DOUBLE_EQ(im.total->Radius, im.residual->Radius);
}

// The transport runs its rows on the pool: the same images and wavefront on any number of threads.
TEST(CorrectionLoop, GivesTheSameBitsOnAnyNumberOfThreads)
{
    SetThreadCount(1);
    LoopImages one = ModelLoopImages(0.3);
    ASSERT_TRUE(
        CorrectionLoop(
            testing::ModelGeometry(), *one.intra, *one.extra, *one.residual, *one.total, *one.signal, 3)
            .ok());
    SetThreadCount(3);
    LoopImages many = ModelLoopImages(0.3);
    ASSERT_TRUE(
        CorrectionLoop(
            testing::ModelGeometry(), *many.intra, *many.extra, *many.residual, *many.total, *many.signal, 3)
            .ok());
    SetThreadCount(0);
    EXPECT_EQ(many.total->Planes, one.total->Planes);
    EXPECT_EQ(many.intra->Planes, one.intra->Planes);
    EXPECT_EQ(many.extra->Planes, one.extra->Planes);
}

TEST(CorrectionLoop, RefusalChangesNothing)
{
    LoopImages im = ModelLoopImages(0);
    const TImageRec total0 = *im.total;
    EXPECT_FALSE(
        CorrectionLoop({1e9, 1e8, 0}, *im.intra, *im.extra, *im.residual, *im.total, *im.signal, 3).ok());
    EXPECT_FALSE(
        CorrectionLoop(testing::ModelGeometry(), *im.intra, *im.extra, *im.residual, *im.total, *im.signal, 0)
            .ok());
    im.signal->Planes(0, 32, 32) = std::nan("");
    im.intra->Planes(0, 32, 32) = std::nan("");  // the first pass's signal is not finite in the pupil
    const TImageRec poisoned = *im.intra;
    EXPECT_FALSE(
        CorrectionLoop(testing::ModelGeometry(), *im.intra, *im.extra, *im.residual, *im.total, *im.signal, 3)
            .ok());
    EXPECT_EQ(im.total->Planes, total0.Planes);
    EXPECT_TRUE(std::isnan(im.intra->Planes(0, 32, 32)));
    EXPECT_EQ(im.intra->Mask, poisoned.Mask);
}

}  // namespace
}  // namespace frontlys
