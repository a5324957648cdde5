#pragma once
// Discrete Fourier transforms of square arrays, in double precision.
//
// Low level (FftPlan, RealFft2Plan, Fft1DInPlace, Fft2DInPlace): in place, unnormalised, row-major
// n x n complex data. Forward uses exp(-2*pi*i*k*m/n), Inverse exp(+2*pi*i*k*m/n); forward then
// inverse multiplies by n (1-D) or n*n (2-D). n must be 2^a 3^b 5^c >= 1 (IsFastFftSize; FastFftSize
// gives the smallest such size that holds a length); n = 1 is the identity.
//
// High level (Fft2Real, Fft2Complex, Fft2Inverse, PowerSpectrum): the centred convention of the
// engine. A complex array is a Planes3D of two planes, plane 0 the real parts and plane 1 the
// imaginary parts. The forward transforms place the input in the top-left corner of an N x N zero
// array, N = FftSize(width, height), and return the 2-D DFT divided by N*N with the zero frequency at
// row and column N/2 (0-based): element (N/2 + v, N/2 + u) holds frequency (u, v), u and v from -N/2
// to N/2 - 1. Fft2Inverse undoes it exactly (no division), so forward then inverse returns the input.
// These keep the power-of-two N of FftSize.

#include <complex>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/planes.h"

namespace frontlys {

enum class FftDirection { Forward, Inverse };  // Forward: exp(-2*pi*i*k*n/N); Inverse: exp(+...)

// Precomputed twiddles and work buffers for one size; reuse it across calls of the same size. The
// buffers make a plan unfit for use by two threads at once (the program has one).
class FftPlan {
public:
    explicit FftPlan(int n);
    int size() const { return m_n; }
    void Transform1D(std::complex<double>* data, FftDirection direction) const;
    // The same with caller-owned scratch of n elements (no allocation).
    void Transform1D(std::complex<double>* data, std::complex<double>* scratch, FftDirection direction) const;
    void Transform2D(std::complex<double>* data, FftDirection direction) const;
    // Transforms `rows` contiguous rows of n elements, shared among the pool's threads from n = 256.
    void TransformRows(std::complex<double>* data, int rows, FftDirection direction) const;
    // `count` interleaved transforms: element e of transform l is data[e * count + l].
    void TransformLanes(std::complex<double>* data, int count, FftDirection direction) const;
    // Transforms `columns` columns of n rows, row r starting at data + r * rowStride.
    void TransformColumns(std::complex<double>* data,
                          int columns,
                          std::ptrdiff_t rowStride,
                          FftDirection direction) const;
    // Transforms the columns of an n x `columns` array forward, multiplies element (r, c) by
    // filter[r * columns + c] and transforms them back, a strip of columns at a time.
    void FilterColumns(std::complex<double>* data, int columns, const double* filter) const;

private:
    friend class RealFft2Plan;
    struct Stage {
        int span;                                   // sub-transform length entering this stage
        int radix;                                  // 2, 3, 4, 5 or 8
        std::vector<std::complex<double>> forward;  // w^p for every p < span / radix, then w^2p, ...
        std::vector<std::complex<double>> inverse;  // their conjugates
    };
    // Returns where the result is: data or scratch, each of n * lanes elements; the other is spoilt.
    // With `batch`, as many transforms one after the other (data and scratch hold batch * n * lanes).
    std::complex<double>* Run(std::complex<double>* data,
                              std::complex<double>* scratch,
                              int lanes,
                              FftDirection direction,
                              int batch = 1) const;
    // One transform (lanes 1) of `source`, left as it is, through a and b of n elements each, with
    // Run's arithmetic; returns where the result is (a or b).
    const std::complex<double>* RunFrom(const std::complex<double>* source,
                                        std::complex<double>* a,
                                        std::complex<double>* b,
                                        FftDirection direction) const;
    // Transforms `lanes` columns whose element e, lane l is data[e * rowStride + l], in place,
    // through the work buffers a and b of n * lanes elements.
    void RunColumns(std::complex<double>* data,
                    std::ptrdiff_t rowStride,
                    int lanes,
                    std::complex<double>* a,
                    std::complex<double>* b,
                    FftDirection direction) const;
    // The same, the result in data; with `spare` (as large as scratch) it needs no final copy.
    void RunInPlace(std::complex<double>* data,
                    std::complex<double>* scratch,
                    int lanes,
                    FftDirection direction,
                    std::complex<double>* spare = nullptr,
                    int batch = 1) const;

