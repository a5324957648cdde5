#pragma once
// Singular value decomposition by the Golub-Reinsch method: Householder reduction to bidiagonal form,
// accumulation of both transformations, then implicit-shift QR diagonalisation.
//
// Conventions: matrices are row-major. A (rows x cols) = U * diag(w) * V^T with U rows x cols,
// w >= 0 (cols values, in no particular order) and V cols x cols orthogonal. When rows >= cols the
// columns of U are orthonormal; with fewer rows than columns the matrix is decomposed as if padded
// with zero rows, and U keeps only the real rows (the product still gives A). At most 30 QR sweeps
// are made per singular value; past that the decomposition goes on with the current values and
// reports converged = false (NaN or infinite input ends this way, never loops).

#include <vector>

namespace frontlys {

struct SvdResult {
    int rows = 0;
    int cols = 0;
    std::vector<double> u;  // rows x cols
    std::vector<double> w;  // cols singular values
    std::vector<double> v;  // cols x cols
    bool converged = true;
};

inline constexpr int kSvdMaxSweeps = 30;

// `a` holds rows x cols elements; rows, cols >= 0.
SvdResult SvdDecompose(std::vector<double> a, int rows, int cols);

}  // namespace frontlys
