#pragma once
// The wave-optics core shared by the star-image simulator and the forward model of the compensated
// analysis: the pupil field of a telescope seen from a plane at distance z, and the intensity of its
// Fresnel transform.
//
// The field is transmission x exp(-i 2 pi / lambda (OPD + D(r))) with D(r) the exact path of the
// focus shift of an aplanatic beam, (1/F - 1/z) F^2 (1 - cos u) with sin u = r / F (r in nm; its
// paraxial limit r^2 (1/F - 1/z) / 2): each ray then meets the plane at l tan u, as the corrected
// fast systems have it (engine/beam_geometry.h). On an n x n grid of pupil step dx centred on index n/2 (x
// right, y up), times (-1)^(row + col) so that the forward transform centres the image on index n/2. A
// positive OPD is a wavefront ahead of the reference sphere. The intra-focal image (z < F) comes out upright,
// the extra-focal one turned by 180 degrees.

#include <complex>
#include <functional>
#include <span>
#include <vector>

#include "core/large_buffer.h"
#include "engine/fft.h"

namespace frontlys {

using PupilFunction = std::function<double(double x, double y)>;  // reduced pupil coordinates
// A function of the points (x[i], y) of one row at once, out[i] for each: one call a row instead of
// one a point, for functions that share work along a row.
using PupilRowFunction = std::function<void(double y, std::span<const double> x, std::span<double> out)>;

struct PupilPlane {
    double focalNm = 0;
    double apertureRadiusNm = 0;
    double planeNm = 0;  // z
    double lambdaNm = 0;
    int n = 0;
    double dxNm = 0;
    double shiftRows = 0, shiftCols = 0;  // image shift in fine samples (rows down)
};

// Columns [first, end) of the grid; the pupil field is zero in the others.
struct ColumnSpan {
    int first = 0, end = 0;
};

ColumnSpan FillPupilField(std::vector<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilFunction& transmission,
                          const PupilFunction& opdNm);
// The same with the OPD taken a row at a time, at the points that pass light.
ColumnSpan FillPupilField(std::vector<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilFunction& transmission,
                          const PupilRowFunction& opdNm);
// The same in a buffer that grows without clearing: the rows, filled at once, are the first to
// touch its new pages.
ColumnSpan FillPupilField(Buffer<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilFunction& transmission,
                          const PupilRowFunction& opdNm);

// The field kept by the columns that can pass light, `lit` (the others are zero and not stored): row r
// of those columns at data() + r * stride. About half of the grid's memory, and nothing to clear
// beside the pupil. The buffer is reserved as a large one (core/large_buffer.h).
struct LitBand {
    ColumnSpan lit;
    std::ptrdiff_t stride = 0;
};
LitBand FillPupilBand(Buffer<std::complex<double>>& field,
                      const PupilPlane& plane,
                      const PupilFunction& transmission,
                      const PupilRowFunction& opdNm);
// The fills with the transmission taken a row at a time too (pupil_transmission.h), at the points
// inside the aperture's reach.
LitBand FillPupilBand(Buffer<std::complex<double>>& field,
                      const PupilPlane& plane,
                      const PupilRowFunction& transmission,
                      const PupilRowFunction& opdNm);
ColumnSpan FillPupilField(std::vector<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilRowFunction& transmission,
                          const PupilRowFunction& opdNm);

// Forward transform of the field in place, then its intensity normalised to sum 1, times `weight`,
// added to `sum` (n x n).
void AddIntensity(std::vector<std::complex<double>>& field,
                  const FftPlan& plan,
                  std::span<double> sum,
                  double weight);
// The two halves of AddIntensity, for callers that transform several fields at once: the transform,
// returning the total intensity, then sum[i] += weight |field[i]|^2 / total over a stretch (the same
// stretch of both spans), with the same arithmetic.
double TransformField(std::vector<std::complex<double>>& field, const FftPlan& plan);
// The transform alone, for callers that normalise the intensity their own way.
void TransformFieldOnly(std::vector<std::complex<double>>& field, const FftPlan& plan);
// The same for a field known to be zero outside `lit` (what FillPupilField returned): no search.
void TransformFieldOnly(std::vector<std::complex<double>>& field, const FftPlan& plan, ColumnSpan lit);
void TransformFieldOnly(std::span<std::complex<double>> field, const FftPlan& plan, ColumnSpan lit);
void AccumulateIntensity(std::span<const std::complex<double>> field,
                         double total,
                         std::span<double> sum,
                         double weight);

}  // namespace frontlys
