#pragma once
// Collimation from the measured coma: the misalignment of a known design that gives the coma, as the
// angle between the star and the coma-free axis, its direction on the image and, for a telescope
// with a secondary mirror, the tilt of the secondary that gives the same coma.
//
// Third-order theory (the primary aberration coefficients, wavefront W = W131 rho^3 cos(phi - phi0), W131 the
// value at the edge of the pupil, stop at the primary):
//  - Field coma of a paraboloid at field angle theta (focal ratio N = F / D):
//        W131 = theta D / (32 N^2).
//    From the transverse aberration eps = -(F / a) grad W (a = D / 2) the tangential coma is
//    3 F W131 / a, which the classical 3 theta F / (16 N^2) of a paraboloid fixes. A classical
//    Cassegrain has the field coma of a paraboloid of its own focal ratio; other designs scale it by
//    their field-coma factor (about 1 for the classic all-spherical Schmidt-Cassegrain, 0 for an
//    aplanat, whose coma then cannot come from a tilt of the whole instrument).
//  - A secondary of vertex curvature c, conic K, seeing a beam of semi-height h and marginal slope
//    u = -h / s (s: secondary to primary focus), has the third-order coma sum S_II = -A Abar h Delta(u/n),
//    A = h (c - 1/s), plus (hbar / h) times the aspheric part -2 K c^3 h^4 of S_I. Tilted by alpha
//    about its vertex (hbar = 0, ubar = -alpha): S_II = 2 alpha c h^3 (c - 1/s). Decentred by l
//    (hbar = -l, ubar = 0): S_II = 2 l c^2 h^3 ((1 + K) c - 1/s), zero for a sphere seeing its centre
//    of curvature and for a paraboloid seeing infinity, as it must. With W131 = S_II / 2, the design's
//    magnification m, primary focal length f1 = F / m, back focus b (final focus behind the primary):
//        s = (f1 + b) / (m + 1),  h = a s / f1,  c = (m - 1) / (2 m s),
//        |W131| = alpha (m^2 - 1) a^3 s / (4 m^2 f1^3)    (tilt about the vertex).
//
// The coma is read from the fitted terms Z7 (cos) and Z8 (sin), nm RMS over the pupil (annular when
// obstructed): W131 rho^3 cos projects on the annular coma with the factor ComaRmsPerW131(eps), which
// is 1 / (3 sqrt 8) for a clear pupil.
//
// Direction: rays leave the wavefront towards decreasing values, so W131 rho^3 cos phi throws the
// coma flare to -x; a paraboloid's flare points away from its axis, so the axis lies from the star
// along the coma vector (Z7, Z8). The curvature of that wavefront, 24 c x, brightens both donuts on
// the same side of the frame: the coma-free axis lies towards the bright side of the donut. Angles
// are those of the intra-focal image as shown: x to the right, y up, counter-clockwise from x.

#include <array>
#include <numbers>

namespace frontlys {

inline constexpr double kArcmin = std::numbers::pi / (180 * 60);  // radians

enum class TelescopeDesign { Newtonian, Cassegrain, Sct, Refractor };

struct DesignOptics {
    TelescopeDesign design = TelescopeDesign::Newtonian;
    double diameterMm = 0;
    double focalMm = 0;          // of the whole instrument
    double obstruction = 0;      // fraction of the radius, for the projection on the annular coma
    double magnification = 0;    // of the secondary (Cassegrain, SCT): F / f1
    double backFocusMm = 0;      // final focus behind the primary's vertex
    double fieldComaFactor = 1;  // field coma over that of a paraboloid of the same focal ratio
};

struct Collimation {
    bool valid = false;
    double comaRmsNm = 0;         // |(Z7, Z8)|
    double positionAngleDeg = 0;  // towards the coma-free axis and the bright side, 0..360
    double w131Nm = 0;            // third-order coma at the pupil edge
    double fieldAngleRad = 0;     // star to coma-free axis; NaN when the design has no field coma
    double offsetUm = 0;          // that angle at the focus
    double secondaryTiltRad = 0;  // secondary tilt about its vertex giving the coma; NaN without one
};

// RMS of the fitted coma term per unit of W131 over the annulus eps..1.
double ComaRmsPerW131(double obstruction);
// W131 per radian of field angle, and per radian of secondary tilt (0 without a secondary), nm.
double FieldComaPerRadianNm(const DesignOptics& optics);
double SecondaryComaPerRadianNm(const DesignOptics& optics);

// Invalid for a design without diameter or focal length or for a non-finite coma.
Collimation CollimationFromComa(double z7RmsNm, double z8RmsNm, const DesignOptics& optics);

// The coma (Z7, Z8 nm RMS) that a star at field angle `angleRad` from the axis, the axis lying from it
// at position angle `positionDeg`, shows; and the same for a secondary tilt.
std::array<double, 2> ComaForFieldAngle(double angleRad, double positionDeg, const DesignOptics& optics);
std::array<double, 2> ComaForSecondaryTilt(double tiltRad, double positionDeg, const DesignOptics& optics);

}  // namespace frontlys
