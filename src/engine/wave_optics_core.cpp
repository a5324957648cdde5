#include "engine/wave_optics_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/sincos.h"
#include "core/thread_pool.h"
#include "engine/beam_geometry.h"

namespace frontlys {

namespace {

// Only the square around the pupil can pass the aperture test of FillField; the rest of the grid
// stays zero.
ColumnSpan PupilSquare(const PupilPlane& p)
{
    const int n = p.n;
    const double step = p.dxNm / p.apertureRadiusNm;
    const double reachSamples = std::ceil(std::sqrt(1.0 + 4 * step) / step) + 1;
    const int reach = reachSamples < n ? static_cast<int>(reachSamples) : n;
    return {std::max(0, n / 2 - reach), std::min(n, n / 2 + reach + 1)};
}

// The transmission a point at a time, asked a row at a time.
PupilRowFunction ByRow(const PupilFunction& transmission)
{
    return [&transmission](double y, std::span<const double> x, std::span<double> out) {
        for (std::size_t i = 0; i < x.size(); ++i) out[i] = transmission(x[i], y);
    };
}

// Columns [stored.first, stored.end) of the n x n grid, row r at field + r * stride, every element
// written once; the columns of the pupil's square are among them.
ColumnSpan FillField(std::complex<double>* field,
                     std::ptrdiff_t stride,
                     ColumnSpan stored,
                     const PupilPlane& p,
                     const PupilRowFunction& transmission,
                     const PupilRowFunction& opdNm)
{
    const int n = p.n;
    const double radius = p.apertureRadiusNm;
    const double k = 2.0 * std::numbers::pi / p.lambdaNm;
    const double step = p.dxNm / radius;
    const ColumnSpan square = PupilSquare(p);
    const int lo = square.first, hi = square.end;
    const bool shifted = p.shiftCols != 0 || p.shiftRows != 0;
    // Rows are independent: each clears its own dark stretches (no serial pass over the whole grid) and
    // takes the transmission, the OPD and the defocus path of its points, then the sines and cosines
    // of their phases, in one batch each.
    ParallelFor(n, [&](int r) {
        std::complex<double>* row = field + static_cast<std::ptrdiff_t>(r) * stride;
        // All-zero bytes are +0 in both parts: the library's clearing outruns a loop of stores.
        const auto clear = [&](int from, int to) {
            if (to > from)
                std::memset(static_cast<void*>(row + (from - stored.first)), 0, sizeof(*row) * (to - from));
        };
        if (r < lo || r >= hi) {
            clear(stored.first, stored.end);
            return;
        }
        const int width = hi - lo;
        thread_local std::vector<double> amplitude, xs, opd, defocus, phase, sine, cosine;
        thread_local std::vector<int> columns;
        for (auto* v : {&amplitude, &xs, &opd, &defocus, &phase, &sine, &cosine}) v->resize(width);
        columns.resize(width);
        const double y = -(r - n / 2) * step;
        int reached = 0;
        for (int c = lo; c < hi; ++c) {
            const double x = (c - n / 2) * step;
            if (x * x + y * y > 1.0 + 4 * step) continue;
            xs[reached] = x;
            columns[reached] = c;
            ++reached;
        }
        transmission(
            y, std::span<const double>(xs.data(), reached), std::span<double>(amplitude.data(), reached));
        int lit = 0;
        for (int i = 0; i < reached; ++i) {
            const double t = amplitude[i];
            if (t <= 0) continue;
            const double sign = ((r + columns[i]) & 1) ? -1.0 : 1.0;
            amplitude[lit] = sign * t;
            xs[lit] = xs[i];
            columns[lit] = columns[i];
            ++lit;
        }
        if (lit == 0) {
            clear(stored.first, stored.end);
            return;
        }
        opdNm(y, std::span<const double>(xs.data(), lit), std::span<double>(opd.data(), lit));
        for (int i = 0; i < lit; ++i) phase[i] = (xs[i] * xs[i] + y * y) * radius * radius;  // h^2
        DefocusPaths(std::span<const double>(phase.data(), lit),
                     p.focalNm,
                     p.planeNm,
                     std::span<double>(defocus.data(), lit));
        // The linear phase moves the image by the given fractions of a sample. Without a shift it is a
        // signed zero, which leaves every phase but a zero one as it is.
        const double rowShift = p.shiftRows * (r - n / 2);
        for (int i = 0; i < lit; ++i) {
            const double path = opd[i] + defocus[i];
            phase[i] = -k * path;
            if (shifted || phase[i] == 0)
                phase[i] += 2.0 * std::numbers::pi * (p.shiftCols * (columns[i] - n / 2) + rowShift) / n;
        }
        SinCos(phase.data(), sine.data(), cosine.data(), lit);
        int next = stored.first;  // the first column not yet written
        for (int i = 0; i < lit; ++i) {
            const int c = columns[i];
            clear(next, c);
            row[c - stored.first] = {amplitude[i] * cosine[i], amplitude[i] * sine[i]};
            next = c + 1;
        }
        clear(next, stored.end);
    });
    return {lo, hi};
}

}  // namespace

ColumnSpan FillPupilField(std::vector<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilFunction& transmission,
                          const PupilRowFunction& opdNm)
{
    return FillPupilField(field, plane, ByRow(transmission), opdNm);
}

ColumnSpan FillPupilField(std::vector<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilRowFunction& transmission,
                          const PupilRowFunction& opdNm)
{
    field.resize(static_cast<std::size_t>(plane.n) * plane.n);
    return FillField(field.data(), plane.n, {0, plane.n}, plane, transmission, opdNm);
}

ColumnSpan FillPupilField(Buffer<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilFunction& transmission,
                          const PupilRowFunction& opdNm)
{
    field.resize(static_cast<std::size_t>(plane.n) * plane.n);
    return FillField(field.data(), plane.n, {0, plane.n}, plane, ByRow(transmission), opdNm);
}

LitBand FillPupilBand(Buffer<std::complex<double>>& field,
                      const PupilPlane& plane,
                      const PupilFunction& transmission,
                      const PupilRowFunction& opdNm)
{
    return FillPupilBand(field, plane, ByRow(transmission), opdNm);
}

LitBand FillPupilBand(Buffer<std::complex<double>>& field,
                      const PupilPlane& plane,
                      const PupilRowFunction& transmission,
                      const PupilRowFunction& opdNm)
{
    const ColumnSpan square = PupilSquare(plane);
    const int width = std::max(0, square.end - square.first);
    // A stride of a multiple of 4 KiB would put every row of a column in the same cache sets.
    const std::ptrdiff_t stride = width % 256 == 0 ? width + 4 : width;
    const std::size_t cells = static_cast<std::size_t>(plane.n) * stride;
    ReserveLarge(field, cells);
    field.resize(cells);
    FillField(field.data(), stride, square, plane, transmission, opdNm);
    return {square, stride};
}

ColumnSpan FillPupilField(std::vector<std::complex<double>>& field,
                          const PupilPlane& plane,
                          const PupilFunction& transmission,
                          const PupilFunction& opdNm)
{
    return FillPupilField(
        field, plane, transmission, [&](double y, std::span<const double> x, std::span<double> out) {
            for (std::size_t i = 0; i < x.size(); ++i) out[i] = opdNm(x[i], y);
        });
}

double TransformField(std::vector<std::complex<double>>& field, const FftPlan& plan)
{
    TransformFieldOnly(field, plan);
    double total = 0;
    for (const auto& v : field) total += std::norm(v);
    return total;
}

void TransformFieldOnly(std::vector<std::complex<double>>& field, const FftPlan& plan)
{
    const int n = plan.size();
    int first = n, last = -1;
    for (int r = 0; r < n; ++r) {
        const std::complex<double>* row = field.data() + static_cast<std::ptrdiff_t>(r) * n;
        for (int c = 0; c < first; ++c)
            if (row[c] != 0.0) first = c;
        for (int c = n - 1; c > last; --c)
            if (row[c] != 0.0) last = c;
    }
    TransformFieldOnly(field, plan, {first, last + 1});
}

void TransformFieldOnly(std::vector<std::complex<double>>& field, const FftPlan& plan, ColumnSpan lit)
{
    TransformFieldOnly(std::span<std::complex<double>>(field), plan, lit);
}

void TransformFieldOnly(std::span<std::complex<double>> field, const FftPlan& plan, ColumnSpan lit)
{
    // The pupil fills under half of the columns, and a column of zeros transforms to zeros: the
    // strided column pass runs over the lit columns only, the contiguous row pass over all rows.
    const int n = plan.size();
    const int first = std::max(0, lit.first), end = std::min(n, lit.end);
    if (end > first) plan.TransformColumns(field.data() + first, end - first, n, FftDirection::Forward);
    plan.TransformRows(field.data(), n, FftDirection::Forward);
}

void AccumulateIntensity(std::span<const std::complex<double>> field,
                         double total,
                         std::span<double> sum,
                         double weight)
{
    if (total <= 0) return;
    for (std::size_t i = 0; i < sum.size() && i < field.size(); ++i)
        sum[i] += weight * std::norm(field[i]) / total;
}

void AddIntensity(std::vector<std::complex<double>>& field,
                  const FftPlan& plan,
                  std::span<double> sum,
                  double weight)
{
    const double total = TransformField(field, plan);
    AccumulateIntensity(field, total, sum, weight);
}

}  // namespace frontlys
