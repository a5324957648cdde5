// Fast beams (f/1.5 to f/3), simulated with the exact beam geometry: given the camera's physical
// distance from focus, the analysis finds the terms as well as on the slow beams, and the image scale
// agrees with that distance. Bounds sit just above what was measured when they were set.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include "compensated_suite.h"

namespace frontlys {
namespace {

class FastBeam : public testing::TestWithParam<Bound> {};

TEST_P(FastBeam, GivesBackTheTermsAtThePhysicalDefocus)
{
    const Bound& b = GetParam();
    const CompensatedOutcome o = RunCompensatedCase(b.c, 4, 1.0);
    ASSERT_TRUE(o.plain.ok) << o.plain.failure;
    ASSERT_TRUE(o.refined.ok) << o.refined.failure;
    const PipelineCaseOutcome run = RunPipelineCase(b.c, 1.0);
    ASSERT_TRUE(run.measure.ok) << run.measure.failure;
    ASSERT_TRUE(run.scale);
    std::printf("%s: plain %.3f refined %.3f pipeline %.3f nm (worst %.3f), eps %.3f, scale %+.2f %%, %s\n",
                b.c.name.c_str(),
                o.plain.rmsErrorNm,
                o.refined.rmsErrorNm,
                run.measure.rmsErrorNm,
                run.measure.worstNm,
                o.refined.obstruction,
                100 * run.scale->mismatch,
                StopCode(o.refined.result.stop));
    EXPECT_LE(o.plain.rmsErrorNm, b.plainNm);
    EXPECT_LE(o.refined.rmsErrorNm, b.refinedNm);
    EXPECT_LE(run.measure.rmsErrorNm, b.refinedNm);
    EXPECT_EQ(o.refined.wrongSigns, 0);
    EXPECT_NEAR(o.refined.obstruction, b.c.params.obstruction, b.obstructionTolerance);
    EXPECT_FALSE(run.scale->mismatched) << run.scale->mismatch;
}

std::string Name(const testing::TestParamInfo<Bound>& info)
{
    std::string n;
    for (char ch : info.param.c.name) n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Simulated, FastBeam, testing::ValuesIn(FastBeamSuite()), Name);

}  // namespace
}  // namespace frontlys
