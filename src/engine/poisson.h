#pragma once
// Iterative Fourier solution of the Poisson equation lap W = L over a square power-of-two grid,
// in reduced pupil coordinates (grid step h = XAxis[1] - XAxis[0], y up).
//
// Each iteration inverts the Laplacian in Fourier space (periodic grid, zero mean), takes the
// gradient of the iterate, forces it to 0 on the boundary ring just outside the pupil (mask 2),
// and takes the divergence back; the result replaces the Laplacian everywhere but on the pupil
// (mask 1), where the measured Laplacian is restored. The iterate carries the factor -(N/2pi)^2 of
// the inverse Laplacian at every step, so it is in the units of the data (nanometres for a
// Laplacian in nm per squared reduced radius) and its derivatives are meaningful inside the loop.
//
// Stop rule: the residual e_k = sqrt(sum over the pupil of (L0 - L')^2) is tracked; the loop stops
// at the first k >= 3 with e_{k-2} > e_{k-1} < e_k (the residual turned upwards), else after 100.

#include <vector>

#include "core/image_rec.h"
#include "core/status.h"

namespace frontlys {

inline constexpr double kRingInner = 0.9;  // reduced radii of the boundary ring
inline constexpr double kRingOuter = 1.15;
inline constexpr int kPoissonMaxIterations = 100;

// Mask 0 with kRingInner < r <= outerRadius becomes 2 (the ring); r > outerRadius becomes 0.
// A central hole (mask 0 inside kRingInner) gets no ring. Uses the image's axes.
void MarkBoundaryRing(TImageRec& image, double outerRadius = kRingOuter);

enum class PoissonStop {
    NotRun,          // refused before the first iteration
    ResidualUpturn,  // the residual turned upwards
    IterationLimit,  // 100 iterations without an upturn
    NonFinite,       // the residual became NaN or infinite
};

struct PoissonSummary {
    int iterations = 0;
    PoissonStop stop = PoissonStop::NotRun;
    std::vector<double> residuals;  // e_1 .. e_iterations
};

// Check of the shape the solver needs: square, a power-of-two side of at least 4, axes with a
// positive finite step. The message is the user's.
Status CheckSolverInput(const TImageRec& laplacian);

// Solves into `wavefront` (same size as the Laplacian): its plane 1 takes the solution on the
// pupil pixels (mask 1) and 0 elsewhere, its mask the Laplacian's. The Laplacian's mask should
// carry the ring (MarkBoundaryRing); the ring is applied again to the working copy. Refused, with
// `wavefront` unchanged, when CheckSolverInput fails, the sizes differ, or a pupil value is not finite.
Result<PoissonSummary> SolvePoisson(const TImageRec& laplacian, TImageRec& wavefront);

}  // namespace frontlys