    // Columns are transformed in strips whose inner stages run in `m_strip` and `m_scratch`, so that
    // the butterflies run over contiguous rows and the strip stays in cache. Sized on first use.
    std::complex<double>* Strip(std::size_t elements) const;
    std::complex<double>* Scratch(std::size_t elements) const;
    // Two work buffers of at least `elements` for each of `tasks` tasks, in `m_tasks`.
    void TaskBuffers(int tasks, std::size_t elements) const;
    // body(first column, width, a, b) for every strip of `columns` (rows `rowStride` apart), the
    // strips shared among tasks on the thread pool, each task with work buffers a and b of its own
    // (kept in `m_tasks`). A strip's values do not depend on the task that runs it.
    void ForStrips(
        int columns,
        std::ptrdiff_t rowStride,
        const std::function<void(int, int, std::complex<double>*, std::complex<double>*)>& body) const;

    int m_n = 1;
    std::vector<Stage> m_stages;
    mutable std::vector<std::complex<double>> m_strip, m_scratch;
    mutable std::vector<std::vector<std::complex<double>>> m_tasks;
};

// Real n x n arrays (n >= 2, 2^a 3^b 5^c) and their half spectra: n rows of n/2 + 1 complex
// values, frequencies 0..n/2 along a row, natural (uncentred) order, unnormalised. Two real rows
// share one complex row transform, so a pair costs about half of the complex 2-D transforms.
class RealFft2Plan {
public:
    explicit RealFft2Plan(int n);
    RealFft2Plan(const RealFft2Plan&) = default;
    RealFft2Plan(RealFft2Plan&&) = default;
    RealFft2Plan& operator=(const RealFft2Plan&) = default;
    RealFft2Plan& operator=(RealFft2Plan&&) = default;
    ~RealFft2Plan();  // gives its half spectrum back (core/large_buffer.h)
    int size() const { return m_n; }
    int halfWidth() const { return m_n / 2 + 1; }
    void Forward(const double* input, std::complex<double>* half);
    // Overwrites `half` with intermediate values; output = the real inverse, unnormalised.
    void Inverse(std::complex<double>* half, double* output);
    // output = Inverse(filter * Forward(input)), `filter` real over the half spectrum: the same
    // values, with each strip of columns going forward, through the filter and back while in cache.
    // `output` may be `input`.
    void Filter(const double* input, const double* filter, double* output);
    // The samples (start + j step, start + i step), 0 <= i, j < count, of Filter's output, to
    // output[j * count + i]; the rows between the samples are not transformed back.
    void FilterSampled(
        const double* input, const double* filter, int start, int step, int count, double* output);

