#pragma once
// Small dense linear systems (tens of unknowns): Gaussian elimination with partial pivoting.

#include <span>
#include <vector>

#include "core/status.h"

namespace frontlys {

// Solves a x = b, `a` square of b.size() rows, row-major; x replaces b. Refused, b unchanged, when the
// sizes disagree, a pivot is zero (a singular matrix) or the solution is not finite.
Status SolveLinear(std::vector<double> a, std::span<double> b);

}  // namespace frontlys
