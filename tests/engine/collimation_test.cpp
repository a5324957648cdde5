#include "engine/collimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace frontlys {
namespace {

constexpr double kArcmin = std::numbers::pi / (180 * 60);

DesignOptics Newtonian() { return {TelescopeDesign::Newtonian, 200, 1200, 0.25, 0, 0, 1}; }

DesignOptics Sct() { return {TelescopeDesign::Sct, 203, 2032, 0.34, 5, 130, 1}; }

// The projection of rho^3 cos phi on the fitted coma: 1 / (3 sqrt 8) for a clear pupil, and the closed
// form of the annular coma (1 - e^2) sqrt((1 + e^2)(1 + 4 e^2 + e^4)) / (3 (1 + e^2) sqrt 8).
TEST(Collimation, ComaProjectionFollowsTheAnnularClosedForm)
{
    for (double e : {0.0, 0.2, 0.35, 0.5}) {
        const double e2 = e * e;
        const double exact =
            (1 - e2) * std::sqrt((1 + e2) * (1 + 4 * e2 + e2 * e2)) / (3 * (1 + e2) * std::sqrt(8.0));
        EXPECT_NEAR(ComaRmsPerW131(e), exact, 1e-4 * exact) << "obstruction " << e;
    }
}

// A 200 mm f/6 paraboloid one arc minute off axis: W131 = theta D / (32 N^2) = 50.5 nm; the offset
// at the focus is theta F.
TEST(Collimation, FieldAngleOfAParaboloidComesBackWithItsDirection)
{
    const DesignOptics o = Newtonian();
    EXPECT_NEAR(FieldComaPerRadianNm(o) * kArcmin, 50.5, 0.1);
    for (double pa : {0.0, 35.0, 160.0, 290.0}) {
        const auto coma = ComaForFieldAngle(2 * kArcmin, pa, o);
        const Collimation c = CollimationFromComa(coma[0], coma[1], o);
        ASSERT_TRUE(c.valid);
        EXPECT_NEAR(c.fieldAngleRad / kArcmin, 2, 1e-9);
        EXPECT_NEAR(c.positionAngleDeg, pa, 1e-9);
        EXPECT_NEAR(c.offsetUm, 2 * kArcmin * 1200e3, 1e-6);
        EXPECT_TRUE(std::isnan(c.secondaryTiltRad));  // no secondary to tilt
    }
}

// The secondary's tilt coma grows with the magnification; for the 203 mm f/10 of magnification 5 a
// tilt of one arc minute gives W131 = alpha (m^2 - 1) a^3 s / (4 m^2 f1^3) = 97.2 nm.
TEST(Collimation, SecondaryTiltOfACassegrainFromItsMagnification)
{
    const DesignOptics o = Sct();
    EXPECT_NEAR(SecondaryComaPerRadianNm(o) * kArcmin, 97.2, 0.1);
    const auto coma = ComaForSecondaryTilt(1.5 * kArcmin, 200, o);
    const Collimation c = CollimationFromComa(coma[0], coma[1], o);
    EXPECT_NEAR(c.secondaryTiltRad / kArcmin, 1.5, 1e-9);
    EXPECT_NEAR(c.positionAngleDeg, 200, 1e-9);
    DesignOptics higher = o;
    higher.magnification = 6;
    EXPECT_GT(SecondaryComaPerRadianNm(higher), SecondaryComaPerRadianNm(o));
}

TEST(Collimation, WithoutOpticsOrFieldComaNoAngleIsInvented)
{
    EXPECT_FALSE(CollimationFromComa(10, 0, DesignOptics{}).valid);
    EXPECT_FALSE(CollimationFromComa(std::nan(""), 0, Newtonian()).valid);
    DesignOptics aplanat{TelescopeDesign::Refractor, 100, 800, 0, 0, 0, 0};
    const Collimation c = CollimationFromComa(10, 0, aplanat);
    EXPECT_TRUE(c.valid);
    EXPECT_TRUE(std::isnan(c.fieldAngleRad));
    EXPECT_GT(c.w131Nm, 0);
}

}  // namespace
}  // namespace frontlys
