#include "engine/zernike_fit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/svd.h"

namespace frontlys {
namespace {

// Singular values below this fraction of the largest carry rounding noise, not information.
constexpr double kRelativeRankTolerance = 1e-10;
constexpr int kBlockRows = 128;

// Least squares by Householder reduction of [A | b], fed a block of rows at a time, so that the
// m x s design matrix is never held whole: R (s x s) and Q^T b have the singular values and the
// solution of the full problem. Row s of the augmented triangle holds the residual, unused here.
class TriangularReduction {
public:
    explicit TriangularReduction(int terms)
        : m_terms(terms),
          m_stride(terms + 1),
          m_r(std::size_t(m_stride) * m_stride),
          m_block(std::size_t(kBlockRows) * m_stride)
    {
    }

    void AddRow(const double* values, double target)
    {
        for (int j = 0; j < m_terms; ++j) m_block[std::size_t(j) * kBlockRows + m_rows] = values[j];
        m_block[std::size_t(m_terms) * kBlockRows + m_rows] = target;
        if (++m_rows == kBlockRows) Flush();
    }

    void Flush()
    {
        for (int j = 0; j < m_stride && m_rows > 0; ++j) Eliminate(j, m_rows);
        m_rows = 0;
    }

    // The s x s triangle, row-major, and Q^T b.
    std::vector<double> Triangle() const
    {
        std::vector<double> r(std::size_t(m_terms) * m_terms);
        for (int i = 0; i < m_terms; ++i) {
            for (int j = 0; j < m_terms; ++j) r[std::size_t(i) * m_terms + j] = R(i, j);
        }
        return r;
    }
    std::vector<double> ProjectedTarget() const
    {
        std::vector<double> c(m_terms);
        for (int i = 0; i < m_terms; ++i) c[i] = R(i, m_terms);
        return c;
    }

private:
    double R(int i, int j) const { return m_r[std::size_t(i) * m_stride + j]; }
    double& R(int i, int j) { return m_r[std::size_t(i) * m_stride + j]; }
    // Column j of the pending block, stored by columns so that the reflections run contiguously.
    double* Column(int j) { return &m_block[std::size_t(j) * kBlockRows]; }

    // Four partial sums: the additions do not wait on each other.
    static double Dot(const double* __restrict a, const double* __restrict b, int n)
    {
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            s0 += a[i] * b[i], s1 += a[i + 1] * b[i + 1], s2 += a[i + 2] * b[i + 2],
                s3 += a[i + 3] * b[i + 3];
        }
        for (; i < n; ++i) s0 += a[i] * b[i];
        return (s0 + s1) + (s2 + s3);
    }

    // One reflector zeroes column j of the block against the diagonal element R(j, j).
    void Eliminate(int j, int rows)
    {
        const double* v = Column(j);
        double scale = std::fabs(R(j, j));
        for (int b = 0; b < rows; ++b) scale = std::max(scale, std::fabs(v[b]));
        if (scale == 0) return;
        const double inverse = 1 / scale;
        double sum = (R(j, j) * inverse) * (R(j, j) * inverse);
        for (int b = 0; b < rows; ++b) sum += (v[b] * inverse) * (v[b] * inverse);
        const double norm = scale * std::sqrt(sum);
        const double alpha = -std::copysign(norm, R(j, j));
        const double beta = 1 / (norm * (norm + std::fabs(R(j, j))));
        const double head = R(j, j) - alpha;
        for (int c = j + 1; c < m_stride; ++c) {
            double* __restrict target = Column(c);
            const double f = beta * (head * R(j, c) + Dot(v, target, rows));
            R(j, c) -= f * head;
            for (int b = 0; b < rows; ++b) target[b] -= f * v[b];
        }
        R(j, j) = alpha;
    }

    int m_terms;
    int m_stride;
    std::vector<double> m_r;
    std::vector<double> m_block;
    int m_rows = 0;
};

// Terms among the first P whose selection byte is 1, as 0-based indices.
std::vector<int> SelectedTerms(const ZernikeBasis& basis, const ZernikeSelection& selection)
{
    std::vector<int> terms;
    for (int k = 0; k < basis.Count(); ++k) {
        if (selection[k] == 1) terms.push_back(k);
    }
    return terms;
}

// Feeds every pupil pixel to the reduction, columns outside, rows inside.
void AddPixels(const TImageRec& image,
               const ZernikeBasis& basis,
               const std::vector<int>& terms,
               TriangularReduction& reduction,
               ZernikeFitInfo& info)
{
    if (!HasPupilGrid(image)) return;
    const ZernikeEvaluator evaluator(basis, image.Obstruction);
    ZernikeValues z{};
    std::vector<double> row(terms.size());
    for (int col = 0; col < image.Width; ++col) {
        for (int r = 0; r < image.Height; ++r) {
            if (!image.InMask(r, col) || !evaluator.Eval(image.XAxis[col], image.YAxis[r], z)) continue;
            const double value = image.At(r, col);
            if (!std::isfinite(value)) {
                ++info.skipped;
                continue;
            }
            for (std::size_t t = 0; t < terms.size(); ++t) row[t] = z[terms[t]];
            reduction.AddRow(row.data(), value);
            ++info.pixels;
        }
    }
    reduction.Flush();
}

// x = V * diag(1 / w) * U^T * c, leaving out the negligible singular values.
std::vector<double> Solve(const SvdResult& svd, const std::vector<double>& c, ZernikeFitInfo& info)
{
    const int s = svd.cols;
    const double largest = s > 0 ? *std::max_element(svd.w.begin(), svd.w.end()) : 0.0;
    std::vector<double> x(s, 0.0);
    for (int i = 0; i < s; ++i) {
        const double w = svd.w[i];
        if (!(largest > 0) || !(w > kRelativeRankTolerance * largest)) continue;
        double projection = 0;
        for (int row = 0; row < svd.rows; ++row) projection += svd.u[std::size_t(row) * s + i] * c[row];
        for (int j = 0; j < s; ++j) x[j] += projection * svd.v[std::size_t(j) * s + i] / w;
        ++info.rank;
    }
    return x;
}

}  // namespace

ZernikeFitInfo FitZernike(const TImageRec& wavefront,
                          const ZernikeBasis& basis,
                          const ZernikeSelection& selection,
                          ZernikeCoefficients& coefficients)
{
    ZernikeFitInfo info;
    const std::vector<int> terms = SelectedTerms(basis, selection);
    const int s = static_cast<int>(terms.size());
    info.terms = s;
    std::vector<double> solution(s, 0.0);
    if (s > 0) {
        TriangularReduction reduction(s);
        AddPixels(wavefront, basis, terms, reduction, info);
        const SvdResult svd = SvdDecompose(reduction.Triangle(), s, s);
        info.converged = svd.converged;
        solution = Solve(svd, reduction.ProjectedTarget(), info);
    }
    for (int k = 0; k < basis.Count(); ++k) coefficients[k] = 0;
    for (int t = 0; t < s; ++t) coefficients[terms[t]] = solution[t];
    return info;
}

}  // namespace frontlys
