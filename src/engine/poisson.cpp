#include "engine/poisson.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>

#include "engine/fft.h"

namespace frontlys {

namespace {

constexpr const char* kBadShapeMessage =
    "Le signal doit être une image carrée dont le côté est une puissance de deux.";
constexpr const char* kBadValuesMessage = "Le signal contient des valeurs non numériques dans la pupille.";

double GridStep(const TImageRec& image)
{
    return image.XAxis.size() >= 2 ? image.XAxis[1] - image.XAxis[0] : 0.0;
}

// Centred differences over 2h; the first and last column (row) stay 0.
void DerivativeX(const double* in, double* out, int n, double inv2h)
{
    for (int r = 0; r < n; ++r) {
        const double* s = in + static_cast<std::ptrdiff_t>(r) * n;
        double* d = out + static_cast<std::ptrdiff_t>(r) * n;
        d[0] = d[n - 1] = 0.0;
        for (int c = 1; c < n - 1; ++c) d[c] = (s[c + 1] - s[c - 1]) * inv2h;
    }
}

void DerivativeY(const double* in, double* out, int n, double inv2h)
{
    std::fill_n(out, n, 0.0);
    std::fill_n(out + static_cast<std::ptrdiff_t>(n - 1) * n, n, 0.0);
    for (int r = 1; r < n - 1; ++r) {
        const double* next = in + static_cast<std::ptrdiff_t>(r + 1) * n;
        const double* prev = in + static_cast<std::ptrdiff_t>(r - 1) * n;
        double* d = out + static_cast<std::ptrdiff_t>(r) * n;
        for (int c = 0; c < n; ++c) d[c] = (next[c] - prev[c]) * inv2h;
    }
}

// The work arrays of one solution, allocated once and reused by every iteration.
class PoissonWork {
public:
    PoissonWork(int n, double h)
        : m_n(n),
          m_inv2h(1.0 / (2.0 * h)),
          m_plan(n),
          m_half(static_cast<std::size_t>(n) * m_plan.halfWidth()),
          m_filter(m_half.size()),
          m_w(static_cast<std::size_t>(n) * n),
          m_gx(m_w.size()),
          m_gy(m_w.size()),
          m_d(m_w.size())
    {
        // -(N/2pi)^2 h^2 / (u^2 + v^2): the inverse of the Laplacian in reduced units, divided by
        // N^2 for the unnormalised transform pair. The zero frequency (the mean) is dropped.
        const int hw = m_plan.halfWidth();
        const double scale = -h * h / (4.0 * std::numbers::pi * std::numbers::pi);
        for (int r = 0; r < n; ++r) {
            const double v = r < n / 2 ? r : r - n;
            for (int u = 0; u < hw; ++u) {
                const double q = static_cast<double>(u) * u + v * v;
                m_filter[static_cast<std::size_t>(r) * hw + u] = q == 0 ? 0.0 : scale / q;
            }
        }
    }

    // W = lap^-1 L.
    const std::vector<double>& Invert(const std::vector<double>& laplacian)
    {
        m_plan.Forward(laplacian.data(), m_half.data());
        for (std::size_t i = 0; i < m_half.size(); ++i) m_half[i] *= m_filter[i];
        m_plan.Inverse(m_half.data(), m_w.data());
        return m_w;
    }

