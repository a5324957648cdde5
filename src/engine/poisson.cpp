#include "engine/poisson.h"

// The row loops of the iteration are element-wise: let the compiler vectorise them even where that
// needs a remainder loop (the -O2 cost model does not). The residual stays a sum in index order.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("vect-cost-model=dynamic")
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <utility>

#include "core/thread_pool.h"
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

// The element-wise row loops, compiled twice (with and without AVX2) and picked by the loader;
// no contraction into fused multiply-adds, so both give the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FRONTLYS_ROW_CLONES \
    __attribute__((target_clones("arch=x86-64-v3", "default"), optimize("fp-contract=off")))
#else
#define FRONTLYS_ROW_CLONES
#endif

// d[c] = (plus[c] - minus[c]) k, or 0 on the ring (mask 2): the bits of the difference cleared
// there, a select the compiler vectorises.
FRONTLYS_ROW_CLONES void GradientRow(const double* __restrict plus,
                                     const double* __restrict minus,
                                     const std::int16_t* __restrict mask,
                                     double k,
                                     double* __restrict d,
                                     int count)
{
    for (int c = 0; c < count; ++c) {
        const double g = (plus[c] - minus[c]) * k;
        const std::uint64_t keep = mask[c] == 2 ? 0 : ~std::uint64_t{0};
        d[c] = std::bit_cast<double>(std::bit_cast<std::uint64_t>(g) & keep);
    }
}

// Row of div(grad W): the x part from the x gradient gx (none at the first and last column), the y
// part from the y gradients of the rows above and below.
FRONTLYS_ROW_CLONES void LaplacianRow(const double* __restrict gx,
                                      const double* __restrict above,
                                      const double* __restrict below,
                                      double k,
                                      double* __restrict lap,
                                      int n)
{
    lap[0] = 0.0 + (below[0] - above[0]) * k;
    lap[n - 1] = 0.0 + (below[n - 1] - above[n - 1]) * k;
    for (int c = 1; c < n - 1; ++c) lap[c] = (gx[c + 1] - gx[c - 1]) * k + (below[c] - above[c]) * k;
}

// The work arrays of one solution, allocated once and reused by every iteration (and by the next
// solution of the same size and step on the same thread, see WorkFor).
class PoissonWork {
public:
    PoissonWork(int n, double h)
        : m_n(n),
          m_h(h),
          m_inv2h(1.0 / (2.0 * h)),
          m_plan(n),
          m_filter(static_cast<std::size_t>(n) * m_plan.halfWidth()),
          m_w(static_cast<std::size_t>(n) * n)
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

    bool Fits(int n, double h) const { return n == m_n && h == m_h; }
    // The working Laplacian, and the record whose mask carries the ring.
    std::vector<double>& Working() { return m_working; }
    TImageRec& Ring() { return m_ring; }

    // W = lap^-1 L.
    const std::vector<double>& Invert(const std::vector<double>& laplacian)
    {
        m_plan.Filter(laplacian.data(), m_filter.data(), m_w.data());
        return m_w;
    }

    // The pupil cells (mask 1) row by row: where each row's run of them starts and ends, and how
    // many come before it, so that each band files its squares at their place in index order.
    void SetPupil(const std::int16_t* pupilMask)
    {
        const int n = m_n;
        m_spans.assign(static_cast<std::size_t>(n), {0, 0});
        m_before.assign(static_cast<std::size_t>(n) + 1, 0);
        for (int r = 0; r < n; ++r) {
            const std::int16_t* mask = pupilMask + static_cast<std::ptrdiff_t>(r) * n;
            int first = n, end = 0, count = 0;
            for (int c = 0; c < n; ++c) {
                if (mask[c] != 1) continue;
                first = std::min(first, c);
                end = c + 1;
                ++count;
            }
            if (count > 0) m_spans[r] = {first, end};
            m_before[r + 1] = m_before[r] + count;
        }
        m_squares.resize(static_cast<std::size_t>(m_before[n]));
    }

