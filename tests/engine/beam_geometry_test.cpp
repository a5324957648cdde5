// The exact geometry of an aplanatic beam against its closed forms, and its paraxial limit.
#include "engine/beam_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/transport.h"

namespace frontlys {
namespace {

TEST(BeamGeometry, FollowsTheSineConditionFromFOneToFThirtyAndTendsToTheParaxialLimit)
{
    const double R = 100, l = 1.5;
    for (double n : {1.0, 1.23, 1.5, 2.0, 3.0, 4.0, 8.0, 30.0}) {
        const double F = 2 * R * n, u = std::asin(R / F);
        // The edge ray meets the plane at l tan u; the paraxial l R / F falls short by 1 - cos u.
        EXPECT_NEAR(DonutRadius(F, R, l), l * std::tan(u), 1e-12) << n;
        EXPECT_NEAR(DefocusForDonutRadius(F, R, DonutRadius(F, R, l)), l, 1e-12) << n;
        EXPECT_NEAR(l * R / F / DonutRadius(F, R, l), std::cos(u), 1e-12) << n;
        // The transport coefficients act on that radius: the paraxial ones times cos u.
        const TransportCoefficients t = TransportFor(F, R, l);
        EXPECT_NEAR(t.extra / (F * (F + l) / (l * R * R)), std::cos(u), 1e-12) << n;
        EXPECT_NEAR(t.difference, t.extra - t.intra, 1e-9 * t.difference) << n;
        // Every ray: radius tan u / tan u_max at sin u = x sin u_max, the slope its derivative, and
        // the gradient of the focus-shift path sends it there from a plane at distance z.
        const double z = F + l;
        for (double x : {0.0, 0.3, 0.7, 1.0}) {
            const double ux = std::asin(x * R / F);
            EXPECT_NEAR(RayRadius(x, R / F), std::tan(ux) / std::tan(u), 1e-12) << n << " " << x;
            const double dx = 1e-6, h = x * R, dh = dx * R;
            EXPECT_NEAR(
                RayRadiusSlope(x, R / F),
                (RayRadius(x + dx, R / F) - RayRadius(std::max(0.0, x - dx), R / F)) / (x > 0 ? 2 * dx : dx),
                1e-5)
                << n << " " << x;
            const double gradient =
                (DefocusPath((h + dh) * (h + dh), F, z) - DefocusPath((h - dh) * (h - dh), F, z)) / (2 * dh);
            EXPECT_NEAR(z * gradient, l * std::tan(ux), 1e-7 * l) << n << " " << x;
        }
    }
    // Figures of the paraxial error: 8.6 % at f/1.23, 3 % at f/2, 0.8 % at f/4, 0.06 % at f/30.
    const auto shortfall = [&](double n) { return 1 - l * R / (2 * R * n) / DonutRadius(2 * R * n, R, l); };
    EXPECT_NEAR(shortfall(1.23), 0.086, 0.001);
    EXPECT_NEAR(shortfall(2), 0.032, 0.001);
    EXPECT_NEAR(shortfall(4), 0.008, 0.0005);
    EXPECT_LT(shortfall(30), 0.0006);
    // A slow beam keeps the paraxial path and mapping to 1e-4.
    const double F = 30 * 2 * R, h = 0.8 * R, z = F - l;
    EXPECT_NEAR(DefocusPath(h * h, F, z) / ((1 / F - 1 / z) * h * h / 2), 1, 2e-4);
    // A row at once, out to past the clamped edge, gives each point's own path to the bit, in the
    // wide steps and the odd ones left at its end.
    std::vector<double> rows = {0, 0.1 * R * R, R * R, 4 * F * F};
    for (int i = 1; i <= 7; ++i) rows.push_back(R * R * i / 7.3);
    std::vector<double> paths(rows.size());
    DefocusPaths(rows, 2 * R, z, paths);
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(paths[i], DefocusPath(rows[i], 2 * R, z)) << i;
    EXPECT_NEAR(RayRadius(0.5, R / F), 0.5, 1e-4);
    // Past the edge the mapping goes on along its tangent, finite even at f/1.
    EXPECT_NEAR(RayRadius(1.5, 0.5), 1 + 0.5 * RayRadiusSlope(1, 0.5), 1e-12);
    EXPECT_TRUE(std::isfinite(RayRadiusSlope(3, 0.5)));
}

}  // namespace
}  // namespace frontlys
