// Physics of the simulated star images: where the light goes, how much of it, and which way up.
#include "simulation/wave_optics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "simulation/star_simulator.h"

namespace frontlys {
namespace {

struct Moments {
    double total = 0, cx = 0, cy = 0, r2 = 0;  // centroid in pixel-edge units (0 = frame corner)
};

Moments MomentsOf(const Planes3D<double>& f)
{
    Moments m;
    for (int r = 0; r < f.rows(); ++r) {
        for (int c = 0; c < f.cols(); ++c) {
            const double v = f(0, r, c);
            m.total += v;
            m.cx += v * (c + 0.5);
            m.cy += v * (r + 0.5);
        }
    }
    m.cx /= m.total;
    m.cy /= m.total;
    for (int r = 0; r < f.rows(); ++r) {
        for (int c = 0; c < f.cols(); ++c) {
            m.r2 += f(0, r, c) * (std::pow(c + 0.5 - m.cx, 2) + std::pow(r + 0.5 - m.cy, 2));
        }
    }
    m.r2 /= m.total;
    return m;
}

// Outer radius of a uniformly lit annulus eps..1 from its second moment: <r^2> = R^2 (1 + eps^2) / 2.
double RadiusFromMoment(const Moments& m, double eps) { return std::sqrt(2 * m.r2 / (1 + eps * eps)); }

SimulationParams SmallTelescope()
{
    SimulationParams p;
    p.diameterMm = 100;
    p.focalMm = 800;
    p.pixelUm = 9;
    p.defocusMm = 2;  // donut radius 2 * 50 / 800 mm = 125 um, 13.9 px
    p.size = 64;
    return p;
}

Aperture ClearAperture(double eps, double slopeNm = 0)
{
    Aperture a;
    a.transmission = [eps](double x, double y) {
        const double rr = x * x + y * y;
        return rr <= 1 && rr >= eps * eps ? 1.0 : 0.0;
    };
    a.opdNm = [](double, double) { return 0.0; };
    a.maxSlopeNm = slopeNm;
    return a;
}

Planes3D<double> Flux(const SimulationParams& p, const Aperture& a, FocalSide side)
{
    auto grid = ChooseFineGrid(p, a.maxSlopeNm);
    EXPECT_TRUE(grid.ok()) << grid.status().reason;
    return SimulateFlux(p, a, side, grid.value());
}

TEST(WaveOptics, LightIsConservedWithAndWithoutSeeing)
{
    auto p = SmallTelescope();
    for (double seeing : {0.0, 2.0}) {
        p.seeingArcsec = seeing;
        for (auto side : {FocalSide::Intra, FocalSide::Extra}) {
            EXPECT_NEAR(MomentsOf(Flux(p, ClearAperture(0.3), side)).total, 1.0, 1e-6) << seeing;
        }
    }
}

TEST(WaveOptics, DonutRadiusFollowsTheGeometry)
{
    auto p = SmallTelescope();
    for (double defocus : {1.0, 2.0, 3.5}) {
        p.defocusMm = defocus;
        for (double eps : {0.0, 0.35}) {
            p.obstruction = eps;
            for (auto side : {FocalSide::Intra, FocalSide::Extra}) {
                const double r = RadiusFromMoment(MomentsOf(Flux(p, ClearAperture(eps), side)), eps);
                // Diffraction spreads the edge by about lambda F / D = 4.4 um, half a pixel.
                EXPECT_NEAR(r / DonutRadiusPx(p), 1.0, 0.03) << defocus << " " << eps;
            }
        }
    }
}

TEST(WaveOptics, DonutSitsAtTheFrameCentrePlusTheOffset)
{
    auto p = SmallTelescope();
    p.size = 80;
    p.offsetXPx = 7.5;
    p.offsetYPx = -4;
    const auto m = MomentsOf(Flux(p, ClearAperture(0), FocalSide::Intra));
    EXPECT_NEAR(m.cx, 40 + 7.5, 0.2);
    EXPECT_NEAR(m.cy, 40 - 4, 0.2);
}

// Light within radius `r` (pixels) of the centroid, against the total.
double ShareWithin(const Planes3D<double>& f, double r)
{
    const auto m = MomentsOf(f);
    double in = 0;
    for (int row = 0; row < f.rows(); ++row) {
        for (int c = 0; c < f.cols(); ++c) {
            if (std::hypot(c + 0.5 - m.cx, row + 0.5 - m.cy) <= r) in += f(0, row, c);
        }
    }
    return in / m.total;
}

// An f/1.5 beam obeys the sine condition: the donut reaches l tan u_max, 6 % past the paraxial l R / F,
// and the pupil within reduced radius x lands within tan u / tan u_max of it, brighter at the centre.
TEST(WaveOptics, AFastBeamDrawsTheExactDonut)
{
    SimulationParams p;
    p.diameterMm = 200;
    p.focalMm = 300;
    p.defocusMm = 0.5;  // paraxial radius 37.0 px, exact 39.3
    p.pixelUm = 4.5;
    p.size = 128;
    const double s = 1.0 / 3, rho = DonutRadiusPx(p);
    EXPECT_NEAR(rho, 500 * std::tan(std::asin(s)) / 4.5, 1e-9);
    for (auto side : {FocalSide::Intra, FocalSide::Extra}) {
        const auto f = Flux(p, ClearAperture(0), side);
        EXPECT_GT(ShareWithin(f, rho + 1), 0.985);
        // x^2 of the light within m rho, where RayRadius(x) = m: not the paraxial m^2.
        for (double m : {0.5, 0.8}) {
            const double x2 = m * m / (1 - s * s + m * m * s * s);  // RayRadius(x) = m
            EXPECT_NEAR(ShareWithin(f, m * rho), x2, 0.006) << m;
        }
    }
}

TEST(WaveOptics, LargeDefocusIsNotAliased)
{
    // An aliased defocus phase folds light back into the field far from the donut; what lies just
    // outside the edge is the Fresnel fringe, a few per mille.
    auto p = SmallTelescope();
    p.defocusMm = 8;  // 55 px radius
    p.size = 200;
    for (auto side : {FocalSide::Intra, FocalSide::Extra}) {
        const auto f = Flux(p, ClearAperture(0), side);
        EXPECT_GT(ShareWithin(f, 1.08 * DonutRadiusPx(p)), 0.985);
        EXPECT_GT(ShareWithin(f, 1.5 * DonutRadiusPx(p)), 0.998);
    }
}

// Light in each quadrant around the frame centre: [0] upper right, [1] upper left, [2] lower left,
// [3] lower right, as displayed (rows go down).
std::array<double, 4> Quadrants(const Planes3D<double>& f)
{
    const double centre = f.cols() / 2.0;
    std::array<double, 4> q{};
    for (int r = 0; r < f.rows(); ++r) {
        for (int c = 0; c < f.cols(); ++c) {
            const bool right = c + 0.5 > centre, up = r + 0.5 < centre;
            q[up ? (right ? 0 : 1) : (right ? 3 : 2)] += f(0, r, c);
        }
    }
    return q;
}

TEST(WaveOptics, IntraShowsThePupilUprightAndExtraTurned)
{
    auto p = SmallTelescope();
    auto a = ClearAperture(0);
    a.transmission = [](double x, double y) { return x * x + y * y <= 1 && !(x > 0 && y > 0) ? 1.0 : 0.0; };
    const auto intra = Quadrants(Flux(p, a, FocalSide::Intra));
    const auto extra = Quadrants(Flux(p, a, FocalSide::Extra));
    // Upper right of the pupil (x > 0, y up) is dark: intra dark upper right, extra dark lower left.
    EXPECT_LT(intra[0], 0.05);
    EXPECT_GT(intra[2], 0.3);
    EXPECT_LT(extra[2], 0.05);
    EXPECT_GT(extra[0], 0.3);
}

TEST(WaveOptics, PositiveTiltSendsBothDonutsTowardsMinusX)
{
    // OPD = c x, ahead on the +x side: rays leave along -grad, so both images move left by z c / R.
    auto p = SmallTelescope();
    auto a = ClearAperture(0, 2000);
    const double c = 2000;
    a.opdNm = [c](double x, double) { return c * x; };
    const double radiusNm = p.diameterMm * 5e5;
    for (auto side : {FocalSide::Intra, FocalSide::Extra}) {
        const double z = (p.focalMm + (side == FocalSide::Intra ? -1 : 1) * p.defocusMm) * 1e6;
        const auto m = MomentsOf(Flux(p, a, side));
        EXPECT_NEAR(m.cx - 32, -z * c / radiusNm / 9000, 0.1);
        EXPECT_NEAR(m.cy, 32, 0.1);
    }
}

// Radius of the disc of the same area as the pixels at or above a share of the plateau level. A
// diffracted edge passes through a quarter of the plateau at the geometric shadow.
double LevelRadius(const Planes3D<double>& f, double share)
{
    const auto plane = f.Plane(0);
    const double peak = *std::max_element(plane.begin(), plane.end());
    std::vector<double> lit;
    for (double v : plane) {
        if (v > 0.1 * peak) lit.push_back(v);
    }
    std::nth_element(lit.begin(), lit.begin() + lit.size() / 2, lit.end());
    const double level = share * lit[lit.size() / 2];
    double area = 0;
    for (double v : plane) area += v >= level ? 1 : 0;
    return std::sqrt(area / std::numbers::pi);
}

TEST(WaveOptics, PositiveDefocusTermShrinksTheIntraImage)
{
    // OPD = c rho^2 ahead at the edge converges the beam more: focus moves towards the mirror, so the
    // intra-focal plane is nearer the focus and its donut is the smaller.
    auto p = SmallTelescope();
    const double c = 1500;
    auto a = ClearAperture(0, 2 * c);
    a.opdNm = [c](double x, double y) { return c * (x * x + y * y); };
    const double rIntra = LevelRadius(Flux(p, a, FocalSide::Intra), 0.25);
    const double rExtra = LevelRadius(Flux(p, a, FocalSide::Extra), 0.25);
    // Transverse shift of the edge ray: 2 c z / R (nm), about 2.7 px here.
    const double shift = 2 * c * p.focalMm * 1e6 / (p.diameterMm * 5e5) / 9000;
    EXPECT_NEAR(rIntra, DonutRadiusPx(p) - shift, 0.4);
    EXPECT_NEAR(rExtra, DonutRadiusPx(p) + shift, 0.4);
}

// Half-extent along a row or a column through the frame centre, at a quarter of the plateau.
double Extent(const Planes3D<double>& f, bool alongRows)
{
    const int n = f.cols(), mid = n / 2;
    double plateau = 0;
    for (int i = 0; i < n; ++i) plateau = std::max(plateau, alongRows ? f(0, mid, i) : f(0, i, mid));
    plateau *= 0.8;  // the fringes overshoot the plateau near the edge
    int lit = 0;
    for (int i = 0; i < n; ++i) lit += (alongRows ? f(0, mid, i) : f(0, i, mid)) >= 0.25 * plateau ? 1 : 0;
    return lit / 2.0;
}

TEST(WaveOptics, PositiveAstigmatismStretchesIntraAlongYAndExtraAlongX)
{
    // OPD = c (x^2 - y^2): rays leave along -grad, so the intra-focal image narrows in x by 2 c z / R
    // and widens in y; beyond focus the extra-focal one does the opposite.
    auto p = SmallTelescope();
    p.defocusMm = 3;
    const double c = 1000;
    auto a = ClearAperture(0, 2 * c);
    a.opdNm = [c](double x, double y) { return c * (x * x - y * y); };
    const double shift = 2 * c * p.focalMm * 1e6 / (p.diameterMm * 5e5) / 9000;  // 3.6 px
    const auto intra = Flux(p, a, FocalSide::Intra);
    const auto extra = Flux(p, a, FocalSide::Extra);
    EXPECT_NEAR(Extent(intra, true), DonutRadiusPx(p) - shift, 1.0);
    EXPECT_NEAR(Extent(intra, false), DonutRadiusPx(p) + shift, 1.0);
    EXPECT_NEAR(Extent(extra, true), DonutRadiusPx(p) + shift, 1.0);
    EXPECT_NEAR(Extent(extra, false), DonutRadiusPx(p) - shift, 1.0);
}

TEST(WaveOptics, BandAveragesItsWavelengths)
{
    auto p = SmallTelescope();
    p.bandMinNm = 500;
    p.bandMaxNm = 700;
    p.bandSamples = 4;
    EXPECT_EQ(SimulatedWavelengthsNm(p), (std::vector<double>{525, 575, 625, 675}));
    const auto m = MomentsOf(Flux(p, ClearAperture(0), FocalSide::Extra));
    EXPECT_NEAR(m.total, 1.0, 1e-6);
    EXPECT_NEAR(RadiusFromMoment(m, 0) / DonutRadiusPx(p), 1.0, 0.03);
}

TEST(WaveOptics, GridCoversTheDonutAndKeepsThePupilInside)
{
    auto p = SmallTelescope();
    auto grid = ChooseFineGrid(p, 0).value();
    const double donutNm = DonutRadiusPx(p) * 9000;
    EXPECT_GE(grid.n * grid.stepNm, 2.5 * donutNm);
    const double zIntra = (p.focalMm - p.defocusMm) * 1e6;
    EXPECT_LE(grid.stepNm, 550 * zIntra / (p.diameterMm * 1e6));
    EXPECT_DOUBLE_EQ(grid.stepNm * grid.oversample, 9000);
    p.defocusMm = 150;  // would need a grid far beyond the limit
    EXPECT_FALSE(ChooseFineGrid(p, 0).ok());
}

}  // namespace
}  // namespace frontlys
