#pragma once
// What the star-image simulator is asked to simulate: the telescope, the camera, the defocus of the
// two image planes, the aberration, the light and the noise.
//
// Units are those the user types: millimetres for the optics and the defocus, micrometres for the
// pixel, nanometres RMS for the aberration terms, arc seconds for the seeing (Gaussian FWHM). The
// aberration is an optical path difference over the pupil, in the term order of the Zernike engine
// (index k - 1 holds term k). Its sign: a positive value means the wavefront is ahead of the
// reference sphere, towards the image; so a positive spherical term is an under-corrected mirror
// (marginal rays focus short of the paraxial focus, nearer the mirror).
// Pupil coordinates are those of the intra-focal image as the program shows it: x to the right,
// y up. The offset moves the donut in the frame: x along the columns, y down the rows.

#include <array>
#include <cstdint>
#include <vector>

#include "core/status.h"

namespace frontlys {

constexpr int kSimTerms = 28;
using ZernikeTerms = std::array<double, kSimTerms>;

struct SimulationParams {
    double diameterMm = 200;
    double focalMm = 1200;
    double obstruction = 0;  // diameter of the central obstruction / aperture diameter
    double pixelUm = 9;      // unbinned camera pixel
    int binning = 1;         // camera binning; the frame is in binned pixels
    double defocusMm = 3;    // distance of each image plane from the focus
    // Real focusers are not symmetric: the extra-focal plane at defocus + asymmetry, the intra-focal
    // one at defocus - asymmetry (mm).
    double defocusAsymmetryMm = 0;
    // Spider vanes across the pupil (none by default): count, full width (mm), direction of the first
    // one (degrees from +x towards +y, the pupil as the intra-focal image shows it).
    int vaneCount = 0;
    double vaneWidthMm = 0;
    double vaneAngleDeg = 0;
    // With an even count, every other vane (a cross's second bar) at a width of its own (0: the same)
    // and turned from its even place (degrees).
    double vaneOtherWidthMm = 0;
    double vaneOtherTurnDeg = 0;
    int size = 256;        // frame side in (binned) pixels
    double offsetXPx = 0;  // donut centre from the frame centre, columns
    double offsetYPx = 0;  // rows (down)
    // A second star of the same telescope, for the checks on real fields: its light over the main
    // star's (0: none) and its centre from the frame centre, like the offset.
    double companionFlux = 0;
    double companionXPx = 0;
    double companionYPx = 0;
    double clipAdu = 0;  // level at which the camera clips, below its 16-bit top (0: the top)
    ZernikeTerms zernikeRmsNm{};
    double lambdaNm = 550;
    double bandMinNm = 0;  // a band when bandMaxNm > bandMinNm; it replaces lambdaNm
    double bandMaxNm = 0;
    int bandSamples = 5;
    double seeingArcsec = 0;
    double photons = 1e7;  // photo-electrons in each image
    bool poisson = false;  // shot noise on the photo-electrons
    double readNoiseE = 0;
    double backgroundAdu = 0;  // level added to every pixel (bias, sky), without shot noise
    double gainEPerAdu = 1;
    std::uint64_t seed = 1;
};

// Refuses values the physics or the camera cannot take, naming the option.
Status ValidateSimulationParams(const SimulationParams& params);

// The wavelengths simulated, in nm: lambdaNm alone, or bandSamples values spread evenly over the band
// (each at the centre of its slice).
std::vector<double> SimulatedWavelengthsNm(const SimulationParams& params);

// Geometric radius of the defocused pupil image, l tan u_max (l R / F for a slow beam), in (binned)
// camera pixels.
double DonutRadiusPx(const SimulationParams& params);
double BinnedPixelNm(const SimulationParams& params);
// Distance of one image plane from the focus, mm (the asymmetry included).
double SideDefocusMm(const SimulationParams& params, bool extra);

}  // namespace frontlys
