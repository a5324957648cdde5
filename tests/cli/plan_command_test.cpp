// The defocus planner against examples worked by hand.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/plan_command.h"

namespace frontlys::cli {
namespace {

TEST(PlanDefocus, RadiusLimitsSetTheRangeOfAnF6Newtonian)
{
    // 200 mm f/6, 9 um: 1 px of radius is 0.108 mm of defocus; 2" of seeing asks for 1.40 mm only.
    const PlanInput in{200, 1200, 9, 1, 2, 0};
    const auto r = PlanDefocus(in);
    ASSERT_TRUE(r && r->feasible);
    EXPECT_NEAR(r->minDefocusMm, 3.24, 1e-9);
    EXPECT_NEAR(r->maxDefocusMm, 8.64, 1e-9);
    EXPECT_NEAR(r->seeingMinMm, 1.396, 1e-3);
    EXPECT_NEAR(r->recommendedDefocusMm, 3.888, 1e-9);
    EXPECT_NEAR(r->recommendedRadiusPx, 36, 1e-9);
}

TEST(PlanDefocus, SeeingSetsTheShortestDefocusOfASmallFastTelescope)
{
    // 100 mm f/10, 3.76 um, 3": FWHM 14.5 um needs a radius of 145 um, i.e. 2.909 mm of defocus.
    const PlanInput in{100, 1000, 3.76, 1, 3, 0};
    const auto r = PlanDefocus(in);
    ASSERT_TRUE(r && r->feasible);
    EXPECT_NEAR(r->minDefocusMm, 2.909, 1e-3);
    EXPECT_NEAR(r->minRadiusPx, 38.68, 0.01);
    EXPECT_EQ(r->minDefocusMm, r->seeingMinMm);
}

TEST(PlanDefocus, CausticBoundFollowsTheHandComputedJacobian)
{
    // 100 nm of spherical at 8.64 mm behind a 200 mm f/6: c = F (F + l) / (l R^2) = 16.79 / mm, and
    // at the pupil edge the Hessian is sqrt(5) diag(60, 12): (1 - 0.2252)(1 - 0.0450) = 0.740.
    const PlanInput in{200, 1200, 9, 1, 0, 100};
    EXPECT_NEAR(SmallestJacobian(in, 8.64), 0.740, 2e-3);
    const auto r = PlanDefocus(in);
    ASSERT_TRUE(r && r->feasible);
    EXPECT_GT(r->causticMinMm, r->radiusMinMm);  // 100 nm needs more than the 30 px radius gives
    EXPECT_NEAR(SmallestJacobian(in, r->causticMinMm), 0.5, 1e-6);
    EXPECT_NEAR(r->minDefocusMm, r->causticMinMm, 1e-12);
}

TEST(PlanDefocus, ImpossibleSetupsAndBadInputAreSaid)
{
    // 2 um pixels at f/4 with 6" seeing: the seeing wants a radius of 116 px.
    const auto r = PlanDefocus({200, 800, 2, 1, 6, 0});
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->feasible);
    std::ostringstream out, err;
    EXPECT_EQ(RunPlan({200, 800, 2, 1, 6, 0}, true, out, err), 0);
    const auto j = nlohmann::json::parse(out.str());
    EXPECT_TRUE(j["recommended_defocus_mm"].is_null());
    EXPECT_EQ(RunPlan({0, 800, 2, 1, 6, 0}, true, out, err), 2);
    EXPECT_FALSE(PlanDefocus({200, 800, 2, 0, 6, 0}));
}

}  // namespace
}  // namespace frontlys::cli