    // L' = div(grad W) with the gradient forced to 0 on the ring (mask 2).
    const std::vector<double>& RingLaplacian(const std::int16_t* mask)
    {
        const std::size_t count = m_w.size();
        DerivativeX(m_w.data(), m_gx.data(), m_n, m_inv2h);
        DerivativeY(m_w.data(), m_gy.data(), m_n, m_inv2h);
        for (std::size_t i = 0; i < count; ++i) {
            if (mask[i] == 2) m_gx[i] = m_gy[i] = 0.0;
        }
        DerivativeX(m_gx.data(), m_d.data(), m_n, m_inv2h);
        DerivativeY(m_gy.data(), m_gx.data(), m_n, m_inv2h);
        for (std::size_t i = 0; i < count; ++i) m_d[i] += m_gx[i];
        return m_d;
    }

private:
    int m_n;
    double m_inv2h;
    RealFft2Plan m_plan;
    std::vector<std::complex<double>> m_half;
    std::vector<double> m_filter, m_w, m_gx, m_gy, m_d;
};

bool TurnedUpwards(const std::vector<double>& e)
{
    const std::size_t k = e.size();
    return k >= 3 && e[k - 3] > e[k - 2] && e[k - 2] < e[k - 1];
}

// The measured Laplacian as the working start; a value that is not finite outside the pupil carries
// no measurement and would spread through every transform, so it starts as 0.
Status StartingLaplacian(const TImageRec& laplacian, std::vector<double>& out)
{
    const int n = laplacian.Width;
    out.resize(static_cast<std::size_t>(n) * n);
    for (int r = 0; r < n; ++r) {
        const double* row = laplacian.Planes.Row(0, r);
        for (int c = 0; c < n; ++c) {
            const bool finite = std::isfinite(row[c]);
            if (!finite && laplacian.InMask(r, c)) {
                return Status::Fail(
                    StatusCode::NumericalFailure, kBadValuesMessage, "non-finite pupil value");
            }
            out[static_cast<std::size_t>(r) * n + c] = finite ? row[c] : 0.0;
        }
    }
    return Status::Ok();
}

// The input's mask, and the solution on its pupil pixels, 0 elsewhere.
void WriteSolution(const TImageRec& laplacian, const std::vector<double>& solution, TImageRec& wavefront)
{
    const int n = laplacian.Width;
    CopyMask(laplacian, wavefront);
    for (int r = 0; r < n; ++r) {
        double* out = wavefront.Planes.Row(0, r);
        const std::int16_t* mask = wavefront.Mask.Row(0, r);
        const double* sol = solution.data() + static_cast<std::ptrdiff_t>(r) * n;
        for (int c = 0; c < n; ++c) out[c] = mask[c] == 1 ? sol[c] : 0.0;
    }
}

}  // namespace

void MarkBoundaryRing(TImageRec& image, double outerRadius)
{
    for (int r = 0; r < image.Height; ++r) {
        const double y = image.YAxis[r];
        for (int c = 0; c < image.Width; ++c) {
            const double x = image.XAxis[c];
            const double radius = std::sqrt(x * x + y * y);
            std::int16_t& m = image.MaskAt(r, c);
            if (radius > outerRadius) {
                m = 0;
            } else if (m == 0 && radius > kRingInner) {
                m = 2;
            }
        }
    }
}

Status CheckSolverInput(const TImageRec& laplacian)
{
    const int n = laplacian.Width;
    if (n != laplacian.Height || n < 4 || !IsPowerOfTwo(n) || laplacian.Planes.cols() != n ||
        laplacian.Planes.rows() != n || laplacian.XAxis.size() != static_cast<std::size_t>(n) ||
        laplacian.YAxis.size() != static_cast<std::size_t>(n)) {
        return Status::Fail(
            StatusCode::OutOfRange,
            kBadShapeMessage,
            "signal " + std::to_string(laplacian.Width) + " x " + std::to_string(laplacian.Height));
    }
    const double h = GridStep(laplacian);
    if (!(h > 0) || !std::isfinite(h)) {
        return Status::Fail(
            StatusCode::OutOfRange, kBadShapeMessage, "no pupil axes (grid step not positive)");
    }
    return Status::Ok();
}

Result<PoissonSummary> SolvePoisson(const TImageRec& laplacian, TImageRec& wavefront)
{
    if (Status s = CheckSolverInput(laplacian); !s.ok()) return s;
    const int n = laplacian.Width;
    if (wavefront.Width != n || wavefront.Height != n) {
        return Status::Fail(StatusCode::OutOfRange, kBadShapeMessage, "wavefront of another size");
    }
    std::vector<double> work;
    if (Status s = StartingLaplacian(laplacian, work); !s.ok()) return s;

    TImageRec ring;  // the working record: the input's mask with the ring applied again
    ring.Width = ring.Height = n;
    ring.XAxis = laplacian.XAxis;
    ring.YAxis = laplacian.YAxis;
    ring.Mask = laplacian.Mask;
    MarkBoundaryRing(ring);
    const std::int16_t* ringMask = ring.Mask.data();
    const std::int16_t* inputMask = laplacian.Mask.data();
    const double* measured = laplacian.Planes.Row(0, 0);

    PoissonWork solver(n, GridStep(laplacian));
    PoissonSummary summary;
    summary.stop = PoissonStop::IterationLimit;
    const std::vector<double>* w = nullptr;
    for (int k = 1; k <= kPoissonMaxIterations; ++k) {
        w = &solver.Invert(work);
        const std::vector<double>& lap = solver.RingLaplacian(ringMask);
        double sum = 0;
        for (std::size_t i = 0; i < lap.size(); ++i) {
            if (inputMask[i] == 1) sum += (measured[i] - lap[i]) * (measured[i] - lap[i]);
        }
        summary.iterations = k;
        summary.residuals.push_back(std::sqrt(sum));
        if (!std::isfinite(summary.residuals.back())) {
            return Status::Fail(StatusCode::NumericalFailure, kBadValuesMessage, "residual not finite");
        }
        if (TurnedUpwards(summary.residuals)) {
            summary.stop = PoissonStop::ResidualUpturn;
            break;
        }
        for (std::size_t i = 0; i < lap.size(); ++i) work[i] = ringMask[i] == 1 ? measured[i] : lap[i];
    }

    WriteSolution(laplacian, *w, wavefront);
    return summary;
}

}  // namespace frontlys
