#pragma once
// Wave-optics image of a star at a plane displaced by l from the focus of a telescope.
//
// The field at the plane z = F - l (intra-focal) or z = F + l (extra-focal) is the Fresnel
// transform of the pupil: the forward FFT of transmission x exp(-i 2 pi / lambda (OPD + D(r))), where
// D(r) = r^2 (1/F - 1/z) / 2 is the defocus of that plane seen from the pupil (r in nm). A positive
// OPD is a wavefront ahead of the reference sphere: rays leave along -grad(OPD).
//
// Sampling: the fine image grid has a fixed step du (a camera pixel / oversample) for every
// wavelength, so the pupil step is dx = lambda z / (n du). The field n du covers the donut, the
// transverse aberration and the seeing with a margin, which is the same condition as the defocus
// phase not being aliased at the pupil edge; du <= lambda z / D keeps the pupil inside the n x n grid.
//
// Orientation: fine and frame rows go down, y goes up. The intra-focal image shows the pupil
// upright (pupil point (x, y) at +(x, y) from the donut centre), the extra-focal one turned by
// 180 degrees, because the rays have crossed the focus.

#include <functional>

#include "core/planes.h"
#include "core/status.h"
#include "simulation/simulation_params.h"

namespace frontlys {

struct Aperture {
    // Both take reduced pupil coordinates (unit radius, x right, y up).
    std::function<double(double x, double y)> transmission;  // 0..1
    std::function<double(double x, double y)> opdNm;
    double maxSlopeNm = 0;  // largest |grad OPD| in nm per unit reduced radius
};

struct FineGrid {
    int n = 0;           // FFT side, a power of two
    int oversample = 1;  // fine samples per camera pixel along each axis
    double stepNm = 0;   // du
};

enum class FocalSide { Intra, Extra };

constexpr int kMaxFineGrid = 4096;

// The grid both planes use; refused when the donut would need more than kMaxFineGrid samples.
Result<FineGrid> ChooseFineGrid(const SimulationParams& params, double maxSlopeNm);

// Where the fine grid lands on the camera frame: fine sample (n/2, n/2) at fine frame position
// (baseRow + n/2, baseCol + n/2), the axis moved within it by the fractions (fine samples, rows
// down) so that it falls exactly at the frame centre plus the offset.
struct FramePlacement {
    long long baseRow = 0, baseCol = 0;
    double shiftRows = 0, shiftCols = 0;  // in [-0.5, 0.5)
};
FramePlacement PlaceOnFrame(const FineGrid& grid, const SimulationParams& params);

// Intensity on the fine grid, the axis at row and column n/2 moved by the placement's fractions;
// the band average, summing to 1.
Planes3D<double> FocalPlaneIntensity(const SimulationParams& params,
                                     const Aperture& aperture,
                                     FocalSide side,
                                     const FineGrid& grid,
                                     const FramePlacement& placement = {});

// Gaussian blur of standard deviation sigma (fine samples), periodic, keeping the total.
void BlurGaussian(Planes3D<double>& intensity, double sigmaSamples);
double SeeingSigmaNm(const SimulationParams& params);

// The fine image summed onto the camera frame (size x size), its axis at the frame centre plus the
// offset; light falling outside the frame is lost.
Planes3D<double> BinOntoFrame(const Planes3D<double>& fine,
                              const FineGrid& grid,
                              const FramePlacement& placement,
                              const SimulationParams& params);

}  // namespace frontlys