    // The same samples for a separable filter: `filter` (n values in transform order, even:
    // filter[k] == filter[n - k]) along the rows and then along the columns. Each line is filtered
    // alone, and when `step` divides n its samples come from the spectrum folded to n / step values
    // and a transform of that length, so the work is about a third of FilterSampled's.
    void FilterSampledSeparable(
        const double* input, const double* filter, int start, int step, int count, double* output);
    // The same with |field|^2 as the input, n x n complex values, read as the rows are filtered.
    void FilterIntensitySampled(const std::complex<double>* field,
                                const double* filter,
                                int start,
                                int step,
                                int count,
                                double* output);
    // The same for a field whose 2-D transform still lacks its row pass (FftPlan::TransformRows of
    // the same size, forward): each row is transformed as it is read, with the same bits, and the
    // transformed rows never go back to memory. `field` is left as it was.
    void TransformRowsFilterIntensitySampled(const std::complex<double>* field,
                                             const double* filter,
                                             int start,
                                             int step,
                                             int count,
                                             double* output);
    // The same for a field stored by its columns [first, first + width) only, the others zero: row
    // r's stored elements at data + r * stride.
    struct StoredColumns {
        const std::complex<double>* data = nullptr;
        int first = 0, width = 0;
        std::ptrdiff_t stride = 0;
    };
    void TransformRowsFilterIntensitySampled(
        const StoredColumns& field, const double* filter, int start, int step, int count, double* output);

private:
    // FilterSampledSeparable of either input (the other's data null); `rowsPending`: see
    // TransformRowsFilterIntensitySampled. Without it the field's rows are whole.
    void SampleSeparable(const double* input,
                         const StoredColumns& field,
                         bool rowsPending,
                         const double* filter,
                         int start,
                         int step,
                         int count,
                         double* output);
    void ForwardRows(const double* input, std::complex<double>* half);
    void InverseRows(const std::complex<double>* half, double* output);
    // body(first row, end, row, scratch) over the pairs of rows 0..rows, shared among tasks on the pool,
    // each with a row and scratch of its own.
    void ForRowPairs(int rows,
                     const std::function<void(int, int, std::complex<double>*, std::complex<double>*)>& body);

    int m_n;
    FftPlan m_plan;
    std::vector<std::complex<double>> m_row, m_scratch, m_half;
    std::vector<double> m_lines;  // the row-filtered samples of FilterSampledSeparable
    // Its tasks' lines and samples, kept across calls (see SampleSeparable).
    std::vector<std::vector<std::complex<double>>> m_taskLines;
    std::vector<std::vector<double>> m_taskSamples;
    std::vector<std::vector<std::complex<double>>> m_taskRows;
};

// In place, unnormalised, row-major n x n complex array, n = 2^a 3^b 5^c >= 1 (n = 1: identity).
void Fft2DInPlace(std::complex<double>* data, int n, FftDirection direction);
void Fft1DInPlace(std::complex<double>* data, int n, FftDirection direction);

bool IsPowerOfTwo(int n);
constexpr int kMaxFastFftSize = 1 << 24;
// n = 2^a 3^b 5^c, n >= 1: the sizes the plans take.
bool IsFastFftSize(int n);
// Smallest 2^a 3^b 5^c that is at least n (1 for n <= 1; 0 beyond kMaxFastFftSize).
int FastFftSize(int n);
// Smallest power of two that is at least 2 and at least width and height.
int FftSize(int width, int height);

// Forward transforms of a width x height input (row-major, `input.size()` >= width * height).
Planes3D<double> Fft2Real(std::span<const double> input, int width, int height);
Planes3D<double> Fft2Real(std::span<const std::int16_t> input, int width, int height);
Planes3D<double> Fft2Complex(std::span<const double> real,
                             std::span<const double> imag,
                             int width,
                             int height);
// Real part of the inverse of a centred spectrum, as a one-plane N x N array.
Planes3D<double> Fft2Inverse(const Planes3D<double>& spectrum);
// re^2 + im^2 per element, one plane.
Planes3D<double> PowerSpectrum(const Planes3D<double>& spectrum);

// Exchanges rows r and r + N/2 and, within them, the column halves, on every plane (N even).
template <class T>
void QuadrantSwap(Planes3D<T>& array);
// Quarter turns of every plane; width and height exchange.
// RotateLeft: new[r][c] = old[c][W-1-r]. RotateRight: new[r][c] = old[H-1-c][r].
template <class T>
Planes3D<T> RotateLeft(const Planes3D<T>& array);
template <class T>
Planes3D<T> RotateRight(const Planes3D<T>& array);

}  // namespace frontlys
