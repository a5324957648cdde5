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

// Columns [first, end) of row r within the aperture test's reach, x^2 + y^2 <= 1 + 4 step: the test
// depends on |c - n/2| alone and grows with it, so they are one run about the centre, found from the
// square root's guess and settled by the test itself.
ColumnSpan ReachedColumns(const PupilPlane& p, ColumnSpan square, double y)
{
    const int n = p.n;
    const double step = p.dxNm / p.apertureRadiusNm, limit = 1.0 + 4 * step;
    const auto within = [&](int d) {
        const double x = d * step;
        return !(x * x + y * y > limit);
    };
    const double guess = std::sqrt(std::max(0.0, limit - y * y)) / step;
    int d = guess < n ? static_cast<int>(guess) : n;
    while (d < n && within(d + 1)) ++d;
    while (d >= 0 && !within(d)) --d;
    if (d < 0) return {0, 0};
    return {std::max(square.first, n / 2 - d), std::min(square.end, n / 2 + d + 1)};
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
        const double y = -(r - n / 2) * step;
        const ColumnSpan reach =
            r < square.first || r >= square.end ? ColumnSpan{} : ReachedColumns(p, square, y);
        const int reached = reach.end - reach.first;
        if (reached <= 0) {
            clear(stored.first, stored.end);
            return;
        }
        thread_local std::vector<double> t, amplitude, xs, opd, defocus, phase, sine, cosine;
        thread_local std::vector<int> columns;
        for (auto* v : {&t, &amplitude, &xs, &opd, &defocus, &phase, &sine, &cosine}) v->resize(reached);
        columns.resize(reached);
        for (int i = 0; i < reached; ++i) xs[i] = (reach.first + i - n / 2) * step;
        transmission(y, std::span<const double>(xs.data(), reached), std::span<double>(t.data(), reached));
        int lit = 0;
        for (int i = 0; i < reached; ++i) {
            if (t[i] <= 0) continue;
            const int c = reach.first + i;
            amplitude[lit] = (((r + c) & 1) ? -1.0 : 1.0) * t[i];
            xs[lit] = xs[i];
            columns[lit] = c;
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
        // The reached run written in one pass, its dark points as zeros; the rest of the row cleared.
        clear(stored.first, reach.first);
        std::complex<double>* out = row + (reach.first - stored.first);
        for (int i = 0, j = 0; i < reached; ++i) {
            if (j < lit && columns[j] == reach.first + i) {
                out[i] = {amplitude[j] * cosine[j], amplitude[j] * sine[j]};
                ++j;
            } else {
                out[i] = {};
            }
        }
        clear(reach.end, stored.end);
    });
    return square;
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
