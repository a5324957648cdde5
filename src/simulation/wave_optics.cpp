#include "simulation/wave_optics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <optional>
#include <vector>

#include "core/thread_pool.h"
#include "engine/beam_geometry.h"
#include "engine/fft.h"
#include "engine/wave_optics_core.h"

namespace frontlys {
namespace {

using Complex = std::complex<double>;
constexpr double kArcsecPerRadian = 206264.80624709636;
constexpr double kFieldMargin = 1.25;
constexpr long long kFieldBudgetBytes = 1LL << 30;  // fields of the wavelengths transformed together

double FocalNm(const SimulationParams& p) { return p.focalMm * 1e6; }
// The farther plane's distance from focus: it sets the size of the field.
double DefocusNm(const SimulationParams& p) { return (p.defocusMm + std::abs(p.defocusAsymmetryMm)) * 1e6; }
double ApertureRadiusNm(const SimulationParams& p) { return p.diameterMm * 5e5; }

double PlaneDistanceNm(const SimulationParams& p, FocalSide side)
{
    const bool extra = side == FocalSide::Extra;
    const double l = SideDefocusMm(p, extra) * 1e6;
    return extra ? FocalNm(p) + l : FocalNm(p) - l;
}

int NextPowerOfTwo(double value)
{
    int n = 64;
    while (n < value && n <= kMaxFineGrid) n *= 2;
    return n;
}

}  // namespace

double SeeingSigmaNm(const SimulationParams& params)
{
    const double fwhm = params.seeingArcsec / kArcsecPerRadian * FocalNm(params);
    return fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
}

Result<FineGrid> ChooseFineGrid(const SimulationParams& params, double maxSlopeNm)
{
    const auto lambdas = SimulatedWavelengthsNm(params);
    const double lambdaMin = *std::min_element(lambdas.begin(), lambdas.end());
    const double zIntra = PlaneDistanceNm(params, FocalSide::Intra);
    const double zExtra = PlaneDistanceNm(params, FocalSide::Extra);
    const double duMax = lambdaMin * zIntra / (2 * ApertureRadiusNm(params));
    const double pixel = BinnedPixelNm(params);
    FineGrid grid;
    grid.oversample = std::max(2, static_cast<int>(std::ceil(pixel / duMax - 1e-9)));
    grid.stepNm = pixel / grid.oversample;
    const double donut = DonutRadius(FocalNm(params), ApertureRadiusNm(params), DefocusNm(params));
    const double spread = zExtra * maxSlopeNm / ApertureRadiusNm(params) + 4 * SeeingSigmaNm(params);
    const double halfField = kFieldMargin * (donut + spread) + 4 * grid.stepNm;
    grid.n = NextPowerOfTwo(2 * halfField / grid.stepNm);
    if (grid.n > kMaxFineGrid) {
        return Status::Fail(StatusCode::OutOfRange,
                            "Simulation trop grande : réduire la défocalisation ou l'aberration",
                            "the fine grid would exceed " + std::to_string(kMaxFineGrid) + " samples");
    }
    return grid;
}

Planes3D<double> FocalPlaneIntensity(const SimulationParams& params,
                                     const Aperture& aperture,
                                     FocalSide side,
                                     const FineGrid& grid,
                                     const FramePlacement& placement)
{
    const int n = grid.n;
    const double z = PlaneDistanceNm(params, side);
    const auto lambdas = SimulatedWavelengthsNm(params);
    const int count = static_cast<int>(lambdas.size());
    Planes3D<double> sum(1, n, n);
    // A few wavelengths at a time, each on a field and plan of its own kept from batch to batch;
    // every element then receives their intensities in the order of the wavelengths, so that the
    // sum has the same bits whatever the number of threads.
    const std::size_t samples = static_cast<std::size_t>(n) * n;
    const long long fit = std::max<long long>(1, kFieldBudgetBytes / (sizeof(Complex) * samples));
    const int slots =
        static_cast<int>(std::clamp<long long>(std::min<long long>(ThreadCount(), fit), 1, count));
    struct Slot {
        std::vector<Complex> field;
        std::optional<FftPlan> plan;
        double total = 0;
    };
    std::vector<Slot> work(slots);
    const int blocks = std::min(n, 64);
    for (int first = 0; first < count; first += slots) {
        const int batch = std::min(slots, count - first);
        ParallelFor(batch, [&](int k) {
            Slot& slot = work[k];
            if (!slot.plan) slot.plan.emplace(n);
            const double lambda = lambdas[first + k];
            const PupilPlane plane{FocalNm(params),
                                   ApertureRadiusNm(params),
                                   z,
                                   lambda,
                                   n,
                                   lambda * z / (n * grid.stepNm),
                                   placement.shiftRows,
                                   placement.shiftCols};
            FillPupilField(slot.field, plane, aperture.transmission, aperture.opdNm);
            slot.total = TransformField(slot.field, *slot.plan);
        });
        ParallelFor(blocks, [&](int b) {
            const std::size_t begin = samples * b / blocks, end = samples * (b + 1) / blocks;
            const auto out = sum.Plane(0).subspan(begin, end - begin);
            for (int k = 0; k < batch; ++k) {
                const std::span<const Complex> field(work[k].field);
                AccumulateIntensity(field.subspan(begin, end - begin), work[k].total, out, 1.0 / count);
            }
        });
    }
    return sum;
}

void BlurGaussian(Planes3D<double>& intensity, double sigmaSamples)
{
    if (!(sigmaSamples > 0)) return;
    const int n = intensity.cols();
    auto plane = intensity.Plane(0);
    std::vector<Complex> data(plane.begin(), plane.end());
    FftPlan plan(n);
    plan.Transform2D(data.data(), FftDirection::Forward);
    const double a =
        2.0 * std::numbers::pi * std::numbers::pi * sigmaSamples * sigmaSamples / (double(n) * n);
    for (int r = 0; r < n; ++r) {
        const double v = r < n / 2 ? r : r - n;
        for (int c = 0; c < n; ++c) {
            const double u = c < n / 2 ? c : c - n;
            data[static_cast<std::size_t>(r) * n + c] *= std::exp(-a * (u * u + v * v));
        }
    }
    plan.Transform2D(data.data(), FftDirection::Inverse);
    const double scale = 1.0 / (double(n) * n);
    for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = std::max(0.0, data[i].real() * scale);
}

FramePlacement PlaceOnFrame(const FineGrid& grid, const SimulationParams& params)
{
    // Continuous fine-sample positions, 0 at the frame corner; sample p covers [p, p + 1).
    const double col = (params.size / 2.0 + params.offsetXPx) * grid.oversample;
    const double row = (params.size / 2.0 + params.offsetYPx) * grid.oversample;
    FramePlacement out;
    out.baseCol = static_cast<long long>(std::floor(col)) - grid.n / 2;
    out.baseRow = static_cast<long long>(std::floor(row)) - grid.n / 2;
    out.shiftCols = col - std::floor(col) - 0.5;
    out.shiftRows = row - std::floor(row) - 0.5;
    return out;
}

Planes3D<double> BinOntoFrame(const Planes3D<double>& fine,
                              const FineGrid& grid,
                              const FramePlacement& placement,
                              const SimulationParams& params)
{
    const int size = params.size;
    const int os = grid.oversample;
    const int n = fine.cols();
    Planes3D<double> frame(1, size, size);
    const long long limit = static_cast<long long>(size) * os;
    for (int r = 0; r < n; ++r) {
        const long long fr = placement.baseRow + r;
        if (fr < 0 || fr >= limit) continue;
        const double* row = fine.Row(0, r);
        double* out = frame.Row(0, static_cast<int>(fr / os));
        for (int c = 0; c < n; ++c) {
            const long long fc = placement.baseCol + c;
            if (fc >= 0 && fc < limit) out[fc / os] += row[c];
        }
    }
    return frame;
}

}  // namespace frontlys
