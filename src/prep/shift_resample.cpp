#include "prep/shift_resample.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/numbers.h"

namespace frontlys {
namespace {

// Row buffers carry kPad zeros on each side, so the taps of source columns -2 .. w + 3 need no test.
constexpr int kPad = 3;

struct ShiftTap {
    int index;  // padded-buffer index of the lower source column
    double t;   // frac of the source position, signed
};

// Positions beyond two samples outside the plane read only zeros whatever their exact value, so
// clamping them keeps the integer conversion defined without changing any output.
double ClampPosition(double x, int n) { return std::clamp(x, -2.0, n + 2.0); }

// Taps of the w output columns over a source of srcW columns.
std::vector<ShiftTap> ColumnTaps(int w, int srcW, double colShift)
{
    std::vector<ShiftTap> taps(static_cast<std::size_t>(w));
    for (int j = 1; j <= w; ++j) {
        const double x = ClampPosition(j - colShift, srcW);
        taps[j - 1] = {static_cast<int>(Trunc(x)) + kPad - 1, Frac(x)};
    }
    return taps;
}

template <class T>
void LoadRow(const T* plane, int w, int h, int row, std::vector<double>& buffer)
{
    std::fill(buffer.begin(), buffer.end(), 0.0);
    if (row < 1 || row > h) return;
    const T* src = plane + static_cast<std::size_t>(row - 1) * w;
    for (int c = 0; c < w; ++c) buffer[kPad + c] = static_cast<double>(src[c]);
}

inline void StoreValue(double v, double& out) { out = v; }
inline void StoreValue(double v, std::int16_t& out)
{
    if (std::isnan(v)) {
        out = 0;
        return;
    }
    const double r = std::clamp(RoundHalfEven(v), -32768.0, 32767.0);
    out = static_cast<std::int16_t>(r);
}

// A source plane of srcW x srcH seen through a zero border.
template <class T>
struct SourcePlane {
    const T* data;
    int w, h;
};

// Output (i, j), i = 1 .. h and j = 1 .. w, samples the source at (i - a, j - b).
template <class T>
void ShiftPlaneData(SourcePlane<T> src, T* out, int w, int h, double a, double b)
{
    const std::vector<ShiftTap> taps = ColumnTaps(w, src.w, b);
    std::vector<double> lo(static_cast<std::size_t>(src.w) + 2 * kPad), hi(lo.size());
    for (int i = 1; i <= h; ++i) {
        const double y = ClampPosition(i - a, src.h);
        const int rlo = static_cast<int>(Trunc(y));
        const double ty = Frac(y);
        LoadRow(src.data, src.w, src.h, rlo, lo);
        LoadRow(src.data, src.w, src.h, rlo + 1, hi);
        T* dst = out + static_cast<std::size_t>(i - 1) * w;
        for (int j = 0; j < w; ++j) {
            const int k = taps[j].index;
            const double tx = taps[j].t;
            const double v = lo[k] * (1 - tx) * (1 - ty) + hi[k] * (1 - tx) * ty + lo[k + 1] * tx * (1 - ty) +
                             hi[k + 1] * tx * ty;
            StoreValue(v, dst[j]);
        }
    }
}

bool FiniteShift(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

template <class T>
void ShiftAll(Planes3D<T>& planes, double a, double b)
{
    if (planes.empty() || !FiniteShift(a, b)) return;
    const int w = planes.cols(), h = planes.rows();
    Planes3D<T> out(planes.planes(), h, w);
    for (int p = 0; p < planes.planes(); ++p)
        ShiftPlaneData<T>({planes.Row(p, 0), w, h}, out.Row(p, 0), w, h, a, b);
    planes = std::move(out);
}

// One output sample of the spline: lower 0-based sample and the weights of the evaluation formula.
struct SplineTap {
    int lo;
    double A, B, A3, B3;  // A3 = A^3 - A, B3 = B^3 - B
};

SplineTap MakeTap(int n, double x)
{
    const double xc = std::isnan(x) ? 1.0 : x;
    const int lo = static_cast<int>(std::clamp(Trunc(xc), 1.0, static_cast<double>(std::max(n - 1, 1))));
    const double A = (lo + 1) - xc, B = xc - lo;
    return {lo - 1, A, B, A * A * A - A, B * B * B - B};
}

inline double Evaluate(const SplineTap& t, double ylo, double yhi, double y2lo, double y2hi)
{
    return t.A * ylo + t.B * yhi + (t.A3 * y2lo + t.B3 * y2hi) / 6;
}

struct AxisPlan {
    int n = 0;    // input samples
    int out = 0;  // output samples
    bool exact = false;
    std::vector<SplineTap> taps;  // out - 1 taps when exact (the last output copies the last input)
};

bool IsExact(int n, double f) { return Frac((n - 1) * f) == 0; }

double OutputLength(int n, double f)
{
    return IsExact(n, f) ? RoundHalfEven(f * (n - 1) + 1) : Trunc(f * (n - 1)) + 1;
}

AxisPlan PlanAxis(int n, double f)
{
    AxisPlan plan;
    plan.n = n;
    plan.exact = IsExact(n, f);
    plan.out = static_cast<int>(OutputLength(n, f));
    const int count = plan.exact ? plan.out - 1 : plan.out;
    plan.taps.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int k = 1; k <= count; ++k) plan.taps.push_back(MakeTap(n, (k - 1) / f + 1));
    return plan;
}

void SecondDerivatives(const double* y, int n, double* y2, double* u)
{
    if (n < 2) {
        std::fill(y2, y2 + std::max(n, 0), 0.0);
        return;
    }
    y2[0] = -0.5;
    u[0] = 0;
    for (int i = 1; i < n - 1; ++i) {
        const double p = 0.5 * y2[i - 1] + 2;
        y2[i] = -0.5 / p;
        const double d = (y[i + 1] - y[i]) - (y[i] - y[i - 1]);
        u[i] = (3 * d - 0.5 * u[i - 1]) / p;
    }
    y2[n - 1] = (-0.5 * u[n - 2]) / (0.5 * y2[n - 2] + 1);
    for (int k = n - 2; k >= 0; --k) y2[k] = y2[k] * y2[k + 1] + u[k];
}

// The elimination coefficients of the spline system depend only on the length, not on the data:
// computed once per axis, they leave one division per sample.
struct SplineSystem {
    std::vector<double> coef;  // y2[i] before back-substitution
    std::vector<double> p;     // pivots of the middle rows
    double lastDiv = 1;
};

SplineSystem MakeSystem(int n)
{
    SplineSystem sys;
    if (n < 2) return sys;
    sys.coef.assign(static_cast<std::size_t>(n), 0.0);
    sys.p.assign(static_cast<std::size_t>(n), 0.0);
    sys.coef[0] = -0.5;
    for (int i = 1; i < n - 1; ++i) {
        sys.p[i] = 0.5 * sys.coef[i - 1] + 2;
        sys.coef[i] = -0.5 / sys.p[i];
    }
    sys.lastDiv = 0.5 * sys.coef[n - 2] + 1;
    return sys;
}

// Same arithmetic as SecondDerivatives, with u kept in y2 until the back-substitution.
void SolveLine(const SplineSystem& sys, const double* y, int n, double* y2)
{
    if (n < 2) {
        std::fill(y2, y2 + std::max(n, 0), 0.0);
        return;
    }
    y2[0] = 0;
    for (int i = 1; i < n - 1; ++i)
        y2[i] = (3 * ((y[i + 1] - y[i]) - (y[i] - y[i - 1])) - 0.5 * y2[i - 1]) / sys.p[i];
    y2[n - 1] = (-0.5 * y2[n - 2]) / sys.lastDiv;
    for (int k = n - 2; k >= 0; --k) y2[k] = sys.coef[k] * y2[k + 1] + y2[k];
}

// Row pass: each of the h source rows (w samples) becomes plan.out samples of work.
template <class T>
void RowPass(const T* in, int w, int h, const AxisPlan& plan, std::vector<double>& work)
{
    const SplineSystem sys = MakeSystem(w);
    std::vector<double> y(static_cast<std::size_t>(w)), y2(y.size());
    for (int r = 0; r < h; ++r) {
        const T* src = in + static_cast<std::size_t>(r) * w;
        for (int c = 0; c < w; ++c) y[c] = static_cast<double>(src[c]);
        SolveLine(sys, y.data(), w, y2.data());
        double* dst = work.data() + static_cast<std::size_t>(r) * plan.out;
        for (std::size_t k = 0; k < plan.taps.size(); ++k) {
            const SplineTap& t = plan.taps[k];
            dst[k] = Evaluate(t, y[t.lo], y[t.lo + 1], y2[t.lo], y2[t.lo + 1]);
        }
        if (plan.exact) dst[plan.out - 1] = y[w - 1];
    }
}

// Second derivatives down every column of an h x cols array at once: the recursion runs row after
// row over contiguous memory and gives exactly what SolveLine gives column by column.
void ColumnSecondDerivatives(const std::vector<double>& work, int h, int cols, std::vector<double>& y2)
{
    const auto at = [cols](int r) { return static_cast<std::size_t>(r) * cols; };
    if (h < 2) {
        std::fill(y2.begin(), y2.end(), 0.0);
        return;
    }
    const SplineSystem sys = MakeSystem(h);
    std::fill_n(y2.begin(), cols, 0.0);
    for (int i = 1; i < h - 1; ++i) {
        const double p = sys.p[i];
        const double *ym = &work[at(i - 1)], *y0 = &work[at(i)], *yp = &work[at(i + 1)];
        const double* um = &y2[at(i - 1)];
        double* u = &y2[at(i)];
        for (int k = 0; k < cols; ++k) u[k] = (3 * ((yp[k] - y0[k]) - (y0[k] - ym[k])) - 0.5 * um[k]) / p;
    }
    for (int k = 0; k < cols; ++k) y2[at(h - 1) + k] = (-0.5 * y2[at(h - 2) + k]) / sys.lastDiv;
    for (int i = h - 2; i >= 0; --i) {
        double* cur = &y2[at(i)];
        const double* next = &y2[at(i + 1)];
        for (int k = 0; k < cols; ++k) cur[k] = sys.coef[i] * next[k] + cur[k];
    }
}

template <class T>
void ColumnPass(const std::vector<double>& work, int h, int cols, const AxisPlan& plan, T* out)
{
    std::vector<double> y2(work.size());
    ColumnSecondDerivatives(work, h, cols, y2);
    const auto at = [cols](int r) { return static_cast<std::size_t>(r) * cols; };
    for (std::size_t m = 0; m < plan.taps.size(); ++m) {
        const SplineTap& t = plan.taps[m];
        const double *ylo = &work[at(t.lo)], *yhi = &work[at(t.lo + 1)];
        const double *dlo = &y2[at(t.lo)], *dhi = &y2[at(t.lo + 1)];
        T* dst = out + at(static_cast<int>(m));
        for (int k = 0; k < cols; ++k) StoreValue(Evaluate(t, ylo[k], yhi[k], dlo[k], dhi[k]), dst[k]);
    }
    if (plan.exact) {
        T* dst = out + at(plan.out - 1);
        for (int k = 0; k < cols; ++k) StoreValue(work[at(h - 1) + k], dst[k]);
    }
}

Status CheckFactor(int n, double f)
{
    if (!(f > 0) || !std::isfinite(f))
        return Status::Fail(StatusCode::OutOfRange,
                            "Facteur de redimensionnement incorrect.",
                            "resampling factor " + std::to_string(f));
    if (OutputLength(n, f) > kMaxResampledSide)
        return Status::Fail(StatusCode::OutOfRange,
                            "Facteur de redimensionnement incorrect.",
                            "resampled side beyond " + std::to_string(kMaxResampledSide));
    return Status::Ok();
}

// Resamples count planes from first into result.
template <class T>
Status ResampleInto(
    const Planes3D<T>& planes, int first, int count, double fx, double fy, Planes3D<T>& result)
{
    const int w = planes.cols(), h = planes.rows();
    if (Status s = CheckFactor(w, fx); !s.ok()) return s;
    if (Status s = CheckFactor(h, fy); !s.ok()) return s;
    if (planes.empty()) return Status::Ok();
    const AxisPlan cols = PlanAxis(w, fx), rows = PlanAxis(h, fy);
    result = Planes3D<T>(count, rows.out, cols.out);
    std::vector<double> work(static_cast<std::size_t>(h) * cols.out);
    for (int p = 0; p < count; ++p) {
        RowPass(planes.Row(first + p, 0), w, h, cols, work);
        ColumnPass(work, h, cols.out, rows, result.Row(p, 0));
    }
    return Status::Ok();
}

template <class T>
Status ResamplePlanes(Planes3D<T>& planes, double fx, double fy)
{
    Planes3D<T> result;
    Status s = ResampleInto(planes, 0, planes.planes(), fx, fy, result);
    if (s.ok() && !planes.empty()) planes = std::move(result);
    return s;
}

}  // namespace

void ShiftImage(Planes3D<double>& planes, double rowShift, double colShift)
{
    ShiftAll(planes, rowShift, colShift);
}

void ShiftImage(Planes3D<std::int16_t>& planes, double rowShift, double colShift)
{
    ShiftAll(planes, rowShift, colShift);
}

void ShiftImagePlane(Planes3D<double>& planes, int plane, double rowShift, double colShift)
{
    if (plane < 0 || plane >= planes.planes()) return;
    if (planes.planes() == 1) return ShiftAll(planes, rowShift, colShift);
    if (planes.empty() || !FiniteShift(rowShift, colShift)) return;
    const int w = planes.cols(), h = planes.rows();
    Planes3D<double> out(1, h, w);
    ShiftPlaneData<double>({planes.Row(plane, 0), w, h}, out.data(), w, h, rowShift, colShift);
    std::copy_n(out.data(), out.size(), planes.Row(plane, 0));
}

void ShiftPlaneInto(const Planes3D<double>& source,
                    Planes3D<double>& target,
                    int targetPlane,
                    double rowShift,
                    double colShift)
{
    if (source.empty() || targetPlane < 0 || targetPlane >= target.planes()) return;
    if (!FiniteShift(rowShift, colShift)) return;
    ShiftPlaneData<double>({source.Row(0, 0), source.cols(), source.rows()},
                           target.Row(targetPlane, 0),
                           target.cols(),
                           target.rows(),
                           rowShift,
                           colShift);
}

void SplineSecondDerivatives(std::span<const double> y, std::span<double> y2)
{
    const int n = static_cast<int>(std::min(y.size(), y2.size()));
    std::vector<double> u(static_cast<std::size_t>(std::max(n, 1)));
    SecondDerivatives(y.data(), n, y2.data(), u.data());
}

double SplineValue(std::span<const double> y, std::span<const double> y2, double x)
{
    const int n = static_cast<int>(std::min(y.size(), y2.size()));
    if (n == 0) return 0;
    if (n == 1) return y[0];
    const SplineTap t = MakeTap(n, x);
    return Evaluate(t, y[t.lo], y[t.lo + 1], y2[t.lo], y2[t.lo + 1]);
}

int ResampledSize(int n, double factor)
{
    if (!CheckFactor(n, factor).ok()) return 0;
    return static_cast<int>(OutputLength(n, factor));
}

Status SplineResample(Planes3D<double>& planes, double colFactor, double rowFactor)
{
    return ResamplePlanes(planes, colFactor, rowFactor);
}

Status SplineResample(Planes3D<std::int16_t>& planes, double colFactor, double rowFactor)
{
    return ResamplePlanes(planes, colFactor, rowFactor);
}

Result<Planes3D<double>> SplineResampled(const Planes3D<double>& planes,
                                         int plane,
                                         double colFactor,
                                         double rowFactor)
{
    if (plane < 0 || plane >= planes.planes())
        return Status::Fail(
            StatusCode::OutOfRange, "Plan d'image absent.", "no plane " + std::to_string(plane));
    Planes3D<double> result;
    Status s = ResampleInto(planes, plane, 1, colFactor, rowFactor, result);
    if (!s.ok()) return s;
    return result;
}

}  // namespace frontlys
