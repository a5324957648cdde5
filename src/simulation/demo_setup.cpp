#include "simulation/demo_setup.h"

#include <cmath>
#include <numbers>

namespace frontlys {

SimulationParams DemoParams()
{
    SimulationParams p;
    p.diameterMm = 200;
    p.focalMm = 1200;
    p.obstruction = 0.25;
    p.pixelUm = 9;
    p.defocusMm = 4;  // donut radius 37 px
    p.size = 256;
    p.zernikeRmsNm[10] = 40;  // spherical
    // An axis at angle a: cos(2a) on the cosine term and sin(2a) on the sine term.
    const double twice = 2 * kDemoAstigAngleDeg * std::numbers::pi / 180;
    p.zernikeRmsNm[4] = 15 * std::cos(twice);
    p.zernikeRmsNm[5] = 15 * std::sin(twice);
    p.zernikeRmsNm[6] = 10;  // coma along x
    p.bandMinNm = 500;
    p.bandMaxNm = 600;
    p.seeingArcsec = 1.5;
    p.photons = 3e6;
    p.poisson = true;
    p.readNoiseE = 8;
    p.seed = 2026;
    return p;
}

}  // namespace frontlys
