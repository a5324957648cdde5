#include "engine/mtf.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "engine/fft.h"
#include "engine/zernike.h"

namespace frontlys {
namespace {

constexpr char kRefused[] = "Calcul de la FTM impossible.";
constexpr int kMaxSide = 4096;
constexpr int kIntegrationSteps = 1024;  // Simpson intervals over 0..cutoff: 100 per J1 period at r = 10
constexpr double kRadiusStep = 0.05;     // lambda / D

using Field = std::vector<std::complex<double>>;

struct Box {
    int x0 = 0, y0 = 0, w = 0, h = 0;
};

Box MaskBox(const TImageRec& image)
{
    int x0 = image.Width, x1 = -1, y0 = image.Height, y1 = -1;
    for (int r = 0; r < image.Height; ++r)
        for (int c = 0; c < image.Width; ++c)
            if (image.InMask(r, c))
                x0 = std::min(x0, c), x1 = std::max(x1, c), y0 = std::min(y0, r), y1 = std::max(y1, r);
    if (x1 < 0) return {};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

// The OTF, zero frequency at index 0, wrapped: pupil -> PSF -> OTF, normalised to 1 at 0.
Field TransferFunction(const TImageRec& image, const Box& box, int n, double k, bool aberrated)
{
    Field field(std::size_t(n) * n);
    for (int r = 0; r < box.h; ++r)
        for (int c = 0; c < box.w; ++c) {
            if (!image.InMask(r + box.y0, c + box.x0)) continue;
            const double phase = aberrated ? k * image.At(r + box.y0, c + box.x0) : 0.0;
            field[std::size_t(r) * n + c] = std::polar(1.0, phase);
        }
    Fft2DInPlace(field.data(), n, FftDirection::Forward);
    for (auto& v : field) v = std::norm(v);  // the PSF
    Fft2DInPlace(field.data(), n, FftDirection::Inverse);
    const double zero = field[0].real();
    for (auto& v : field) v /= zero;
    return field;
}

struct Rings {
    std::vector<double> modulus, real;  // ring means of |OTF| and Re OTF
};

// Rings of one pupil pixel: ring j holds the frequencies whose length rounds to j pixels.
Rings RingMeans(const Field& otf, int n, int rings)
{
    std::vector<double> modulus(rings, 0.0), real(rings, 0.0), count(rings, 0.0);
    for (int v = 0; v < n; ++v) {
        const int fv = v < n / 2 ? v : v - n;
        for (int u = 0; u < n; ++u) {
            const int fu = u < n / 2 ? u : u - n;
            const int j = static_cast<int>(std::lround(std::hypot(double(fu), double(fv))));
            if (j >= rings) continue;
            const auto value = otf[std::size_t(v) * n + u];
            modulus[j] += std::abs(value), real[j] += value.real(), count[j] += 1;
        }
    }
    for (int j = 0; j < rings; ++j)
        if (count[j] > 0) modulus[j] /= count[j], real[j] /= count[j];
    return {modulus, real};
}

// The ring profile at a position in pupil pixels, linear between rings, 0 past the last.
double Interpolate(const std::vector<double>& t, double position)
{
    const int i = static_cast<int>(position);
    if (i + 1 >= static_cast<int>(t.size())) return 0.0;
    const double f = position - i;
    return t[i] * (1 - f) + t[i + 1] * f;
}

// EE(rho) = 2 pi rho int_0^1 T(s) J1(2 pi rho s) ds for both ring profiles, by Simpson's rule.
void EncircledEnergy(const std::vector<double>& t,
                     const std::vector<double>& tDiff,
                     double cutoffPx,
                     double maxRadius,
                     OpticalTransfer& out)
{
    std::vector<double> a(kIntegrationSteps + 1), b(kIntegrationSteps + 1);
    for (int i = 0; i <= kIntegrationSteps; ++i) {
        const double s = double(i) / kIntegrationSteps;
        a[i] = Interpolate(t, s * cutoffPx);
        b[i] = Interpolate(tDiff, s * cutoffPx);
    }
    const int count = static_cast<int>(std::ceil(maxRadius / kRadiusStep));
    for (int k = 0; k <= count; ++k) {
        const double rho = k * kRadiusStep;
        double sa = 0, sb = 0;
        for (int i = 0; i <= kIntegrationSteps; ++i) {
            const double weight = (i == 0 || i == kIntegrationSteps) ? 1 : (i % 2 ? 4 : 2);
            const double j1 = std::cyl_bessel_j(1.0, 2 * std::numbers::pi * rho * i / kIntegrationSteps);
            sa += weight * a[i] * j1, sb += weight * b[i] * j1;
        }
        const double scale = 2 * std::numbers::pi * rho / (3.0 * kIntegrationSteps);
        out.radius.push_back(rho);
        out.encircled.push_back(sa * scale);
        out.encircledDiffraction.push_back(sb * scale);
    }
}

}  // namespace

Result<OpticalTransfer> ComputeOpticalTransfer(const TImageRec& wavefront, double lambdaNm, double maxRadius)
{
    if (!HasPupilGrid(wavefront) || wavefront.Width < 2)
        return Status::Fail(StatusCode::MissingInput, kRefused, "no wavefront grid");
    if (!(lambdaNm > 0) || !std::isfinite(lambdaNm))
        return Status::Fail(StatusCode::OutOfRange, kRefused, "wavelength must be positive");
    if (!(maxRadius > 0) || maxRadius > 100)
        return Status::Fail(StatusCode::OutOfRange, kRefused, "radius out of range");
    const Box box = MaskBox(wavefront);
    if (box.w == 0) return Status::Fail(StatusCode::MissingInput, kRefused, "empty pupil mask");
    const double pitch = std::fabs(wavefront.XAxis[1] - wavefront.XAxis[0]);  // reduced units per pixel
    if (!(pitch > 0)) return Status::Fail(StatusCode::MissingInput, kRefused, "flat pupil axes");
    const int n = FftSize(2 * box.w, 2 * box.h);
    if (n > kMaxSide) return Status::Fail(StatusCode::OutOfRange, kRefused, "pupil too large");

    const double k = 2 * std::numbers::pi / lambdaNm;
    const Field otf = TransferFunction(wavefront, box, n, k, true);
    const Field diff = TransferFunction(wavefront, box, n, k, false);
    const double cutoffPx = 2 / pitch;  // the pupil's diameter in pixels
    const int rings = std::min(n / 2, static_cast<int>(std::ceil(cutoffPx)) + 2);
    const Rings a = RingMeans(otf, n, rings), b = RingMeans(diff, n, rings);

    OpticalTransfer out;
    for (int j = 0; j < rings && j <= cutoffPx; ++j) {
        out.frequency.push_back(j / cutoffPx);
        out.mtf.push_back(a.modulus[j]);
        out.mtfDiffraction.push_back(b.modulus[j]);
    }
    double volume = 0, volumeDiff = 0;
    for (std::size_t i = 0; i < otf.size(); ++i) volume += otf[i].real(), volumeDiff += diff[i].real();
    out.strehl = volume / volumeDiff;
    EncircledEnergy(a.real, b.real, cutoffPx, maxRadius, out);
    return out;
}

double RadiusForEnergy(const std::vector<double>& radius,
                       const std::vector<double>& encircled,
                       double fraction)
{
    for (std::size_t i = 1; i < radius.size() && i < encircled.size(); ++i) {
        if (encircled[i] < fraction) continue;
        const double span = encircled[i] - encircled[i - 1];
        const double f = span > 0 ? (fraction - encircled[i - 1]) / span : 0;
        return radius[i - 1] + f * (radius[i] - radius[i - 1]);
    }
    return std::nan("");
}

}  // namespace frontlys
