#pragma once
// A small geometric forward model for the curvature tests: the intra- and extra-focal images of a
// uniform annular pupil whose light travels along the rays of a known wavefront.
//
// A ray leaving pupil point x (reduced units) lands at xi = x + a grad W(x) in the defocused plane,
// with a = a1 (intra) or a2 (extra) of the transport; flux conservation gives the intensity
// U / det(I + a Hess W) there. Each image pixel is supersampled; each sample finds its pupil point by
// the fixed-point iteration x <- xi - a grad W(x), valid while no caustic forms (|a Hess W| < 1).
// W is a sum of classical (unobstructed) Zernike terms with peak normalisation, defined for any
// radius, so the rays may leave the pupil.

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "core/image_rec.h"
#include "engine/test_geometry.h"
#include "engine/transport.h"
#include "engine/zernike.h"

namespace frontlys::testing {

// R_n^m(rho) = rho^m * sum_s c_s rho^(n - m - 2s): the coefficients c_s of the explicit sum.
inline std::array<double, 4> RadialCoefficients(int n, int m)
{
    const auto factorial = [](int v) {
        double f = 1;
        for (int i = 2; i <= v; ++i) f *= i;
        return f;
    };
    std::array<double, 4> out{};
    for (int s = 0; s <= (n - m) / 2; ++s) {
        const double c =
            factorial(n - s) / (factorial(s) * factorial((n + m) / 2 - s) * factorial((n - m) / 2 - s));
        out[s] = (s % 2) ? -c : c;
    }
    return out;
}

// W = sum of c_k R_n^m(rho) cos/sin(m theta), evaluated without trigonometry as
// Re/Im((x + iy)^m) times a polynomial in rho^2, so it is defined (and smooth) everywhere.
class KnownWavefront {
public:
    ZernikeCoefficients coefficients{};  // nm, classical polynomials

    double operator()(double x, double y) const
    {
        const double r2 = x * x + y * y;
        std::array<double, kMaxAzimuthalOrder + 1> re{}, im{};
        re[0] = 1;
        for (int m = 1; m <= kMaxAzimuthalOrder; ++m) {
            re[m] = re[m - 1] * x - im[m - 1] * y;
            im[m] = re[m - 1] * y + im[m - 1] * x;
        }
        double w = 0;
        for (int k = 1; k <= kZernikeTerms; ++k) {
            if (coefficients[k - 1] == 0) continue;
            const ZernikeTerm& t = ZernikeTermInfo(k);
            const auto& cs = Table()[k - 1];
            double poly = 0;  // sum_s c_s r2^((n - m)/2 - s), nested from s = 0
            for (int s = 0; s <= (t.n - t.m) / 2; ++s) poly = poly * r2 + cs[s];
            w += coefficients[k - 1] * poly * (t.sine ? im[t.m] : re[t.m]);
        }
        return w;
    }

private:
    static const std::array<std::array<double, 4>, kZernikeTerms>& Table()
    {
        static const auto table = [] {
            std::array<std::array<double, 4>, kZernikeTerms> t{};
            for (int k = 1; k <= kZernikeTerms; ++k) {
                t[k - 1] = RadialCoefficients(ZernikeTermInfo(k).n, ZernikeTermInfo(k).m);
            }
            return t;
        }();
        return table;
    }
};

struct ModelPupil {
    int size = 128;          // image side, pixels
    double radiusPx = 48;    // pupil radius in the images, pixels
    double obstruction = 0;  // eps of the uniform annulus
    double level = 1000;     // uniform intensity of the pupil
    int supersample = 4;     // samples per pixel side
    double blurPx = 0;       // Gaussian sigma of the seeing blur, pixels (0: sharp edges)
};

// Typical test: F = 1000 mm, R = 100 mm, l = 2 mm, in nanometres.
inline TestGeometry ModelGeometry() { return {1.0e9, 1.0e8, 2.0e6}; }

namespace detail {

struct Derivatives {
    double wx, wy, wxx, wyy, wxy;
};

inline void Gradient(const KnownWavefront& w, double x, double y, double& wx, double& wy)
{
    const double e = 1e-5;
    wx = (w(x + e, y) - w(x - e, y)) / (2 * e);
    wy = (w(x, y + e) - w(x, y - e)) / (2 * e);
}

inline Derivatives Differentiate(const KnownWavefront& w, double x, double y)
{
    const double e = 1e-4;
    const double c = w(x, y), px = w(x + e, y), mx = w(x - e, y), py = w(x, y + e), my = w(x, y - e);
    const double pp = w(x + e, y + e), pm = w(x + e, y - e), mp = w(x - e, y + e), mm = w(x - e, y - e);
    return {(px - mx) / (2 * e),
            (py - my) / (2 * e),
            (px - 2 * c + mx) / (e * e),
            (py - 2 * c + my) / (e * e),
            (pp - pm - mp + mm) / (4 * e * e)};
}

// Intensity at landing point (xi, eta) for coefficient a.
inline double Intensity(const KnownWavefront& w, const ModelPupil& pupil, double a, double xi, double eta)
{
    double x = xi, y = eta;
    bool converged = false;
    for (int it = 0; it < 40 && !converged; ++it) {
        double wx = 0, wy = 0;
        Gradient(w, x, y, wx, wy);
        const double nx = xi - a * wx, ny = eta - a * wy;
        converged = std::abs(nx - x) + std::abs(ny - y) < 1e-10;
        x = nx;
        y = ny;
    }
    // Inside the pupil the mapping is a contraction; a search that does not settle (or runs off to
    // infinity, as W grows fast beyond the edge) started from a point no pupil ray reaches: dark.
    if (!converged || !std::isfinite(x) || !std::isfinite(y)) return 0.0;
    const double rho = std::hypot(x, y);
    if (rho > 1.0 || rho < pupil.obstruction) return 0.0;
    const Derivatives d = Differentiate(w, x, y);
    const double jacobian = (1 + a * d.wxx) * (1 + a * d.wyy) - a * a * d.wxy * d.wxy;
    return pupil.level / jacobian;
}

}  // namespace detail

// Separable Gaussian blur of plane 1, edges clamped.
inline void Blur(TImageRec& image, double sigma)
{
    if (sigma <= 0) return;
    const int half = static_cast<int>(std::ceil(3 * sigma)), n = image.Width;
    std::vector<double> kernel(2 * half + 1);
    double total = 0;
    for (int i = -half; i <= half; ++i) total += kernel[i + half] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& k : kernel) k /= total;
    std::vector<double> tmp(static_cast<std::size_t>(n) * n);
    const auto at = [n](int v) { return std::clamp(v, 0, n - 1); };
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            double s = 0;
            for (int i = -half; i <= half; ++i) s += kernel[i + half] * image.At(r, at(c + i));
            tmp[static_cast<std::size_t>(r) * n + c] = s;
        }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            double s = 0;
            for (int i = -half; i <= half; ++i)
                s += kernel[i + half] * tmp[static_cast<std::size_t>(at(r + i)) * n + c];
            image.At(r, c) = s;
        }
}

