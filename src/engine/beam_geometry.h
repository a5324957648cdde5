#pragma once
// The exact geometry of the converging beam of a corrected telescope. It is aplanatic (it obeys the
// sine condition): the ray from height h of the pupil converges at the angle u with sin u = h / F, and
// a plane at distance l from the focus sees it at radius l tan u. The edge ray, at sin u = R / F,
// draws the donut: radius l tan u_max, which the paraxial relation l R / F underestimates by 8.6 % at
// f/1.23, 3 % at f/2 and 0.8 % at f/4. Every length in one unit; the model serves from f/1 to f/30
// and beyond (R / F is held under 0.95 so that no input divides by zero).

#include <span>

namespace frontlys {

// sin u_max = R / F, held in [0, 0.95].
double EdgeSine(double focal, double apertureRadius);

// tan u_max: the donut radius per unit of defocus.
double DonutRadiusPerDefocus(double focal, double apertureRadius);

// l tan u_max, and its inverse: the defocus a donut of that radius implies.
double DonutRadius(double focal, double apertureRadius, double defocus);
double DefocusForDonutRadius(double focal, double apertureRadius, double radius);

// The radius on a defocused plane of the ray from reduced pupil radius x (0..1), in units of the
// donut radius: tan u / tan u_max with sin u = s x, s the edge sine; x itself in the paraxial limit.
// The slope is its derivative in x. Past the edge (x > 1) the mapping goes on along its edge tangent.
double RayRadius(double x, double edgeSine);
double RayRadiusSlope(double x, double edgeSine);

// The path a focus shift adds at pupil height h (squared: h2) for a plane at distance z from the
// pupil: (1/F - 1/z) F^2 (1 - cos u), whose gradient sends each ray to l tan u. Its paraxial limit is
// the usual (1/F - 1/z) h^2 / 2.
double DefocusPath(double h2, double focal, double plane);
// DefocusPath of each h2 (the same bits), for a row of pupil samples at once.
void DefocusPaths(std::span<const double> h2, double focal, double plane, std::span<double> out);

}  // namespace frontlys