    // In one pass over the rows: L' = div(grad W) with the gradient forced to 0 on the ring
    // (ringMask 2), by centred differences over 2h that leave the first and last column and row 0;
    // the residual sqrt(sum over the pupil (pupilMask 1, as given to SetPupil) of (L0 - L')^2); and
    // the next working Laplacian, L0 on the ring record's pupil and L' elsewhere, written over
    // `work`. Bands of rows run at once, each on rows of its own; the squares are summed afterwards
    // in index order, so the bits do not depend on the thread count.
    double RingLaplacianStep(const std::int16_t* ringMask,
                             const std::int16_t* pupilMask,
                             const double* measured,
                             double* work)
    {
        const int n = m_n;
        const int tasks = n < 64 ? 1 : std::clamp(ThreadCount(), 1, n);
        if (m_rows.size() < static_cast<std::size_t>(tasks)) m_rows.resize(tasks, Rows(n));
        const double* w = m_w.data();
        ParallelFor(tasks, [&](int t) {
            Rows& rows = m_rows[t];
            const int first = n * t / tasks, end = n * (t + 1) / tasks;
            if (first > 0) YGradientRow(rows, first - 1, ringMask);
            YGradientRow(rows, first, ringMask);
            for (int r = first; r < end; ++r) {
                if (r + 1 < n) YGradientRow(rows, r + 1, ringMask);
                const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(r) * n;
                double* lap = work + at;
                GradientRow(w + at + 2, w + at, ringMask + at + 1, m_inv2h, rows.gx.data() + 1, n - 2);
                rows.gx[0] = rows.gx[n - 1] = 0.0;
                // The first and last rows have no y part: 0 - 0 there, as a zero row gives.
                const bool edge = r == 0 || r == n - 1;
                LaplacianRow(rows.gx.data(),
                             edge ? rows.zero.data() : GyRow(rows, r - 1),
                             edge ? rows.zero.data() : GyRow(rows, r + 1),
                             m_inv2h,
                             lap,
                             n);
                // Only the pupil's cells take the measured values and count in the residual.
                const auto [from, to] = m_spans[r];
                const double* l0 = measured + at;
                const std::int16_t* ring = ringMask + at;
                const std::int16_t* pupil = pupilMask + at;
                double* sq = m_squares.data() + m_before[r];
                for (int c = from; c < to; ++c) {
                    const double d = l0[c] - lap[c];
                    if (pupil[c] == 1) *sq++ = d * d;
                    if (ring[c] == 1) lap[c] = l0[c];
                }
            }
        });
        // The ring record's pupil lies within the input's (the ring only clears cells), so the
        // loop above reaches all of it.
        double sum = 0;
        for (const double q : m_squares) sum += q;
        return std::sqrt(sum);
    }

private:
    // The rows one band works on: the x gradient of its current row, the y gradient of three
    // rows (row r in slot r % 3), and a row of zeros.
    struct Rows {
        explicit Rows(int n) : gx(n), gy(3 * static_cast<std::size_t>(n)), zero(n) {}
        std::vector<double> gx, gy, zero;
    };

    const double* GyRow(const Rows& rows, int row) const
    {
        return rows.gy.data() + static_cast<std::ptrdiff_t>((row + 3) % 3) * m_n;
    }

    void YGradientRow(Rows& rows, int row, const std::int16_t* ringMask) const
    {
        const int n = m_n;
        double* d = rows.gy.data() + static_cast<std::ptrdiff_t>(row % 3) * n;
        if (row == 0 || row == n - 1) {
            std::fill_n(d, n, 0.0);
            return;
        }
        const double* next = m_w.data() + static_cast<std::ptrdiff_t>(row + 1) * n;
        const double* prev = m_w.data() + static_cast<std::ptrdiff_t>(row - 1) * n;
        GradientRow(next, prev, ringMask + static_cast<std::ptrdiff_t>(row) * n, m_inv2h, d, n);
    }

    int m_n;
    double m_h, m_inv2h;
    RealFft2Plan m_plan;
    std::vector<double> m_working;
    TImageRec m_ring;
    std::vector<double> m_filter, m_w;
    std::vector<std::pair<int, int>> m_spans;  // the pupil's first and end column on each row
    std::vector<int> m_before;                 // pupil cells on the rows above each row
    std::vector<double> m_squares;             // (L0 - L')^2 at the pupil's cells, in index order
    std::vector<Rows> m_rows;                  // one set a band
};

// The correction passes solve at one size after another: arrays of megabytes allocated afresh each
// time cost their page faults again. Each thread keeps the work of its last size and step.
PoissonWork& WorkFor(int n, double h)
{
    thread_local std::unique_ptr<PoissonWork> work;
    if (!work || !work->Fits(n, h)) {
        work.reset();  // the old arrays go before the new ones come
        work = std::make_unique<PoissonWork>(n, h);
    }
    return *work;
}

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
    PoissonWork& solver = WorkFor(n, GridStep(laplacian));
    std::vector<double>& work = solver.Working();
    if (Status s = StartingLaplacian(laplacian, work); !s.ok()) return s;

    TImageRec& ring = solver.Ring();  // the input's mask with the ring applied again
    ring.Width = ring.Height = n;
    ring.XAxis = laplacian.XAxis;
    ring.YAxis = laplacian.YAxis;
    ring.Mask = laplacian.Mask;
    MarkBoundaryRing(ring);
    const std::int16_t* ringMask = ring.Mask.data();
    const std::int16_t* inputMask = laplacian.Mask.data();
    const double* measured = laplacian.Planes.Row(0, 0);
    solver.SetPupil(inputMask);
    PoissonSummary summary;
    summary.stop = PoissonStop::IterationLimit;
    const std::vector<double>* w = nullptr;
    for (int k = 1; k <= kPoissonMaxIterations; ++k) {
        w = &solver.Invert(work);
        // The next working Laplacian is written over `work` (unused if the loop stops here).
        const double residual = solver.RingLaplacianStep(ringMask, inputMask, measured, work.data());
        summary.iterations = k;
        summary.residuals.push_back(residual);
        if (!std::isfinite(summary.residuals.back())) {
            return Status::Fail(StatusCode::NumericalFailure, kBadValuesMessage, "residual not finite");
        }
        if (TurnedUpwards(summary.residuals)) {
            summary.stop = PoissonStop::ResidualUpturn;
            break;
        }
    }

    WriteSolution(laplacian, *w, wavefront);
    return summary;
}

}  // namespace frontlys
