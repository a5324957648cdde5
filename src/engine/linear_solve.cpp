#include "engine/linear_solve.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace frontlys {
namespace {

Status Singular(std::string reason)
{
    return Status::Fail(StatusCode::NumericalFailure, "Système linéaire singulier", std::move(reason));
}

}  // namespace

Status SolveLinear(std::vector<double> a, std::span<double> b)
{
    const std::size_t n = b.size();
    if (a.size() != n * n)
        return Singular("matrix of " + std::to_string(a.size()) + " entries for " + std::to_string(n) +
                        " unknowns");
    std::vector<double> x(b.begin(), b.end());
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::abs(a[r * n + col]) > std::abs(a[pivot * n + col])) pivot = r;
        if (!(std::abs(a[pivot * n + col]) > 0))
            return Singular("zero pivot in column " + std::to_string(col));
        if (pivot != col) {
            std::swap_ranges(a.begin() + col * n, a.begin() + (col + 1) * n, a.begin() + pivot * n);
            std::swap(x[col], x[pivot]);
        }
        for (std::size_t r = col + 1; r < n; ++r) {
            const double g = a[r * n + col] / a[col * n + col];
            if (g == 0) continue;
            for (std::size_t c = col; c < n; ++c) a[r * n + c] -= g * a[col * n + c];
            x[r] -= g * x[col];
        }
    }
    for (std::size_t r = n; r-- > 0;) {
        double s = x[r];
        for (std::size_t c = r + 1; c < n; ++c) s -= a[r * n + c] * x[c];
        x[r] = s / a[r * n + r];
    }
    if (!std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); }))
        return Singular("solution not finite");
    std::copy(x.begin(), x.end(), b.begin());
    return Status::Ok();
}

}  // namespace frontlys
