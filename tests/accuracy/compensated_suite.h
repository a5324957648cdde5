#pragma once
// The simulated pairs of the compensated analysis's accuracy suite, with the bounds measured when
// they were set: the accuracy tests and the geometry measurements share them.

#include <initializer_list>
#include <utility>
#include <vector>

#include "compensated_cases.h"

namespace frontlys {

struct Bound {
    CompensatedCase c;
    double plainNm;    // RMS error bound without the refinement
    double refinedNm;  // with it
    double obstructionTolerance = 0.02;
};

// A 150 mm f/8 reflector on a 128-pixel frame, donut radius 17 px, as the numeric correction's suite.
inline SimulationParams Reflector(double obstruction, std::initializer_list<std::pair<int, double>> terms)
{
    SimulationParams p;
    p.diameterMm = 150;
    p.focalMm = 1200;
    p.obstruction = obstruction;
    p.defocusMm = 2.5;
    p.size = 128;
    p.photons = 2e6;
    p.seed = 11;
    for (auto [k, v] : terms) p.zernikeRmsNm[k - 1] = v;
    return p;
}

inline std::vector<Bound> CompensatedSuite()
{
    SimulationParams refractor = Reflector(0, {{11, 30}, {5, 10}});
    refractor.diameterMm = 100;
    refractor.focalMm = 900;
    SimulationParams newtonian = Reflector(0.25, {{11, -25}, {5, 10}});
    newtonian.diameterMm = 200;
    newtonian.focalMm = 1000;
    newtonian.defocusMm = 2;
    SimulationParams seeing = Reflector(0.25, {{11, 40}, {5, 15}});
    seeing.seeingArcsec = 4;
    SimulationParams dim = Reflector(0.25, {{11, 40}, {5, 15}});
    dim.photons = 1.5e5;
    dim.poisson = true;
    dim.readNoiseE = 10;
    dim.backgroundAdu = 500;
    SimulationParams offCentre = Reflector(0.25, {{11, 40}, {6, 15}, {8, 10}});
    offCentre.size = 200;
    offCentre.offsetXPx = 31;
    offCentre.offsetYPx = -22.5;
    SimulationParams caustic = Reflector(0.25, {{11, 40}, {5, 20}});
    caustic.defocusMm =
        2.2;  // rays close to crossing at the edge of the intra-focal image; 2.0 mm stops at the guard
    const auto mixture = Reflector(
        0.25, {{5, 12}, {6, -8}, {7, 6}, {8, -10}, {9, 7}, {10, 5}, {11, 25}, {12, -6}, {13, 4}, {14, 5}});
    // Four 4 mm vanes at 30 degrees across a 35 % obstruction (0.9 pixel wide on the donut).
    SimulationParams vaned = Reflector(0.35, {{11, -30}, {7, 12}, {5, 10}});
    vaned.diameterMm = 200;
    vaned.focalMm = 1000;
    vaned.defocusMm = 2;
    vaned.vaneCount = 4;
    vaned.vaneWidthMm = 4;
    vaned.vaneAngleDeg = 30;
    // A focuser travel 1.5 % longer on the extra side and 1.5 % shorter on the intra side.
    SimulationParams unequal = Reflector(0.25, {{11, 40}, {5, 15}});
    unequal.defocusAsymmetryMm = 0.015 * unequal.defocusMm;
    return {
        {{"refractor", refractor}, 1.1, 0.67},
        // Without the vanes in the refinement's renders: 0.168 nm refined, obstruction 0.356.
        {{"vaned 0.35", vaned}, 0.95, 0.13},
        {{"unequal distances", unequal}, 1.9, 0.28},
        {{"newtonian 200 f/5", newtonian}, 0.61, 0.13},
        // The 35 % obstruction of a 17-pixel donut comes out 0.045 high even after the refinement.
        {{"cassegrain 0.35", Reflector(0.35, {{11, -30}, {7, 12}})}, 2.0, 0.8, 0.05},
        {{"astigmatism 0", Reflector(0.25, {{5, 25}})}, 0.05, 0.06},
        {{"astigmatism 45", Reflector(0.25, {{6, -25}})}, 0.06, 0.06},
        {{"coma x", Reflector(0.25, {{7, 20}})}, 0.27, 0.17},
        {{"coma y", Reflector(0.25, {{8, -20}})}, 0.26, 0.16},
        {{"trefoil cos", Reflector(0.25, {{9, 20}})}, 0.14, 0.11},
        {{"trefoil sin", Reflector(0.25, {{10, -20}})}, 0.14, 0.11},
        {{"spherical positive", Reflector(0.25, {{11, 40}})}, 2.06, 0.27},
        {{"spherical negative", Reflector(0.25, {{11, -40}})}, 2.04, 0.27},
        {{"ten terms", mixture}, 1.31, 0.39},
        {{"seeing 4 arcsec", seeing}, 2.4, 0.13},
        {{"low light over bias", dim, 0, 0, false}, 2.55, 1.75},
        {{"off-centre 200 x 150", offCentre, 200, 150}, 1.91, 0.36},
        // The refinement's renders of this pair stop at the caustic guard in most rounds and its
        // residuals oscillate: the round kept gives 0.2 or 1.7 nm (obstruction 0.26 or 0.20), and a
        // 0.2 % change of the beam geometry (paraxial to exact at f/8) moved it from the first to the
        // second.
        {{"near caustic", caustic}, 2.37, 1.75, 0.06},
    };
}

// A 200 mm astrograph at f/N, defocused by `defocusMm` (its physical distance from focus), on a
// 128-pixel frame of 9 um pixels: a donut of about 19 pixels, as the reflector's.
inline SimulationParams FastBeam(double fRatio,
                                 double defocusMm,
                                 double obstruction,
                                 std::initializer_list<std::pair<int, double>> terms)
{
    SimulationParams p = Reflector(obstruction, terms);
    p.diameterMm = 200;
    p.focalMm = 200 * fRatio;
    p.defocusMm = defocusMm;
    return p;
}

// Fast beams, simulated with their exact geometry and analysed given the physical defocus.
inline std::vector<Bound> FastBeamSuite()
{
    const auto open = [](double n, double l) { return FastBeam(n, l, 0, {{11, 30}, {5, 10}, {8, -8}}); };
    const auto obstructed = [](double n, double l) {
        return FastBeam(n, l, 0.35, {{11, -25}, {6, 12}, {7, 8}});
    };
    // With the paraxial geometry (before the exact one) the refined errors were 1.18, 0.48, 0.19,
    // 0.74, 0.25 and 0.11 nm, and the image scale disagreed with the true defocus by 1 to 4.5 %.
    return {
        {{"f/1.5", open(1.5, 0.5)}, 0.25, 0.17, 0.01},
        {{"f/2", open(2, 0.7)}, 0.34, 0.11, 0.01},
        {{"f/3", open(3, 1.0)}, 0.5, 0.09, 0.01},
        {{"f/1.5 obstructed 0.35", obstructed(1.5, 0.5)}, 0.21, 0.15, 0.01},
        {{"f/2 obstructed 0.35", obstructed(2, 0.7)}, 0.28, 0.12, 0.01},
        {{"f/3 obstructed 0.35", obstructed(3, 1.0)}, 0.43, 0.12, 0.01},
    };
}

}  // namespace frontlys
