#pragma once
// The geometry of a test as the engine sees it: focal length F, aperture radius R and defocus l,
// all in nanometres. The analysis layer fills it from its test parameters.

namespace frontlys {

struct TestGeometry {
    double Focal = 0;           // F, nm
    double ApertureRadius = 0;  // R, nm
    double Defocus = 0;         // l, nm (distance of the defocused images from focus)
};

}  // namespace frontlys
