// The defocus planner against examples worked by hand.
#include "cli/plan_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

namespace frontlys::cli {
namespace {

TEST(PlanDefocus, RadiusOrSeeingSetTheRange)
{
    // 200 mm f/6, 9 um: 9 um / tan u_max (sin u_max = 1/12) = 0.10762 mm of defocus per pixel of
    // radius (paraxial 0.108); 2" of seeing asks for 1.40 mm only.
    auto r = PlanDefocus({200, 1200, 9, 1, 2, 0});
    ASSERT_TRUE(r && r->feasible);
    EXPECT_NEAR(r->minDefocusMm, 30 * 0.107624, 1e-4);
    EXPECT_NEAR(r->maxDefocusMm, 80 * 0.107624, 1e-4);
    EXPECT_NEAR(r->recommendedDefocusMm, 36 * 0.107624, 1e-4);
    EXPECT_NEAR(r->recommendedRadiusPx, 36, 1e-9);
    // 100 mm f/10, 3.76 um, 3": a FWHM of 14.5 um needs a radius of 145 um, 2.905 mm of defocus.
    r = PlanDefocus({100, 1000, 3.76, 1, 3, 0});
    ASSERT_TRUE(r && r->feasible);
    EXPECT_NEAR(r->minDefocusMm, 2.905, 1e-3);
    EXPECT_NEAR(r->minRadiusPx, 38.68, 0.01);
}

TEST(PlanDefocus, CausticBoundFollowsTheHandComputedJacobian)
{
    // 100 nm of spherical at 8.64 mm behind a 200 mm f/6: c = F (F + l) / (l R^2) = 16.79 / mm, and
    // at the pupil edge the Hessian is sqrt(5) diag(60, 12): (1 - 0.2252)(1 - 0.0450) = 0.740.
    const PlanInput in{200, 1200, 9, 1, 0, 100};
    EXPECT_NEAR(SmallestJacobian(in, 8.64), 0.740, 2e-3);
    const auto r = PlanDefocus(in);
    ASSERT_TRUE(r && r->feasible);
    EXPECT_GT(r->minDefocusMm, r->radiusMinMm);
    EXPECT_NEAR(SmallestJacobian(in, r->minDefocusMm), 0.5, 1e-6);
}

TEST(PlanDefocus, ImpossibleSetupsAndBadInputAreSaid)
{
    // 2 um pixels at f/4 with 6" seeing: the seeing wants a radius of 116 px.
    std::ostringstream out, err;
    EXPECT_EQ(RunPlan({200, 800, 2, 1, 6, 0}, true, out, err), 0);
    EXPECT_TRUE(nlohmann::json::parse(out.str())["recommended_defocus_mm"].is_null());
    EXPECT_EQ(RunPlan({0, 800, 2, 1, 6, 0}, true, out, err), 2);
    EXPECT_FALSE(PlanDefocus({200, 800, 2, 0, 6, 0}));
}

}  // namespace
}  // namespace frontlys::cli