// One defocused image (kind 0 or 1) in the pupil frame: axes of the true pupil, mask where the
// level is at least half the pupil's.
inline ImageSlot ModelImage(const KnownWavefront& w, const ModelPupil& pupil, double a, ImageKind kind)
{
    ImageSlot image = NewImage(pupil.size, pupil.size);
    image->CentreX = image->CentreY = pupil.size / 2.0 + 0.5;
    image->Radius = pupil.radiusPx;
    SetPupilAxes(image.get());
    // Only the pixels near an edge of the annulus need the supersampling; far outside is dark.
    const auto samplesFor = [&](int r, int c) {
        const double rho = std::hypot(image->XAxis[c], image->YAxis[r]);
        const double margin = 4.0 / pupil.radiusPx;
        if (rho > 1.0 + 3 * margin) return 0;
        const bool edge = std::abs(rho - 1.0) < margin ||
                          (pupil.obstruction > 0 && std::abs(rho - pupil.obstruction) < margin);
        return edge ? pupil.supersample : 1;
    };
    for (int r = 0; r < pupil.size; ++r) {
        for (int c = 0; c < pupil.size; ++c) {
            const int s = samplesFor(r, c);
            if (s == 0) continue;
            double sum = 0;
            for (int i = 0; i < s; ++i) {
                for (int j = 0; j < s; ++j) {
                    const double col = c + 1 + (j + 0.5) / s - 0.5, row = r + 1 + (i + 0.5) / s - 0.5;
                    const double xi = (col - image->CentreX) / pupil.radiusPx;
                    const double eta = -(row - image->CentreY) / pupil.radiusPx;
                    sum += detail::Intensity(w, pupil, a, xi, eta);
                }
            }
            image->At(r, c) = sum / (s * s);
        }
    }
    Blur(*image, pupil.blurPx);
    for (int r = 0; r < pupil.size; ++r)
        for (int c = 0; c < pupil.size; ++c) image->MaskAt(r, c) = image->At(r, c) >= pupil.level / 2 ? 1 : 0;
    image->Kind = static_cast<std::uint8_t>(kind);
    return image;
}

struct ModelPair {
    ImageSlot intra, extra;
};

inline ModelPair MakeModelPair(const KnownWavefront& w, const ModelPupil& pupil, const TestGeometry& geometry)
{
    const auto k = TransportCoefficientsFor(geometry);
    return {ModelImage(w, pupil, k.value().intra, ImageKind::Intra),
            ModelImage(w, pupil, k.value().extra, ImageKind::Extra)};
}

}  // namespace frontlys::testing
